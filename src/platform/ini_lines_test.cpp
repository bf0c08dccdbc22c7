#include "platform/ini_lines.h"

#include <gtest/gtest.h>

namespace {

TEST(IniLinesTest, EntryLines) {
  struct Case {
    std::string line;
    bool ok;
    std::string key, value;
  } cases[] = {
      {"default=t.dat", true, "default", "t.dat"},
      {"  Default = template.dat \t", true, "Default", "template.dat"},
      {"16=\"list.dat\"", true, "16", "list.dat"},
      {"16='list.dat'", true, "16", "list.dat"},
      {"16=\"list.dat'", true, "16", "\"list.dat'"},
      {"16=\"\"", true, "16", ""},
      {"16=\"", true, "16", "\""},
      {"17=", true, "17", ""},
      {"18=a=b", true, "18", "a=b"},
      {"k = \" spaced \" ", true, "k", " spaced "},
      {"写真=表.dat", true, "写真", "表.dat"},
      {"=value", false, "", ""},
      {"noequals", false, "", ""},
      {"", false, "", ""},
      {";default=x", false, "", ""},
      {"  # default=x", false, "", ""},
  };
  for (const auto& c : cases) {
    std::string key = "?", value = "?";
    EXPECT_EQ(platform::ParseIniEntry(c.line, key, value), c.ok) << c.line;
    if (c.ok) {
      EXPECT_EQ(key, c.key) << c.line;
      EXPECT_EQ(value, c.value) << c.line;
    }
  }
}

TEST(IniLinesTest, SectionsOfAWholeFile) {
  using Entries = platform::IniEntries;
  struct Case {
    const char* what;
    std::string text;
    Entries entries;
  } cases[] = {
      {"plain", "[Pagrimo]\r\ndefault=t.dat\r\n16=list.dat\r\n",
       Entries{{"default", "t.dat"}, {"16", "list.dat"}}},
      {"byte order mark, blanks and case", "\xEF\xBB\xBF [ pAGRIMO ] \nDefault = a \n",
       Entries{{"Default", "a"}}},
      {"other sections end it, a later part continues it",
       "[x]\na=1\n[Pagrimo]\nb=2\n[y]\nc=3\n[PAGRIMO]\nd=4\n", Entries{{"b", "2"}, {"d", "4"}}},
      {"CR, LF and CR LF", "[Pagrimo]\ra=1\nb=2\r\nc=3\r\r\nd=4",
       Entries{{"a", "1"}, {"b", "2"}, {"c", "3"}, {"d", "4"}}},
      {"comments", "[Pagrimo]\n;a=1\n#b=2\n;[Other]\nc=3\n", Entries{{"c", "3"}}},
      {"a header without its bracket ends the section", "[Pagrimo]\na=1\n[Pagrimo\nb=2\n",
       Entries{{"a", "1"}}},
      {"no section", "[Other]\ndefault=t.dat\n", Entries{}},
      {"empty", "", Entries{}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(platform::IniSection(c.text, "Pagrimo"), c.entries) << c.what;
  }
}

}  // namespace
