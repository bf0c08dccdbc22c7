#include "text/names.h"

#include <gtest/gtest.h>

namespace {

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
