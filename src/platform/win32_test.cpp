// The Windows platform layer on real files, checked against the Windows
// functions it stands for. Runs under wine with code page 932 in CI.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>

#include "platform/platform.h"
#include "support/test_support.h"

namespace fs = std::filesystem;
using testing_support::ReadFile;
using testing_support::SetHiddenAttribute;
using testing_support::TempFolder;
using testing_support::Utf8Path;
using testing_support::WriteFile;

namespace {

constexpr platform::Listing kFiles = platform::Listing::kFiles;
constexpr platform::Listing kBoth = platform::Listing::kFilesAndFolders;

std::wstring Wide(const std::string& text) {
  auto u8 = fs::path(std::u8string(text.begin(), text.end()));
  return u8.wstring();
}

int Sign(int value) { return value < 0 ? -1 : value > 0 ? 1 : 0; }

TEST(Win32TextTest, CollationKeysOrderAsCompareStringEx) {
  const char* pairs[][2] = {
      {"album", "Beta"}, {"Beta", "Zoo"},     {"ABC", "abc"},      {"a", "B"},
      {"表", "ソ"},      {"file10", "file9"}, {"", "a"},           {"Äpfel", "apfel"},
      {"a-b", "ab"},     {"ＡＢＣ", "abc"},   {"x.JPG", "x.jpeg"}, {"写真", "画像"},
  };
  for (const auto& pair : pairs) {
    std::wstring a = Wide(pair[0]), b = Wide(pair[1]);
    int expected = CompareStringEx(LOCALE_NAME_USER_DEFAULT, NORM_IGNORECASE, a.c_str(),
                                   static_cast<int>(a.size()), b.c_str(),
                                   static_cast<int>(b.size()), nullptr, nullptr, 0) -
                   CSTR_EQUAL;
    int got = platform::CollationKey(pair[0]).compare(platform::CollationKey(pair[1]));
    EXPECT_EQ(Sign(got), Sign(expected)) << pair[0] << " / " << pair[1];
  }
  EXPECT_EQ(platform::CollationKey("Sunset.JPG"), platform::CollationKey("sunset.jpg"));
}

TEST(Win32TextTest, LowerText) {
  const char* cases[][2] = {
      {"", ""},
      {"ABC.JPG", "abc.jpg"},
      {"ÄÖÜ", "äöü"},
      {"ＡＢＣ", "ａｂｃ"},
      {"表ソ\\X", "表ソ\\x"},
  };
  for (const auto& c : cases) EXPECT_EQ(platform::LowerText(c[0]), c[1]) << c[0];
}

TEST(Win32FilesTest, TextFilesInTheCodePageAndInUtf8) {
  TempFolder folder;
  struct Case {
    platform::TextEncoding encoding;
    std::string bytes;
  } cases[] = {
      // 表 and ソ end in 0x5C: only the real backslash between them is one.
      {platform::TextEncoding::kSystem, "\x95\x5C\\\x83\x5C\r\n"},
      {platform::TextEncoding::kUtf8Bom, "\xEF\xBB\xBF表\\ソ\r\n"},
  };
  for (const auto& c : cases) {
    std::string path = folder.Text() + "\\page.html", reason;
    ASSERT_TRUE(platform::ReplaceTextFile(path, "表\\ソ\r\n", c.encoding, reason)) << reason;
    EXPECT_EQ(ReadFile(path), c.bytes);
    std::string text;
    platform::TextEncoding encoding = platform::TextEncoding::kSystem;
    ASSERT_TRUE(platform::ReadTextFile(path, text, encoding, reason)) << reason;
    EXPECT_EQ(text, "表\\ソ\r\n");
    EXPECT_EQ(encoding, c.encoding);
  }
  EXPECT_EQ(testing_support::ListFolder(folder.path), std::vector<std::string>{"page.html"});
}

TEST(Win32FilesTest, ReplaceTextFileRefusesAndLeavesNothingBehind) {
  struct Case {
    const char* what;
    void (*prepare)(const fs::path& page);
    std::string reason;  // empty: any system text
    std::string left;    // the page's bytes afterwards
  } cases[] = {
      {"replaces an existing page", [](const fs::path& page) { WriteFile(page, "old"); }, "",
       "new"},
      {"read-only page",
       [](const fs::path& page) {
         WriteFile(page, "old");
         fs::permissions(page,
                         fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                         fs::perm_options::remove);
       },
       "the existing page is read-only", "old"},
      {"folder in the way", [](const fs::path& page) { fs::create_directory(page); },
       "a folder stands where the page should be written", "<missing>"},
      {"folder missing", [](const fs::path& page) { fs::remove(page.parent_path()); }, "",
       "<missing>"},
  };
  for (const auto& c : cases) {
    TempFolder folder;
    fs::path page = folder.path / "sub" / "index.html";
    fs::create_directory(folder.path / "sub");
    c.prepare(page);
    std::string reason;
    bool ok =
        platform::ReplaceTextFile(Utf8Path(page), "new", platform::TextEncoding::kSystem, reason);
    EXPECT_EQ(ok, c.left == "new") << c.what;
    if (!ok && !c.reason.empty()) {
      EXPECT_EQ(reason, c.reason) << c.what;
    }
    if (!ok) {
      EXPECT_FALSE(reason.empty()) << c.what;
    }
    if (!fs::is_directory(page)) {
      EXPECT_EQ(ReadFile(page), c.left) << c.what;
    }
    std::vector<std::string> names = testing_support::ListFolder(folder.path / "sub");
    EXPECT_TRUE(std::none_of(names.begin(), names.end(), [](const std::string& n) {
      return n.find(".tmp") != n.npos;
    })) << c.what;
  }
}

std::vector<std::string> Enumerate(const std::string& pattern, platform::Listing listing) {
  std::vector<std::string> names;
  platform::Enumeration e;
  platform::DirEntry entry;
  for (bool more = platform::StartEnumeration(e, pattern, listing, entry); more;
       more = platform::NextEntry(e, entry)) {
    names.push_back(entry.name + (entry.isFolder ? "\\" : ""));
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST(Win32FilesTest, EnumerationMasksAndHiddenEntries) {
  TempFolder folder;
  const fs::path& f = folder.path;
  WriteFile(f / "a.txt", "a");
  WriteFile(f / "b.jpg", "b");
  WriteFile(f / "h.jpg", "h");
  WriteFile(f / "s.jpg", "s");
  WriteFile(f / u8"表" / "x.jpg", "x");
  WriteFile(f / "hidden" / "y.jpg", "y");
  ASSERT_TRUE(SetHiddenAttribute(f / "h.jpg"));
  ASSERT_TRUE(SetHiddenAttribute(f / "hidden"));
  ASSERT_TRUE(SetFileAttributesW((f / "s.jpg").c_str(), FILE_ATTRIBUTE_SYSTEM));
  const std::string p = folder.Text();
  using Names = std::vector<std::string>;
  struct Case {
    std::string pattern;
    platform::Listing listing;
    Names names;
  } cases[] = {
      {p + "\\*", kFiles, {"a.txt", "b.jpg"}},
      {p + "\\*", kBoth, {"..\\", ".\\", "a.txt", "b.jpg", "表\\"}},
      {p + "\\", kBoth, {"..\\", ".\\", "a.txt", "b.jpg", "表\\"}},  // the "*" is implied
      {p + "\\", kFiles, {"a.txt", "b.jpg"}},
      {p + "\\*.jpg", kFiles, {"b.jpg"}},
      {p + "\\表", kBoth, {"表\\"}},
      {p + "\\表", kFiles, {}},
      {p + "\\表\\", kFiles, {"x.jpg"}},
      {p + "\\h.jpg", kFiles, {}},
      {p + "\\hidden", kBoth, {}},
      {p + "\\nowhere\\*", kBoth, {}},
      {p, kBoth, {fs::path(folder.path).filename().string() + "\\"}},
  };
  for (const auto& c : cases) EXPECT_EQ(Enumerate(c.pattern, c.listing), c.names) << c.pattern;
  EXPECT_EQ(platform::KindOfPath(p + "\\表").kind, platform::EntryKind::kFolder);
  EXPECT_EQ(platform::KindOfPath(p + "\\b.jpg").kind, platform::EntryKind::kFile);
  EXPECT_EQ(platform::KindOfPath(p + "\\nowhere").kind, platform::EntryKind::kMissing);
}

TEST(Win32FilesTest, FileStampAndDateText) {
  TempFolder folder;
  fs::path file = folder.path / "a.jpg";
  WriteFile(file, "12345");
  // 2001-09-09 01:46:40 UTC, 1000000000 seconds after 1970.
  const std::int64_t seconds = 1000000000;
  std::uint64_t ticks = static_cast<std::uint64_t>(seconds + 11644473600LL) * 10000000ULL;
  FILETIME time{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
  HANDLE handle = CreateFileW(file.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(handle, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(SetFileTime(handle, nullptr, nullptr, &time));
  CloseHandle(handle);

  platform::FileStamp stamp;
  std::string reason;
  ASSERT_TRUE(platform::GetFileStamp(Utf8Path(file), stamp, reason)) << reason;
  EXPECT_EQ(stamp.size, 5);
  EXPECT_EQ(stamp.modified, seconds);
  EXPECT_FALSE(platform::GetFileStamp(folder.Text() + "\\gone.jpg", stamp, reason));
  EXPECT_FALSE(reason.empty());

  // The date, one blank, the time with seconds; minutes and seconds do not
  // depend on a whole-hour time zone.
  std::string text = platform::LocalDateTimeText(seconds);
  EXPECT_NE(text.find("2001"), std::string::npos) << text;
  EXPECT_NE(text.find(' '), std::string::npos) << text;
  EXPECT_NE(text.find("46:40"), std::string::npos) << text;
}

TEST(Win32FilesTest, FolderIdentity) {
  TempFolder folder;
  fs::create_directories(folder.path / "a");
  fs::create_directories(folder.path / "b");
  WriteFile(folder.path / "f.jpg", "f");
  const std::string p = folder.Text();
  platform::FolderId a, same, b, none;
  ASSERT_TRUE(platform::GetFolderId(p + "\\a", a));
  ASSERT_TRUE(platform::GetFolderId(p + "\\b\\..\\a\\", same));
  ASSERT_TRUE(platform::GetFolderId(p + "\\b", b));
  EXPECT_EQ(a, same);
  EXPECT_FALSE(a == b);
  EXPECT_FALSE(platform::GetFolderId(p + "\\f.jpg", none));
  EXPECT_FALSE(platform::GetFolderId(p + "\\nowhere", none));
}

TEST(Win32SettingsTest, SectionEntries) {
  using Entries = std::vector<std::pair<std::string, std::string>>;
  struct Case {
    const char* what;
    std::string file;  // "<none>": no file
    Entries entries;
  } cases[] = {
      {"plain",
       "[Pagrimo]\r\ndefault=t.dat\r\n16=list.dat\r\n",
       {{"default", "t.dat"}, {"16", "list.dat"}}},
      {"other sections and case", "[x]\r\na=1\r\n[PAGRIMO]\r\nb=2\r\n[y]\r\nc=3\r\n", {{"b", "2"}}},
      {"blanks and quotes",
       "[Pagrimo]\r\n  default  =  \"t d.dat\"  \r\n",
       {{"default", "t d.dat"}}},
      {"comments and empty values", "[Pagrimo]\r\n;default=x\r\n17=\r\n", {{"17", ""}}},
      {"Japanese value", "[Pagrimo]\r\ndefault=\x95\x5C.dat\r\n", {{"default", "表.dat"}}},
      {"no section", "[Other]\r\ndefault=t.dat\r\n", {}},
      {"no file", "<none>", {}},
  };
  for (const auto& c : cases) {
    TempFolder folder;
    fs::path ini = folder.path / "pagrimo.ini";
    if (c.file != "<none>") WriteFile(ini, c.file);
    EXPECT_EQ(platform::ReadSettingsSection(Utf8Path(ini), "Pagrimo"), c.entries) << c.what;
  }
}

TEST(Win32ProcessTest, ExecutableFolder) {
  std::string folder = platform::ExecutableFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_NE(folder.back(), '\\');
  EXPECT_TRUE(fs::exists(fs::path(Wide(folder)) / "pagrimo_unit_tests.exe")) << folder;
}

}  // namespace
