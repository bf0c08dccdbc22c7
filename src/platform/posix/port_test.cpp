#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <clocale>
#include <cstdlib>
#include <cwchar>
#include <cwctype>

#include "platform/platform.h"
#include "support/test_support.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

constexpr platform::Listing kFiles = platform::Listing::kFiles;
constexpr platform::Listing kBoth = platform::Listing::kFilesAndFolders;

std::vector<std::string> Names(const std::string& pattern, platform::Listing listing) {
  std::vector<std::string> names;
  platform::Enumeration e;
  platform::DirEntry entry;
  for (bool more = platform::StartEnumeration(e, pattern, listing, entry); more;
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
    platform::Listing listing;
    V names;
  } cases[] = {
      {p + "*", kFiles, V{"[fileid].png", "a.jpg", "ab", "b.JPG", "link.jpg", "写真.gif"}},
      {p + "*", kBoth,
       V{"../", "./", "[fileid].png", "a.jpg", "ab", "b.JPG", "dir/", "dirlink/", "link.jpg",
         "写真.gif"}},
      {p, kBoth,
       V{"../", "./", "[fileid].png", "a.jpg", "ab", "b.JPG", "dir/", "dirlink/", "link.jpg",
         "写真.gif"}},
      {p + "*.jpg", kFiles, V{"a.jpg", "link.jpg"}},  // names are compared exactly
      {p + "?b", kFiles, V{"ab"}},
      {p + "??.gif", kFiles, V{"写真.gif"}},  // "?" is one character, not one byte
      {p + "[fileid].png", kFiles, V{"[fileid].png"}},
      {p + "[a-z]*", kFiles, V{}},  // no bracket classes
      {p + "dir", kFiles, V{}},
      {p + "dir", kBoth, V{"dir/"}},
      {p + ".hidden", kFiles, V{}},
      {p + ".git", kBoth, V{}},
      {p + "dangling", kBoth, V{}},
      {p + "fifo", kBoth, V{}},
      {p + "missing", kBoth, V{}},
      {p + "missing/*", kBoth, V{}},
      {p + "a.jpg/*", kBoth, V{}},
      {f.Text(), kBoth, V{fs::path(f.path).filename().string() + "/"}},
  };
  for (const auto& c : cases) EXPECT_EQ(Names(c.pattern, c.listing), c.names) << c.pattern;
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

// A page that already holds the new bytes is left as it is (same file, same
// time); any difference, a link in its place included, replaces it.
TEST(PosixFileTest, ReplaceTextFileLeavesAnEqualFileAlone) {
  const std::string bom = "\xEF\xBB\xBF", big(200000, 'p');
  const std::string bigEnd = big.substr(0, big.size() - 1) + "q";
  using E = platform::TextEncoding;
  struct Case {
    const char* what;
    std::string old;
    std::string text;
    E encoding;
    bool link;  // the page is a link to a file with the old bytes
    bool kept;
  } cases[] = {
      {"same bytes", "page", "page", E::kSystem, false, true},
      {"same bytes behind the mark, over many blocks", bom + big, big, E::kUtf8Bom, false, true},
      {"empty", "", "", E::kSystem, false, true},
      {"the mark is missing", big, big, E::kUtf8Bom, false, false},
      {"same size, other mark", "XYZ" + big, big, E::kUtf8Bom, false, false},
      {"same size, last byte differs", bom + big, bigEnd, E::kUtf8Bom, false, false},
      {"longer", "page", "pages", E::kSystem, false, false},
      {"a link to the same bytes", "page", "page", E::kSystem, true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempFolder f;
    fs::path page = f.path / "index.html", target = f.path / "target";
    WriteFile(c.link ? target : page, c.old);
    if (c.link) fs::create_symlink(target, page);
    struct timespec old[2] = {{978307200, 0}, {978307200, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, page.c_str(), old, 0), 0);
    struct stat before {};
    ASSERT_EQ(lstat(page.c_str(), &before), 0);
    std::string reason;
    ASSERT_TRUE(platform::ReplaceTextFile(page.string(), c.text, c.encoding, reason)) << reason;
    struct stat after {};
    ASSERT_EQ(lstat(page.c_str(), &after), 0);
    EXPECT_EQ(ReadFile(page), (c.encoding == E::kUtf8Bom ? bom : "") + c.text);
    EXPECT_EQ(after.st_ino == before.st_ino, c.kept);
    EXPECT_EQ(after.st_mtim.tv_sec == 978307200, c.kept);
    EXPECT_TRUE(S_ISREG(after.st_mode));
    if (c.link) {
      EXPECT_EQ(ReadFile(target), c.old);
    }
    EXPECT_EQ(ListFolder(f.path).size(), c.link ? 2u : 1u);  // no temporary file left
  }
  // A read-only page is refused even when nothing would change.
  TempFolder f;
  std::string page = (f.path / "index.html").string(), reason;
  WriteFile(page, "same");
  fs::permissions(page, fs::perms::owner_read, fs::perm_options::replace);
  EXPECT_FALSE(platform::ReplaceTextFile(page, "same", E::kSystem, reason));
  EXPECT_EQ(reason, "the existing page is read-only");
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

TEST(PosixFileTest, FileStampsAreTheSameWithinABatch) {
  TempFolder f;
  WriteFile(f.path / "a.jpg", "12345");
  WriteFile(f.path / "sub" / "b.png", "1");
  WriteFile(f.path / "sub" / "c.gif", "");
  WriteFile(f.path / "sub" / "deeper" / "d.bmp", "1234567");
  fs::create_symlink("sub/b.png", f.path / "link.png");
  std::string p = f.Text() + "/";
  // Alternating folders, a missing file and a folder that cannot be opened.
  std::vector<std::string> paths = {p + "a.jpg",        p + "sub/b.png", p + "sub/c.gif",
                                    p + "a.jpg",        p + "link.png",  p + "sub/deeper/d.bmp",
                                    p + "sub/none.jpg", p + "sub/b.png", p + "none/x.jpg",
                                    p + "a.jpg/x.jpg",  p + "sub/"};
  struct Result {
    bool ok;
    platform::FileStamp stamp;
    std::string reason;
  };
  auto readAll = [&]() {
    std::vector<Result> results;
    for (const auto& path : paths) {
      Result r;
      r.ok = platform::GetFileStamp(path, r.stamp, r.reason);
      results.push_back(r);
    }
    return results;
  };
  std::vector<Result> plain = readAll(), batched;
  {
    platform::FileStampBatch batch;
    batched = readAll();
  }
  ASSERT_EQ(plain.size(), batched.size());
  for (size_t i = 0; i < paths.size(); ++i) {
    EXPECT_EQ(plain[i].ok, batched[i].ok) << paths[i];
    EXPECT_EQ(plain[i].stamp.size, batched[i].stamp.size) << paths[i];
    EXPECT_EQ(plain[i].stamp.modified, batched[i].stamp.modified) << paths[i];
    EXPECT_EQ(plain[i].reason, batched[i].reason) << paths[i];
  }
  EXPECT_EQ(plain[0].stamp.size, 5);
  EXPECT_EQ(plain[5].stamp.size, 7);
  EXPECT_FALSE(plain[6].ok);

  // A batch that has ended holds no folder: a folder replaced afterwards is
  // read afresh by the next batch.
  {
    platform::FileStampBatch batch;
    platform::FileStamp stamp;
    std::string reason;
    ASSERT_TRUE(platform::GetFileStamp(p + "sub/b.png", stamp, reason));
  }
  fs::remove_all(f.path / "sub");
  WriteFile(f.path / "sub" / "b.png", "123");
  {
    platform::FileStampBatch batch;
    platform::FileStamp stamp;
    std::string reason;
    ASSERT_TRUE(platform::GetFileStamp(p + "sub/b.png", stamp, reason)) << reason;
    EXPECT_EQ(stamp.size, 3);
  }
}

// Sets the process's locale from LC_ALL for one test, and back afterwards.
struct LocaleScope {
  std::string old;
  bool active = false;
  explicit LocaleScope(const char* name) {
    const char* current = std::getenv("LC_ALL");
    old = current ? current : "";
    setenv("LC_ALL", name, 1);
    char program[] = "pagrimo";
    char* argv[] = {program, nullptr};
    platform::StartProcess(1, argv);
    const char* set = std::setlocale(LC_COLLATE, nullptr);
    active = set != nullptr && std::string(set) == name;
  }
  ~LocaleScope() {
    if (old.empty()) {
      unsetenv("LC_ALL");
    } else {
      setenv("LC_ALL", old.c_str(), 1);
    }
    char program[] = "pagrimo";
    char* argv[] = {program, nullptr};
    platform::StartProcess(1, argv);
  }
};

std::wstring LowerWideForTest(const std::string& text) {
  std::wstring wide(text.size() + 1, L'\0');
  size_t length = std::mbstowcs(wide.data(), text.c_str(), wide.size());
  wide.resize(length == static_cast<size_t>(-1) ? 0 : length);
  for (auto& c : wide) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
  return wide;
}

class PosixCollationTest : public testing::TestWithParam<const char*> {};

TEST_P(PosixCollationTest, KeysOrderLikeTheLocaleComparison) {
  // Keys compared as bytes must order exactly as wcscoll orders the
  // lower-cased names, ties included, whatever the size of the weights.
  const char* names[] = {"a",        "A",       "b",        "B.jpg",   "é",
                         "E",        "f",       "ä",        "Äpfel",   "apfel",
                         "写真",     "写真1",   "スナップ", "ｶﾒﾗ",     "カメラ",
                         "Photo 10", "photo 9", "photo-9",  "photo_9", "IMG_0001.JPG",
                         "img_0001", "Øresund", "oresund",  "niño",    "nino",
                         "Kyōto",    "kyoto",   "zoë",      "ZOE",     "straße",
                         "strasse",  "1",       "10",       "9",       "",
                         "[fileid]", "#1.PNG",  "%41.gif",  "a&b.BMP", "海と山",
                         "Ω",        "ω",       "Я",        "я"};
  const char* locale = GetParam();
  LocaleScope scope(locale);
  if (!scope.active) GTEST_SKIP() << locale << " is not installed";
  for (const char* a : names) {
    for (const char* b : names) {
      int keys = platform::CollationKey(a).compare(platform::CollationKey(b));
      int coll = std::wcscoll(LowerWideForTest(a).c_str(), LowerWideForTest(b).c_str());
      EXPECT_EQ((keys > 0) - (keys < 0), (coll > 0) - (coll < 0))
          << locale << ": " << a << " / " << b;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Locales, PosixCollationTest, testing::Values("en_US.UTF-8", "C.UTF-8"),
                         [](const testing::TestParamInfo<const char*>& info) {
                           return info.index == 0 ? std::string("en_US") : std::string("C");
                         });

}  // namespace
