// The platform layer on POSIX systems (Linux first). Everything but the
// functions of platform.h is static to this file.
#include <dirent.h>
#include <fcntl.h>
#include <langinfo.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <cwchar>
#include <cwctype>
#include <random>
#include <string>

#include "platform/platform.h"
#include "platform/posix_files.h"

namespace platform {
namespace {

std::string g_argumentText;
bool g_plainCollation = true;  // byte order of lower-cased text suffices
// In a UTF-8 locale a byte below 0x80 is always a whole character, so it is
// lower-cased through this table (filled from towlower) without decoding.
bool g_utf8Locale = false;
wchar_t g_asciiLower[128];

#ifdef O_PATH
constexpr int kFolderHandleFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;  // lookups only
#else
constexpr int kFolderHandleFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
#endif

// The folder that GetFileStamp keeps open while a FileStampBatch exists.
struct StampFolder {
  bool active = false;
  std::string path;  // ends in "/"
  int fd = -1;
};
StampFolder g_stampFolder;

void ReleaseStampFolder() {
  if (g_stampFolder.fd >= 0) close(g_stampFolder.fd);
  g_stampFolder.fd = -1;
  g_stampFolder.path.clear();
}

struct EnumState {
  DIR* dir = nullptr;
  std::string folder;       // the pattern's folder part, ending in "/" or empty
  std::string namePattern;  // the last component
  unsigned mask = 0;
  bool single = false;  // a literal name: answered by one stat, no listing
  bool singleDone = false;
};

std::string SystemReason(int error) { return std::strerror(error); }

bool HasWildcard(const std::string& text) { return text.find_first_of("*?") != std::string::npos; }

// Length of the UTF-8 character starting at text[i]; 1 for a stray byte.
size_t CharLength(const std::string& text, size_t i) {
  unsigned char c = static_cast<unsigned char>(text[i]);
  size_t length = c < 0xC0 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
  size_t end = i + 1;
  while (end < text.size() && end < i + length &&
         (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
    ++end;
  }
  return end - i;
}

// Wildcard match: "*" any run of characters, "?" exactly one character.
// Iterative with one backtrack point, so it is linear in practice.
bool MatchesPattern(const std::string& name, const std::string& pattern) {
  size_t n = 0, p = 0, starP = std::string::npos, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      starP = p++;
      starN = n;
    } else if (p < pattern.size() && pattern[p] == '?') {
      ++p;
      n += CharLength(name, n);
    } else if (p < pattern.size() && pattern[p] == name[n]) {
      ++p;
      ++n;
    } else if (starP != std::string::npos) {
      p = starP + 1;
      starN += CharLength(name, starN);
      n = starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

// Decides whether a named entry of the given kind is returned under mask.
// kind: 'd' folder, 'f' ordinary file, 0 anything else.
bool Admits(const std::string& name, char kind, unsigned mask) {
  bool dots = name == "." || name == "..";
  if (!dots && !name.empty() && name[0] == '.') return false;  // hidden
  if (kind == 'f') return !dots;
  if (kind == 'd') return (mask & kFolderAttribute) != 0;
  return false;
}

// A path as the kernel takes it: a folder descriptor and a path relative to
// it. A path shorter than PATH_MAX goes as it is, relative to the current
// folder; a longer one is opened a run of whole components at a time, so a
// tree of any depth can be reached. The descriptor closes with the object.
struct PathAt {
  int dirfd = AT_FDCWD;
  std::string rest;
  PathAt() = default;
  PathAt(const PathAt&) = delete;
  PathAt& operator=(const PathAt&) = delete;
  ~PathAt() {
    if (dirfd >= 0) close(dirfd);
  }
};

// False, with errno set, when a folder on the way cannot be opened or one
// component alone is longer than the kernel takes.
bool ReachPath(const std::string& path, PathAt& at) {
  if (path.size() < PATH_MAX) {
    at.rest = path;
    return true;
  }
  size_t pos = path[0] == '/' ? 1 : 0;
  at.dirfd = open(pos == 1 ? "/" : ".", kFolderHandleFlags);
  if (at.dirfd < 0) return false;
  while (path.size() - pos >= PATH_MAX) {
    size_t slash = path.rfind('/', pos + PATH_MAX - 2);
    if (slash == std::string::npos || slash < pos) {
      errno = ENAMETOOLONG;
      return false;
    }
    if (slash > pos) {
      std::string chunk = path.substr(pos, slash - pos);
      int next = openat(at.dirfd, chunk.c_str(), kFolderHandleFlags);
      if (next < 0) return false;
      close(at.dirfd);
      at.dirfd = next;
    }
    pos = slash + 1;
  }
  at.rest = pos < path.size() ? path.substr(pos) : ".";
  return true;
}

// stat (or lstat with AT_SYMLINK_NOFOLLOW) of a path of any length.
bool StatPath(const std::string& path, struct stat& st, int flags = 0) {
  PathAt at;
  return ReachPath(path, at) && fstatat(at.dirfd, at.rest.c_str(), &st, flags) == 0;
}

// open of a path of any length; -1 with errno set on failure.
int OpenPath(const std::string& path, int flags, mode_t mode = 0) {
  PathAt at;
  if (!ReachPath(path, at)) return -1;
  return openat(at.dirfd, at.rest.c_str(), flags | O_CLOEXEC, mode);
}

char KindOf(const struct stat& st) {
  if (S_ISDIR(st.st_mode)) return 'd';
  if (S_ISREG(st.st_mode)) return 'f';
  return 0;
}

char KindOfPath(const std::string& path) {
  struct stat st;
  if (!StatPath(path, st)) return 0;
  return KindOf(st);
}

// The kind of an entry of an open folder, asked relative to the folder itself
// so that no path is resolved again.
char KindInFolder(DIR* dir, const char* name) {
  struct stat st;
  if (fstatat(dirfd(dir), name, &st, 0) != 0) return 0;
  return KindOf(st);
}

bool NextFromState(EnumState& s, DirEntry& entry) {
  if (s.single) {
    if (s.singleDone) return false;
    s.singleDone = true;
    std::string name = s.namePattern;
    char kind = KindOfPath(s.folder + name);
    if (!Admits(name, kind, s.mask)) return false;
    entry.name = name;
    entry.isFolder = kind == 'd';
    return true;
  }
  if (s.dir == nullptr) return false;
  while (struct dirent* d = readdir(s.dir)) {
    std::string name = d->d_name;
    if (!MatchesPattern(name, s.namePattern)) continue;
    if (!name.empty() && name[0] == '.' && name != "." && name != "..") continue;
    char kind = 0;
    if (d->d_type == DT_DIR) {
      kind = 'd';
    } else if (d->d_type == DT_REG) {
      kind = 'f';
    } else if (d->d_type == DT_LNK || d->d_type == DT_UNKNOWN) {
      kind = KindInFolder(s.dir, d->d_name);
    }
    if (!Admits(name, kind, s.mask)) continue;
    entry.name = std::move(name);
    entry.isFolder = kind == 'd';
    return true;
  }
  closedir(s.dir);
  s.dir = nullptr;
  return false;
}

std::string Trim(const std::string& text) {
  size_t begin = text.find_first_not_of(" \t");
  if (begin == std::string::npos) return "";
  size_t end = text.find_last_not_of(" \t");
  return text.substr(begin, end - begin + 1);
}

bool EqualIgnoringAsciiCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

bool ReadWholeFile(const std::string& path, std::string& bytes, std::string& reason) {
  // O_NONBLOCK: a FIFO in a file's place must not stop the run; only a
  // regular file is read.
  int fd = OpenPath(path, O_RDONLY | O_NONBLOCK);
  if (fd < 0) {
    reason = SystemReason(errno);
    return false;
  }
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    reason = "not a regular file";
    close(fd);
    return false;
  }
  bytes.clear();
  char buffer[65536];
  for (;;) {
    ssize_t got = read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      reason = SystemReason(errno);
      close(fd);
      return false;
    }
    if (got == 0) break;
    bytes.append(buffer, static_cast<size_t>(got));
  }
  close(fd);
  return true;
}

// Creates a new file ".pagrimo-XXXXXX" in the open folder dir, readable and
// writable by the owner only, and sets name to its name; -1 with errno set.
int CreateTemporary(int dir, std::string& name) {
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  static std::mt19937 generator{std::random_device{}()};
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = ".pagrimo-";
    for (int i = 0; i < 6; ++i) name += kLetters[generator() % (sizeof kLetters - 1)];
    int fd = openat(dir, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    ssize_t put = write(fd, data, size);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    data += put;
    size -= static_cast<size_t>(put);
  }
  return true;
}

// True when name in the open folder dir is a regular file that holds exactly
// head followed by text. The caller has seen that the sizes agree; the file
// is read in blocks and compared as it comes, never held whole.
bool HoldsExactly(int dir, const std::string& name, const std::string& head,
                  const std::string& text) {
  // O_NOFOLLOW: a link in the page's place is replaced, never kept.
  int fd = openat(dir, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  size_t total = head.size() + text.size();
  struct stat st;
  bool same = fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
              static_cast<unsigned long long>(st.st_size) == total;
  char buffer[65536];
  size_t at = 0;
  while (same && at < total) {
    ssize_t got = read(fd, buffer, std::min(sizeof buffer, total - at));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      same = false;
      break;
    }
    for (size_t i = 0, n = static_cast<size_t>(got); same && i < n;) {
      // The block against head, then against text, each compared at once.
      size_t pos = at + i;
      const std::string& part = pos < head.size() ? head : text;
      size_t offset = pos < head.size() ? pos : pos - head.size();
      size_t length = std::min(n - i, part.size() - offset);
      same = std::memcmp(buffer + i, part.data() + offset, length) == 0;
      i += length;
    }
    at += static_cast<size_t>(got);
  }
  close(fd);
  return same;
}

// Decodes text into wide characters, lower-cased, into wide; a byte that is
// not part of a valid character of the locale's encoding becomes U+FFFD.
void LowerWide(const std::string& text, std::wstring& wide) {
  wide.clear();
  std::mbstate_t state{};
  size_t i = 0;
  while (i < text.size()) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (g_utf8Locale && c < 0x80) {
      wide.push_back(g_asciiLower[c]);
      ++i;
      continue;
    }
    wchar_t wc = 0;
    size_t used = std::mbrtowc(&wc, text.data() + i, text.size() - i, &state);
    if (used == static_cast<size_t>(-1) || used == static_cast<size_t>(-2)) {
      state = std::mbstate_t{};
      wide.push_back(L'\xFFFD');
      ++i;
      continue;
    }
    if (used == 0) used = 1;  // an embedded NUL
    wide.push_back(static_cast<wchar_t>(std::towlower(static_cast<wint_t>(wc))));
    i += used;
  }
}

// Appends a collation weight in a prefix-free code whose byte order is the
// order of the weights: 1 byte below 2^7, 2 below 2^14, 3 below 2^21, else 5.
char* PutWeight(char* out, std::uint32_t w) {
  if (w < 0x80) {
    *out++ = static_cast<char>(w);
  } else if (w < 0x4000) {
    *out++ = static_cast<char>(0x80 | (w >> 8));
    *out++ = static_cast<char>(w & 0xFF);
  } else if (w < 0x200000) {
    *out++ = static_cast<char>(0xC0 | (w >> 16));
    *out++ = static_cast<char>((w >> 8) & 0xFF);
    *out++ = static_cast<char>(w & 0xFF);
  } else {
    *out++ = static_cast<char>(0xE0);
    *out++ = static_cast<char>(w >> 24);
    *out++ = static_cast<char>((w >> 16) & 0xFF);
    *out++ = static_cast<char>((w >> 8) & 0xFF);
    *out++ = static_cast<char>(w & 0xFF);
  }
  return out;
}

}  // namespace

Enumeration::~Enumeration() { EndEnumeration(*this); }

void StartProcess(int argc, char** argv) {
  // A file-size limit makes a page write fail with EFBIG, which is reported
  // and cleaned up, instead of killing the program with a temporary file left.
  std::signal(SIGXFSZ, SIG_IGN);
  // Folder trees are walked recursively, up to thousands of levels deep. On
  // Linux the main thread's stack grows on demand up to the current limit,
  // and at least 128 MiB below it are kept free for that, so raising the soft
  // limit to 64 MiB gives the recursion room in every build.
  constexpr rlim_t kStackBytes = rlim_t{64} << 20;
  struct rlimit stack {};
  if (getrlimit(RLIMIT_STACK, &stack) == 0 && stack.rlim_cur != RLIM_INFINITY &&
      stack.rlim_cur < kStackBytes) {
    stack.rlim_cur = stack.rlim_max == RLIM_INFINITY || stack.rlim_max > kStackBytes
                         ? kStackBytes
                         : stack.rlim_max;
    setrlimit(RLIMIT_STACK, &stack);
  }
  std::setlocale(LC_ALL, "");
  tzset();
  const char* collate = std::setlocale(LC_COLLATE, nullptr);
  std::string name = collate ? collate : "C";
  g_plainCollation = name == "C" || name == "POSIX" || name.rfind("C.", 0) == 0;
  g_utf8Locale = std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0;
  for (int c = 0; c < 128; ++c) {
    g_asciiLower[c] = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
  }
  g_argumentText.clear();
  for (int i = 1; i < argc; ++i) {
    if (i > 1) g_argumentText += ' ';
    g_argumentText += argv[i];
  }
}

std::string ExecutableFolder() {
  std::string buffer(4096, '\0');
  for (;;) {
    ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length < 0) return ".";
    if (static_cast<size_t>(length) < buffer.size()) {
      buffer.resize(static_cast<size_t>(length));
      break;
    }
    buffer.resize(buffer.size() * 2);
  }
  size_t slash = buffer.rfind('/');
  return slash == std::string::npos ? "." : buffer.substr(0, slash);
}

std::string ArgumentText() { return g_argumentText; }

bool StartEnumeration(Enumeration& e, const std::string& pattern, unsigned mask, DirEntry& entry) {
  EndEnumeration(e);
  auto* s = new EnumState;
  e.state = s;
  size_t slash = pattern.rfind('/');
  s->folder = slash == std::string::npos ? "" : pattern.substr(0, slash + 1);
  s->namePattern = slash == std::string::npos ? pattern : pattern.substr(slash + 1);
  s->mask = mask;
  if (!s->namePattern.empty() && !HasWildcard(s->namePattern)) {
    s->single = true;
  } else {
    // (Appended rather than assigned: GCC 12 at -O3 warns about the
    // assignment with a false -Wrestrict.)
    if (s->namePattern.empty()) s->namePattern.push_back('*');
    int fd = OpenPath(s->folder.empty() ? "." : s->folder, O_RDONLY | O_DIRECTORY);
    // A folder that can be listed but not entered (read without search
    // permission) counts as unreadable: its entries could be named but never
    // opened or measured, so it contributes nothing.
    if (fd >= 0 && faccessat(fd, ".", X_OK, AT_EACCESS) != 0) {
      close(fd);
      fd = -1;
    }
    s->dir = fd < 0 ? nullptr : fdopendir(fd);
    if (s->dir == nullptr && fd >= 0) close(fd);
  }
  return NextEntry(e, entry);
}

bool NextEntry(Enumeration& e, DirEntry& entry) {
  if (e.state == nullptr) return false;
  if (NextFromState(*static_cast<EnumState*>(e.state), entry)) return true;
  EndEnumeration(e);
  return false;
}

void EndEnumeration(Enumeration& e) {
  auto* s = static_cast<EnumState*>(e.state);
  if (s == nullptr) return;
  if (s->dir != nullptr) closedir(s->dir);
  delete s;
  e.state = nullptr;
}

unsigned GetAttributes(const std::string& path) {
  struct stat st;
  if (!StatPath(path, st)) return 0;
  unsigned bits = S_ISDIR(st.st_mode) ? kFolderAttribute : 128;  // 128: normal file
  if ((st.st_mode & 0222) == 0) bits |= 1;                       // read-only
  size_t slash = path.find_last_of('/', path.size() > 1 ? path.size() - 2 : 0);
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (!name.empty() && name[0] == '.' && name != "." && name != ".." && name != "./" &&
      name != "../") {
    bits |= 2;  // hidden
  }
  struct stat link;
  if (StatPath(path, link, AT_SYMLINK_NOFOLLOW) && S_ISLNK(link.st_mode)) bits |= kLinkAttribute;
  return bits;
}

bool GetFolderId(const std::string& path, FolderId& id) {
  struct stat st;
  if (!StatPath(path, st) || !S_ISDIR(st.st_mode)) return false;
  id.volume = static_cast<std::uint64_t>(st.st_dev);
  id.index = static_cast<std::uint64_t>(st.st_ino);
  return true;
}

FileStampBatch::FileStampBatch() {
  ReleaseStampFolder();
  g_stampFolder.active = true;
}

FileStampBatch::~FileStampBatch() {
  ReleaseStampFolder();
  g_stampFolder.active = false;
}

bool GetFileStamp(const std::string& path, FileStamp& stamp, std::string& reason) {
  struct stat st;
  int result = -1;
  size_t slash = path.rfind('/');
  if (g_stampFolder.active && slash != std::string::npos && slash + 1 < path.size()) {
    // Within a batch: open the file's folder once, then look up names in it.
    if (g_stampFolder.path.size() != slash + 1 ||
        path.compare(0, slash + 1, g_stampFolder.path) != 0) {
      ReleaseStampFolder();
      g_stampFolder.path.assign(path, 0, slash + 1);
      g_stampFolder.fd = OpenPath(g_stampFolder.path, kFolderHandleFlags);
    }
    if (g_stampFolder.fd >= 0) {
      result = fstatat(g_stampFolder.fd, path.c_str() + slash + 1, &st, 0);
    } else {
      result = StatPath(path, st) ? 0 : -1;
    }
  } else {
    result = StatPath(path, st) ? 0 : -1;
  }
  if (result != 0) {
    reason = SystemReason(errno);
    return false;
  }
  stamp.size = static_cast<std::int64_t>(st.st_size);
  stamp.modified = static_cast<std::int64_t>(st.st_mtime);
  return true;
}

std::string LocalDateTimeText(std::int64_t modified) {
  std::time_t t = static_cast<std::time_t>(modified);
  struct tm local {};
  if (localtime_r(&t, &local) == nullptr) return "";
  // The C locale's "%x" has a two-digit year; ISO order reads better there.
  static const bool plain = std::strcmp(nl_langinfo(D_FMT), "%m/%d/%y") == 0;
  const char* format = plain ? "%Y-%m-%d %H:%M:%S" : "%x %X";
  char buffer[256];
  size_t length = std::strftime(buffer, sizeof buffer, format, &local);
  return std::string(buffer, length);
}

std::string LowerText(const std::string& text) {
  std::string result;
  result.reserve(text.size());
  std::mbstate_t in{}, out{};
  char buffer[MB_LEN_MAX];
  size_t i = 0;
  while (i < text.size()) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      result.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : static_cast<char>(c));
      ++i;
      continue;
    }
    wchar_t wc = 0;
    size_t used = std::mbrtowc(&wc, text.data() + i, text.size() - i, &in);
    if (used == static_cast<size_t>(-1) || used == static_cast<size_t>(-2) || used == 0) {
      in = std::mbstate_t{};
      result.push_back(text[i]);  // not a character of the locale: kept as it is
      ++i;
      continue;
    }
    size_t put =
        std::wcrtomb(buffer, static_cast<wchar_t>(std::towlower(static_cast<wint_t>(wc))), &out);
    if (put == static_cast<size_t>(-1)) {
      out = std::mbstate_t{};
      result.append(text, i, used);
    } else {
      result.append(buffer, put);
    }
    i += used;
  }
  return result;
}

std::string CollationKey(const std::string& text) {
  if (g_plainCollation) return LowerText(text);
  // Buffers kept between calls: keys are made once per name, many in a row.
  static std::wstring wide, key;
  static std::string scratch;
  LowerWide(text, wide);
  if (key.size() < wide.size() * 6 + 16) key.resize(wide.size() * 6 + 16);
  size_t length = std::wcsxfrm(key.data(), wide.c_str(), key.size());
  if (length >= key.size()) {
    key.resize(length + length / 2 + 1);
    length = std::wcsxfrm(key.data(), wide.c_str(), key.size());
  }
  if (scratch.size() < length * 5) scratch.resize(length * 5);
  char* out = scratch.data();
  for (size_t i = 0; i < length; ++i) out = PutWeight(out, static_cast<std::uint32_t>(key[i]));
  return std::string(scratch.data(), out);
}

std::vector<std::pair<std::string, std::string>> ReadSettingsSection(const std::string& path,
                                                                     const std::string& section) {
  std::vector<std::pair<std::string, std::string>> entries;
  std::string bytes, reason;
  if (!ReadWholeFile(path, bytes, reason)) return entries;
  if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) bytes.erase(0, 3);
  bool inSection = false;
  size_t pos = 0;
  while (pos < bytes.size()) {
    size_t end = bytes.find_first_of("\r\n", pos);
    if (end == std::string::npos) end = bytes.size();
    std::string line = Trim(bytes.substr(pos, end - pos));
    pos = end + 1;
    if (end < bytes.size() && bytes[end] == '\r' && pos < bytes.size() && bytes[pos] == '\n') {
      ++pos;
    }
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    if (line[0] == '[') {
      size_t close = line.find(']');
      inSection = close != std::string::npos &&
                  EqualIgnoringAsciiCase(Trim(line.substr(1, close - 1)), section);
      continue;
    }
    size_t equals = line.find('=');
    if (!inSection || equals == std::string::npos) continue;
    std::string value = Trim(line.substr(equals + 1));
    if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0]) {
      value = value.substr(1, value.size() - 2);
    }
    entries.emplace_back(Trim(line.substr(0, equals)), std::move(value));
  }
  return entries;
}

void ReportFailure(const std::string& text) {
  std::string line = "pagrimo: " + text + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

bool ReadTextFile(const std::string& path, std::string& text, TextEncoding& encoding,
                  std::string& reason) {
  if (!ReadWholeFile(path, text, reason)) return false;
  encoding = TextEncoding::kSystem;
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) {
    text.erase(0, 3);
    encoding = TextEncoding::kUtf8Bom;
  }
  return true;
}

bool ReplaceTextFile(const std::string& path, const std::string& text, TextEncoding encoding,
                     std::string& reason) {
  // Everything happens relative to the page's folder, opened once, so a page
  // deep below PATH_MAX's reach is written like any other.
  size_t slash = path.rfind('/');
  std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  std::string head = encoding == TextEncoding::kUtf8Bom ? "\xEF\xBB\xBF" : "";
  int dir = OpenPath(folder, kFolderHandleFlags);
  if (dir < 0) {
    reason = SystemReason(errno);
    return false;
  }
  mode_t mode = 0;
  struct stat st;
  bool replacing = fstatat(dir, name.c_str(), &st, 0) == 0;
  if (replacing) {
    if (S_ISDIR(st.st_mode)) {
      close(dir);
      reason = "a folder stands where the page should be written";
      return false;
    }
    if ((st.st_mode & 0222) == 0) {
      close(dir);
      reason = "the existing page is read-only";
      return false;
    }
    // A page that already holds these bytes is left as it is, times and all;
    // its content is read only when the sizes agree.
    if (S_ISREG(st.st_mode) &&
        static_cast<unsigned long long>(st.st_size) == head.size() + text.size() &&
        HoldsExactly(dir, name, head, text)) {
      close(dir);
      return true;
    }
    mode = st.st_mode & 07777;
  } else {
    mode_t mask = umask(0);
    umask(mask);
    mode = 0666 & ~mask;
  }
  std::string temp;
  int fd = CreateTemporary(dir, temp);
  if (fd < 0) {
    reason = SystemReason(errno);
    close(dir);
    return false;
  }
  bool ok = WriteAll(fd, head.data(), head.size()) && WriteAll(fd, text.data(), text.size());
  int error = ok ? 0 : errno;
  if (ok && fchmod(fd, mode) != 0) {
    ok = false;
    error = errno;
  }
  // The new page reaches the disk before it takes the old one's name, so a
  // power loss leaves the old page or the new one, never an empty file. A new
  // page has nothing to lose and is not waited for.
  if (ok && replacing && fdatasync(fd) != 0) {
    ok = false;
    error = errno;
  }
  if (close(fd) != 0 && ok) {
    ok = false;
    error = errno;
  }
  if (ok && renameat(dir, temp.c_str(), dir, name.c_str()) != 0) {
    ok = false;
    error = errno;
  }
  if (!ok) {
    unlinkat(dir, temp.c_str(), 0);
    reason = SystemReason(error != 0 ? error : EIO);
  } else if (replacing) {
    // The rename itself reaches the disk with the folder. The page is whole
    // either way, so a folder that cannot be flushed is not a failure.
    int folderFd = openat(dir, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd >= 0) {
      fsync(folderFd);
      close(folderFd);
    }
  }
  close(dir);
  return ok;
}

int OpenAnyPath(const std::string& path, int flags, mode_t mode) {
  return OpenPath(path, flags, mode);
}

bool WriteWhole(int fd, const char* data, std::size_t size) { return WriteAll(fd, data, size); }

bool ReadFileBytes(const std::string& path, std::int64_t offset, size_t count, std::string& bytes,
                   std::string& reason) {
  bytes.clear();
  if (offset < 0) {
    reason = SystemReason(EINVAL);
    return false;
  }
  int fd = OpenPath(path, O_RDONLY | O_NONBLOCK);  // a FIFO must not stop the run
  if (fd < 0) {
    reason = SystemReason(errno);
    return false;
  }
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    reason = "not a regular file";
    close(fd);
    return false;
  }
  bytes.resize(count);
  size_t have = 0;
  while (have < count) {
    ssize_t got = pread(fd, bytes.data() + have, count - have,
                        static_cast<off_t>(offset) + static_cast<off_t>(have));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      reason = SystemReason(errno);
      close(fd);
      bytes.clear();
      return false;
    }
    if (got == 0) break;
    have += static_cast<size_t>(got);
  }
  close(fd);
  bytes.resize(have);
  return true;
}

}  // namespace platform

namespace platform {

std::vector<std::string> SettingsFolderCandidates() {
  std::string own = ExecutableFolder();
  std::vector<std::string> folders{own};
  // Relative or empty values are ignored, as the XDG base directory rules say.
  const char* config = std::getenv("XDG_CONFIG_HOME");
  const char* home = std::getenv("HOME");
  if (config != nullptr && config[0] == '/') {
    folders.push_back(std::string(config) + "/pagrimo");
  } else if (home != nullptr && home[0] == '/') {
    folders.push_back(std::string(home) + "/.config/pagrimo");
  }
  size_t slash = own.rfind('/');
  if (slash != std::string::npos) folders.push_back(own.substr(0, slash) + "/share/pagrimo");
  return folders;
}

}  // namespace platform
