#include "platform/plain_text.h"

#include <gtest/gtest.h>

namespace {

TEST(PlainTextTest, ByteOrderMark) {
  struct Case {
    std::string text, rest;
    bool had;
  } cases[] = {
      {"\xEF\xBB\xBF"
       "1,0",
       "1,0", true},
      {"\xEF\xBB\xBF", "", true},
      {"\xEF\xBB"
       "1,0",
       "\xEF\xBB"
       "1,0",
       false},
      {"1,0\xEF\xBB\xBF", "1,0\xEF\xBB\xBF", false},
      {"", "", false},
  };
  for (auto c : cases) {
    EXPECT_EQ(platform::StripByteOrderMark(c.text), c.had) << c.rest;
    EXPECT_EQ(c.text, c.rest);
  }
}

TEST(PlainTextTest, TrimAndCompare) {
  EXPECT_EQ(platform::TrimBlanks(" \t a b \t "), "a b");
  EXPECT_EQ(platform::TrimBlanks(" \t "), "");
  EXPECT_EQ(platform::TrimBlanks("\r\nx\r\n"), "\r\nx\r\n");  // only blanks and tabs
  EXPECT_TRUE(platform::EqualIgnoringAsciiCase("PaGrImO", "pagrimo"));
  EXPECT_FALSE(platform::EqualIgnoringAsciiCase("pagrimo", "pagrim"));
  EXPECT_FALSE(platform::EqualIgnoringAsciiCase("\xC3\x84", "\xC3\xA4"));  // Ä is not ASCII
  EXPECT_FALSE(platform::EqualIgnoringAsciiCase("@", "`"));
}

TEST(PlainTextTest, Utf8CharacterLengths) {
  std::string text = "a\xC3\xA9\xE5\x86\x99\xF0\x9F\x98\x80\xFF\xC3";
  std::vector<size_t> lengths;
  for (size_t i = 0; i < text.size(); i += platform::Utf8CharLength(text, i)) {
    lengths.push_back(platform::Utf8CharLength(text, i));
  }
  EXPECT_EQ(lengths, (std::vector<size_t>{1, 2, 3, 4, 1, 1}));
  EXPECT_EQ(platform::Utf8CharLength("\xE5\x86x", 0), 2u);  // cut short by a plain byte
}

}  // namespace
