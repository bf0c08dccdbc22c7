// File helpers of files.cpp that the other POSIX sources of the platform
// layer share. Not part of the seam: nothing above src/platform includes it.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>

#include "platform/posix/internal.h"

namespace platform {

/// open(2) of a path of any length, also one longer than PATH_MAX; the
/// descriptor is close-on-exec. -1 with errno set on failure.
int OpenAnyPath(const std::string& path, int flags, mode_t mode = 0);

/// Creates a new file ".pagrimo-XXXXXX" with the given mode in the open
/// folder dir and sets name to its name; not Valid(), with errno set, on
/// failure. Safe from any thread.
posix::UniqueFd CreateTemporary(int dir, std::string& name, mode_t mode);

/// Writes all of data, retrying short writes; false with errno set.
bool WriteWhole(int fd, const char* data, std::size_t size);

/// Writes bytes to target through a new temporary file in its folder, given
/// the mode and renamed over target only when complete; on failure nothing
/// is left behind and reason holds the system's text.
bool WriteFileAtomically(const std::string& target, const void* bytes, std::size_t size,
                         mode_t mode, std::string& reason);

}  // namespace platform
