#include "config/settings.h"

#include <gtest/gtest.h>

#include "support/test_support.h"

using namespace testing_support;

namespace {

TEST(SettingsTest, ReadsTheNamedSectionOnly) {
  TempFolder folder;
  std::string path = (folder.path / "pagrimo.ini").string();
  WriteFile(path,
            "\xEF\xBB\xBF; comment\r\n"
            "[Other]\r\ndefault=wrong.dat\r\n"
            "[ pagrimo ]\r\n"
            "Default = template.dat \r\n"
            "# another comment\r\n"
            "16=\"list.dat\"\n"
            "017=never.dat\r"
            "17=\r\n"
            "noequals\r\n"
            "18=a=b\r\n"
            "[Later]\r\n65=wrong.dat\r\n");
  EXPECT_EQ(ReadProfileString("Pagrimo", "default", "", path), "template.dat");
  EXPECT_EQ(ReadProfileString("Pagrimo", "16", "", path), "list.dat");
  EXPECT_EQ(ReadProfileString("Pagrimo", "17", "x", path), "");
  EXPECT_EQ(ReadProfileString("Pagrimo", "18", "", path), "a=b");
  EXPECT_EQ(ReadProfileString("Pagrimo", "65", "none", path), "none");
  EXPECT_EQ(ReadProfileString("Pagrimo", "16", "", path + ".missing"), "");
  EXPECT_EQ(ReadProfileString("Missing", "default", "dflt", path), "dflt");
}

// Notepad saves UTF-8 with a byte order mark, directly in front of the first
// line, which is usually the section line: the mark must not hide it.
TEST(SettingsTest, AByteOrderMarkBeforeTheSectionLine) {
  TempFolder folder;
  std::string path = (folder.path / "pagrimo.ini").string();
  WriteFile(path, "\xEF\xBB\xBF[Pagrimo]\r\ndefault=template.dat\r\n");
  EXPECT_EQ(ReadProfileString("Pagrimo", "default", "none", path), "template.dat");
}

TEST(SettingsTest, LongValuesAreCut) {
  SettingsEntries entries{{"default", std::string(5000, 'v')}, {"DEFAULT", "second"}};
  EXPECT_EQ(LookUpSetting(entries, "Default", ""), std::string(kMaxSettingBytes, 'v'));
  EXPECT_EQ(LookUpSetting(entries, "16", std::string(2000, 'd')).size(), kMaxSettingBytes);
  // Both sides of the cut: 1023 bytes stay whole, the 1024th goes.
  for (size_t length : {1023, 1024}) {
    SettingsEntries one{{"k", std::string(length - 1, 'v') + "e"}};
    EXPECT_EQ(LookUpSetting(one, "k", ""), std::string(1022, 'v') + (length == 1023 ? "e" : "v"));
  }
}

}  // namespace
