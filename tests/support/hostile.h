// Helpers for tests on hostile trees (POSIX only): folders reached through
// descriptors, so paths longer than PATH_MAX work, and runs of the program as
// an unprivileged user, so that permission bits are real even for root.
#pragma once
#ifndef _WIN32

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace testing_support {

/// The unprivileged user and group that the runs use when the tests run as root.
inline constexpr unsigned kNobody = 65534;

/// True when permission bits do not stop this process (it runs as root).
inline bool IsRoot() { return geteuid() == 0; }

/// Runs program with args; as root, as the user nobody (setpriv), so that
/// permission bits count. The files it must write should belong to nobody.
inline RunResult RunUnprivileged(const std::string& program, const std::vector<std::string>& args,
                                 const std::vector<std::string>& environment = {}) {
  if (!IsRoot()) return RunProgram(program, args, environment);
  std::vector<std::string> all{"--reuid=65534", "--regid=65534", "--clear-groups", program};
  all.insert(all.end(), args.begin(), args.end());
  return RunProgram("/usr/bin/setpriv", all, environment);
}

/// A folder opened for the *at calls; closed with the object.
struct Dir {
  int fd = -1;
  Dir(int parent, const std::string& name)
      : fd(openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)) {}
  explicit Dir(const std::string& path) : Dir(AT_FDCWD, path) {}
  Dir(const Dir&) = delete;
  Dir& operator=(const Dir&) = delete;
  ~Dir() {
    if (fd >= 0) close(fd);
  }
};

/// Creates the folder name inside parent (if missing); false on failure.
inline bool MakeFolderAt(int parent, const std::string& name) {
  return mkdirat(parent, name.c_str(), 0755) == 0 || errno == EEXIST;
}

/// Writes a small file name inside parent; false on failure.
inline bool WriteFileAt(int parent, const std::string& name, const std::string& bytes = "img") {
  int fd = openat(parent, name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  bool ok = write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  return close(fd) == 0 && ok;
}

/// Calls visit(folder descriptor, name, is a real folder, relative path) for
/// every entry below the folder fd, depth first, never following links.
/// Folders that cannot be opened are reported but not entered.
inline void WalkAt(
    int fd, const std::string& relative,
    const std::function<void(int, const std::string&, bool, const std::string&)>& visit) {
  int copy = openat(fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  DIR* dir = copy < 0 ? nullptr : fdopendir(copy);
  if (dir == nullptr) {
    if (copy >= 0) close(copy);
    return;
  }
  std::vector<std::pair<std::string, bool>> entries;
  while (dirent* d = readdir(dir)) {
    std::string name = d->d_name;
    if (name == "." || name == "..") continue;
    struct stat st;
    bool folder =
        fstatat(dirfd(dir), d->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
    entries.emplace_back(name, folder);
  }
  closedir(dir);
  for (const auto& [name, folder] : entries) {
    std::string path = relative.empty() ? name : relative + "/" + name;
    visit(fd, name, folder, path);
    if (!folder) continue;
    Dir sub(fd, name);
    if (sub.fd >= 0) WalkAt(sub.fd, path, visit);
  }
}

/// Gives every entry below path (and path itself) to owner, links included.
inline void ChownTree(const std::string& path, unsigned owner) {
  if (chown(path.c_str(), owner, owner) != 0) return;
  Dir root(path);
  WalkAt(root.fd, "", [owner](int parent, const std::string& name, bool, const std::string&) {
    fchownat(parent, name.c_str(), owner, owner, AT_SYMLINK_NOFOLLOW);
  });
}

/// Removes everything below the folder fd, however deep (iteratively, so a
/// chain of thousands of folders needs no deep stack); permissions are
/// restored on the way so that nothing stays behind.
inline void EmptyFolderAt(int fd) {
  struct Level {
    int fd;
    std::vector<std::string> names;
    std::string entered;  // the subfolder being emptied, removed on return
  };
  auto names = [](int folder) {
    std::vector<std::string> result;
    int copy = openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* dir = copy < 0 ? nullptr : fdopendir(copy);
    if (dir == nullptr) {
      if (copy >= 0) close(copy);
      return result;
    }
    while (dirent* d = readdir(dir)) {
      std::string name = d->d_name;
      if (name != "." && name != "..") result.push_back(name);
    }
    closedir(dir);
    return result;
  };
  std::vector<Level> stack;
  stack.push_back({dup(fd), names(fd), ""});
  while (!stack.empty()) {
    Level& top = stack.back();
    if (top.names.empty()) {
      close(top.fd);
      std::string entered = top.entered;
      stack.pop_back();
      if (!stack.empty()) unlinkat(stack.back().fd, entered.c_str(), AT_REMOVEDIR);
      continue;
    }
    std::string name = top.names.back();
    top.names.pop_back();
    struct stat st;
    if (fstatat(top.fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode)) {
      fchmodat(top.fd, name.c_str(), 0755, 0);
      int sub = openat(top.fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
      if (sub >= 0) {
        std::vector<std::string> inner = names(sub);
        stack.push_back({sub, std::move(inner), name});
        continue;
      }
    }
    unlinkat(top.fd, name.c_str(), 0);
  }
}

}  // namespace testing_support

#endif  // _WIN32
