#include "text/replace.h"

#include <gtest/gtest.h>

namespace {

TEST(ReplaceTextTest, ReplacesLeftToRightWithoutRescanningInsertedText) {
  struct Case {
    const char* source;
    const char* find;
    const char* replacement;
    const char* result;
  } cases[] = {
      {"a\\b\\c", "\\", "\\\\", "a\\\\b\\\\c"},
      {"xAAy", "A", "AA", "xAAAAy"},
      {"aaa", "aa", "b", "ba"},
      {"aabb", "ab", "", "ab"},
      {"abcabc", "abc", "", ""},
      {"ABC", "b", "x", "ABC"},
      {"", "a", "x", ""},
      {"[a][a]", "[a]", "[a][a]", "[a][a][a][a]"},
      {"写真\\ソ", "\\", "\\\\", "写真\\\\ソ"},
      {"keep", "", "x", "keep"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ReplaceText(c.source, c.find, c.replacement), c.result)
        << c.source << " / " << c.find << " / " << c.replacement;
  }
}

}  // namespace
