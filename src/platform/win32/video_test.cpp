// Posters of video clips on Windows, through the seam, from the committed
// clips (tests/pictures/clips, see make.sh: green, a red block over the top
// left third, 4 s long). wine's Media Foundation decodes through the host's
// GStreamer, which takes H.264, HEVC and VP9 alike; Windows itself decodes
// HEVC and VP9 only with their Store extensions, and says which is missing.
#include <gtest/gtest.h>
#include <windows.h>
// windows.h first: the Media Foundation headers rely on its definitions.
#include <mfapi.h>
#include <mferror.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/win32/internal.h"
#include "support/pixels.h"
#include "support/test_support.h"

namespace {

using namespace testing_support;
using platform::CopyFailure;
using platform::MediaResult;
using platform::MediaSource;
using platform::MissingDecoder;

std::string Clip(const std::string& name) {
  return std::string(PAGRIMO_SOURCE_DIR) + "\\tests\\pictures\\clips\\" + name;
}

// Whether the pixel at (fx, fy) of the picture's size is red (else green).
bool RedAt(const Pixels& p, double fx, double fy) {
  const unsigned char* c = p.At(static_cast<int>(fx * p.width), static_cast<int>(fy * p.height));
  return c[0] > 150 && c[1] < 90;
}

TEST(Win32Video, PostersOfTheClips) {
  struct Case {
    const char* name;
    MediaSource source;
    bool turned;            // a quarter turn clockwise: shown 96x160, red at the top right
    std::int64_t posterMs;  // its time: the first poster time unless black
    int framesTried;
    MissingDecoder mayLack;  // Windows without the Store extension says so
    size_t keep = 0;         // the clip's first bytes only (0: all)
  } cases[] = {
      {"scene.mp4", {true, 0, 1}, false, 400, 1, MissingDecoder::kNone},
      {"turned.mp4", {true, 4000, 6}, true, 400, 1, MissingDecoder::kNone},
      {"fade.mp4", {true, 4000, 1}, false, 2000, 3, MissingDecoder::kNone},
      // A length the caller knows better than the container: its times.
      {"scene.mp4", {true, 30000, 1}, false, 1000, 1, MissingDecoder::kNone},
      {"hevc.mov", {true, 0, 1}, false, 400, 1, MissingDecoder::kHevc},
      {"scene.webm", {true, 0, 1}, false, 400, 1, MissingDecoder::kWebm},
      // Cut after its first two frames, the header still saying 4 s: the
      // first frame, as for a clip shorter than the first poster time.
      {"scene.webm", {true, 0, 1}, false, 0, 1, MissingDecoder::kWebm, 600},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder folder;
    const std::string thumb = folder.Text() + "\\t", preview = folder.Text() + "\\p";
    std::string clip = Clip(c.name);
    if (c.keep > 0) {
      clip = folder.Text() + "\\cut-" + c.name;
      WriteFile(PathOf(clip), ReadFile(PathOf(Clip(c.name))).substr(0, c.keep));
    }
    MediaResult result;
    bool ok =
        platform::MakeDisplayCopies(clip, {{120, thumb}, {128, preview, true}}, result, c.source);
    ASSERT_EQ(result.copies.size(), 2u);
    if (!ok && c.mayLack != MissingDecoder::kNone && !UnderWine()) {
      EXPECT_EQ(result.missingDecoder, c.mayLack);
      for (const auto& copy : result.copies) EXPECT_EQ(copy.failure, CopyFailure::kPicture);
      EXPECT_EQ(ListFolder(folder.path).size(), c.keep > 0 ? 1u : 0u);
      continue;
    }
    ASSERT_TRUE(ok) << result.copies[0].reason;
    EXPECT_EQ(result.decodes, 1);
    EXPECT_EQ(result.decodedWidth, 160);
    EXPECT_EQ(result.decodedHeight, 96);
    EXPECT_EQ(result.durationMs, c.source.durationMs > 0 ? c.source.durationMs : 4000);
    EXPECT_EQ(result.posterMs, c.posterMs);
    EXPECT_EQ(result.framesTried, c.framesTried);
    // Both copies scaled from the frame: 120x72 and 128x77, or turned.
    const int thumbSize[] = {120, 72}, previewSize[] = {128, 77};
    EXPECT_EQ(result.copies[0].width, thumbSize[c.turned]);
    EXPECT_EQ(result.copies[0].height, thumbSize[!c.turned]);
    EXPECT_EQ(result.copies[1].width, previewSize[c.turned]);
    EXPECT_EQ(result.copies[1].height, previewSize[!c.turned]);
    EXPECT_EQ(ListFolder(folder.path).size(), c.keep > 0 ? 3u : 2u);
    Pixels pixels;
    std::string reason;
    ASSERT_TRUE(ReadPixels(thumb + ".jpg", pixels, reason)) << reason;
    EXPECT_EQ(RedAt(pixels, 1 / 6.0, 1 / 6.0), !c.turned);
    EXPECT_EQ(RedAt(pixels, 5 / 6.0, 1 / 6.0), c.turned);
    EXPECT_FALSE(RedAt(pixels, 1 / 6.0, 5 / 6.0));
    EXPECT_FALSE(RedAt(pixels, 5 / 6.0, 5 / 6.0));
  }
}

TEST(Win32Video, DamagedClipsFailEveryCopyAndLeaveNothing) {
  TempFolder clips, target;
  const std::string mp4 = ReadFile(PathOf(Clip("scene.mp4")));
  const std::string hevc = ReadFile(PathOf(Clip("hevc.mov")));
  std::string noise;
  std::srand(7);
  for (int i = 0; i < 4096; ++i) noise += static_cast<char>(std::rand() & 255);
  const std::string notClip = "the file is not an MP4, QuickTime, WebM or Matroska clip",
                    cut = "the clip is cut short or damaged";
  // None reaches Media Foundation, whose failures make wine's hang at times.
  const std::vector<std::array<std::string, 3>> damaged = {
      {"empty.mp4", "", "the file is empty"},
      {"cut.mp4", mp4.substr(0, mp4.size() / 2), cut},  // its moov is at the end
      {"cut.mov", hevc.substr(0, hevc.size() / 2), cut},
      {"header.mp4", mp4.substr(0, 40), cut},
      {"photo.mp4",
       ReadFile(PathOf(std::string(PAGRIMO_SOURCE_DIR) + "\\tests\\pictures\\baseline.jpg")),
       notClip},
      {"noise.mp4", noise, notClip},
      {"noise.webm", "\x1A\x45\xDF\xA3" + noise, cut},
  };
  for (const auto& [name, bytes, why] : damaged) WriteFile(clips.path / name, bytes);
  for (const auto& [name, bytes, why] : damaged) {
    SCOPED_TRACE(name);
    MediaResult result;
    EXPECT_FALSE(platform::MakeDisplayCopies(
        clips.Text() + "\\" + name,
        {{120, target.Text() + "\\t"}, {1000, target.Text() + "\\p", true}}, result,
        {true, 4000, 1}));
    for (const auto& copy : result.copies) {
      EXPECT_EQ(copy.failure, CopyFailure::kPicture);
      EXPECT_EQ(copy.reason, why);
    }
    EXPECT_EQ(result.missingDecoder, MissingDecoder::kNone);
    EXPECT_EQ(result.decodes, 0);
  }
  EXPECT_EQ(ListFolder(target.path), std::vector<std::string>{});
}

TEST(Win32Video, WhichDecoderAClipLacks) {
  // wine decodes every stream inside its source (the subtype it offers is
  // already YUV), so these are the answers Windows gives: an MPEG-4 source
  // that names HEVC, then no decoder for it (MF_E_TOPO_CODEC_NOT_FOUND);
  // no WebM source at all (MF_E_UNSUPPORTED_BYTESTREAM_TYPE), or one with
  // VP9 but no decoder.
  const std::string ebml = "\x1A\x45\xDF\xA3\x01", hvc1 = std::string(4, '\0') + "ftypqt  hvc1";
  struct Case {
    HRESULT hr;
    GUID subtype;
    std::string head;
    MissingDecoder want;
  } cases[] = {
      {MF_E_TOPO_CODEC_NOT_FOUND, MFVideoFormat_HEVC, "", MissingDecoder::kHevc},
      {MF_E_INVALIDMEDIATYPE, MFVideoFormat_H265, "", MissingDecoder::kHevc},
      {MF_E_TOPO_CODEC_NOT_FOUND, MFVideoFormat_VP90, ebml, MissingDecoder::kWebm},
      {MF_E_INVALIDMEDIATYPE, MFVideoFormat_VP80, ebml, MissingDecoder::kWebm},
      {MF_E_UNSUPPORTED_BYTESTREAM_TYPE, GUID_NULL, ebml, MissingDecoder::kWebm},
      {MF_E_UNSUPPORTED_BYTESTREAM_TYPE, GUID_NULL, hvc1, MissingDecoder::kHevc},
      // A damaged clip, or a stream whose decoder is there.
      {E_FAIL, MFVideoFormat_HEVC, "", MissingDecoder::kNone},
      {MF_E_TOPO_CODEC_NOT_FOUND, MFVideoFormat_H264, ebml, MissingDecoder::kNone},
      {MF_E_UNSUPPORTED_BYTESTREAM_TYPE, GUID_NULL, "hvc1 noise", MissingDecoder::kNone},
      {E_FAIL, GUID_NULL, ebml, MissingDecoder::kNone},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(platform::win32::MissingVideoDecoder(c.hr, c.subtype, c.head), c.want)
        << std::hex << c.hr << " " << c.subtype.Data1;
  }
}

}  // namespace
