// The POSIX layer on paths longer than PATH_MAX, and the link attribute.
#ifndef _WIN32

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/platform.h"
#include "support/hostile.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

// A folder below base whose path is longer than PATH_MAX, built through
// descriptors; the path is returned.
std::string DeepFolder(const TempFolder& base, size_t componentLength, int count) {
  std::string path = base.Text();
  Dir root(path);
  int fd = dup(root.fd);
  for (int i = 0; i < count; ++i) {
    std::string name(componentLength, static_cast<char>('a' + i % 26));
    MakeFolderAt(fd, name);
    int next = openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY);
    close(fd);
    fd = next;
    path += "/" + name;
  }
  close(fd);
  return path;
}

TEST(PosixPathsTest, EveryPathFunctionReachesBeyondPathMax) {
  struct Case {
    size_t componentLength;
    int count;
  } cases[] = {{255, 20}, {1, 2100}, {100, 45}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.componentLength) + " x " + std::to_string(c.count));
    TempFolder base;
    std::string folder = DeepFolder(base, c.componentLength, c.count);
    ASSERT_GT(folder.size(), size_t{PATH_MAX});
    std::string page = folder + "/index.html", reason;
    ASSERT_TRUE(platform::ReplaceTextFile(page, "first", platform::TextEncoding::kSystem, reason))
        << reason;
    ASSERT_TRUE(platform::ReplaceTextFile(page, "second", platform::TextEncoding::kUtf8Bom, reason))
        << reason;
    std::string text;
    platform::TextEncoding encoding{};
    ASSERT_TRUE(platform::ReadTextFile(page, text, encoding, reason)) << reason;
    EXPECT_EQ(text, "second");
    EXPECT_EQ(encoding, platform::TextEncoding::kUtf8Bom);
    platform::FileStamp stamp;
    ASSERT_TRUE(platform::GetFileStamp(page, stamp, reason)) << reason;
    EXPECT_EQ(stamp.size, 9);
    platform::FolderId id;
    EXPECT_TRUE(platform::GetFolderId(folder, id));
    EXPECT_TRUE(platform::GetFolderId(folder + "/", id));
    EXPECT_EQ(platform::KindOfPath(folder).kind, platform::EntryKind::kFolder);
    platform::Enumeration scan;
    platform::DirEntry entry;
    ASSERT_TRUE(platform::StartEnumeration(scan, folder + "/*", platform::Listing::kFiles, entry));
    EXPECT_EQ(entry.name, "index.html");
    EXPECT_FALSE(platform::NextEntry(scan, entry));
    // A missing part of a long path is simply missing.
    EXPECT_EQ(platform::KindOfPath(folder + "/no/such/thing").kind, platform::EntryKind::kMissing);
    EXPECT_FALSE(platform::GetFolderId(folder + "/missing", id));
    EXPECT_FALSE(platform::ReplaceTextFile(folder + "/missing/index.html", "",
                                           platform::TextEncoding::kSystem, reason));
    EXPECT_EQ(reason, "No such file or directory");
    Dir root(base.Text());
    EmptyFolderAt(root.fd);
  }
}

// Folder paths of exactly PATH_MAX - 1 bytes (the longest the kernel takes
// whole), PATH_MAX and PATH_MAX + 1, and pages whose paths cross that line.
TEST(PosixPathsTest, PathsAroundPathMaxAreReached) {
  for (size_t length : {size_t{PATH_MAX} - 12, size_t{PATH_MAX} - 11, size_t{PATH_MAX} - 1,
                        size_t{PATH_MAX}, size_t{PATH_MAX} + 1}) {
    SCOPED_TRACE(length);
    TempFolder base;
    std::string folder = base.Text();
    Dir root(folder);
    int fd = dup(root.fd);
    while (folder.size() < length) {
      size_t rest = length - folder.size() - 1;  // after the separator
      // Leave room for a last component of at least 10 bytes.
      size_t size = rest <= 255 ? rest : std::min<size_t>(200, rest - 10);
      std::string name(size, 'n');
      MakeFolderAt(fd, name);
      int next = openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY);
      close(fd);
      fd = next;
      folder += "/" + name;
    }
    close(fd);
    ASSERT_EQ(folder.size(), length);
    platform::FolderId id;
    EXPECT_TRUE(platform::GetFolderId(folder, id));
    EXPECT_TRUE(platform::GetFolderId(folder + "/", id));
    std::string page = folder + "/index.html", reason, text;
    ASSERT_TRUE(platform::ReplaceTextFile(page, "page", platform::TextEncoding::kSystem, reason))
        << reason;
    platform::TextEncoding encoding{};
    ASSERT_TRUE(platform::ReadTextFile(page, text, encoding, reason)) << reason;
    EXPECT_EQ(text, "page");
    platform::Enumeration scan;
    platform::DirEntry entry;
    ASSERT_TRUE(platform::StartEnumeration(scan, folder + "/", platform::Listing::kFiles, entry));
    EXPECT_EQ(entry.name, "index.html");
    EmptyFolderAt(root.fd);
  }
}

TEST(PosixPathsTest, LinksCarryTheLinkAttribute) {
  TempFolder f;
  WriteFile(f.path / "real" / "a.jpg", "x");
  fs::create_directory_symlink("real", f.path / "link");
  fs::create_symlink("real/a.jpg", f.path / "file-link.jpg");
  fs::create_symlink("nowhere", f.path / "dangling");
  using platform::EntryKind;
  struct Case {
    const char* name;
    EntryKind kind;
    bool isLink;
  } cases[] = {
      {"real", EntryKind::kFolder, false},      {"link", EntryKind::kFolder, true},
      {"real/a.jpg", EntryKind::kFile, false},  {"file-link.jpg", EntryKind::kFile, true},
      {"dangling", EntryKind::kMissing, false}, {"missing", EntryKind::kMissing, false},
  };
  for (const auto& c : cases) {
    platform::PathKind got = platform::KindOfPath(f.Text() + "/" + c.name);
    EXPECT_EQ(got.kind, c.kind) << c.name;
    EXPECT_EQ(got.isLink, c.isLink) << c.name;
  }
}

}  // namespace

#endif  // _WIN32
