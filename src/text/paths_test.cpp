#include "text/paths.h"

#include <gtest/gtest.h>

namespace {

constexpr PathStyle kPosix = PathStyle::kPosix, kWindows = PathStyle::kWindows;

TEST(PathsTest, FolderDisplayNameTakesTheLastComponent) {
  struct Case {
    PathStyle style;
    std::string path, name;
  } cases[] = {
      {kWindows, "C:\\photos\\trip\\", "trip"},
      {kWindows, "C:\\photos\\trip", "trip"},
      {kWindows, "C:\\", "root"},
      {kWindows, "C:", "root"},
      {kWindows, "photos", "root"},
      {kWindows, "", "root"},
      {kWindows, "C:\\photos\\\\", ""},
      {kWindows, "\\", "root"},
      {kWindows, "\\写真\\旅行", "旅行"},
      {kWindows, "\\\\server\\share\\", "share"},
      {kWindows, "C:/photos/trip/", "root"},  // only the separator counts
      {kPosix, "/photos/trip/", "trip"},
      {kPosix, "/photos/trip", "trip"},
      {kPosix, "/", "root"},
      {kPosix, "photos", "root"},
      {kPosix, "", "root"},
      {kPosix, "/photos//", ""},
      {kPosix, "/写真/旅行", "旅行"},
      {kPosix, "/a\\b", "a\\b"},  // a backslash is part of a POSIX name
  };
  for (const auto& c : cases) EXPECT_EQ(FolderDisplayName(c.path, c.style), c.name) << c.path;
}

TEST(PathsTest, WithTrailingSeparatorAddsExactlyOne) {
  struct Case {
    PathStyle style;
    std::string path, result;
  } cases[] = {
      {kWindows, "C:\\photos", "C:\\photos\\"},
      {kWindows, "C:\\", "C:\\"},
      {kWindows, "", "\\"},
      {kWindows, "a\\\\", "a\\\\"},
      {kWindows, "a/", "a/\\"},
      {kPosix, "/photos", "/photos/"},
      {kPosix, "/", "/"},
      {kPosix, "", "/"},
      {kPosix, "a//", "a//"},
      {kPosix, "a\\", "a\\/"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(WithTrailingSeparator(c.path, c.style), c.result) << c.path;
  }
  EXPECT_EQ(WithTrailingSeparator("a"), std::string("a") + platform::kSeparator);
}

}  // namespace
