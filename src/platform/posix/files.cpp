// The POSIX port, text files. Sections, in order:
//   1. Reading: ReadWholeFile (regular files only), ReadTextFile (the byte
//      order mark, see plain_text.h), ReadSettingsSection (ini_lines.h),
//      ReadFileBytes (a part of a regular file).
//   2. Replacing a page: a temporary file beside it, written, flushed when it
//      replaces a page, renamed over it, the folder flushed after; a page
//      that already holds the bytes is left alone.
//   3. Display copies: written atomically the same way (unflushed: a copy can
//      be made again), and the thumbnail folder.
#include "platform/posix/files.h"

#include <cerrno>
#include <cstring>
#include <random>

#include "platform/ini_lines.h"
#include "platform/plain_text.h"
#include "platform/platform.h"
#include "platform/posix/internal.h"
#include "platform/reasons.h"

namespace platform {

using posix::OpenPath;
using posix::SystemReason;
using posix::UniqueFd;

// 1. Reading -----------------------------------------------------------------

namespace {

// Opens path for reading when it is a regular file, with its status in st.
// O_NONBLOCK: a FIFO in a file's place must not stop the run. Invalid, with
// the reason, otherwise.
UniqueFd OpenRegularFile(const std::string& path, struct stat& st, std::string& reason) {
  UniqueFd file = OpenPath(path, O_RDONLY | O_NONBLOCK);
  if (!file.Valid()) {
    reason = SystemReason(errno);
    return file;
  }
  if (fstat(file.fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    reason = "not a regular file";
    return UniqueFd();
  }
  return file;
}

bool ReadWholeFile(const std::string& path, std::string& bytes, std::string& reason) {
  struct stat st;
  UniqueFd file = OpenRegularFile(path, st, reason);
  if (!file.Valid()) return false;
  bytes.clear();
  char buffer[65536];
  for (;;) {
    ssize_t got = read(file.fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      reason = SystemReason(errno);
      return false;
    }
    if (got == 0) break;
    bytes.append(buffer, static_cast<size_t>(got));
  }
  return true;
}

}  // namespace

bool ReadTextFile(const std::string& path, std::string& text, TextEncoding& encoding,
                  std::string& reason) {
  if (!ReadWholeFile(path, text, reason)) return false;
  encoding = StripByteOrderMark(text) ? TextEncoding::kUtf8Bom : TextEncoding::kSystem;
  return true;
}

std::vector<std::pair<std::string, std::string>> ReadSettingsSection(const std::string& path,
                                                                     const std::string& section) {
  std::string bytes, reason;
  if (!ReadWholeFile(path, bytes, reason)) return {};
  return IniSection(std::move(bytes), section);
}

bool ReadFileBytes(const std::string& path, std::int64_t offset, size_t count, std::string& bytes,
                   std::string& reason) {
  bytes.clear();
  if (offset < 0) {
    reason = SystemReason(EINVAL);
    return false;
  }
  struct stat st;
  UniqueFd file = OpenRegularFile(path, st, reason);
  if (!file.Valid()) return false;
  bytes.resize(count);
  size_t have = 0;
  while (have < count) {
    ssize_t got = pread(file.fd, bytes.data() + have, count - have,
                        static_cast<off_t>(offset) + static_cast<off_t>(have));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      reason = SystemReason(errno);
      bytes.clear();
      return false;
    }
    if (got == 0) break;
    have += static_cast<size_t>(got);
  }
  bytes.resize(have);
  return true;
}

// 2. Replacing a page ----------------------------------------------------------

namespace {

// True when name in the open folder dir is a regular file that holds exactly
// head followed by text. The caller has seen that the sizes agree; the file
// is read in blocks and compared as it comes, never held whole.
bool HoldsExactly(int dir, const std::string& name, std::string_view head,
                  const std::string& text) {
  // O_NOFOLLOW: a link in the page's place is replaced, never kept.
  UniqueFd file(openat(dir, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (!file.Valid()) return false;
  size_t total = head.size() + text.size();
  struct stat st;
  bool same = fstat(file.fd, &st) == 0 && S_ISREG(st.st_mode) &&
              static_cast<unsigned long long>(st.st_size) == total;
  char buffer[65536];
  size_t at = 0;
  while (same && at < total) {
    ssize_t got = read(file.fd, buffer, std::min(sizeof buffer, total - at));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      same = false;
      break;
    }
    for (size_t i = 0, n = static_cast<size_t>(got); same && i < n;) {
      // The block against head, then against text, each compared at once.
      size_t pos = at + i;
      std::string_view part = pos < head.size() ? head : std::string_view(text);
      size_t offset = pos < head.size() ? pos : pos - head.size();
      size_t length = std::min(n - i, part.size() - offset);
      same = std::memcmp(buffer + i, part.data() + offset, length) == 0;
      i += length;
    }
    at += static_cast<size_t>(got);
  }
  return same;
}

// Writes the temporary file's bytes and mode, flushed to disk when it is to
// replace a page; 0, or the error number.
int WriteTemporary(UniqueFd& file, std::string_view head, const std::string& text, mode_t mode,
                   bool flush) {
  if (!WriteWhole(file.fd, head.data(), head.size()) ||
      !WriteWhole(file.fd, text.data(), text.size())) {
    return errno != 0 ? errno : EIO;
  }
  if (fchmod(file.fd, mode) != 0) return errno;
  // The new page reaches the disk before it takes the old one's name, so a
  // power loss leaves the old page or the new one, never an empty file. A new
  // page has nothing to lose and is not waited for.
  if (flush && fdatasync(file.fd) != 0) return errno;
  if (file.Close() != 0) return errno;
  return 0;
}

}  // namespace

bool ReplaceTextFile(const std::string& path, const std::string& text, TextEncoding encoding,
                     std::string& reason) {
  // Everything happens relative to the page's folder, opened once, so a page
  // deep below PATH_MAX's reach is written like any other.
  size_t slash = path.rfind('/');
  std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  std::string_view head = encoding == TextEncoding::kUtf8Bom ? kUtf8ByteOrderMark : "";
  UniqueFd dir = OpenPath(folder, posix::kFolderHandleFlags);
  if (!dir.Valid()) {
    reason = SystemReason(errno);
    return false;
  }
  mode_t mode = 0;
  struct stat st;
  bool replacing = fstatat(dir.fd, name.c_str(), &st, 0) == 0;
  if (replacing) {
    if (S_ISDIR(st.st_mode)) {
      reason = kFolderInPagePlace;
      return false;
    }
    if ((st.st_mode & 0222) == 0) {
      reason = kPageReadOnly;
      return false;
    }
    // A page that already holds these bytes is left as it is, times and all;
    // its content is read only when the sizes agree.
    if (S_ISREG(st.st_mode) &&
        static_cast<unsigned long long>(st.st_size) == head.size() + text.size() &&
        HoldsExactly(dir.fd, name, head, text)) {
      return true;
    }
    mode = st.st_mode & 07777;
  } else {
    mode_t mask = umask(0);
    umask(mask);
    mode = 0666 & ~mask;
  }
  std::string temp;
  UniqueFd file = CreateTemporary(dir.fd, temp, 0600);
  if (!file.Valid()) {
    reason = SystemReason(errno);
    return false;
  }
  errno = 0;
  int error = WriteTemporary(file, head, text, mode, replacing);
  if (error == 0 && renameat(dir.fd, temp.c_str(), dir.fd, name.c_str()) != 0) error = errno;
  if (error != 0) {
    file.Reset();
    unlinkat(dir.fd, temp.c_str(), 0);
    reason = SystemReason(error);
    return false;
  }
  if (replacing) {
    // The rename itself reaches the disk with the folder. The page is whole
    // either way, so a folder that cannot be flushed is not a failure.
    UniqueFd self(openat(dir.fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (self.Valid()) fsync(self.fd);
  }
  return true;
}

// 5. For the thumbnail engine and the picture header reader -------------------

int OpenAnyPath(const std::string& path, int flags, mode_t mode) {
  return OpenPath(path, flags, mode).Release();
}

UniqueFd CreateTemporary(int dir, std::string& name, mode_t mode) {
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  thread_local std::mt19937 generator{std::random_device{}()};
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = ".pagrimo-";
    for (int i = 0; i < 6; ++i) name += kLetters[generator() % (sizeof kLetters - 1)];
    UniqueFd file(openat(dir, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode));
    if (file.Valid() || errno != EEXIST) return file;
  }
  return UniqueFd();
}

bool WriteWhole(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    ssize_t put = write(fd, data, size);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    data += put;
    size -= static_cast<size_t>(put);
  }
  return true;
}

// 3. Display copies -----------------------------------------------------------

bool WriteFileAtomically(const std::string& target, const void* bytes, size_t size, mode_t mode,
                         std::string& reason) {
  size_t slash = target.rfind('/');
  std::string folder = slash == std::string::npos ? "." : target.substr(0, slash + 1);
  std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
  int dir = OpenAnyPath(folder, O_RDONLY | O_DIRECTORY);
  if (dir < 0) return reason = std::strerror(errno), false;
  std::string temp;
  posix::UniqueFd file = CreateTemporary(dir, temp, mode);
  if (!file.Valid()) {
    reason = std::strerror(errno);
    close(dir);
    return false;
  }
  int error = 0;
  if (!WriteWhole(file.fd, static_cast<const char*>(bytes), size)) error = errno ? errno : EIO;
  if (fchmod(file.fd, mode) != 0 && error == 0) error = errno;
  if (file.Close() != 0 && error == 0) error = errno;
  if (error == 0 && renameat(dir, temp.c_str(), dir, name.c_str()) != 0) error = errno;
  if (error != 0) {
    unlinkat(dir, temp.c_str(), 0);
    reason = std::strerror(error);
  }
  close(dir);
  return error == 0;
}

bool MakeThumbnailFolder(const std::string& path, std::string& reason) {
  size_t slash = path.find_last_not_of('/');
  std::string trimmed = slash == std::string::npos ? path : path.substr(0, slash + 1);
  size_t cut = trimmed.rfind('/');
  std::string parent = cut == std::string::npos ? "." : trimmed.substr(0, cut + 1);
  std::string name = cut == std::string::npos ? trimmed : trimmed.substr(cut + 1);
  int dir = OpenAnyPath(parent, O_RDONLY | O_DIRECTORY);
  if (dir < 0) return reason = std::strerror(errno), false;
  bool ok = mkdirat(dir, name.c_str(), 0777) == 0 || errno == EEXIST;
  int error = errno;
  struct stat st;
  if (ok && (fstatat(dir, name.c_str(), &st, 0) != 0 || !S_ISDIR(st.st_mode))) {
    ok = false;
    error = ENOTDIR;
  }
  close(dir);
  if (!ok) reason = std::strerror(error);
  return ok;
}

}  // namespace platform
