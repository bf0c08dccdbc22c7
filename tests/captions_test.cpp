// Captions in the gallery: each source and their order (pictures made with
// exiftool), hostile captions, a re-run that opens no picture and a text
// file beside a picture whose change shows on the next run.
#include <gtest/gtest.h>

#include <regex>

#include "support/gallery.h"
#include "support/test_support.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

const fs::path kPictures = PathOf(PAGRIMO_SOURCE_DIR "/tests/pictures");

struct Source {
  std::string name, from;         // the picture, and the committed one it copies
  std::vector<std::string> tags;  // exiftool's arguments
  std::string sidecar, sidecarText;
  std::string expected;  // the & form
};

// Makes each picture in the gallery's folder; false when exiftool is missing.
bool MakePictures(Gallery& g, const std::vector<Source>& sources) {
  std::string exiftool = HostTool("exiftool");
  if (exiftool.empty()) return false;
  for (const Source& s : sources) {
    fs::path picture = g.photos.path / s.name;
    fs::copy_file(kPictures / s.from, picture);
    if (!s.sidecar.empty()) WriteFile(g.photos.path / s.sidecar, s.sidecarText);
    if (s.tags.empty()) continue;
    std::vector<std::string> args = s.tags;
    args.insert(args.end(), {"-q", "-overwrite_original", Utf8Path(picture)});
    RunResult made = RunProgram(exiftool, args);
    EXPECT_EQ(made.status, 0) << s.name << made.err;
  }
  return true;
}

void ExpectCaptions(Gallery& g, const std::vector<Source>& sources) {
  RunResult run = g.Run();
  ASSERT_EQ(run.status, 0) << run.err;
  auto items = g.Items();
  for (const Source& s : sources) EXPECT_EQ(items[s.name], s.expected) << s.name;
}

TEST(CaptionsTest, EachSourceInItsTurn) {
  const std::vector<std::string> all = {"-XMP-dc:Title=T",          "-XMP-dc:Description=D",
                                        "-IPTC:ObjectName=O",       "-IPTC:Caption-Abstract=C",
                                        "-EXIF:ImageDescription=E", "-EXIF:XPTitle=X",
                                        "-EXIF:XPComment=K"};
  auto from = [&](size_t first) {
    return std::vector<std::string>(all.begin() + first, all.end());
  };
  const std::vector<Source> sources = {
      {"title.jpg", "baseline.jpg", from(0), "", "", "T"},
      {"description.jpg", "baseline.jpg", from(1), "", "", "D"},
      {"name.jpg", "baseline.jpg", from(2), "", "", "O"},
      {"caption.jpg", "baseline.jpg", from(3), "", "", "C"},
      {"exif.jpg", "baseline.jpg", from(4), "", "", "E"},
      {"xptitle.jpg", "baseline.jpg", from(5), "", "", "X"},
      {"xpcomment.jpg", "baseline.jpg", from(6), "", "", "K"},
      {"none.jpg", "baseline.jpg", {}, "", "", ""},
      {"camera.jpg",
       "baseline.jpg",
       {"-EXIF:ImageDescription=SONY DSC", "-EXIF:XPComment=K"},
       "",
       "",
       "K"},
      {"utf8.jpg",
       "baseline.jpg",
       {"-IPTC:CodedCharacterSet=UTF8", "-IPTC:ObjectName=Café"},
       "",
       "",
       "Café"},
      {"latin1.jpg", "baseline.jpg", {"-IPTC:Caption-Abstract=Café"}, "", "", "Café"},
      {"fuji.jpg", "baseline.jpg", {"-EXIF:XPTitle=富士山の朝"}, "", "", "富士山の朝"},
      {"png.png", "rgb.png", {"-XMP-dc:Title=From PNG"}, "", "", "From PNG"},
      {"webp.webp", "scene.webp", {"-XMP-dc:Description=From WebP"}, "", "", "From WebP"},
      {"heif.heic", "scene.heic", {"-EXIF:XPTitle=From HEIF"}, "", "", "From HEIF"},
      // A text file beside the picture counts first: its first paragraph.
      {"beside.jpg", "baseline.jpg", from(0), "beside.jpg.txt",
       "\xEF\xBB\xBF\r\nFrom the\r\nfile\r\n\r\nnot this", "From the file"},
      {"stem.jpg", "baseline.jpg", from(0), "STEM.TXT", "Stem & stern", "Stem &amp; stern"},
      {"empty.jpg", "baseline.jpg", from(0), "empty.txt", " \r\n", "T"},
      {"scene.mp4", "clips/scene.mp4", {}, "scene.txt", "A clip", "A clip"},
  };
  Gallery g(Item("[filename]|[caption&]"), "videos=mp4\r\npictures=jpg png webp heic\r\n",
            kPictures, {});
  if (!MakePictures(g, sources)) GTEST_SKIP() << "no exiftool";
  ExpectCaptions(g, sources);
}

TEST(CaptionsTest, HostileCaptionsStayOneLineOfText) {
  const std::string huge(1000000, 'w'), accents = [] {
    std::string text;
    for (int i = 0; i < 500000; ++i) text += "\xC3\xA9";
    return text;
  }();
  std::vector<Source> sources = {
      {"markup.jpg",
       "baseline.jpg",
       {"-XMP-dc:Title=<script>alert(1)</script> & \"co\""},
       "",
       "",
       "&lt;script&gt;alert(1)&lt;/script&gt; &amp; &quot;co&quot;"},
      {"huge.jpg", "baseline.jpg", {}, "huge.txt", huge, std::string(1000, 'w')},
  };
  TempFolder work;
  WriteFile(work.path / "huge.txt", accents);
  sources.push_back({"xmp.png",
                     "rgb.png",
                     {"-XMP-dc:Description<=" + Utf8Path(work.path / "huge.txt")},
                     "",
                     "",
                     accents.substr(0, 2000)});
  Gallery g(Item("[filename]|[caption&]|[caption]"), "", kPictures, {});
  if (!MakePictures(g, sources)) GTEST_SKIP() << "no exiftool";
  RunResult run = g.Run();
  ASSERT_EQ(run.status, 0) << run.err;
  auto items = g.Items();
  for (const Source& s : sources) EXPECT_EQ(Split(items[s.name])[0], s.expected) << s.name;
  // The plain form is the text itself, for templates that escape it their way.
  EXPECT_EQ(Split(items["markup.jpg"])[1], "<script>alert(1)</script> & \"co\"");
}

// The bundled templates show a caption under the name in the tile and in the
// viewer, as text: never as markup of the page.
TEST(CaptionsTest, TheBundledTemplatesShowItAsText) {
  const std::string bundle = PAGRIMO_SOURCE_DIR "/templates/";
  for (const char* name : {"template.dat", "tree.dat"}) {
    Gallery g(ReadFile(bundle + name), "thumbsize=64\r\n", kPictures, {"baseline.jpg"});
    WriteFile(g.photos.path / "baseline.txt", "<script>alert(1)</script> & \"co\"");
    ASSERT_EQ(g.Run().status, 0) << name;
    std::string page = g.Page();
    const std::string text = "&lt;script&gt;alert(1)&lt;/script&gt; &amp; &quot;co&quot;";
    EXPECT_NE(page.find("<span class=\"cap\">" + text + "</span>"), std::string::npos) << name;
    EXPECT_NE(page.find(" data-caption=\"" + text + "\""), std::string::npos) << name;
    EXPECT_EQ(page.find("<script>alert"), std::string::npos) << name;
  }
}

// The committed photos (both builds; pages of a template without the byte
// order mark are in the system's code page): the captions kept in the index are
// shown by a run that opens no picture, and the text file beside one is
// read anew on every run.
TEST(CaptionsTest, KeptInTheIndexAndTheTextFileFollowed) {
  fs::path captioned = kPictures / "captions";
  Gallery g(Item("[filename]|[thumb]|[caption&]"), "thumbsize=64\r\n", captioned,
            {"harbour.jpg", "fuji.jpg"});
  fs::copy_file(kPictures / "baseline.jpg", g.photos.path / "plain.jpg");
  auto captions = [&] {
    std::map<std::string, std::string> shown;
    for (const auto& [name, fields] : g.Items()) shown[name] = Split(fields)[1];
    return shown;
  };
  std::map<std::string, std::string> expected = {{"harbour.jpg", "Harbour at dawn"},
                                                 {"fuji.jpg", InSystemCodePage("富士山の朝")},
                                                 {"plain.jpg", ""}};
  ASSERT_EQ(g.Run().status, 0);
  EXPECT_EQ(captions(), expected);
  const fs::path index = g.photos.path / ".thumbs" / "index";
  const std::string indexText = ReadFile(index);
  EXPECT_NE(indexText.find("\tcHarbour at dawn\n"), std::string::npos);
  // The index of a version older than captions: the headers are read again,
  // the thumbnails stay.
  auto copies = g.Copies();
  WriteFile(index,
            std::regex_replace(indexText, std::regex("captions\n|\t0\t-\t0\t0\tc[^\n]*"), ""));
  ASSERT_EQ(g.Run().status, 0);
  EXPECT_EQ(captions(), expected);
  EXPECT_EQ(ReadFile(index), indexText);
  copies.erase("index");
  auto after = g.Copies();
  after.erase("index");
  EXPECT_EQ(after, copies);
  std::string page = g.Page();
  RunResult again = g.RunWithPicturesUnreadable();
  ASSERT_EQ(again.status, 0) << again.err;
  EXPECT_EQ(again.err, "");
  EXPECT_EQ(g.Page(), page);
  // A text file written, changed (same size, same time) and removed.
  const char* const texts[] = {"First words", "Other words"};
  fs::file_time_type when{};
  for (const char* text : texts) {
    WriteFile(g.photos.path / "plain.txt", text);
    if (when == fs::file_time_type{}) when = fs::last_write_time(g.photos.path / "plain.txt");
    fs::last_write_time(g.photos.path / "plain.txt", when);
    expected["plain.jpg"] = text;
    ASSERT_EQ(g.Run().status, 0);
    EXPECT_EQ(captions(), expected);
  }
  fs::remove(g.photos.path / "plain.txt");
  WriteFile(g.photos.path / "fuji.JPG.txt", "Fuji at six");
  expected["plain.jpg"] = "", expected["fuji.jpg"] = "Fuji at six";
  ASSERT_EQ(g.Run().status, 0);
  EXPECT_EQ(captions(), expected);
}

}  // namespace
