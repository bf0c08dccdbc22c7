// Libraries the engines load when they first need them instead of linking
// them: a run that makes no copy of a picture or clip maps none of them.
// Each engine keeps a table of the calls it makes (ffmpeg_calls.h,
// vips_calls.h). Not part of the seam.
#pragma once

#include <mutex>
#include <string>

namespace platform {

/// Opens the count libraries named (sonames, found by the dynamic loader's
/// usual search) into handles, for good: they are never closed. False on the
/// first that cannot be opened, with the reason "the library NAME cannot be
/// loaded: WHY".
bool OpenLibraries(const std::string* names, int count, void** handles, std::string& reason);

/// The address of call in the library handle; null when it exports none.
void* FindCall(void* handle, const char* call);

/// The process's one table of Calls: filled by load on the first call, from
/// any thread. Null, with the reason load gave, when it failed; every later
/// call answers the same.
template <typename Calls>
const Calls* LoadOnce(bool (*load)(Calls&, std::string&), std::string& reason) {
  static std::once_flag once;
  static Calls calls;
  static bool loaded = false;
  static std::string failure;
  std::call_once(once, [load] { loaded = load(calls, failure); });
  if (!loaded) reason = failure;
  return loaded ? &calls : nullptr;
}

}  // namespace platform

// Within a LoadFrom(libraries, calls, reason) whose libraries are open in
// handles: fills calls.name from handles[library], or returns false with
// the reason "SONAME has no NAME".
#define PAGRIMO_RESOLVE_CALL(library, name)                                               \
  calls.name = reinterpret_cast<decltype(calls.name)>(FindCall(handles[library], #name)); \
  if (!calls.name) return reason = libraries[library] + " has no " #name, false;
