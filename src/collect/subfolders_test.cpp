#include "collect/subfolders.h"

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

TEST(SubfolderTest, ListsFoldersOnlySortedIgnoringCase) {
  TempFolder f;
  for (const char* name : {"Zoo", "album", "Beta", ".hidden", "x.jpg"}) {
    fs::create_directory(f.path / name);
  }
  WriteFile(f.path / "photos", "a file");
  // A link to a folder is listed where the platform can make one.
  bool linked = MakeLink("Zoo", f.path / "link");
  NameList list{"old"};
  ListSubfolders(f.Text(), list);
  NameList expected{"album", "Beta", "x.jpg", "Zoo"};
  if (linked) expected.insert(expected.begin() + 2, "link");
  EXPECT_EQ(list, expected);
  NameList again;
  ListSubfolders(f.Text() + kSep, again);
  EXPECT_EQ(again, list);
  ListSubfolders((f.path / "album").string(), list);
  EXPECT_EQ(list, NameList{});
  ListSubfolders((f.path / "missing").string(), list);
  EXPECT_EQ(list, NameList{});
}

TEST(SubfolderTest, ManySubfolders) {
  TempFolder f;
  for (int i = 0; i < 101; ++i) fs::create_directory(f.path / ("d" + std::to_string(100 + i)));
  NameList list;
  ListSubfolders(f.Text(), list);
  ASSERT_EQ(list.size(), 101u);
  EXPECT_EQ(list[0], "d100");
  EXPECT_EQ(list[100], "d200");
}

}  // namespace
