#include "platform/posix/loaded_libraries.h"

#include <gtest/gtest.h>

#include "platform/posix/ffmpeg_calls.h"
#include "platform/posix/vips_calls.h"

namespace {

TEST(LoadedLibrariesTest, AMissingLibraryOrCallIsNamed) {
  const struct {
    std::string libraries[4];
    const char* reason;
  } cases[] = {
      {{"libavutil.so.57", "libpagrimo-none.so", "x", "y"},
       "the library libpagrimo-none.so cannot be loaded: libpagrimo-none.so: cannot open "
       "shared object file: No such file or directory"},
      {{"libc.so.6", "libc.so.6", "libc.so.6", "libc.so.6"}, "libc.so.6 has no av_frame_alloc"},
  };
  for (const auto& c : cases) {
    platform::ffmpeg::Calls calls;
    std::string reason;
    EXPECT_FALSE(platform::ffmpeg::LoadFrom(c.libraries, calls, reason));
    EXPECT_EQ(reason, c.reason);
  }
}

TEST(LoadedLibrariesTest, TheBuiltAgainstLibrariesLoadOnce) {
  std::string reason;
  const platform::ffmpeg::Calls* ffmpeg = platform::ffmpeg::Load(reason);
  ASSERT_NE(ffmpeg, nullptr) << reason;
  EXPECT_NE(ffmpeg->sws_setColorspaceDetails, nullptr);
  EXPECT_EQ(platform::ffmpeg::Load(reason), ffmpeg);
  const platform::vips_library::Calls* vips = platform::vips_library::Load(reason);
  ASSERT_NE(vips, nullptr) << reason;
  EXPECT_NE(vips->g_log_set_handler, nullptr);
  EXPECT_EQ(platform::vips_library::Load(reason), vips);
}

}  // namespace
