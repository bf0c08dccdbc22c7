// The Windows platform layer on real folders: long paths, enumeration,
// links, folder identity, file stamps and the settings section, checked
// against the Windows functions they stand for. Runs under wine.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>

#include "platform/platform.h"
#include "platform/win32/internal.h"
#include "support/test_support.h"

namespace fs = std::filesystem;
using testing_support::SetHiddenAttribute;
using testing_support::SetWriteTime;
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

std::vector<std::string> Enumerate(const std::string& pattern, platform::Listing listing);

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
  EXPECT_EQ(Enumerate(p + "\\", kBoth),
            (std::vector<std::string>{"..\\", ".\\", "c.jpg", "sub\\"}));
  EXPECT_EQ(platform::KindOfPath(p + "\\sub").kind, platform::EntryKind::kFolder);
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
  EXPECT_EQ(Enumerate(p + "\\*", kFiles),
            (std::vector<std::string>{"c.jpg", std::string(240, 'p') + ".html"}));
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
  SetWriteTime(file, seconds);

  platform::FileStamp stamp;
  std::string reason;
  ASSERT_TRUE(platform::GetFileStamp(Utf8Path(file), stamp, reason)) << reason;
  EXPECT_EQ(stamp.size, 5);
  EXPECT_EQ(stamp.modified, seconds);
  EXPECT_FALSE(platform::GetFileStamp(folder.Text() + "\\gone.jpg", stamp, reason));
  EXPECT_FALSE(reason.empty());

  // The user's short date, one blank, the time with seconds, in local time:
  // the tests run in Japanese and in Japan's zone (cmake/Testing.cmake), where
  // 01:46:40 UTC is 10:46:40; wine's Japanese short date has no leading zeros.
  EXPECT_EQ(platform::LocalDateTimeText(seconds), "2001/9/9 10:46:40");
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
  EXPECT_EQ(Enumerate(p + "\\*", kBoth),
            (std::vector<std::string>{"..\\", ".\\", "a.jpg", "dirlink\\", "link.jpg", "sub\\"}));
  EXPECT_EQ(Enumerate(p + "\\*", kFiles), (std::vector<std::string>{"a.jpg", "link.jpg"}));
  EXPECT_EQ(Enumerate(p + "\\dirlink\\*", kFiles), std::vector<std::string>{"b.jpg"});
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
  EXPECT_TRUE(platform::KindOfPath(p + "\\dirlink").isLink);
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
