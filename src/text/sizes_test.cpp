#include "text/sizes.h"

#include <gtest/gtest.h>

namespace {

TEST(SizeTextTest, RoundsFirstThenChoosesTheUnit) {
  struct Case {
    std::uint64_t bytes;
    const char* text;
  } cases[] = {
      {0, "0 bytes"},
      {1, "1 byte"},
      {2, "2 bytes"},
      {980, "980 bytes"},
      {999, "999 bytes"},
      {1000, "1.0 KB"},
      {1049, "1.0 KB"},
      {1050, "1.1 KB"},
      {9949, "9.9 KB"},
      {9950, "10 KB"},
      {412000, "412 KB"},
      {999499, "999 KB"},
      {999500, "1.0 MB"},
      {999999, "1.0 MB"},
      {6600000, "6.6 MB"},
      {9949999, "9.9 MB"},
      {9950000, "10 MB"},
      {999499999, "999 MB"},
      {999500000, "1.0 GB"},
      {12000000000, "12 GB"},
      {999500000000, "1.0 TB"},
      {999500000000000, "1.0 PB"},
      {999499999999999999, "999 PB"},
      {999500000000000000, "1.0 EB"},
      {9223372036854775807, "9.2 EB"},
      {18446744073709551615u, "18 EB"},
  };
  for (const auto& c : cases) EXPECT_EQ(SizeText(c.bytes), c.text) << c.bytes;
}

}  // namespace
