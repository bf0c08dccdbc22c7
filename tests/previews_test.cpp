// Previews on real pictures, made with previewsize=256 and thumbsize=100:
// which pictures are their own preview, the copies' sizes, orientation,
// transparency and colours, the work a change of either size spares, gone
// pictures, previews turned off and the setting's bad values.
#include <gtest/gtest.h>

#include <cstdlib>

#include "support/gallery.h"
#include "support/pixels.h"
#include "support/test_support.h"
#include "text/messages.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

const fs::path kPages = PathOf(PAGRIMO_SOURCE_DIR "/tests/pictures/pages");
const fs::path kOwn = PathOf(PAGRIMO_SOURCE_DIR "/tests/pictures/previews");
const std::vector<std::string> kPageNames = {
    "alpha.png", "big.jpg", "landscape.jpg", "plain.png", "rotated.jpg", "small.gif", "tiny.bmp"};
const std::vector<std::string> kOwnNames = {"edge.jpg", "over.jpg",  "turned.jpg",  "clear.png",
                                            "p3.jpg",   "adobe.jpg", "untagged.jpg"};
const char kSizes[] = "thumbsize=100\r\npreviewsize=256\r\n";
const std::string kFields = "[filename]|[preview]|[previewwidth]x[previewheight]|[thumb]";

struct PreviewGallery : Gallery {
  explicit PreviewGallery(const std::string& settings = kSizes, const std::string& fields = kFields)
      : Gallery(Item(fields), settings, kPages, kPageNames) {
    for (const std::string& name : kOwnNames) fs::copy_file(kOwn / name, photos.path / name);
  }
  void Set(const std::string& settings) {
    WriteFile(installation.folder.path / "pagrimo.ini", std::string(kSettings) + settings);
  }
};

std::string Copy(const std::string& name) { return ".thumbs" + kSep + name; }

Pixels Read(const fs::path& file) {
  Pixels pixels;
  std::string reason;
  EXPECT_TRUE(ReadPixels(Utf8Path(file), pixels, reason)) << Utf8Path(file) << ": " << reason;
  return pixels;
}

void ExpectColour(const Pixels& p, int x, int y, int r, int g, int b, int slack) {
  ASSERT_TRUE(x < p.width && y < p.height);
  const unsigned char* at = p.At(x, y);
  EXPECT_LE(std::abs(at[0] - r), slack) << "red at " << x << "," << y;
  EXPECT_LE(std::abs(at[1] - g), slack) << "green at " << x << "," << y;
  EXPECT_LE(std::abs(at[2] - b), slack) << "blue at " << x << "," << y;
}

TEST(PreviewsTest, PicturesAreTheirOwnPreviewOrGetACopyOfTheSize) {
  PreviewGallery g;
  RunResult run = g.Run();
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  struct Expected {
    const char* name;
    std::string preview, size;
  };
  const Expected expected[] = {
      {"alpha.png", "alpha.png", "40x40"},
      {"big.jpg", Copy("big.jpg.preview.jpg"), "256x192"},
      {"landscape.jpg", "landscape.jpg", "64x48"},
      {"plain.png", "plain.png", "30x20"},
      {"rotated.jpg", "rotated.jpg", "48x64"},  // browsers turn it by its EXIF
      {"small.gif", "small.gif", "20x10"},
      {"tiny.bmp", Copy("tiny.bmp.preview.jpg"), "12x8"},     // a BMP always, never enlarged
      {"edge.jpg", "edge.jpg", "256x170"},                    // exactly the preview's size
      {"over.jpg", Copy("over.jpg.preview.jpg"), "256x169"},  // a pixel more
      {"turned.jpg", Copy("turned.jpg.preview.jpg"), "256x192"},
      {"clear.png", Copy("clear.png.preview.png"), "256x192"},
      {"p3.jpg", Copy("p3.jpg.preview.jpg"), "256x192"},
      {"adobe.jpg", Copy("adobe.jpg.preview.jpg"), "256x192"},
      {"untagged.jpg", Copy("untagged.jpg.preview.jpg"), "256x192"},
  };
  auto items = g.Items();
  ASSERT_EQ(items.size(), std::size(expected)) << g.Page();
  for (const Expected& e : expected) {
    SCOPED_TRACE(e.name);
    std::vector<std::string> f = Split(items[e.name]);
    ASSERT_EQ(f.size(), 3u) << items[e.name];
    EXPECT_EQ(f[0], e.preview);
    EXPECT_EQ(f[1], e.size);
    if (e.preview.rfind(".thumbs", 0) == 0) {
      Pixels shown = Read(g.photos.path / PathOf(e.preview));
      EXPECT_EQ(std::to_string(shown.width) + "x" + std::to_string(shown.height), e.size);
    }
  }
  // Upright by its EXIF orientation: red top-left, green bottom-right.
  Pixels turned = Read(g.photos.path / ".thumbs" / "turned.jpg.preview.jpg");
  ExpectColour(turned, 10, 10, 220, 0, 0, 12);
  ExpectColour(turned, 240, 180, 0, 200, 0, 12);
  Pixels clear = Read(g.photos.path / ".thumbs" / "clear.png.preview.png");
  EXPECT_EQ(clear.At(240, 180)[3], 0);
  EXPECT_EQ(clear.At(10, 10)[3], 255);
  // Eight previews, the thumbnails, the index, and no preview of a picture that is its own.
  EXPECT_EQ(g.Copies().size(), 8u + 14u + 1u);
}

// rgb(200,100,50) in Display P3 and in Adobe RGB shows in sRGB as about
// (215,93,32) and (227,100,42); without a profile it stays as it is. The
// thumbnails alone are converted too.
TEST(PreviewsTest, ColoursOfProfiledPicturesAreConvertedToSrgb) {
  for (const std::string& fields : {kFields, std::string("[filename]|[thumb]")}) {
    SCOPED_TRACE(fields);
    PreviewGallery g(kSizes, fields);
    RunResult run = g.Run();
    ASSERT_EQ(run.status, 0) << run.err;
    struct Expected {
      const char* name;
      int r, g, b;
    } expected[] = {
        {"p3.jpg", 215, 93, 32}, {"adobe.jpg", 227, 100, 42}, {"untagged.jpg", 200, 100, 50}};
    bool previews = fields == kFields;
    for (const Expected& e : expected) {
      SCOPED_TRACE(e.name);
      // wine's colour transform copies the values unconverted: only Windows
      // itself shows the conversion.
      if (UnderWine() && e.r != 200) continue;
      std::string name = e.name;
      ExpectColour(Read(g.photos.path / ".thumbs" / (name + ".jpg")), 50, 30, e.r, e.g, e.b, 4);
      if (previews)
        ExpectColour(Read(g.photos.path / ".thumbs" / (name + ".preview.jpg")), 100, 80, e.r, e.g,
                     e.b, 4);
    }
    std::string index = ReadFile(g.photos.path / ".thumbs" / "index");
    // Without preview placeholders no preview is made, and none recorded.
    EXPECT_EQ(index.find("\t256\to\t256\t170\n") != std::string::npos, previews) << index;
    EXPECT_EQ(fs::exists(g.photos.path / ".thumbs" / "big.jpg.preview.jpg"), previews);
  }
}

// Ages every copy by two days; their times as the file system keeps them.
std::map<std::string, fs::file_time_type> Age(Gallery& g) {
  std::map<std::string, fs::file_time_type> aged;
  const auto old = fs::file_time_type::clock::now() - std::chrono::hours(48);
  for (const auto& entry : fs::directory_iterator(g.photos.path / ".thumbs"))
    if (entry.path().filename() != "index") fs::last_write_time(entry.path(), old);
  for (const auto& [name, facts] : g.Copies()) aged[name] = facts.second;
  return aged;
}

TEST(PreviewsTest, EachSizeChangeRemakesOnlyItsOwnCopies) {
  PreviewGallery g;
  ASSERT_EQ(g.Run().status, 0);
  struct Step {
    const char* settings;
    const char* big;        // big.jpg's preview size
    bool previews, thumbs;  // rewritten
  } steps[] = {
      {"thumbsize=100\r\npreviewsize=300\r\n", "300x225", true, false},
      {"thumbsize=120\r\npreviewsize=300\r\n", "300x225", false, true},
      {"thumbsize=120\r\npreviewsize=300\r\n", "300x225", false, false},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.settings);
    auto aged = Age(g);
    g.Set(step.settings);
    RunResult run = g.Run();
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Split(g.Items()["big.jpg"])[1], step.big);
    // over.jpg (257 wide) is its own preview now: seven previews are left.
    EXPECT_EQ(g.Copies().size(), 7u + 14u + 1u);
    EXPECT_EQ(Split(g.Items()["over.jpg"])[0], "over.jpg");
    for (const auto& [name, facts] : g.Copies()) {
      if (name == "index") continue;
      bool again = facts.second != aged[name];
      bool preview = name.find(".preview.") != std::string::npos;
      EXPECT_EQ(again, preview ? step.previews : step.thumbs) << name;
    }
  }
  // Unchanged pictures are not opened again: unreadable, they still show.
  std::string page = g.Page();
  auto before = g.Copies();
  RunResult again = g.RunWithPicturesUnreadable();
  EXPECT_EQ(again.status, 0) << again.err;
  EXPECT_EQ(again.err, "");
  EXPECT_EQ(g.Page(), page);
  EXPECT_EQ(g.Copies(), before);
}

TEST(PreviewsTest, GoneAndShrunkenPicturesLoseTheirPreviews) {
  PreviewGallery g;
  ASSERT_EQ(g.Run().status, 0);
  fs::remove(g.photos.path / "big.jpg");
  fs::remove(g.photos.path / "clear.png");
  fs::remove(g.photos.path / ".thumbs" / "turned.jpg.preview.jpg");  // deleted by hand: made again
  fs::copy_file(kOwn / "edge.jpg", g.photos.path / "over.jpg",
                fs::copy_options::overwrite_existing);
  fs::last_write_time(g.photos.path / "over.jpg",
                      fs::file_time_type::clock::now() + std::chrono::seconds(5));
  RunResult run = g.Run();
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Split(g.Items()["over.jpg"])[0], "over.jpg");
  auto copies = g.Copies();
  for (const char* gone : {"big.jpg.preview.jpg", "big.jpg.jpg", "clear.png.preview.png",
                           "clear.png.png", "over.jpg.preview.jpg"})
    EXPECT_EQ(copies.count(gone), 0u) << gone;
  EXPECT_EQ(copies.count("turned.jpg.preview.jpg"), 1u);
  EXPECT_EQ(ReadFile(g.photos.path / ".thumbs" / "index").find("big.jpg"), std::string::npos);
}

TEST(PreviewsTest, PreviewsTurnedOffShowThePictureItself) {
  PreviewGallery g("previewsize=0\r\n");
  RunResult run = g.Run();
  ASSERT_EQ(run.status, 0) << run.err;
  auto items = g.Items();
  EXPECT_EQ(Split(items["big.jpg"])[0], "big.jpg");
  EXPECT_EQ(Split(items["big.jpg"])[1], "800x600");
  EXPECT_EQ(Split(items["turned.jpg"])[1], "320x240");
  for (const auto& [name, facts] : g.Copies())
    EXPECT_EQ(name.find(".preview."), std::string::npos) << name;
}

TEST(PreviewsTest, APreviewSizeThatIsNoSizeStopsTheRun) {
  for (const char* value : {"255", "8193", "abc", "-1", "2048px"}) {
    SCOPED_TRACE(value);
    PreviewGallery g(std::string("previewsize=") + value + "\r\n");
    RunResult run = g.Run();
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, kLoadFailedMessage);
    EXPECT_FALSE(fs::exists(g.photos.path / "index.html"));
  }
  for (auto [value, big] : {std::pair{"256", "256x192"}, std::pair{"8192", "800x600"}}) {
    SCOPED_TRACE(value);
    PreviewGallery g(std::string("previewsize=") + value + "\r\n");
    ASSERT_EQ(g.Run().status, 0);
    EXPECT_EQ(Split(g.Items()["big.jpg"])[1], big);
  }
}

}  // namespace

// HEIF, AVIF and WebP photos, listed by the pictures setting: thumbnails and
// previews (a browser shows none of them as it is), sizes after HEIF's own
// turn. Where the system has no decoder (wine, Windows without the Store's
// extensions) the rows show the pictures themselves and the report names the
// extension once, however many pictures need it.
TEST(PreviewsTest, TodaysFormatsGetCopiesOrTheExtensionTheyNeed) {
  const fs::path engines = PathOf(PAGRIMO_SOURCE_DIR "/tests/pictures");
  Gallery g(Item("[filename]|[thumb]|[preview]|[width]x[height]"),
            std::string(kSizes) + "pictures=heic avif webp\r\n", engines,
            {"scene.heic", "turned.avif", "scene.webp"});
  fs::copy_file(engines / "scene.heic", g.photos.path / "again.heic");
  RunResult run = g.Run();
  ASSERT_EQ(run.status, 0) << run.err;
  auto items = g.Items();
  ASSERT_EQ(items.size(), 4u) << g.Page();
  for (const auto& [name, fields] : items) {
    SCOPED_TRACE(name);
    std::vector<std::string> f = Split(fields);
    ASSERT_EQ(f.size(), 3u);
    EXPECT_EQ(f[2], "240x160");  // turned.avif: upright by irot, not turned again
    if (f[0] == name) {          // no decoder here
#ifndef _WIN32
      ADD_FAILURE() << "libvips decodes " << name;
#endif
      EXPECT_EQ(f[1], name);
      continue;
    }
    EXPECT_EQ(f[0], Copy(name + ".jpg"));
    EXPECT_EQ(f[1], Copy(name + ".preview.jpg"));
  }
#ifdef _WIN32
  if (Split(items["scene.heic"])[0] == "scene.heic") {
    std::string line = MessageText(DefaultLanguage(), Message::kMissingDecoder,
                                   {"2", MessageText(DefaultLanguage(), Message::kHeifExtensions)});
    EXPECT_NE(run.err.find(line), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find(line), run.err.rfind(line)) << run.err;
  }
#else
  EXPECT_EQ(run.err, "");
#endif
}
