#include "page/text_helpers.h"

#include <gtest/gtest.h>

#include "platform/platform.h"

namespace {

// Writes paths with "\" and converts to the platform's separator, so one
// table serves both ports.
std::string P(std::string text) {
  for (char& c : text) {
    if (c == '\\') c = platform::kSeparator;
  }
  return text;
}

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

TEST(TextHelpersTest, DoubleBackslashesDoublesEveryBackslashOnly) {
  EXPECT_EQ(DoubleBackslashes("C:\\a b\\\\c/d"), "C:\\\\a b\\\\\\\\c/d");
  EXPECT_EQ(DoubleBackslashes(""), "");
}

TEST(TextHelpersTest, FolderDisplayNameTakesTheLastComponent) {
  struct Case {
    std::string path, name;
  } cases[] = {
      {P("C:\\photos\\trip\\"), "trip"},
      {P("C:\\photos\\trip"), "trip"},
      {P("C:\\"), "root"},
      {"C:", "root"},
      {"photos", "root"},
      {"", "root"},
      {P("C:\\photos\\\\"), ""},
      {P("\\"), "root"},
      {P("\\写真\\旅行"), "旅行"},
  };
  for (const auto& c : cases) EXPECT_EQ(FolderDisplayName(c.path), c.name) << c.path;
}

TEST(TextHelpersTest, WithTrailingSeparatorAddsExactlyOne) {
  EXPECT_EQ(WithTrailingSeparator(P("C:\\photos")), P("C:\\photos\\"));
  EXPECT_EQ(WithTrailingSeparator(P("C:\\")), P("C:\\"));
  EXPECT_EQ(WithTrailingSeparator(""), P("\\"));
  EXPECT_EQ(WithTrailingSeparator(P("a\\\\")), P("a\\\\"));
}

}  // namespace

namespace {

TEST(TextHelpersTest, UrlFormEncodesEveryByteButTheSafeOnes) {
  bool windows = platform::kSeparator == '\\';
  struct Case {
    std::string text, url;
  } cases[] = {
      {"a b#1%41?&'\"<b>.jpg", "a%20b%231%2541%3F%26%27%22%3Cb%3E.jpg"},
      {"写真.png", "%E5%86%99%E7%9C%9F.png"},
      {"AZaz09-._~", "AZaz09-._~"},
      {"", ""},
      {"[x]:+,;=@!$()*", "%5Bx%5D%3A%2B%2C%3B%3D%40%21%24%28%29%2A"},
      {P("trips\\May\\beach.png"), "trips/May/beach.png"},
      {"/tmp/a b/", "file:///tmp/a%20b/"},  // "/" also separates on Windows
      {P("C:\\photos\\"), windows ? "file:///C:/photos/" : "C%3A/photos/"},
      {P("\\\\server\\share\\x"), windows ? "file://server/share/x" : "file:////server/share/x"},
      {"back\\slash.jpg", windows ? "back/slash.jpg" : "back%5Cslash.jpg"},
  };
  for (const auto& c : cases) EXPECT_EQ(UrlForm(c.text), c.url) << c.text;
}

TEST(TextHelpersTest, HtmlFormEscapesMarkupCharacters) {
  EXPECT_EQ(HtmlForm("<b>&\"'x</b>"), "&lt;b&gt;&amp;&quot;&#39;x&lt;/b&gt;");
  EXPECT_EQ(HtmlForm("&amp; 写真"), "&amp;amp; 写真");
  EXPECT_EQ(HtmlForm("[numfile] [filelist&]"), "&#91;numfile&#93; &#91;filelist&amp;&#93;");
  EXPECT_EQ(HtmlForm(""), "");
}

}  // namespace
