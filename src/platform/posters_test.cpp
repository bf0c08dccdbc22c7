#include "platform/posters.h"

#include <gtest/gtest.h>

namespace {

using platform::MeanLuma;
using platform::PosterTimes;

TEST(PostersTest, TimesFollowTheClipsLength) {
  struct Case {
    std::int64_t duration;
    std::vector<std::int64_t> times;
  } const cases[] = {
      {0, {1000, 2000, 3000}},
      {-5, {1000, 2000, 3000}},
      {10000, {1000, 2000, 3000}},
      {36000000, {1000, 2000, 3000}},
      {9990, {999, 2497, 4995}},
      {4000, {400, 1000, 2000}},
      {1, {0, 0, 0}},
  };
  for (const Case& c : cases) EXPECT_EQ(PosterTimes(c.duration), c.times) << c.duration;
}

TEST(PostersTest, MeanLumaWeighsChannelsInEitherOrder) {
  // Two rows of two pixels with padding: pure red, green, blue and white.
  const std::uint8_t rgb[] = {255, 0, 0, 0, 255, 0, 9, 9, 0, 0, 255, 255, 255, 255, 9, 9};
  const double mean = (0.299 + 0.587 + 0.114 + 1.0) * 255 / 4;
  EXPECT_NEAR(MeanLuma(rgb, 2, 2, 8, 3, false), mean, 1e-9);
  // Read blue first, red and blue change places: (blue, green, red, white).
  EXPECT_NEAR(MeanLuma(rgb, 2, 2, 8, 3, true), mean, 1e-9);
  const std::uint8_t bgra[] = {0, 0, 255, 255};
  EXPECT_NEAR(MeanLuma(bgra, 1, 1, 4, 4, true), 0.299 * 255, 1e-9);
  EXPECT_EQ(MeanLuma(rgb, 0, 2, 8, 3, false), 0);
  EXPECT_TRUE(platform::NearlyBlack(16));
  EXPECT_FALSE(platform::NearlyBlack(40));
}

}  // namespace
