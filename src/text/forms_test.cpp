#include "text/forms.h"

#include <gtest/gtest.h>

namespace {

TEST(FormsTest, DoubleBackslashesDoublesEveryBackslashOnly) {
  EXPECT_EQ(DoubleBackslashes("C:\\a b\\\\c/d"), "C:\\\\a b\\\\\\\\c/d");
  EXPECT_EQ(DoubleBackslashes(""), "");
}

TEST(FormsTest, UrlFormEncodesEveryByteButTheSafeOnes) {
  constexpr PathStyle kPosix = PathStyle::kPosix, kWindows = PathStyle::kWindows;
  struct Case {
    PathStyle style;
    std::string text, url;
  } cases[] = {
      {kPosix, "a b#1%41?&'\"<b>.jpg", "a%20b%231%2541%3F%26%27%22%3Cb%3E.jpg"},
      {kWindows, "a b#1%41?&'\"<b>.jpg", "a%20b%231%2541%3F%26%27%22%3Cb%3E.jpg"},
      {kPosix, "写真.png", "%E5%86%99%E7%9C%9F.png"},
      {kPosix, "AZaz09-._~", "AZaz09-._~"},
      {kPosix, "", ""},
      {kWindows, "", ""},
      {kPosix, "[x]:+,;=@!$()*", "%5Bx%5D%3A%2B%2C%3B%3D%40%21%24%28%29%2A"},
      {kPosix, "trips/May/beach.png", "trips/May/beach.png"},
      {kWindows, "trips\\May\\beach.png", "trips/May/beach.png"},
      {kPosix, "/tmp/a b/", "file:///tmp/a%20b/"},
      {kWindows, "/tmp/a b/", "file:///tmp/a%20b/"},  // "/" also separates on Windows
      {kWindows, "C:\\photos\\", "file:///C:/photos/"},
      {kWindows, "c:", "file:///c:"},
      {kWindows, "1:\\x", "1%3A/x"},  // no drive letter
      {kPosix, "C:/photos/", "C%3A/photos/"},
      {kWindows, "\\\\server\\share\\x", "file://server/share/x"},
      {kPosix, "//server/share/x", "file:////server/share/x"},
      {kPosix, "back\\slash.jpg", "back%5Cslash.jpg"},
      {kWindows, "back\\slash.jpg", "back/slash.jpg"},
      {kWindows, "\\写真\\", "file:///%E5%86%99%E7%9C%9F/"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(UrlForm(c.text, c.style), c.url)
        << c.text << (c.style == kWindows ? " (Windows)" : " (POSIX)");
  }
  EXPECT_EQ(UrlForm("a b"), "a%20b");  // the running system's style by default
}

TEST(FormsTest, HtmlFormEscapesMarkupCharacters) {
  EXPECT_EQ(HtmlForm("<b>&\"'x</b>"), "&lt;b&gt;&amp;&quot;&#39;x&lt;/b&gt;");
  EXPECT_EQ(HtmlForm("&amp; 写真"), "&amp;amp; 写真");
  EXPECT_EQ(HtmlForm("[numfile] [filelist&]"), "&#91;numfile&#93; &#91;filelist&amp;&#93;");
  EXPECT_EQ(HtmlForm(""), "");
}

}  // namespace
