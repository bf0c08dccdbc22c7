#include "collect/video_facts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <tuple>
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
    if (args.back() != "pipe:1") args.push_back(path);
    testing_support::RunResult made = RunProgram(ffmpeg, args);
    ASSERT_EQ(made.status, 0) << clip.name << made.err;
    if (args.back() == "pipe:1") testing_support::WriteFile(path, made.out);
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
  // Cut short: a moov at the end is lost, one at the front is whole.
  for (auto [name, keep, found] : {std::tuple{"end.mp4", 0.5, false},
                                   {"end.mp4", 0.99, false},
                                   {"front.mp4", 0.9, true},
                                   {"clip.webm", 0.02, false}}) {
    std::string bytes = testing_support::ReadFile(folder.path / name);
    std::string path = folder.Text() + testing_support::kSep + "cut";
    testing_support::WriteFile(path,
                               bytes.substr(0, static_cast<std::size_t>(bytes.size() * keep)));
    VideoFacts facts;
    std::string reason;
    EXPECT_EQ(ReadVideoFacts(path, facts, reason), found) << name << " " << keep;
  }
}

// ---- boxes and elements made here, for what no encoder writes ----

std::string Be64(std::uint64_t v) {
  return Number(static_cast<std::uint32_t>(v >> 32), 4, true) +
         Number(static_cast<std::uint32_t>(v), 4, true);
}
std::string Box(const std::string& type, const std::string& content) {
  return Number(static_cast<std::uint32_t>(8 + content.size()), 4, true) + type + content;
}
std::string Mvhd(std::uint64_t created, std::uint32_t timescale, std::uint64_t duration,
                 bool wide = false, const char* type = "mvhd") {
  std::string times =
      wide ? Be64(created) + Be64(created) + Number(timescale, 4, true) + Be64(duration)
           : Number(static_cast<std::uint32_t>(created), 4, true) +
                 Number(static_cast<std::uint32_t>(created), 4, true) + Number(timescale, 4, true) +
                 Number(static_cast<std::uint32_t>(duration), 4, true);
  return Box(type, std::string(1, wide ? '\1' : '\0') + std::string(3, '\0') + times +
                       std::string(80, '\0'));
}
// A video track of 64 x 48 (1.2 s by its media header) whose matrix starts
// a b / c d (in whole units); unsized, the size is only in its sample entry.
std::string Track(int a = 1, int b = 0, int c = 0, int d = 1, const char* handler = "vide",
                  bool sized = true) {
  std::string matrix;
  for (int v : {a, b, 0, c, d, 0, 0, 0, 0x4000})
    matrix += Number(static_cast<std::uint32_t>(v * 0x10000), 4, true);
  std::string tkhd = std::string("\0\0\0\1", 4) + std::string(36, '\0') + matrix +
                     Number(sized ? 64u << 16 : 0, 4, true) +
                     Number(sized ? 48u << 16 : 0, 4, true);
  std::string entry =
      Box("avc1", std::string(24, '\0') + Number(64, 2, true) + Number(48, 2, true));
  return Box(
      "trak",
      Box("tkhd", tkhd) +
          Box("mdia", Mvhd(0, 10, 12, false, "mdhd") +
                          Box("hdlr", std::string(8, '\0') + handler + std::string(12, '\0')) +
                          Box("minf", Box("stbl", Box("stsd", Number(0, 4, true) +
                                                                  Number(1, 4, true) + entry)))));
}
// QuickTime's metadata: one key, the Apple creation date, and its text.
std::string AppleDate(const std::string& text) {
  std::string key = "com.apple.quicktime.creationdate";
  return Box("meta",
             Box("hdlr", std::string(8, '\0') + "mdta" + std::string(12, '\0')) +
                 Box("keys", Number(0, 4, true) + Number(1, 4, true) + Box("mdta", key)) +
                 Box("ilst", Number(static_cast<std::uint32_t>(24 + text.size()), 4, true) +
                                 Number(1, 4, true) +
                                 Box("data", Number(1, 4, true) + Number(0, 4, true) + text)));
}
const std::string kFtyp = Box("ftyp", "isom" + Number(512, 4, true) + "isommp41");
constexpr std::uint64_t k1904 = 2082844800;  // seconds from 1904 to 1970

// Parses bytes in memory as ReadVideoFacts parses a file; a refusal gives a reason.
bool Parse(const std::string& file, VideoFacts& facts) {
  std::string reason;
  VideoBytes read = [&](std::int64_t offset, std::size_t count, std::string& bytes) {
    bytes = file.substr(static_cast<std::size_t>(offset), count);
    return true;
  };
  bool found = ParseVideoFacts(read, static_cast<std::int64_t>(file.size()), facts, reason);
  EXPECT_TRUE(found || !reason.empty());
  return found;
}

TEST(VideoFactsTest, DisplayMatrixGivesRotationAndMirror) {
  struct Case {
    int a, b, c, d, rotation;
    bool mirrored;
    int orientation;
  } cases[] = {
      {1, 0, 0, 1, 0, false, 1},    {0, 1, -1, 0, 90, false, 6}, {-1, 0, 0, -1, 180, false, 3},
      {0, -1, 1, 0, 270, false, 8}, {-1, 0, 0, 1, 0, true, 2},   {1, 0, 0, -1, 180, true, 4},
      {0, 1, 1, 0, 270, true, 5},   {0, -1, -1, 0, 90, true, 7},
  };
  for (const Case& c : cases) {
    VideoFacts facts;
    ASSERT_TRUE(Parse(kFtyp + Box("moov", Mvhd(0, 1000, 1) + Track(c.a, c.b, c.c, c.d)), facts));
    EXPECT_EQ(facts.rotation, c.rotation) << c.a << c.b << c.c << c.d;
    EXPECT_EQ(facts.mirrored, c.mirrored) << c.a << c.b << c.c << c.d;
    EXPECT_EQ(facts.orientation, c.orientation) << c.a << c.b << c.c << c.d;
    bool turned = c.rotation % 180 != 0;
    EXPECT_EQ(facts.width, turned ? 48u : 64u);
    EXPECT_EQ(facts.height, turned ? 64u : 48u);
  }
  VideoFacts facts;  // a track header without a size: the sample entry's, turned
  ASSERT_TRUE(Parse(kFtyp + Box("moov", Mvhd(0, 1, 1) + Track(0, 1, -1, 0, "vide", false)), facts));
  EXPECT_EQ(facts.width, 48u);
  EXPECT_EQ(facts.height, 64u);
}

TEST(VideoFactsTest, MovieHeaderAndAppleDates) {
  struct Case {
    std::string mvhd, meta;
    std::int64_t durationMs;
    VideoDate from;
    std::string taken;
  } cases[] = {
      {Mvhd(0, 600, 1200), "", 2000, VideoDate::kNone, ""},  // 0: no date
      {Mvhd(kMay1 + k1904, 90000, 90000ull * 3723 + 45000), "", 3723500, VideoDate::kUtc,
       Local(kMay1)},
      {Mvhd(kMay1 + k1904, 1000, 0xFFFFFFFFFFull, true), "", 0xFFFFFFFFFF, VideoDate::kUtc,
       Local(kMay1)},
      {Mvhd(kMay1 + k1904, 1000, 0xFFFFFFFF), AppleDate("2024-05-01T14:03:22+0200"), 1200,
       VideoDate::kRecorded, "2024:05:01 14:03:22"},
      {Mvhd(0, 1000, 7), AppleDate("2023-12-31T23:59:58.250-07:00"), 7, VideoDate::kRecorded,
       "2023:12:31 23:59:58"},
      {Mvhd(0, 1000, 7), AppleDate("2023-02-03T04:05Z"), 7, VideoDate::kRecorded,
       "2023:02:03 04:05:00"},
      {Mvhd(kMay1 + k1904, 1, 1), AppleDate("2023-02-30T04:05:06"), 1000, VideoDate::kUtc,
       Local(kMay1)},
      {Mvhd(0, 1, 1), AppleDate("yesterday"), 1000, VideoDate::kNone, ""},
      {Mvhd(0, 1, 1), std::string(4, '\0'), 1000, VideoDate::kNone, ""},  // QuickTime's end of list
      {Mvhd(0, 1, 1), AppleDate("2023-02-03T04:05:"), 1000, VideoDate::kNone, ""},
  };
  for (const Case& c : cases) {
    VideoFacts facts;
    ASSERT_TRUE(Parse(kFtyp + Box("moov", c.mvhd + Track() + c.meta), facts)) << c.taken;
    EXPECT_EQ(facts.durationMs, c.durationMs) << c.taken;
    EXPECT_EQ(facts.takenFrom, c.from) << c.taken;
    EXPECT_EQ(facts.taken, c.taken);
  }
}

// A moov after 6 GiB of mdat (a 64-bit size): read with a few small reads.
TEST(VideoFactsTest, SeeksOverMediaData) {
  const std::uint64_t media = 6ull << 30;
  std::string moov = Box("moov", Mvhd(0, 1000, 5000) + Track());
  std::string head = kFtyp + Number(1, 4, true) + "mdat" + Be64(media);
  std::int64_t moovAt = static_cast<std::int64_t>(head.size() - 16 + media);
  int reads = 0;
  std::size_t biggest = 0;
  VideoBytes read = [&](std::int64_t offset, std::size_t count, std::string& bytes) {
    ++reads;
    biggest = std::max(biggest, count);
    bytes = offset < moovAt
                ? head.substr(static_cast<std::size_t>(std::min<std::int64_t>(offset, head.size())),
                              count)
                : moov.substr(static_cast<std::size_t>(offset - moovAt), count);
    return true;
  };
  VideoFacts facts;
  std::string reason;
  ASSERT_TRUE(ParseVideoFacts(read, moovAt + static_cast<std::int64_t>(moov.size()), facts, reason))
      << reason;
  EXPECT_EQ(facts.durationMs, 5000);
  EXPECT_EQ(facts.width, 64u);
  EXPECT_LE(reads, 2);
  EXPECT_LE(biggest, 65536u);
}

TEST(VideoFactsTest, DamagedContainersAreRefused) {
  std::string good = kFtyp + Box("moov", Mvhd(0, 1000, 5000) + Track());
  std::string huge = kFtyp + Number(1, 4, true) + "moov" + Be64(1ull << 63);
  std::string tooBig = kFtyp + Box("moov", Mvhd(0, 1000, 5000) + Number(1000, 4, true) + "trak");
  std::vector<std::string> inputs = {
      "",
      std::string(4096, '\0'),
      testing_support::PlainJpeg(),
      kFtyp,                                                         // no moov
      kFtyp + Box("free", "") + Number(0, 4, true) + "skip" + good,  // size 0 runs to the end
      huge,
      tooBig,
      kFtyp + Number(4, 4, true) + "moov",  // smaller than its header
      kFtyp + Box("moov", Track()),         // no movie header
      kFtyp + Box("moov", Mvhd(0, 1000, 5000) + Track(1, 0, 0, 1, "soun")),  // no video
  };
  for (std::size_t cut : {std::size_t{8}, std::size_t{30}, std::size_t{60}, good.size() - 1})
    inputs.push_back(good.substr(0, cut));
  for (const std::string& input : inputs) {
    VideoFacts facts;
    EXPECT_FALSE(Parse(input, facts)) << input.size();
    EXPECT_EQ(facts.width, 0u);
  }
}

// An EBML element with an eight-byte size (or the unknown size).
std::string Element(const std::string& id, const std::string& content, bool unknown = false) {
  return id +
         (unknown ? std::string("\x01\xFF\xFF\xFF\xFF\xFF\xFF\xFF", 8)
                  : "\x01" + Be64(content.size()).substr(1)) +
         content;
}
const std::string kHeader = Element("\x1A\x45\xDF\xA3", Element("\x42\x82", "webm"));
const std::string kTracks = Element(
    "\x16\x54\xAE\x6B",
    Element("\xAE", Element("\x83", "\x02") + Element("\xE0", Element("\xB0", "\x10"))) +
        Element("\xAE", Element("\x83", "\x01") +
                            Element("\xE0", Element("\xB0", "\x40") + Element("\xBA", "\x30"))));
const std::string kCluster =
    Element("\x1F\x43\xB6\x75",
            Element("\xE7", std::string(1, '\0')) + Element("\xA3", std::string(900, 'x')));
// Info: TimecodeScale 1 ms, Duration 2.5 s as a four-byte float, DateUTC.
std::string Info(std::int64_t nanoseconds) {
  return Element("\x15\x49\xA9\x66",
                 Element("\x2A\xD7\xB1", "\x0F\x42\x40") +
                     Element("\x44\x89", std::string("\x45\x1C\x40\x00", 4)) +
                     Element("\x44\x61", Be64(static_cast<std::uint64_t>(nanoseconds))));
}
std::string Seek(const char* id, std::size_t at) {
  return Element("\x4D\xBB",
                 Element("\x53\xAB", id) +
                     Element("\x53\xAC", Number(static_cast<std::uint32_t>(at), 4, true)));
}

TEST(VideoFactsTest, ReadsEbmlSegments) {
  const std::int64_t kSecond = 1000000000;
  std::string info = Info(3 * kSecond + kSecond / 2);
  // Damage after the clusters stops a walk; the SeekHead leads past it.
  std::string damage(4, '\0');
  std::size_t tracksAt = Element("\x11\x4D\x9B\x74", Seek("\x16\x54\xAE\x6B", 0)).size() +
                         info.size() + kCluster.size() + damage.size();
  std::string seekHead = Element("\x11\x4D\x9B\x74", Seek("\x16\x54\xAE\x6B", tracksAt));
  struct Case {
    std::string segment;
    bool unknownSize, found;
    std::string taken;
  } cases[] = {
      {info + kTracks + kCluster, false, true, Local(978307203)},
      // A live recording: clusters without sizes, the tracks after them.
      {Info(-1) + Element("\x1F\x43\xB6\x75", Element("\xE7", "\x01"), true) +
           Element("\x1F\x43\xB6\x75", Element("\xA3", "xy"), true) + kTracks,
       true, true, Local(978307199)},
      // The tracks after the clusters, found through the SeekHead.
      {seekHead + info + kCluster + damage + kTracks, false, true, Local(978307203)},
      {info + kCluster + damage + kTracks, false, false, ""},
      {info + kCluster, false, false, ""},              // no tracks
      {info + kTracks.substr(0, 20), true, false, ""},  // cut short
  };
  for (const Case& c : cases) {
    VideoFacts facts;
    bool found = Parse(kHeader + Element("\x18\x53\x80\x67", c.segment, c.unknownSize), facts);
    EXPECT_EQ(found, c.found) << c.taken;
    if (!found) continue;
    EXPECT_EQ(facts.format, VideoFormat::kWebm);
    EXPECT_EQ(facts.width, 64u);
    EXPECT_EQ(facts.height, 48u);
    EXPECT_EQ(facts.durationMs, 2500);
    EXPECT_EQ(facts.takenFrom, VideoDate::kUtc);
    EXPECT_EQ(facts.taken, c.taken);
  }
  VideoFacts facts;
  EXPECT_FALSE(Parse(Element("\x1A\x45\xDF\xA3", Element("\x42\x82", "mp4x")) + kTracks, facts));
}
}  // namespace
