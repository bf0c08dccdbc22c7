#include "platform/posix/ffmpeg_calls.h"

#include <dlfcn.h>

#include <mutex>

namespace platform::ffmpeg {

bool LoadFrom(const std::string (&libraries)[4], Calls& calls, std::string& reason) {
  // Opened for good: the process keeps them until it ends.
  enum { avutil, swscale, avcodec, avformat };
  void* handles[4] = {};
  for (int i = 0; i < 4; ++i) {
    handles[i] = dlopen(libraries[i].c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handles[i]) {
      const char* why = dlerror();
      reason = "FFmpeg's library " + libraries[i] + " cannot be loaded" +
               (why ? std::string(": ") + why : std::string());
      return false;
    }
  }
#define PAGRIMO_FFMPEG_RESOLVE(library, name)                                          \
  calls.name = reinterpret_cast<decltype(calls.name)>(dlsym(handles[library], #name)); \
  if (!calls.name) return reason = libraries[library] + " has no " #name, false;
  PAGRIMO_FFMPEG_CALLS(PAGRIMO_FFMPEG_RESOLVE)
#undef PAGRIMO_FFMPEG_RESOLVE
  return true;
}

const Calls* Load(std::string& reason) {
  static std::once_flag once;
  static Calls calls;
  static bool loaded = false;
  static std::string failure;
  std::call_once(once, [] {
    const std::string libraries[4] = {"libavutil.so." AV_STRINGIFY(LIBAVUTIL_VERSION_MAJOR),
                                      "libswscale.so." AV_STRINGIFY(LIBSWSCALE_VERSION_MAJOR),
                                      "libavcodec.so." AV_STRINGIFY(LIBAVCODEC_VERSION_MAJOR),
                                      "libavformat.so." AV_STRINGIFY(LIBAVFORMAT_VERSION_MAJOR)};
    loaded = LoadFrom(libraries, calls, failure);
    // A damaged clip is reported through the result, not on standard error.
    if (loaded) calls.av_log_set_level(AV_LOG_QUIET);
  });
  if (!loaded) reason = failure;
  return loaded ? &calls : nullptr;
}

}  // namespace platform::ffmpeg
