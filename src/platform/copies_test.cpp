#include "platform/copies.h"

#include <gtest/gtest.h>

namespace {

// Largest first, equal sides (after the clamp to 1) in the order asked.
TEST(CopiesTest, LargestFirstKeepsTiesInTheOrderAsked) {
  std::vector<platform::WantedCopy> wanted;
  for (std::int32_t side : {400, 2048, 0, 2048, -5, 401}) wanted.push_back({side, "x"});
  EXPECT_EQ(platform::LargestFirst(wanted), (std::vector<std::size_t>{1, 3, 5, 0, 2, 4}));
  EXPECT_EQ(platform::CopySide(wanted[2]), 1);
  EXPECT_EQ(platform::CopySide(wanted[4]), 1);
  EXPECT_EQ(platform::CopySide(wanted[5]), 401);
  EXPECT_TRUE(platform::LargestFirst({}).empty());
}

}  // namespace
