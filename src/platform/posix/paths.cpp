// The POSIX port, paths and folders. Sections, in order:
//   1. Reaching a path of any length: PathAt, ReachPath, StatPath, OpenPath.
//   2. Enumeration: EnumerationState, the "*" and "?" patterns (matched by
//      wildcard.h), hidden names, links counted as what they lead to.
//   3. What a path is: KindOfPath, GetFolderId.
//   4. File stamps: GetFileStamp and the one folder a FileStampBatch keeps.
#include <dirent.h>

#include <cerrno>
#include <climits>
#include <cstring>

#include "platform/platform.h"
#include "platform/posix/internal.h"
#include "platform/wildcard.h"

namespace platform {

using posix::OpenPath;
using posix::StatPath;
using posix::UniqueFd;

// 1. Reaching a path of any length ------------------------------------------

namespace {

// A path as the kernel takes it: a folder descriptor and a path relative to
// it. A path shorter than PATH_MAX goes as it is, relative to the current
// folder; a longer one is opened a run of whole components at a time, so a
// tree of any depth can be reached.
struct PathAt {
  UniqueFd folder;  // not Valid(): the current folder
  std::string rest;
  int Folder() const { return folder.Valid() ? folder.fd : AT_FDCWD; }
};

// False, with errno set, when a folder on the way cannot be opened or one
// component alone is longer than the kernel takes.
bool ReachPath(const std::string& path, PathAt& at) {
  if (path.size() < PATH_MAX) {
    at.rest = path;
    return true;
  }
  size_t pos = path[0] == '/' ? 1 : 0;
  at.folder.Reset(open(pos == 1 ? "/" : ".", posix::kFolderHandleFlags));
  if (!at.folder.Valid()) return false;
  while (path.size() - pos >= PATH_MAX) {
    size_t slash = path.rfind('/', pos + PATH_MAX - 2);
    if (slash == std::string::npos || slash < pos) {
      errno = ENAMETOOLONG;
      return false;
    }
    if (slash > pos) {
      std::string chunk = path.substr(pos, slash - pos);
      int next = openat(at.folder.fd, chunk.c_str(), posix::kFolderHandleFlags);
      if (next < 0) return false;
      at.folder.Reset(next);
    }
    pos = slash + 1;
  }
  at.rest = pos < path.size() ? path.substr(pos) : ".";
  return true;
}

}  // namespace

namespace posix {

std::string SystemReason(int error) { return std::strerror(error); }

bool StatPath(const std::string& path, struct stat& st, int flags) {
  PathAt at;
  return ReachPath(path, at) && fstatat(at.Folder(), at.rest.c_str(), &st, flags) == 0;
}

UniqueFd OpenPath(const std::string& path, int flags, mode_t mode) {
  PathAt at;
  if (!ReachPath(path, at)) return UniqueFd();
  return UniqueFd(openat(at.Folder(), at.rest.c_str(), flags | O_CLOEXEC, mode));
}

}  // namespace posix

// 2. Enumeration ---------------------------------------------------------------

namespace {

// What an entry is: 'd' a folder, 'f' an ordinary file, 0 anything else.
char KindLetter(const struct stat& st) {
  if (S_ISDIR(st.st_mode)) return 'd';
  if (S_ISREG(st.st_mode)) return 'f';
  return 0;
}

char KindLetterOfPath(const std::string& path) {
  struct stat st;
  return StatPath(path, st) ? KindLetter(st) : 0;
}

// The kind of an entry of an open folder, asked relative to the folder itself
// so that no path is resolved again.
char KindLetterInFolder(DIR* dir, const char* name) {
  struct stat st;
  return fstatat(dirfd(dir), name, &st, 0) == 0 ? KindLetter(st) : 0;
}

// Decides whether a named entry of the given kind is returned by a listing.
bool Admits(const std::string& name, char kind, Listing listing) {
  bool dots = name == "." || name == "..";
  if (!dots && !name.empty() && name[0] == '.') return false;  // hidden
  if (kind == 'f') return !dots;
  if (kind == 'd') return listing == Listing::kFilesAndFolders;
  return false;
}

}  // namespace

struct EnumerationState {
  DIR* dir = nullptr;
  std::string folder;       // the pattern's folder part, ending in "/" or empty
  std::string namePattern;  // the last component
  Listing listing = Listing::kFiles;
  bool single = false;  // a literal name: answered by one stat, no listing
  bool singleDone = false;
  EnumerationState() = default;
  EnumerationState(const EnumerationState&) = delete;
  EnumerationState& operator=(const EnumerationState&) = delete;
  ~EnumerationState() {
    if (dir != nullptr) closedir(dir);
  }
};

namespace {

bool NextFromState(EnumerationState& s, DirEntry& entry) {
  if (s.single) {
    if (s.singleDone) return false;
    s.singleDone = true;
    std::string name = s.namePattern;
    char kind = KindLetterOfPath(s.folder + name);
    if (!Admits(name, kind, s.listing)) return false;
    entry.name = name;
    entry.isFolder = kind == 'd';
    return true;
  }
  if (s.dir == nullptr) return false;
  while (struct dirent* d = readdir(s.dir)) {
    std::string name = d->d_name;
    if (!MatchesWildcard(name, s.namePattern)) continue;
    if (!name.empty() && name[0] == '.' && name != "." && name != "..") continue;
    char kind = 0;
    if (d->d_type == DT_DIR) {
      kind = 'd';
    } else if (d->d_type == DT_REG) {
      kind = 'f';
    } else if (d->d_type == DT_LNK || d->d_type == DT_UNKNOWN) {
      kind = KindLetterInFolder(s.dir, d->d_name);
    }
    if (!Admits(name, kind, s.listing)) continue;
    entry.name = std::move(name);
    entry.isFolder = kind == 'd';
    return true;
  }
  return false;
}

}  // namespace

Enumeration::Enumeration() = default;
Enumeration::~Enumeration() = default;

bool StartEnumeration(Enumeration& e, const std::string& pattern, Listing listing,
                      DirEntry& entry) {
  e.state = std::make_unique<EnumerationState>();
  EnumerationState* s = e.state.get();
  size_t slash = pattern.rfind('/');
  s->folder = slash == std::string::npos ? "" : pattern.substr(0, slash + 1);
  s->namePattern = slash == std::string::npos ? pattern : pattern.substr(slash + 1);
  s->listing = listing;
  if (!s->namePattern.empty() && !HasWildcard(s->namePattern)) {
    s->single = true;
  } else {
    // (Appended rather than assigned: GCC 12 at -O3 warns about the
    // assignment with a false -Wrestrict.)
    if (s->namePattern.empty()) s->namePattern.push_back('*');
    UniqueFd folder = OpenPath(s->folder.empty() ? "." : s->folder, O_RDONLY | O_DIRECTORY);
    // A folder that can be listed but not entered (read without search
    // permission) counts as unreadable: its entries could be named but never
    // opened or measured, so it contributes nothing.
    if (folder.Valid() && faccessat(folder.fd, ".", X_OK, AT_EACCESS) == 0) {
      s->dir = fdopendir(folder.fd);
      if (s->dir != nullptr) folder.Release();  // the DIR owns it now
    }
  }
  return NextEntry(e, entry);
}

bool NextEntry(Enumeration& e, DirEntry& entry) {
  if (e.state == nullptr) return false;
  if (NextFromState(*e.state, entry)) return true;
  EndEnumeration(e);
  return false;
}

void EndEnumeration(Enumeration& e) { e.state.reset(); }

// 3. What a path is ------------------------------------------------------------

PathKind KindOfPath(const std::string& path) {
  PathKind result;
  struct stat st;
  if (!StatPath(path, st)) return result;
  result.kind = S_ISDIR(st.st_mode) ? EntryKind::kFolder : EntryKind::kFile;
  struct stat link;
  result.isLink = StatPath(path, link, AT_SYMLINK_NOFOLLOW) && S_ISLNK(link.st_mode);
  return result;
}

bool GetFolderId(const std::string& path, FolderId& id) {
  struct stat st;
  if (!StatPath(path, st) || !S_ISDIR(st.st_mode)) return false;
  id.volume = static_cast<std::uint64_t>(st.st_dev);
  id.index = static_cast<std::uint64_t>(st.st_ino);
  return true;
}

// 4. File stamps ---------------------------------------------------------------

namespace {

// The folder that GetFileStamp keeps open while a FileStampBatch exists:
// state of the process, as platform.h says.
struct StampFolder {
  bool active = false;
  std::string path;  // ends in "/"
  UniqueFd folder;
};
StampFolder g_stampFolder;

void ReleaseStampFolder() {
  g_stampFolder.folder.Reset();
  g_stampFolder.path.clear();
}

}  // namespace

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
      g_stampFolder.folder = OpenPath(g_stampFolder.path, posix::kFolderHandleFlags);
    }
    if (g_stampFolder.folder.Valid()) {
      result = fstatat(g_stampFolder.folder.fd, path.c_str() + slash + 1, &st, 0);
    } else {
      result = StatPath(path, st) ? 0 : -1;
    }
  } else {
    result = StatPath(path, st) ? 0 : -1;
  }
  if (result != 0) {
    reason = posix::SystemReason(errno);
    return false;
  }
  stamp.size = static_cast<std::int64_t>(st.st_size);
  stamp.modified = static_cast<std::int64_t>(st.st_mtime);
  return true;
}

}  // namespace platform
