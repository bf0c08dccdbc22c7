#include "text/durations.h"

#include <gtest/gtest.h>

namespace {

TEST(DurationTextTest, RoundsFirstThenChoosesTheForm) {
  struct Case {
    std::int64_t milliseconds;
    const char* text;
  } cases[] = {
      {-1, ""},
      {0, ""},
      {1, "0:01"},
      {499, "0:01"},
      {1499, "0:01"},
      {1500, "0:02"},
      {7000, "0:07"},
      {59499, "0:59"},
      {59500, "1:00"},
      {754000, "12:34"},
      {3599499, "59:59"},
      {3599500, "1:00:00"},
      {3723000, "1:02:03"},
      {36000000, "10:00:00"},
      {INT64_MAX, "2562047788015:12:56"},
  };
  for (const auto& c : cases) EXPECT_EQ(DurationText(c.milliseconds), c.text) << c.milliseconds;
}

}  // namespace
