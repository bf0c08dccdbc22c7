#include "platform/wildcard.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(WildcardTest, StarsAndQuestionMarksTakeWholeCharacters) {
  struct Case {
    std::string name, pattern;
    bool matches;
  } cases[] = {
      {"a.jpg", "*", true},
      {"", "*", true},
      {"", "", true},
      {"a", "", false},
      {"", "?", false},
      {"a.jpg", "*.jpg", true},
      {"a.JPG", "*.jpg", false},  // bytes compare exactly
      {"a.jpg.bak", "*.jpg", false},
      {"ab", "?b", true},
      {"abc", "?b", false},
      {"写真.gif", "??.gif", true},  // "?" is one character, not one byte
      {"写真.gif", "???.gif", false},
      {"写真.gif", "*真.gif", true},
      {"\xff\xfe.bmp", "??.bmp", true},  // stray bytes count one each
      {"\xc3", "?", true},               // a cut character is one
      {"tail\xc3\xa9", "tail?", true},
      {"[x]", "[x]", true},
      {"x", "[a-z]", false},  // no classes
      {"a*b", "a*b", true},
      {"aXXb", "a*b", true},
      {"ab", "a**b", true},
      {"abcabd", "*abd", true},
      {"mississippi", "m*iss*ppi", true},
      {"mississippi", "m*iss*ppx", false},
      {"x.y.z", "*.*", true},
      {"xyz", "*.*", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(platform::MatchesWildcard(c.name, c.pattern), c.matches)
        << c.name << " / " << c.pattern;
  }
}

TEST(WildcardTest, LongNamesStayLinear) {
  std::string name(100000, 'a');
  EXPECT_FALSE(platform::MatchesWildcard(name, "*a*a*a*a*b"));
  EXPECT_TRUE(platform::MatchesWildcard(name + "b", "*a*a*a*a*b"));
}

TEST(WildcardTest, HasWildcard) {
  EXPECT_TRUE(platform::HasWildcard("a*"));
  EXPECT_TRUE(platform::HasWildcard("?"));
  EXPECT_FALSE(platform::HasWildcard("[fileid].png"));
  EXPECT_FALSE(platform::HasWildcard(""));
}

}  // namespace
