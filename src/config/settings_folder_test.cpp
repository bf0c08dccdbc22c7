#include "config/settings_folder.h"

#include <gtest/gtest.h>

#include <set>

#include "support/test_support.h"

using namespace testing_support;

namespace {

TEST(SettingsFolderTest, TheFirstFolderWithSettingsWins) {
  using V = std::vector<std::string>;
  const V order{"own", "user", "shared"};
  struct Case {
    V candidates;
    std::set<std::string> holding;
    std::string chosen;
  } cases[] = {
      {order, {"own", "user", "shared"}, "own"},  // the portable copy wins
      {order, {"user", "shared"}, "user"},
      {order, {"own", "shared"}, "own"},
      {order, {"shared"}, "shared"},
      {order, {}, "own"},  // nothing anywhere: the program's own folder, as ever
      {V{"own"}, {}, "own"},
      {V{}, {}, ""},
  };
  for (const Case& c : cases) {
    std::string chosen = PickSettingsFolder(
        c.candidates, [&](const std::string& folder) { return c.holding.count(folder) > 0; });
    EXPECT_EQ(chosen, c.chosen) << c.holding.size() << " holding";
  }
}

TEST(SettingsFolderTest, OnlyAPlainFileCounts) {
  TempFolder f;
  WriteFile(f.path / "file" / "pagrimo.ini", "[Pagrimo]\r\n");
  WriteFile(f.path / "empty" / "pagrimo.ini", "");
  WriteFile(f.path / "folder" / "pagrimo.ini" / "x", "");
  WriteFile(f.path / "other" / "pagrimo.ini.bak", "");
  WriteFile(f.path / "other" / "xpagrimo.ini", "");
  struct Case {
    std::string folder;
    bool holds;
  } cases[] = {{"file", true},   {"empty", true},    {"folder", false},
               {"other", false}, {"missing", false}, {"file" + kSep + "pagrimo.ini", false}};
  for (const Case& c : cases) {
    EXPECT_EQ(HoldsSettingsFile(f.Text() + kSep + c.folder), c.holds) << c.folder;
  }
  WriteFile(f.path / "target.ini", "");
  std::filesystem::create_directory(f.path / "linked");
  if (MakeLink(f.path / "target.ini", f.path / "linked" / "pagrimo.ini")) {
    EXPECT_TRUE(HoldsSettingsFile(f.Text() + kSep + "linked"));
    std::filesystem::remove(f.path / "target.ini");
    EXPECT_FALSE(HoldsSettingsFile(f.Text() + kSep + "linked"));  // dangling
  }
}

// The test program's folder holds the bundled settings, as the built
// program's does: that copy always reads its own.
TEST(SettingsFolderTest, TheProgramsOwnSettingsWin) {
  ASSERT_TRUE(HoldsSettingsFile(platform::ExecutableFolder()));
  EXPECT_EQ(SettingsFolder(), platform::ExecutableFolder());
}

}  // namespace
