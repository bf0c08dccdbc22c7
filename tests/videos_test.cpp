// Videos in the gallery: which files are listed, their facts, kind and
// length, posters as thumbnails and previews, the order by recording date,
// a re-run that opens no clip, and damaged clips that cost a row its poster
// but never the run. The clips are the committed ones of tests/pictures/clips.
#include <gtest/gtest.h>

#include "support/gallery.h"
#include "support/test_support.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

const fs::path kClips = PathOf(PAGRIMO_SOURCE_DIR "/tests/pictures/clips");
const fs::path kPictures = PathOf(PAGRIMO_SOURCE_DIR "/tests/pictures");
const std::vector<std::string> kClipNames = {"scene.mp4", "turned.mp4", "fade.mp4", "hevc.mov",
                                             "scene.webm"};
// jpg stays a picture's extension.
const char kVideos[] = "thumbsize=64\r\npreviewsize=256\r\nvideos=mp4 .MOV,webm jpg\r\n";
const std::string kFields =
    "[filename]|[kind]|[duration]|[width]x[height]|[thumb]|[thumbwidth]x[thumbheight]|[preview]|"
    "[previewwidth]x[previewheight]";

struct VideoGallery : Gallery {
  explicit VideoGallery(const std::string& settings = kVideos,
                        const std::string& text = Item(kFields))
      : Gallery(text, settings, kClips, kClipNames) {
    fs::copy_file(kPictures / "baseline.jpg", photos.path / "baseline.jpg");
  }
};

std::string Copy(const std::string& name) { return ".thumbs" + kSep + name; }

// What the engine of this system decodes: everything on Linux; under wine
// only what its Media Foundation takes.
bool Decodes(const std::string& clip) {
  return !UnderWine() || clip.find(".mp4") != std::string::npos;
}

TEST(VideosTest, ClipsAreListedWithTheirKindLengthAndPoster) {
  VideoGallery g;
  RunResult run = g.Run();
  ASSERT_EQ(run.status, 0) << run.err;
  auto items = g.Items();
  ASSERT_EQ(items.size(), 6u) << g.Page();
  EXPECT_EQ(items["baseline.jpg"],
            "picture||240x160|" + Copy("baseline.jpg.jpg") + "|64x43|baseline.jpg|240x160");
  struct Expected {
    std::string name, size, thumbSize;
  } const clips[] = {
      {"scene.mp4", "160x96", "64x38"},  {"turned.mp4", "96x160", "38x64"},
      {"fade.mp4", "160x96", "64x38"},   {"hevc.mov", "160x96", "64x38"},
      {"scene.webm", "160x96", "64x38"},
  };
  for (const Expected& c : clips) {
    if (!Decodes(c.name)) continue;
    // The poster is never enlarged: its preview has the clip's own size.
    EXPECT_EQ(items[c.name], "video|0:04|" + c.size + "|" + Copy(c.name + ".jpg") + "|" +
                                 c.thumbSize + "|" + Copy(c.name + ".preview.jpg") + "|" + c.size)
        << c.name;
  }
  // Without the videos setting, no clip is listed.
  VideoGallery plain("thumbsize=64\r\npreviewsize=256\r\n",
                     TemplateText({"0,0", "[numfile] [filelist]", "*", "*", "[filename] ", "*"}));
  ASSERT_EQ(plain.Run().status, 0);
  EXPECT_EQ(plain.Page(), "1 baseline.jpg \r\n\r\n");
}

TEST(VideosTest, ARerunOpensNoClip) {
  VideoGallery g;
  ASSERT_EQ(g.Run().status, 0);
  std::string first = g.Page();
  auto copies = g.Copies();
  RunResult again = g.RunWithPicturesUnreadable();
  ASSERT_EQ(again.status, 0) << again.err;
  // Wine tries again the clips it has no decoder for.
  if (!UnderWine()) {
    EXPECT_EQ(again.err, "");
  }
  EXPECT_EQ(g.Page(), first);
  EXPECT_EQ(g.Copies(), copies);
}

TEST(VideosTest, DamagedClipsKeepTheirRowWithoutAPoster) {
  VideoGallery g("videos=mp4\r\n", Item("[filename]|[kind]|[thumb]|[duration]|[width]"));
  const std::string scene = ReadFile(kClips / "scene.mp4");
  std::string garbled = scene;
  // The whole media data and no movie box after it.
  const std::string noMovie = scene.substr(0, scene.find("moov") - 4);
  // The frames zeroed, the container intact: its facts still count.
  size_t mdat = garbled.find("mdat") + 4, moov = garbled.find("moov") - 4;
  garbled.replace(mdat, moov - mdat, moov - mdat, '\0');
  // Ten hours long by its header (version 0: the length after the time scale).
  std::string ten = scene;
  size_t at = ten.find("mvhd") + 16;
  std::uint32_t scale = 0;
  for (int i = 0; i < 4; ++i) scale = scale << 8 | static_cast<unsigned char>(ten[at + i]);
  for (int i = 0; i < 4; ++i)
    ten[at + 4 + i] = static_cast<char>((scale * 36000ull) >> (24 - 8 * i));
  const std::pair<std::string, std::string> damaged[] = {
      {"empty.mp4", ""},
      {"cut.mp4", scene.substr(0, scene.size() / 2)},
      {"photo.mp4", ReadFile(kPictures / "baseline.jpg")},
      {"nomovie.mp4", noMovie},
      {"garbled.mp4", garbled},
  };
  // Wine's Media Foundation may hang on a clip that passes the container
  // checks but cannot be decoded (the zeroed frames, the header longer than
  // its track): under wine those two are left out.
  for (const auto& [name, bytes] : damaged) {
    if (UnderWine() && name == "garbled.mp4") continue;
    WriteFile(g.photos.path / name, bytes);
  }
  if (!UnderWine()) WriteFile(g.photos.path / "long.mp4", ten);
  RunResult run = g.Run();
  ASSERT_EQ(run.status, 0) << run.err;
  auto items = g.Items();
  for (const auto& [name, bytes] : damaged) {
    if (UnderWine() && name == "garbled.mp4") continue;
    EXPECT_EQ(items[name], name == "garbled.mp4" ? "video||0:04|160" : "video|||") << name;
    EXPECT_NE(run.err.find("cannot make a poster of " + Utf8Path(g.photos.path / name)),
              std::string::npos)
        << run.err;
  }
  if (Decodes("scene.mp4")) {
    EXPECT_EQ(items["scene.mp4"], "video|" + Copy("scene.mp4.jpg") + "|0:04|160");
    if (!UnderWine()) {
      EXPECT_EQ(items["long.mp4"], "video|" + Copy("long.mp4.jpg") + "|10:00:00|160");
    }
  }
}

// AVI and a camcorder's MPEG-TS have no container facts the gallery reads:
// the decoder gives their size and length with the poster.
TEST(VideosTest, OtherContainersGetTheirFactsFromTheDecoder) {
  std::string ffmpeg = HostTool("ffmpeg");
  if (ffmpeg.empty()) GTEST_SKIP() << "no ffmpeg to make the clips";
  VideoGallery g("videos=avi mts\r\n", Item("[filename]|[thumb]|[width]x[height]|[duration]"));
  for (const char* name : {"clip.avi", "clip.mts"}) {
    ASSERT_EQ(RunProgram(ffmpeg, {"-nostdin", "-loglevel", "error", "-f", "lavfi", "-i",
                                  "testsrc=size=80x48:rate=10:duration=3", "-c:v",
                                  std::string(name).ends_with("avi") ? "mpeg4" : "libx264",
                                  Utf8Path(g.photos.path / name)})
                  .status,
              0);
  }
  RunResult run = g.Run();
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(g.Items()["clip.avi"], Copy("clip.avi.jpg") + "|80x48|0:03");
  EXPECT_EQ(g.Items()["clip.mts"], Copy("clip.mts.jpg") + "|80x48|0:03");
}

TEST(VideosTest, ClipsSortByTheirRecordingDate) {
  // scene.mp4 was recorded on 2024-05-01; the others date from their copy.
  // [duration] alone reads the containers too.
  VideoGallery g(std::string(kVideos) + "sort=taken\r\n", Item("[filename]|[duration]"));
  ASSERT_EQ(g.Run().status, 0);
  EXPECT_EQ(g.Page().substr(0, 17), "scene.mp4|0:04|\r\n");
  // [exifdate] is the recording date (UTC in the container, shown in local time).
  VideoGallery dated(kVideos, Item("[filename]|[exifdate]"));
  ASSERT_EQ(dated.Run().status, 0);
  EXPECT_NE(dated.Items()["scene.mp4"].find(UnderWine() ? "2024" : "2024-05-01 11:46:42"),
            std::string::npos)
      << dated.Page();
  WriteFile(g.installation.folder.path / "pagrimo.ini",
            std::string(kSettings) + kVideos + "sort=-taken\r\n");
  ASSERT_EQ(g.Run().status, 0);
  std::string page = g.Page();
  EXPECT_EQ(page.substr(page.size() - 19), "scene.mp4|0:04|\r\n\r\n") << page;
}

}  // namespace
