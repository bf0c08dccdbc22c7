#include "platform/posix/vips_calls.h"

#include "platform/posix/loaded_libraries.h"

namespace platform::vips_library {

bool LoadFrom(const std::string (&libraries)[3], Calls& calls, std::string& reason) {
  enum { vips, gobject, glib };
  void* handles[3] = {};
  if (!OpenLibraries(libraries, 3, handles, reason)) return false;
  PAGRIMO_VIPS_CALLS(PAGRIMO_RESOLVE_CALL)
  return true;
}

const Calls* Load(std::string& reason) {
  return LoadOnce<Calls>(
      [](Calls& calls, std::string& failure) {
        // libtool's soname: the interface number less the interfaces it keeps.
        const std::string libraries[3] = {
            "libvips.so." + std::to_string(VIPS_LIBRARY_CURRENT - VIPS_LIBRARY_AGE),
            "libgobject-2.0.so.0", "libglib-2.0.so.0"};
        return LoadFrom(libraries, calls, failure);
      },
      reason);
}

}  // namespace platform::vips_library
