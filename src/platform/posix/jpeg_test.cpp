// The JPEG decoder's scale: the smallest of 1/8, 1/4, 1/2 and 1/1 (or, for a
// preview, of every eighth) that covers the largest copy wanted, by both sides.
#include "platform/posix/jpeg.h"

#include <gtest/gtest.h>

namespace {

TEST(JpegScale, SmallestScaleThatCoversTheLargestCopy) {
  struct Case {
    double w, h;
    int maxSide;
    unsigned num, denom;
    bool anyEighth = false;
  };
  const Case cases[] = {
      {4000, 3000, 400, 1, 8},   // a camera photo's thumbnail
      {6000, 4000, 750, 1, 8},   // exactly an eighth
      {6000, 4000, 751, 1, 4},   // a pixel more
      {4000, 3000, 1000, 1, 4},  // a preview
      {4000, 3000, 2048, 1, 1},  // half is 2000: too small
      {3000, 4000, 1500, 1, 2},  // portrait: the longest side counts
      {240, 160, 100, 1, 2},     // the other side covered too (80 >= 67)
      {240, 160, 400, 1, 1},     // never enlarged: the picture's own size
      {8, 8, 1, 1, 8},
      {6000, 4000, 2048, 3, 8, true},  // a camera photo's preview: 2250 x 1500
      {6000, 4000, 2250, 3, 8, true},  // exactly three eighths
      {6000, 4000, 2251, 1, 2, true},  // a pixel more
      {4000, 3000, 2048, 5, 8, true},  // 2500: four eighths (2000) fall short
      {4000, 3000, 400, 1, 8, true},   // an eighth covers it all the same
      {2000, 1500, 2048, 1, 1, true},  // never enlarged
  };
  for (const Case& c : cases) {
    unsigned num = 0, denom = 0;
    platform::ChooseScale(c.w, c.h, c.maxSide, c.anyEighth, num, denom);
    EXPECT_EQ(num, c.num) << c.w << "x" << c.h << " for " << c.maxSide;
    EXPECT_EQ(denom, c.denom) << c.w << "x" << c.h << " for " << c.maxSide;
  }
}

}  // namespace
