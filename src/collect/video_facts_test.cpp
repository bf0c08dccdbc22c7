#include "collect/video_facts.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "support/pictures.h"
#include "support/test_support.h"

namespace {

using testing_support::HostTool;
using testing_support::Number;
using testing_support::RunProgram;
using testing_support::TempFolder;

// A UTC time (seconds since 1970) as ReadVideoFacts shows it: local time.
std::string Local(std::int64_t seconds) {
  platform::LocalTime t;
  if (!platform::ToLocalTime(seconds, t)) return "?";
  char text[32];
  std::snprintf(text, sizeof text, "%04d:%02d:%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                t.minute, t.second);
  return text;
}

constexpr std::int64_t kMay1 = 1714564002;  // 2024-05-01 11:46:42 UTC

// ---- clips made by ffmpeg (and turned by exiftool) ----

struct Clip {
  const char* name;
  std::vector<std::string> options;  // ffmpeg's, after the 2 s test source
  int rotation;                      // set with exiftool when not 0
  VideoFormat format;
  std::int64_t durationMs;
  std::uint32_t width, height;  // displayed
  int orientation;
  VideoDate from;
  std::string taken;
};

TEST(VideoFactsTest, ReadsClipsThatFfmpegMakes) {
  std::string ffmpeg = HostTool("ffmpeg"), exiftool = HostTool("exiftool");
  if (ffmpeg.empty() || exiftool.empty()) GTEST_SKIP() << "ffmpeg or exiftool is missing";
  const std::string utc = "creation_time=2024-05-01T11:46:42Z";
  const Clip clips[] = {
      {"end.mp4",
       {"-metadata", utc},
       0,
       VideoFormat::kMp4,
       2000,
       64,
       48,
       1,
       VideoDate::kUtc,
       Local(kMay1)},
      {"front.mp4",
       {"-movflags", "faststart", "-metadata", utc},
       0,
       VideoFormat::kMp4,
       2000,
       64,
       48,
       1,
       VideoDate::kUtc,
       Local(kMay1)},
      {"nodate.mp4", {}, 0, VideoFormat::kMp4, 2000, 64, 48, 1, VideoDate::kNone, ""},
      {"turned.mp4", {}, 90, VideoFormat::kMp4, 2000, 48, 64, 6, VideoDate::kNone, ""},
      {"back.mp4", {}, 270, VideoFormat::kMp4, 2000, 48, 64, 8, VideoDate::kNone, ""},
      {"apple.mov",
       {"-movflags", "use_metadata_tags", "-metadata", utc, "-metadata",
        "com.apple.quicktime.creationdate=2024-05-01T14:03:22+0200"},
       0,
       VideoFormat::kQuickTime,
       2000,
       64,
       48,
       1,
       VideoDate::kRecorded,
       "2024:05:01 14:03:22"},
      {"clip.webm",
       {"-c:v", "libvpx", "-metadata", utc},
       0,
       VideoFormat::kWebm,
       2000,
       64,
       48,
       1,
       VideoDate::kUtc,
       Local(kMay1)},
      {"clip.mkv",
       {"-c:v", "libvpx"},
       0,
       VideoFormat::kMatroska,
       2000,
       64,
       48,
       1,
       VideoDate::kNone,
       ""},
  };
  TempFolder folder;
  for (const Clip& clip : clips) {
    std::string path = folder.Text() + testing_support::kSep + clip.name;
    std::vector<std::string> args = {"-nostdin",
                                     "-loglevel",
                                     "error",
                                     "-f",
                                     "lavfi",
                                     "-i",
                                     "testsrc=size=64x48:rate=10:duration=2"};
    args.insert(args.end(), clip.options.begin(), clip.options.end());
    args.push_back(path);
    ASSERT_EQ(RunProgram(ffmpeg, args).status, 0) << clip.name;
    if (clip.rotation != 0) {
      ASSERT_EQ(RunProgram(exiftool, {"-q", "-overwrite_original",
                                      "-Rotation=" + std::to_string(clip.rotation), path})
                    .status,
                0);
    }
    VideoFacts facts;
    std::string reason;
    ASSERT_TRUE(ReadVideoFacts(path, facts, reason)) << clip.name << ": " << reason;
    EXPECT_EQ(facts.format, clip.format) << clip.name;
    EXPECT_EQ(facts.durationMs, clip.durationMs) << clip.name;
    EXPECT_EQ(facts.storedWidth, 64u) << clip.name;
    EXPECT_EQ(facts.storedHeight, 48u) << clip.name;
    EXPECT_EQ(facts.rotation, clip.rotation) << clip.name;
    EXPECT_EQ(facts.width, clip.width) << clip.name;
    EXPECT_EQ(facts.height, clip.height) << clip.name;
    EXPECT_EQ(facts.orientation, clip.orientation) << clip.name;
    EXPECT_EQ(facts.takenFrom, clip.from) << clip.name;
    EXPECT_EQ(facts.taken, clip.taken) << clip.name;
  }
}
}  // namespace
