// The Windows platform layer on real files, checked against the Windows
// functions it stands for. Runs under wine with code page 932 in CI.
// Wine follows Unix links itself, has no 260-character limit and reports a
// file index everywhere, so those cases are checked through the decisions
// that the layer makes.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>

#include "platform/platform.h"
#include "platform/win32_internal.h"
#include "support/test_support.h"

namespace fs = std::filesystem;
using testing_support::ReadFile;
using testing_support::SetHiddenAttribute;
using testing_support::TempFolder;
using testing_support::Utf8Path;
using testing_support::WriteFile;

namespace {

std::wstring Wide(const std::string& text) {
  auto u8 = fs::path(std::u8string(text.begin(), text.end()));
  return u8.wstring();
}

int Sign(int value) { return value < 0 ? -1 : value > 0 ? 1 : 0; }

std::vector<std::string> Enumerate(const std::string& pattern, unsigned mask);

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

TEST(Win32FilesTest, PagesInTheUtf8CodePageAndFailedConversions) {
  // Windows refuses WC_NO_BEST_FIT_CHARS for UTF-8, also when it is the ANSI
  // code page; the flag keeps look-alikes out of every other code page.
  struct FlagCase {
    UINT codePage, acp;
    DWORD flags;
  } flagCases[] = {
      {CP_ACP, 932, WC_NO_BEST_FIT_CHARS}, {CP_ACP, 65001, 0}, {CP_UTF8, 932, 0}, {65001, 1252, 0},
      {932, 65001, WC_NO_BEST_FIT_CHARS},
  };
  for (const auto& c : flagCases) {
    EXPECT_EQ(platform::win32::EncodeFlags(c.codePage, c.acp), c.flags)
        << c.codePage << " on " << c.acp;
  }
  std::string bytes;
  ASSERT_TRUE(platform::win32::Encode(CP_UTF8, Wide("表\\ソ한"), bytes));
  EXPECT_EQ(bytes, "表\\ソ한");

  struct Case {
    const char* what;
    UINT codePage;
    bool ok;
    std::string page;  // afterwards
  } cases[] = {
      {"UTF-8 as the system's code page", CP_UTF8, true, "表\\ソ한\r\n"},
      {"code page 932", 932, true, "\x95\x5C\\\x83\x5C?\r\n"},
      {"a code page that Windows lacks", 12345, false, "old"},
  };
  for (const auto& c : cases) {
    TempFolder folder;
    fs::path page = folder.path / "index.html";
    WriteFile(page, "old");
    std::string reason;
    EXPECT_EQ(platform::win32::ReplaceTextFileIn(c.codePage, Utf8Path(page), "表\\ソ한\r\n",
                                                 platform::TextEncoding::kSystem, reason),
              c.ok)
        << c.what;
    EXPECT_EQ(reason.empty(), c.ok) << c.what << ": " << reason;
    EXPECT_EQ(ReadFile(page), c.page) << c.what;
    EXPECT_EQ(testing_support::ListFolder(folder.path), std::vector<std::string>{"index.html"})
        << c.what;
  }
}

// Sets the last-write time of a file to seconds after 1970.
void SetWriteTime(const fs::path& file, std::int64_t seconds) {
  std::uint64_t ticks = static_cast<std::uint64_t>(seconds + 11644473600LL) * 10000000ULL;
  FILETIME time{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
  HANDLE handle = CreateFileW(file.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  ASSERT_NE(handle, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(SetFileTime(handle, nullptr, nullptr, &time));
  CloseHandle(handle);
}

TEST(Win32FilesTest, AnUnchangedPageIsNotRewritten) {
  const std::int64_t old = 1000000000;
  struct Case {
    const char* what;
    std::string before;  // "<missing>": no page yet
    platform::TextEncoding encoding;
    std::string text, after;
    bool keepsTime;
  } cases[] = {
      {"same bytes", "<a.jpg>\r\n", platform::TextEncoding::kSystem, "<a.jpg>\r\n", "<a.jpg>\r\n",
       true},
      {"same bytes with the byte order mark", "\xEF\xBB\xBF表", platform::TextEncoding::kUtf8Bom,
       "表", "\xEF\xBB\xBF表", true},
      {"both empty", "", platform::TextEncoding::kSystem, "", "", true},
      {"same size, other bytes", "<a.jpg>\r\n", platform::TextEncoding::kSystem, "<b.jpg>\r\n",
       "<b.jpg>\r\n", false},
      {"longer", "<a.jpg>", platform::TextEncoding::kSystem, "<a.jpg><b.jpg>", "<a.jpg><b.jpg>",
       false},
      {"shorter", "<a.jpg><b.jpg>", platform::TextEncoding::kSystem, "<a.jpg>", "<a.jpg>", false},
      {"a new page", "<missing>", platform::TextEncoding::kSystem, "<a.jpg>", "<a.jpg>", false},
  };
  for (const auto& c : cases) {
    TempFolder folder;
    fs::path page = folder.path / "index.html";
    if (c.before != "<missing>") {
      WriteFile(page, c.before);
      SetWriteTime(page, old);
    }
    std::string reason;
    ASSERT_TRUE(platform::ReplaceTextFile(Utf8Path(page), c.text, c.encoding, reason))
        << c.what << ": " << reason;
    EXPECT_EQ(ReadFile(page), c.after) << c.what;
    platform::FileStamp stamp;
    ASSERT_TRUE(platform::GetFileStamp(Utf8Path(page), stamp, reason)) << reason;
    EXPECT_EQ(stamp.modified == old, c.keepsTime) << c.what;
    EXPECT_EQ(testing_support::ListFolder(folder.path), std::vector<std::string>{"index.html"})
        << c.what;
  }
}

TEST(Win32FilesTest, LongPaths) {
  using platform::win32::LongPath;
  struct Case {
    std::wstring path, wanted;
  } cases[] = {
      {L"C:\\photos\\a.jpg", L"\\\\?\\C:\\photos\\a.jpg"},
      {L"C:/photos/./x/../a.jpg", L"\\\\?\\C:\\photos\\a.jpg"},
      {L"C:\\photos\\", L"\\\\?\\C:\\photos\\"},
      {L"C:\\photos\\*", L"\\\\?\\C:\\photos\\*"},
      {L"C:\\photos\\a..", L"\\\\?\\C:\\photos\\a"},
      {L"\\\\server\\share\\photos", L"\\\\?\\UNC\\server\\share\\photos"},
      {L"//server/share/photos/", L"\\\\?\\UNC\\server\\share\\photos\\"},
      {L"\\\\?\\C:\\photos\\..", L"\\\\?\\C:\\photos\\.."},
      {L"\\\\.\\NUL", L"\\\\.\\NUL"},
      {L"", L""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(LongPath(c.path), c.wanted) << fs::path(c.path).string();
  }
  // A relative path is taken from the current folder.
  wchar_t current[32768];
  DWORD length = GetCurrentDirectoryW(32768, current);
  ASSERT_GT(length, 2u);
  std::wstring here(current, length);
  if (here.back() != L'\\') here += L'\\';
  EXPECT_EQ(LongPath(L"a.jpg"), L"\\\\?\\" + here + L"a.jpg");

  // Every file call on a folder far past 260 characters.
  TempFolder root;
  fs::path deep = root.path / std::string(240, 'a') / std::string(240, 'b');
  fs::create_directories(deep / "sub");
  WriteFile(deep / "c.jpg", "12345");
  const std::string p = Utf8Path(deep);
  ASSERT_GT(p.size(), 500u);
  EXPECT_EQ(Enumerate(p + "\\", 16), (std::vector<std::string>{"..\\", ".\\", "c.jpg", "sub\\"}));
  EXPECT_EQ(platform::GetAttributes(p + "\\sub") & platform::kFolderAttribute,
            platform::kFolderAttribute);
  platform::FolderId id;
  EXPECT_TRUE(platform::GetFolderId(p + "\\sub", id));
  platform::FileStamp stamp;
  std::string reason, text;
  ASSERT_TRUE(platform::GetFileStamp(p + "\\c.jpg", stamp, reason)) << reason;
  EXPECT_EQ(stamp.size, 5);
  const std::string page = p + "\\" + std::string(240, 'p') + ".html";
  ASSERT_TRUE(platform::ReplaceTextFile(page, "x", platform::TextEncoding::kSystem, reason))
      << reason;
  ASSERT_TRUE(platform::ReplaceTextFile(page, "yy", platform::TextEncoding::kSystem, reason))
      << reason;
  platform::TextEncoding encoding;
  ASSERT_TRUE(platform::ReadTextFile(page, text, encoding, reason)) << reason;
  EXPECT_EQ(text, "yy");
  EXPECT_EQ(Enumerate(p + "\\*", 0),
            (std::vector<std::string>{"c.jpg", std::string(240, 'p') + ".html"}));
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

std::vector<std::string> Enumerate(const std::string& pattern, unsigned mask) {
  std::vector<std::string> names;
  platform::Enumeration e;
  platform::DirEntry entry;
  for (bool more = platform::StartEnumeration(e, pattern, mask, entry); more;
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
    unsigned mask;
    Names names;
  } cases[] = {
      {p + "\\*", 0, {"a.txt", "b.jpg"}},
      {p + "\\*", 16, {"..\\", ".\\", "a.txt", "b.jpg", "表\\"}},
      {p + "\\", 16, {"..\\", ".\\", "a.txt", "b.jpg", "表\\"}},  // the "*" is implied
      {p + "\\", 0, {"a.txt", "b.jpg"}},
      {p + "\\*.jpg", 0, {"b.jpg"}},
      {p + "\\表", 16, {"表\\"}},
      {p + "\\表", 0, {}},
      {p + "\\表\\", 0, {"x.jpg"}},
      {p + "\\h.jpg", 0, {}},
      {p + "\\hidden", 16, {}},
      {p + "\\nowhere\\*", 16, {}},
      {p, 16, {fs::path(folder.path).filename().string() + "\\"}},
  };
  for (const auto& c : cases) EXPECT_EQ(Enumerate(c.pattern, c.mask), c.names) << c.pattern;
  EXPECT_EQ(platform::GetAttributes(p + "\\表") & platform::kFolderAttribute,
            platform::kFolderAttribute);
  EXPECT_EQ(platform::GetAttributes(p + "\\nowhere"), 0u);
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

// Runs a Unix shell script in folder, as a user of wine may; the script ends
// by making a marker file, which is waited for (wine cannot wait for a Unix
// process). False where no Unix program can be started (on Windows itself)
// or the marker never comes.
bool RunUnixScript(const fs::path& folder, const std::string& script) {
  // Wine's own export gives the folder's Unix path.
  using UnixName = char*(CDECL*)(const wchar_t*);
  HMODULE kernel = GetModuleHandleW(L"kernel32");
  auto unixName = reinterpret_cast<UnixName>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "wine_get_unix_file_name")));
  if (unixName == nullptr) return false;
  char* unixFolder = unixName(folder.c_str());
  if (unixFolder == nullptr) return false;
  std::wstring command = L"/bin/sh -c \"cd '" + Wide(unixFolder) + L"' && " + Wide(script) +
                         L" && touch script-done\"";
  HeapFree(GetProcessHeap(), 0, unixFolder);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(L"Z:\\bin\\sh", command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    return false;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  for (int i = 0; i < 200 && !fs::exists(folder / "script-done"); ++i) Sleep(50);
  std::error_code error;
  return fs::remove(folder / "script-done", error);
}

// Unix links in a folder, removed again before the folder goes (the
// folder's removal cannot see links that lead nowhere).
struct UnixLinks {
  fs::path folder;
  std::string names;
  bool made = false;
  UnixLinks(const fs::path& where, const std::vector<std::pair<std::string, std::string>>& links)
      : folder(where) {
    std::string script = "true";
    for (const auto& [name, target] : links) {
      script += " && ln -s " + target + " " + name;
      names += " " + name;
    }
    made = RunUnixScript(folder, script);
  }
  ~UnixLinks() {
    if (made) RunUnixScript(folder, "rm -f" + names);
  }
};

TEST(Win32FilesTest, LinksCountAsWhatTheyLeadTo) {
  TempFolder folder;
  const fs::path& f = folder.path;
  WriteFile(f / "a.jpg", "12345");
  WriteFile(f / "sub" / "b.jpg", "b");
  SetWriteTime(f / "a.jpg", 1000000000);
  // Wine shows a link to a file as that file and hides one that leads
  // nowhere; a link to a folder shows as a folder that is a reparse point.
  UnixLinks links(f, {{"link.jpg", "a.jpg"},
                      {"dangling.jpg", "nowhere.jpg"},
                      {"dirlink", "sub"},
                      {"danglingdir", "nowhere"}});
  if (!links.made) GTEST_SKIP() << "no Unix links here";
  const std::string p = folder.Text();
  EXPECT_EQ(Enumerate(p + "\\*", 16),
            (std::vector<std::string>{"..\\", ".\\", "a.jpg", "dirlink\\", "link.jpg", "sub\\"}));
  EXPECT_EQ(Enumerate(p + "\\*", 0), (std::vector<std::string>{"a.jpg", "link.jpg"}));
  EXPECT_EQ(Enumerate(p + "\\dirlink\\*", 0), std::vector<std::string>{"b.jpg"});
  platform::FileStamp stamp;
  std::string reason;
  ASSERT_TRUE(platform::GetFileStamp(p + "\\link.jpg", stamp, reason)) << reason;
  EXPECT_EQ(stamp.size, 5);
  EXPECT_EQ(stamp.modified, 1000000000);
  EXPECT_FALSE(platform::GetFileStamp(p + "\\dangling.jpg", stamp, reason));
  platform::FolderId viaLink, real;
  ASSERT_TRUE(platform::GetFolderId(p + "\\dirlink", viaLink));
  ASSERT_TRUE(platform::GetFolderId(p + "\\sub", real));
  EXPECT_EQ(viaLink, real);
  EXPECT_NE(platform::GetAttributes(p + "\\dirlink") & platform::kLinkAttribute, 0u);
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

  // A share that reports no file index: the folders' final paths tell them
  // apart, and the same folder reached another way is still the same.
  auto open = [](const std::string& path) {
    return CreateFileW(Wide(path).c_str(), FILE_READ_ATTRIBUTES,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  };
  HANDLE ha = open(p + "\\a"), hsame = open(p + "\\b\\..\\a"), hb = open(p + "\\b");
  ASSERT_NE(ha, INVALID_HANDLE_VALUE);
  ASSERT_NE(hb, INVALID_HANDLE_VALUE);
  ASSERT_NE(hsame, INVALID_HANDLE_VALUE);
  using platform::win32::IdentityOf;
  const DWORD serial = static_cast<DWORD>(a.volume);
  platform::FolderId noIndexA = IdentityOf(serial, 0, ha);
  EXPECT_EQ(noIndexA, IdentityOf(serial, 0, hsame));
  EXPECT_FALSE(noIndexA == IdentityOf(serial, 0, hb));
  EXPECT_FALSE(noIndexA == IdentityOf(serial, noIndexA.index, hb)) << "never equal to a real index";
  EXPECT_EQ(IdentityOf(serial, a.index, hb), a) << "a real index is taken as it is";
  // A handle that names nothing still gives an identity equal to no other.
  EXPECT_FALSE(IdentityOf(serial, 0, INVALID_HANDLE_VALUE) ==
               IdentityOf(serial, 0, INVALID_HANDLE_VALUE));
  CloseHandle(ha);
  CloseHandle(hsame);
  CloseHandle(hb);
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
