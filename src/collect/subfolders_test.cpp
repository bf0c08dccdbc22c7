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
  NameList expected{"", "album", "Beta", "x.jpg", "Zoo"};
  if (linked) expected.insert(expected.begin() + 3, "link");
  EXPECT_EQ(list, expected);
  NameList again;
  ListSubfolders(f.Text() + kSep, again);
  EXPECT_EQ(again, list);
  ListSubfolders((f.path / "album").string(), list);
  EXPECT_EQ(list, NameList{""});
  ListSubfolders((f.path / "missing").string(), list);
  EXPECT_EQ(list, NameList{""});
}

TEST(SubfolderTest, ManySubfolders) {
  TempFolder f;
  for (int i = 0; i < 101; ++i) fs::create_directory(f.path / ("d" + std::to_string(100 + i)));
  NameList list;
  ListSubfolders(f.Text(), list);
  ASSERT_EQ(EntryCount(list), 101);
  EXPECT_EQ(list.size(), 102u);
  EXPECT_EQ(list[1], "d100");
  EXPECT_EQ(list[101], "d200");
}

TEST(SortTest, StableAscendingIgnoringCase) {
  EXPECT_EQ(CompareText("a", "B"), -1);
  EXPECT_EQ(CompareText("B", "a"), 1);
  EXPECT_EQ(CompareText("Photo", "pHOTO"), 0);
  EXPECT_EQ(CompareText("", ""), 0);
  NameList list{"", "b2", "B1", "a", "b1", "A", "c"};
  SortNames(list, 1, 6);  // "c" stays outside the range
  EXPECT_EQ(list, (NameList{"", "a", "A", "B1", "b1", "b2", "c"}));
  NameList partial{"", "z", "y", "x", "w"};
  SortNames(partial, 2, 3);
  EXPECT_EQ(partial, (NameList{"", "z", "x", "y", "w"}));
  SortNames(partial, 4, 4);
  SortNames(partial, 3, 2);
  EXPECT_EQ(partial, (NameList{"", "z", "x", "y", "w"}));
}

}  // namespace
