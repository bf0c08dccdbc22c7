#include "text/sort_order.h"

#include <gtest/gtest.h>

namespace {

TEST(SortOrder, ParsesTheSetting) {
  struct Case {
    const char* text;
    bool valid;
    SortKey key;
    bool descending;
  };
  const Case cases[] = {
      {"", true, SortKey::kName, false},
      {"name", true, SortKey::kName, false},
      {"-name", true, SortKey::kName, true},
      {"natural", true, SortKey::kNatural, false},
      {"NATURAL", true, SortKey::kNatural, false},
      {"-Natural", true, SortKey::kNatural, true},
      {"taken", true, SortKey::kTaken, false},
      {"-taken", true, SortKey::kTaken, true},
      {"-", false, {}, false},
      {"--taken", false, {}, false},
      {"- taken", false, {}, false},
      {"+taken", false, {}, false},
      {"names", false, {}, false},
      {"nam", false, {}, false},
      {"taken ", false, {}, false},
      {"ｔａｋｅｎ", false, {}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    SortOrder order{SortKey::kTaken, true};
    EXPECT_EQ(ParseSortOrder(c.text, order), c.valid);
    if (c.valid) {
      EXPECT_EQ(order.key, c.key);
      EXPECT_EQ(order.descending, c.descending);
    } else {
      EXPECT_EQ(order.key, SortKey::kTaken);  // untouched
    }
  }
}

}  // namespace
