#include "text/picture_types.h"

#include <gtest/gtest.h>

namespace {

TEST(PictureTypes, ValuesAndNames) {
  PictureTypes types;
  EXPECT_FALSE(ParsePictureTypes(" , .\t,", types));
  EXPECT_TRUE(types.empty());
  ASSERT_TRUE(ParsePictureTypes("JPG .heic,webp\t.Heic,,", types));
  EXPECT_EQ(types, (PictureTypes{"jpg", "heic", "webp"}));
  EXPECT_EQ(DefaultPictureTypes(), (PictureTypes{"gif", "jpg", "jpeg", "png", "bmp"}));
  const std::pair<const char*, bool> names[] = {
      {"a.HEIC", true},      {"b.jpg", true},  {".webp", true},   {"heic", false},
      {"a.heic.txt", false}, {"aheic", false}, {"a.jpeg", false}, {"", false},
  };
  for (const auto& [name, listed] : names) EXPECT_EQ(HasPictureType(name, types), listed) << name;
}

}  // namespace
