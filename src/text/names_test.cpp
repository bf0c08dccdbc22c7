#include "text/names.h"

#include <gtest/gtest.h>

namespace {

TEST(SortTest, StableAscendingIgnoringCase) {
  EXPECT_EQ(CompareText("a", "B"), -1);
  EXPECT_EQ(CompareText("B", "a"), 1);
  EXPECT_EQ(CompareText("Photo", "pHOTO"), 0);
  EXPECT_EQ(CompareText("", ""), 0);
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

}  // namespace
