#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>

#include "platform/platform.h"
#include "support/test_support.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

std::vector<std::string> Names(const std::string& pattern, unsigned mask) {
  std::vector<std::string> names;
  platform::Enumeration e;
  platform::DirEntry entry;
  for (bool more = platform::StartEnumeration(e, pattern, mask, entry); more;
       more = platform::NextEntry(e, entry)) {
    names.push_back(entry.name + (entry.isFolder ? "/" : ""));
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST(PosixEnumerationTest, PatternsMasksAndHiddenEntries) {
  TempFolder f;
  for (const char* name : {"a.jpg", "b.JPG", "[fileid].png", "ab", ".hidden", "写真.gif"}) {
    WriteFile(f.path / name, "x");
  }
  fs::create_directory(f.path / "dir");
  fs::create_directory(f.path / ".git");
  fs::create_symlink("a.jpg", f.path / "link.jpg");
  fs::create_directory_symlink("dir", f.path / "dirlink");
  fs::create_symlink("missing", f.path / "dangling");
  mkfifo((f.path / "fifo").c_str(), 0600);
  std::string p = f.Text() + "/";
  using V = std::vector<std::string>;
  struct Case {
    std::string pattern;
    unsigned mask;
    V names;
  } cases[] = {
      {p + "*", 0, V{"[fileid].png", "a.jpg", "ab", "b.JPG", "link.jpg", "写真.gif"}},
      {p + "*", 16,
       V{"../", "./", "[fileid].png", "a.jpg", "ab", "b.JPG", "dir/", "dirlink/", "link.jpg",
         "写真.gif"}},
      {p, 16,
       V{"../", "./", "[fileid].png", "a.jpg", "ab", "b.JPG", "dir/", "dirlink/", "link.jpg",
         "写真.gif"}},
      {p + "*.jpg", 0, V{"a.jpg", "link.jpg"}},  // names are compared exactly
      {p + "?b", 0, V{"ab"}},
      {p + "??.gif", 0, V{"写真.gif"}},  // "?" is one character, not one byte
      {p + "[fileid].png", 0, V{"[fileid].png"}},
      {p + "[a-z]*", 0, V{}},  // no bracket classes
      {p + "dir", 0, V{}},
      {p + "dir", 16, V{"dir/"}},
      {p + ".hidden", 0, V{}},
      {p + ".git", 16, V{}},
      {p + "dangling", 16, V{}},
      {p + "fifo", 16, V{}},
      {p + "missing", 16, V{}},
      {p + "missing/*", 16, V{}},
      {p + "a.jpg/*", 16, V{}},
      {f.Text(), 16, V{fs::path(f.path).filename().string() + "/"}},
  };
  for (const auto& c : cases) EXPECT_EQ(Names(c.pattern, c.mask), c.names) << c.pattern;
}

TEST(PosixFileTest, ReplaceTextFileKeepsTheOldFileOnFailure) {
  TempFolder f;
  std::string page = (f.path / "index.html").string(), reason;
  ASSERT_TRUE(platform::ReplaceTextFile(page, "one", platform::TextEncoding::kSystem, reason));
  EXPECT_EQ(ReadFile(page), "one");
  fs::permissions(page, fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read,
                  fs::perm_options::replace);
  ASSERT_TRUE(platform::ReplaceTextFile(page, "two", platform::TextEncoding::kUtf8Bom, reason));
  EXPECT_EQ(ReadFile(page), "\xEF\xBB\xBFtwo");
  EXPECT_EQ(fs::status(page).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read);

  fs::permissions(page, fs::perms::owner_read, fs::perm_options::replace);
  EXPECT_FALSE(platform::ReplaceTextFile(page, "three", platform::TextEncoding::kSystem, reason));
  EXPECT_EQ(reason, "the existing page is read-only");
  EXPECT_EQ(ReadFile(page), "\xEF\xBB\xBFtwo");

  fs::create_directory(f.path / "taken.html");
  EXPECT_FALSE(platform::ReplaceTextFile((f.path / "taken.html").string(), "x",
                                         platform::TextEncoding::kSystem, reason));
  EXPECT_FALSE(platform::ReplaceTextFile((f.path / "missing" / "index.html").string(), "x",
                                         platform::TextEncoding::kSystem, reason));
  EXPECT_EQ(ListFolder(f.path), (std::vector<std::string>{"index.html", "taken.html"}));
}

TEST(PosixFileTest, ReadTextFileDetectsTheByteOrderMark) {
  TempFolder f;
  std::string text, reason;
  platform::TextEncoding encoding;
  WriteFile(f.path / "u.dat",
            "\xEF\xBB\xBF"
            "1,0");
  ASSERT_TRUE(platform::ReadTextFile((f.path / "u.dat").string(), text, encoding, reason));
  EXPECT_EQ(text, "1,0");
  EXPECT_EQ(encoding, platform::TextEncoding::kUtf8Bom);
  WriteFile(f.path / "s.dat",
            "\xEF\xBB"
            "1,0");
  ASSERT_TRUE(platform::ReadTextFile((f.path / "s.dat").string(), text, encoding, reason));
  EXPECT_EQ(text,
            "\xEF\xBB"
            "1,0");
  EXPECT_EQ(encoding, platform::TextEncoding::kSystem);
  EXPECT_FALSE(platform::ReadTextFile(f.Text(), text, encoding, reason));
  EXPECT_FALSE(platform::ReadTextFile(f.Text() + "/none", text, encoding, reason));
}

}  // namespace
