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
  // Far apart, and of different lengths: still exactly 1 or -1.
  EXPECT_EQ(CompareText("apple", "Zebra"), -1);
  EXPECT_EQ(CompareText("Zebra", "apple"), 1);
  EXPECT_EQ(CompareText("photos", "P"), 1);
  EXPECT_EQ(CompareText("", "photos"), -1);
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

// Stability needs more names than a small-input sort handles by insertion
// (libstdc++ switches at 16): 192 names, three words in all 64 letter-case
// spellings each, interleaved. Equal names must keep their order of arrival.
TEST(SortTest, ManyNamesEqualIgnoringCaseKeepTheirOrder) {
  const std::string words[] = {"photos", "albums", "moment"};  // 64 spellings each
  auto spelling = [](std::string word, int bits) {
    for (size_t i = 0; i < word.size(); ++i) {
      if (bits & (1 << i)) word[i] = static_cast<char>(word[i] - 'a' + 'A');
    }
    return word;
  };
  NameList list{""};
  std::vector<std::string> arrival[3];
  for (int k = 0; k < 192; ++k) {
    int word = (k % 3 + k / 3) % 3;  // the words arrive mixed, 64 of each
    int bits = (static_cast<int>(arrival[word].size()) * 37) % 64;  // spellings out of order
    list.push_back(spelling(words[word], bits));
    arrival[word].push_back(list.back());
  }
  SortNames(list, 1, EntryCount(list));
  NameList expected{""};
  for (int word : {1, 2, 0}) {  // albums, moment, photos
    expected.insert(expected.end(), arrival[word].begin(), arrival[word].end());
  }
  EXPECT_EQ(list, expected);
}

}  // namespace
