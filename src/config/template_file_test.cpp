#include "config/template_file.h"

#include <gtest/gtest.h>

namespace {

TEST(TemplateFileTest, ReadsTheTenLineExample) {
  TemplateSet set;
  ASSERT_TRUE(
      ParseTemplate("2,1\r\nTop\r\n\r\nMiddle\r\n*\r\nFolder\r\n*\r\n\r\nFile\r\n*\r\n", set));
  EXPECT_EQ(set.listingMode, 2);
  EXPECT_EQ(set.pageNaming, 1);
  EXPECT_EQ(set.pageText, "Top\r\n\r\nMiddle\r\n");
  EXPECT_EQ(set.folderItemText, "Folder\r\n");
  EXPECT_EQ(set.fileItemText, "File\r\n");
}

TEST(TemplateFileTest, SectionsAndLineEnds) {
  struct Case {
    const char* what;
    std::string text;
    std::string page, folder, file;
  } cases[] = {
      {"markers first", "0,0\r\n*\r\n*\r\n*\r\n", "\r\n", "\r\n", "\r\n"},
      {"last line lost at the end of the file", "0,0\r\nP\r\n*\r\nF\r\n*\r\nA\r\nB\r\n", "P\r\n",
       "F\r\n", "A\r\n"},
      {"an empty line after it keeps it", "0,0\r\nP\r\n*\r\nF\r\n*\r\nA\r\nB\r\n\r\n", "P\r\n",
       "F\r\n", "A\r\nB\r\n"},
      {"no final line end", "0,0\r\nP\r\n*\r\nF\r\n*\r\nA\r\nB", "P\r\n", "F\r\n", "A\r\n"},
      {"blanked markers are content", "0,0\r\n *\r\n* \r\n*\r\n*\r\n*\r\n", " *\r\n* \r\n", "\r\n",
       "\r\n"},
      {"leading empty lines vanish, inner and trailing stay",
       "0,0\r\n\r\n\r\nA\r\n\r\nB\r\n\r\n*\r\n*\r\n*\r\n", "A\r\n\r\nB\r\n\r\n", "\r\n", "\r\n"},
      {"LF only", "0,0\nP1\nP2\n*\nF\n*\nI\n*\n", "P1\r\nP2\r\n", "F\r\n", "I\r\n"},
      {"CR only", "0,0\rP1\rP2\r*\rF\r*\rI\r*\r", "P1\r\nP2\r\n", "F\r\n", "I\r\n"},
      {"mixed, and character 26 is text", "0,0\r\nA\x1a\nB\r*\r\n*\n*", "A\x1a\r\nB\r\n", "\r\n",
       "\r\n"},
      {"after the third marker nothing is read", "0,0\r\n*\r\n*\r\n*\r\ngarbage\r\n\xff", "\r\n",
       "\r\n", "\r\n"},
  };
  for (const auto& c : cases) {
    TemplateSet set;
    ASSERT_TRUE(ParseTemplate(c.text, set)) << c.what;
    EXPECT_EQ(set.pageText, c.page) << c.what;
    EXPECT_EQ(set.folderItemText, c.folder) << c.what;
    EXPECT_EQ(set.fileItemText, c.file) << c.what;
  }
}

TEST(TemplateFileTest, FirstRecord) {
  struct Case {
    std::string first;
    bool ok;
    int mode, naming;
  } cases[] = {
      {"1,0\r\n", true, 1, 0},
      {"1\r\n0\r\n", true, 1, 0},
      {"-7,2147483647\r\n", true, -7, 2147483647},
      {"-2147483648,+3\r\n", true, -2147483647 - 1, 3},
      {" 2 , 1 \r\n", true, 2, 1},
      {"2147483648,0\r\n", false, 0, 0},
      {"0,-2147483649\r\n", false, 0, 0},
      {"99999999999999999999,0\r\n", false, 0, 0},
      {"x,0\r\n", false, 0, 0},
      {"1.5,0\r\n", false, 0, 0},
      {",\r\n", false, 0, 0},
      {"1,0,3\r\n", false, 0, 0},
      {"-\r\n0\r\n", false, 0, 0},
      {"\r\n", false, 0, 0},
  };
  for (const auto& c : cases) {
    TemplateSet set;
    EXPECT_EQ(ParseTemplate(c.first + "*\r\n*\r\n*\r\n", set), c.ok) << c.first;
    if (c.ok) {
      EXPECT_EQ(set.listingMode, c.mode) << c.first;
      EXPECT_EQ(set.pageNaming, c.naming) << c.first;
    }
  }
}

TEST(TemplateFileTest, MissingLinesFailTheLoad) {
  const char* texts[] = {
      "",
      "1,0",
      "1,0\r\n",
      "1\r\n",                   // the second number is missing
      "1,0\r\npage\r\n",         // page section ended by the end of the file
      "1,0\r\npage\r\n*\r\n",    // nothing left for the folder section
      "1,0\r\n*\r\nfolder\r\n",  // folder section ended by the end of the file
      "1,0\r\n*\r\n*\r\n",       // nothing left for the file section
  };
  for (const char* text : texts) {
    TemplateSet set;
    EXPECT_FALSE(ParseTemplate(text, set)) << text;
  }
}

// Both sides of each bound: the last value accepted and the first refused.
TEST(TemplateFileTest, ThumbSizeBounds) {
  struct Case {
    const char* text;
    std::int32_t size;  // 0: refused, the size before stays
  } cases[] = {
      {"15", 0}, {"16", 16}, {" 400 ", 400}, {"+4096", 4096}, {"4097", 0}, {"-16", 0}, {"", 0},
  };
  for (const auto& c : cases) {
    std::int32_t size = 7;
    EXPECT_EQ(ParseThumbSize(c.text, size), c.size != 0) << c.text;
    EXPECT_EQ(size, c.size != 0 ? c.size : 7) << c.text;
  }
}

// 0 turns previews off; otherwise both sides of each bound.
TEST(TemplateFileTest, PreviewSizeBounds) {
  struct Case {
    const char* text;
    bool accepted;
    std::int32_t size;
  } cases[] = {
      {"0", true, 0},     {" 0 ", true, 0},     {"255", false, 7},
      {"256", true, 256}, {"8192", true, 8192}, {"8193", false, 7},
      {"-1", false, 7},   {"2048px", false, 7}, {"", false, 7},
  };
  for (const auto& c : cases) {
    std::int32_t size = 7;
    EXPECT_EQ(ParsePreviewSize(c.text, size), c.accepted) << c.text;
    EXPECT_EQ(size, c.size) << c.text;
  }
}

}  // namespace
