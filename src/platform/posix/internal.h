// What the POSIX port's files share: descriptors closed by their holder,
// paths of any length reached through descriptors, and the system's reason
// for an error number. Only the files of src/platform/posix include it.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <utility>

namespace platform::posix {

/// A file descriptor, closed when its holder goes.
struct UniqueFd {
  int fd = -1;
  UniqueFd() = default;
  explicit UniqueFd(int value) : fd(value) {}
  UniqueFd(UniqueFd&& other) noexcept : fd(std::exchange(other.fd, -1)) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) Reset(std::exchange(other.fd, -1));
    return *this;
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  ~UniqueFd() { Reset(); }
  bool Valid() const { return fd >= 0; }
  /// Closes the descriptor held, if any, and holds value instead.
  void Reset(int value = -1) {
    if (fd >= 0) ::close(fd);
    fd = value;
  }
  /// Closes now and tells how that went: 0, or -1 with errno set.
  int Close() { return fd >= 0 ? ::close(std::exchange(fd, -1)) : 0; }
  /// Gives the descriptor up without closing it.
  int Release() { return std::exchange(fd, -1); }
};

/// Flags for a folder that is only looked into, never read.
#ifdef O_PATH
inline constexpr int kFolderHandleFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;
#else
inline constexpr int kFolderHandleFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
#endif

/// The system's text for an error number.
std::string SystemReason(int error);

/// stat (or, with AT_SYMLINK_NOFOLLOW, lstat) of a path of any length; false
/// with errno set.
bool StatPath(const std::string& path, struct stat& st, int flags = 0);

/// open of a path of any length (O_CLOEXEC added); not Valid(), with errno
/// set, on failure.
UniqueFd OpenPath(const std::string& path, int flags, mode_t mode = 0);

}  // namespace platform::posix
