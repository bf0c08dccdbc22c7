// Every placeholder of the three tables used alone: a step that runs only when
// the text holds its placeholder (or one of a group) must run for each form
// by itself, not only when the others come along.
#include "page/expansion.h"

#include <gtest/gtest.h>

#include "support/test_support.h"
#include "text/forms.h"

using namespace testing_support;

namespace {

struct Alone {
  const char* placeholder;
  std::string value;
};

const std::string kName = "x y&";
const std::string kPath = kSep + "p" + kSep + kName + kSep;
const std::string kDoubledPath = DoubleBackslashes(kPath);

TEST(ExpansionAloneTest, EachPageForm) {
  const std::string up = ".." + kSep + "u v&.html";
  const Alone forms[] = {
      {"[path]", kPath},
      {"[path\\]", kDoubledPath},
      {"[path%]", UrlForm(kPath)},
      {"[path&]", HtmlForm(kPath)},
      {"[numfile]", "7"},
      {"[numdir]", "3"},
      {"[numfile-]", "6"},
      {"[numdir-]", "2"},
      {"[name]", kName},
      {"[name\\]", kName},
      {"[name%]", "x%20y%26"},
      {"[name&]", "x y&amp;"},
      {"[up]", up},
      {"[up\\]", DoubleBackslashes(up)},
      {"[up%]", "../u%20v%26.html"},
      {"[up&]", ".." + kSep + "u v&amp;.html"},
      {"[dirlist]", "D"},
      {"[filelist]", "F"},
  };
  for (const Alone& f : forms) {
    EXPECT_EQ(ExpandPage(std::string("<") + f.placeholder + ">", kPath, 7, 3, "D", "F", up),
              "<" + f.value + ">")
        << f.placeholder;
  }
}

TEST(ExpansionAloneTest, EachFolderItemForm) {
  const std::string link = "s t&" + kSep + "i.html";
  const Alone forms[] = {
      {"[reldir]", "s t&"},
      {"[relfile]", link},
      {"[dir]", kPath + "s t&"},
      {"[file]", kPath + link},
      {"[reldir\\]", "s t&"},
      {"[relfile\\]", DoubleBackslashes(link)},
      {"[dir\\]", kDoubledPath + "s t&"},
      {"[file\\]", DoubleBackslashes(kPath + link)},
      {"[reldir%]", "s%20t%26"},
      {"[relfile%]", "s%20t%26/i.html"},
      {"[dir%]", UrlForm(kPath + "s t&")},
      {"[file%]", UrlForm(kPath + link)},
      {"[reldir&]", "s t&amp;"},
      {"[relfile&]", "s t&amp;" + kSep + "i.html"},
      {"[dir&]", HtmlForm(kPath + "s t&")},
      {"[file&]", HtmlForm(kPath + link)},
  };
  for (const Alone& f : forms) {
    EXPECT_EQ(ExpandFolderItem(std::string("<") + f.placeholder + ">", kPath, "s t&", link),
              "<" + f.value + ">")
        << f.placeholder;
  }
}

TEST(ExpansionAloneTest, EachFileItemForm) {
  // [filesize] and [filedate] read the file: page_builder_test has them alone.
  const Alone forms[] = {
      {"[path]", kPath},
      {"[numfile]", "9"},
      {"[fileid]", "4"},
      {"[numfile-]", "8"},
      {"[fileid-]", "3"},
      {"[filename]", "a b&.jpg"},
      {"[path\\]", kDoubledPath},
      {"[filename\\]", "a b&.jpg"},
      {"[path%]", UrlForm(kPath)},
      {"[filename%]", "a%20b%26.jpg"},
      {"[path&]", HtmlForm(kPath)},
      {"[filename&]", "a b&amp;.jpg"},
  };
  for (const Alone& f : forms) {
    std::string r, failure;
    ASSERT_EQ(
        ExpandFileItem(std::string("<") + f.placeholder + ">", kPath, "a b&.jpg", 4, 9, r, failure),
        ItemResult::kDone)
        << f.placeholder;
    EXPECT_EQ(r, "<" + f.value + ">") << f.placeholder;
  }
}

}  // namespace
