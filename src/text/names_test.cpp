#include "text/names.h"

#include <gtest/gtest.h>

namespace {

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
  NameList list{"b2", "B1", "a", "b1", "A", "c"};
  SortNames(list, 0, 5);  // "c" stays outside the range
  EXPECT_EQ(list, (NameList{"a", "A", "B1", "b1", "b2", "c"}));
  NameList whole{"c", "b2", "B1", "a", "b1", "A"};
  SortNames(whole);
  EXPECT_EQ(whole, list);
  NameList partial{"z", "y", "x", "w"};
  SortNames(partial, 1, 3);
  EXPECT_EQ(partial, (NameList{"z", "x", "y", "w"}));
  SortNames(partial, 3, 4);
  SortNames(partial, 2, 1);
  SortNames(partial, 2, 5);  // past the end
  EXPECT_EQ(partial, (NameList{"z", "x", "y", "w"}));
  NameList empty;
  SortNames(empty);
  EXPECT_TRUE(empty.empty());
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
  NameList list;
  std::vector<std::string> arrival[3];
  for (int k = 0; k < 192; ++k) {
    int word = (k % 3 + k / 3) % 3;  // the words arrive mixed, 64 of each
    int bits = (static_cast<int>(arrival[word].size()) * 37) % 64;  // spellings out of order
    list.push_back(spelling(words[word], bits));
    arrival[word].push_back(list.back());
  }
  NameList whole = list;
  SortNames(whole);
  NameList expected;
  for (int word : {1, 2, 0}) {  // albums, moment, photos
    expected.insert(expected.end(), arrival[word].begin(), arrival[word].end());
  }
  EXPECT_EQ(whole, expected);
  // A range of the list alone, with the same rule.
  NameList part(list.begin() + 10, list.begin() + 150), sortedPart = part;
  SortNames(sortedPart);
  SortNames(list, 10, 150);
  EXPECT_EQ(NameList(list.begin() + 10, list.begin() + 150), sortedPart);
}

}  // namespace
