// The Windows platform layer on real files, checked against the Windows
// functions it stands for. Runs under wine with code page 932 in CI.
// Wine follows Unix links itself, has no 260-character limit and reports a
// file index everywhere, so those cases are checked through the decisions
// that the layer makes.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>

#include "platform/platform.h"
#include "platform/win32/internal.h"
#include "support/test_support.h"

namespace fs = std::filesystem;
using testing_support::ReadFile;
using testing_support::SetWriteTime;
using testing_support::TempFolder;
using testing_support::Utf8Path;
using testing_support::WriteFile;

namespace {

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
      {"same size, only the last byte other", "<a.jpg>\r\n", platform::TextEncoding::kSystem,
       "<a.jpg>\r!", "<a.jpg>\r!", false},
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

}  // namespace
