#include "platform/posix/ffmpeg_calls.h"

#include "platform/posix/loaded_libraries.h"

namespace platform::ffmpeg {

bool LoadFrom(const std::string (&libraries)[4], Calls& calls, std::string& reason) {
  enum { avutil, swscale, avcodec, avformat };
  void* handles[4] = {};
  if (!OpenLibraries(libraries, 4, handles, reason)) return false;
  PAGRIMO_FFMPEG_CALLS(PAGRIMO_RESOLVE_CALL)
  return true;
}

const Calls* Load(std::string& reason) {
  return LoadOnce<Calls>(
      [](Calls& calls, std::string& failure) {
        const std::string libraries[4] = {
            "libavutil.so." AV_STRINGIFY(LIBAVUTIL_VERSION_MAJOR),
            "libswscale.so." AV_STRINGIFY(LIBSWSCALE_VERSION_MAJOR),
            "libavcodec.so." AV_STRINGIFY(LIBAVCODEC_VERSION_MAJOR),
            "libavformat.so." AV_STRINGIFY(LIBAVFORMAT_VERSION_MAJOR)};
        if (!LoadFrom(libraries, calls, failure)) return false;
        // A damaged clip is reported through the result, not on standard error.
        calls.av_log_set_level(AV_LOG_QUIET);
        return true;
      },
      reason);
}

}  // namespace platform::ffmpeg
