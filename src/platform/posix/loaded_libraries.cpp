#include "platform/posix/loaded_libraries.h"

#include <dlfcn.h>

namespace platform {

bool OpenLibraries(const std::string* names, int count, void** handles, std::string& reason) {
  for (int i = 0; i < count; ++i) {
    handles[i] = dlopen(names[i].c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handles[i]) {
      const char* why = dlerror();
      reason = "the library " + names[i] + " cannot be loaded" +
               (why ? std::string(": ") + why : std::string());
      return false;
    }
  }
  return true;
}

void* FindCall(void* handle, const char* call) { return dlsym(handle, call); }

}  // namespace platform
