#include "platform/posix/ffmpeg_calls.h"

#include <gtest/gtest.h>

namespace {

using platform::ffmpeg::Calls;

TEST(FfmpegCallsTest, AMissingLibraryOrCallIsNamed) {
  const struct {
    std::string libraries[4];
    const char* reason;
  } cases[] = {
      {{"libavutil.so.57", "libpagrimo-none.so", "x", "y"},
       "FFmpeg's library libpagrimo-none.so cannot be loaded: libpagrimo-none.so: cannot open "
       "shared object file: No such file or directory"},
      {{"libc.so.6", "libc.so.6", "libc.so.6", "libc.so.6"}, "libc.so.6 has no av_frame_alloc"},
  };
  for (const auto& c : cases) {
    Calls calls;
    std::string reason;
    EXPECT_FALSE(platform::ffmpeg::LoadFrom(c.libraries, calls, reason));
    EXPECT_EQ(reason, c.reason);
  }
}

TEST(FfmpegCallsTest, TheBuiltAgainstLibrariesLoadOnce) {
  std::string reason;
  const Calls* calls = platform::ffmpeg::Load(reason);
  ASSERT_NE(calls, nullptr) << reason;
  EXPECT_NE(calls->sws_setColorspaceDetails, nullptr);
  EXPECT_EQ(platform::ffmpeg::Load(reason), calls);
}

}  // namespace
