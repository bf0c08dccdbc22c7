#include "page/page_builder.h"

#include <gtest/gtest.h>

#include "page/expansion.h"
#include "platform/platform.h"
#include "support/test_support.h"
#include "text/forms.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

// The separator as the "\\" placeholders show it: doubled only when it is a backslash.
const std::string kDoubledSep = DoubleBackslashes(kSep);

TemplateSet Set(int mode, int naming, std::string page, std::string folder, std::string file) {
  TemplateSet set;
  set.listingMode = mode;
  set.pageNaming = naming;
  set.pageText = page + "\r\n";
  set.folderItemText = folder + "\r\n";
  set.fileItemText = file + "\r\n";
  return set;
}

std::string Build(const TemplateSet& set, const std::string& folder,
                  PagePlace place = PagePlace::kTop) {
  std::string name, failure;
  EXPECT_TRUE(BuildPage(set, folder, place, name, failure)) << failure;
  return name;
}

TEST(ExpansionTest, FileItemStepsRunInOrder) {
  std::string r, failure;
  ASSERT_EQ(ExpandFileItem("[path]|[numfile]|[fileid]|[numfile-]|[fileid-]|[filename]|[path\\]|"
                           "[filename\\]|[numdir]|[reldir]|[unknown]",
                           "C:" + kSep + "p" + kSep, "a" + kSep + "b.jpg", 1, 1, r, failure),
            ItemResult::kDone);
  std::string d = kDoubledSep;
  EXPECT_EQ(r, "C:" + kSep + "p" + kSep + "|1|1|0|0|a" + kSep + "b.jpg|C:" + d + "p" + d + "|a" +
                   d + "b.jpg|[numdir]|[reldir]|[unknown]");
  // A value inserted early is expanded by later steps; a placeholder that only
  // appears after its own step stays literal.
  ASSERT_EQ(ExpandFileItem("[path]", kSep + "[filename]" + kSep, "x.gif", 3, 9, r, failure),
            ItemResult::kDone);
  EXPECT_EQ(r, kSep + "x.gif" + kSep);
  ASSERT_EQ(ExpandFileItem("[filename]", kSep, "[fileid].gif", 3, 9, r, failure),
            ItemResult::kDone);
  EXPECT_EQ(r, "[fileid].gif");
  ASSERT_EQ(ExpandFileItem("[fileid-]", kSep, "a.gif", 1, 1, r, failure), ItemResult::kDone);
  EXPECT_EQ(r, "0");
}

TEST(ExpansionTest, SizeAndDateAreReadOnlyWhenAsked) {
  TempFolder f;
  WriteFile(f.path / "a.jpg", "12345");
  std::string p = f.Text() + kSep, r, failure;
  ASSERT_EQ(ExpandFileItem("[filesize]", p, "a.jpg", 1, 1, r, failure), ItemResult::kDone)
      << failure;
  EXPECT_EQ(r, "5");
  ASSERT_EQ(ExpandFileItem("[filedate]", p, "a.jpg", 1, 1, r, failure), ItemResult::kDone)
      << failure;
  EXPECT_NE(r.find(':'), std::string::npos) << r;
  EXPECT_NE(r.find(' '), std::string::npos) << r;
  // A vanished file is a failure only when its size or date is shown.
  ASSERT_EQ(ExpandFileItem("[filename]", p, "gone.jpg", 1, 1, r, failure), ItemResult::kDone);
  EXPECT_EQ(ExpandFileItem("[filesize]", p, "gone.jpg", 1, 1, r, failure), ItemResult::kUnreadable);
  EXPECT_NE(failure.find("gone.jpg"), std::string::npos) << failure;
}

TEST(ExpansionTest, FolderItemAndPage) {
  std::string p = kSep + "ph" + kSep;
  EXPECT_EQ(ExpandFolderItem("[reldir] [relfile] [dir] [file] [reldir\\] [relfile\\] [dir\\] "
                             "[file\\] [path] [filelist]",
                             p, "s", "s" + kSep + "index.html"),
            "s s" + kSep + "index.html " + p + "s " + p + "s" + kSep + "index.html s s" +
                kDoubledSep + "index.html " + kDoubledSep + "ph" + kDoubledSep + "s " +
                kDoubledSep + "ph" + kDoubledSep + "s" + kDoubledSep +
                "index.html [path] [filelist]");
  EXPECT_EQ(ExpandPage("[path]|[path\\]|[numfile]|[numdir]|[numfile-]|[numdir-]|[dirlist]|"
                       "[filelist]|[fileid]",
                       p, 2, 0, "D[filelist][numfile]", "F[dirlist][path]"),
            p + "|" + kDoubledSep + "ph" + kDoubledSep +
                "|2|0|1|-1|DF[dirlist][path][numfile]|F[dirlist][path]|"
                "[fileid]");
}

TEST(ExpansionTest, UrlAndHtmlFormsComeAfterTheirTwins) {
  std::string p = kSep + "a b" + kSep, r, failure;
  std::string url = UrlForm(p);
  ASSERT_EQ(ExpandFileItem("[filename%]|[filename&]|[path%]|[path&]|[filename]", p, "<b>#.jpg", 1,
                           1, r, failure),
            ItemResult::kDone);
  EXPECT_EQ(r, "%3Cb%3E%23.jpg|&lt;b&gt;#.jpg|" + url + "|" + HtmlForm(p) + "|<b>#.jpg");
  // A name holding a placeholder: the plain step inserts it early, so the
  // later forms expand it; the forms themselves insert no brackets.
  ASSERT_EQ(ExpandFileItem("[filename]", p, "[filename&].jpg", 1, 1, r, failure),
            ItemResult::kDone);
  EXPECT_EQ(r, "&#91;filename&amp;&#93;.jpg.jpg");
  EXPECT_EQ(ExpandFolderItem("[reldir%] [relfile%] [dir%] [file%] [reldir&] [relfile&] [dir&] "
                             "[file&]",
                             p, "x&y", "x&y" + kSep + "i.html"),
            "x%26y x%26y/i.html " + UrlForm(p + "x&y") + " " +
                UrlForm(p + "x&y" + kSep + "i.html") + " x&amp;y x&amp;y" + kSep + "i.html " +
                HtmlForm(p) + "x&amp;y " + HtmlForm(p) + "x&amp;y" + kSep + "i.html");
  // On the page, the forms of the path run before the lists are inserted, so
  // values inside the lists are never expanded again.
  EXPECT_EQ(ExpandPage("[path%] [path&] [filelist]", p, 1, 0, "", "[path%][path&]"),
            url + " " + HtmlForm(p) + " [path%][path&]");
}

TEST(ExpansionTest, NameAndUpOnThePage) {
  const bool windows = platform::kSeparator == '\\';
  // Paths are written with "/" and turned into the platform's form.
  auto P = [](std::string text) {
    for (char& c : text) {
      if (c == '/') c = platform::kSeparator;
    }
    return text;
  };
  struct Case {
    std::string path, name;
  } cases[] = {
      {P("/home/me/Pictures/2019/trips/"), "trips"},
      {P("/a b #1 %41 & [x] 写真/"), "a b #1 %41 & [x] 写真"},
      {P("photos/"), "photos"},
      {P("/"), P("/")},  // a root is its own name
      {P("//"), P("//")},
      {P("/tmp/twice//"), "twice"},
  };
  std::vector<Case> all(std::begin(cases), std::end(cases));
  if (windows) {
    all.insert(all.end(), {{"C:\\", "C:\\"},
                           {"Z:\\", "Z:\\"},
                           {"Z:\\写真\\旅行 #1\\", "旅行 #1"},
                           {"C:/pics/x\\", "x"},
                           {"C:photos\\", "photos"},
                           {"\\\\server\\share\\", "share"}});
  } else {
    all.push_back({"/a\\b/", "a\\b"});  // a backslash is part of a POSIX name
  }
  for (const auto& c : all) {
    EXPECT_EQ(ExpandPage("[name]", c.path, 1, 0, "", "").value(), c.name) << c.path;
  }
  // The forms, and [up] as the run passes it.
  std::string up = ".." + kSep + "trip #1 & [x].html";
  EXPECT_EQ(ExpandPage("[name]|[name\\]|[name%]|[name&]|[up]|[up\\]|[up%]|[up&]",
                       kSep + "p" + kSep + "it's [x]" + kSep, 1, 0, "", "", up),
            "it's [x]|it's [x]|it%27s%20%5Bx%5D|" + HtmlForm("it's [x]") + "|" + up + "|.." +
                kDoubledSep + "trip #1 & [x].html|../trip%20%231%20%26%20%5Bx%5D.html|" +
                HtmlForm(up));
  if (windows) {
    EXPECT_EQ(ExpandPage("[name]|[name\\]|[name%]|[name&]", "C:\\", 1, 0, "", ""),
              "C:\\|C:\\\\|file:///C:/|C:\\");
  } else {
    EXPECT_EQ(ExpandPage("[name%]|[name&]", "/", 1, 0, "", ""), "file:///|/");
  }
  // Steps in order: the path is searched for [name] and [up], the name for
  // [up], and the lists for neither.
  std::string p = kSep + "[up]" + kSep + "[name]" + kSep;
  EXPECT_EQ(ExpandPage("[path]|[name]|[dirlist][filelist]", p, 1, 0, "[name]", "[up]", up),
            kSep + up + kSep + "[name]" + kSep + "|[name]|[name][up]");
  // A page section that holds none of them keeps such text as it is.
  EXPECT_EQ(ExpandPage("[path]|[name|up]|[Name]", p, 1, 0, "", "", up), p + "|[name|up]|[Name]");
}

TEST(BuildPageTest, UpLinksFollowTheNamingRules) {
  TempFolder f;
  for (const char* name : {"a.jpg", "sub #1 & [x]/b.png", "sub #1 & [x]/深い 写真/c.gif",
                           "only folders/inner/d.bmp"}) {
    WriteFile(f.path / PathOf(name), "x");
  }
  std::string top = FolderDisplayName(f.Text());
  std::string sub = "sub #1 & [x]", deep = "深い 写真";
  struct Case {
    int naming;
    std::string topPage, subPage, deepPage, innerPage, onlyPage;
  } cases[] = {
      {0, "index.html", "index.html", "index.html", "index.html", "index.html"},
      {1, top + ".html", sub + ".html", deep + ".html", "inner.html", "only folders.html"},
      {2, "index.html", sub + ".html", deep + ".html", "inner.html", "only folders.html"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.naming);
    TemplateSet set = Set(2, c.naming, "[up]|[name]", "", "");
    EXPECT_EQ(Build(set, f.Text()), c.topPage);
    auto page = [&](const std::string& relative) { return ReadFile(f.path / PathOf(relative)); };
    EXPECT_EQ(page(c.topPage), "|" + top + "\r\n");
    EXPECT_EQ(page(sub + "/" + c.subPage), ".." + kSep + c.topPage + "|" + sub + "\r\n");
    EXPECT_EQ(page(sub + "/" + deep + "/" + c.deepPage),
              InSystemCodePage(".." + kSep + c.subPage + "|" + deep + "\r\n"));
    EXPECT_EQ(page("only folders/" + c.onlyPage), ".." + kSep + c.topPage + "|only folders\r\n");
    EXPECT_EQ(page("only folders/inner/" + c.innerPage), ".." + kSep + c.onlyPage + "|inner\r\n");
    // Modes 0 and 1 have no page above.
    for (int mode : {0, 1}) {
      set.listingMode = mode;
      EXPECT_EQ(Build(set, f.Text()), c.topPage);
      EXPECT_EQ(page(c.topPage), "|" + top + "\r\n");
    }
  }
}

TEST(ExpansionTest, UrlAndHtmlFormsNeverInsertAPlaceholder) {
  // Names that look like placeholders of every table: the "%" and "&" forms
  // write their brackets as %5B %5D and &#91; &#93;, which no later step finds.
  for (std::string name : {"[filelist]", "[numfile]", "[dirlist]", "[path]", "[filename]",
                           "[numfile] [filelist]", "[fileid]", "[reldir]", "[file&]"}) {
    SCOPED_TRACE(name);
    std::string p = kSep + name + kSep, link = name + kSep + "index.html", r, failure;
    ASSERT_EQ(ExpandFileItem("[path%]|[filename%]|[path&]|[filename&]", p, name + ".jpg", 2, 3, r,
                             failure),
              ItemResult::kDone);
    EXPECT_EQ(r.find_first_of("[]"), std::string::npos) << r;
    r = ExpandFolderItem("[reldir%]|[relfile%]|[dir%]|[file%]|[reldir&]|[relfile&]|[dir&]|[file&]",
                         p, name, link)
            .value();
    EXPECT_EQ(r.find_first_of("[]"), std::string::npos) << r;
    r = ExpandPage("[path%]|[path&]", p, 1, 1, "D", "F").value();
    EXPECT_EQ(r.find_first_of("[]"), std::string::npos) << r;
  }
}

TEST(BuildPageTest, ModesAndNaming) {
  TempFolder f;
  // root: one image; pics2: two images; empty: nothing at all; deep: only a
  // subfolder with an image.
  for (const char* name :
       {"a.jpg", "pics2/b.png", "pics2/C.gif", "empty/readme.txt", "deep/inner/d.bmp"}) {
    WriteFile(f.path / name, "x");
  }
  TemplateSet set = Set(2, 0, "<[numfile]/[numdir]/[numdir-]>[dirlist][filelist]", "D:[relfile];",
                        "F:[filename];");
  EXPECT_EQ(Build(set, f.Text()), "index.html");
  EXPECT_EQ(ReadFile(f.path / "index.html"), "<1/2/1>D:deep" + kSep + "index.html;\r\nD:pics2" +
                                                 kSep + "index.html;\r\nF:a.jpg;\r\n\r\n");
  EXPECT_EQ(ReadFile(f.path / "deep" / "index.html"),
            "<0/1/0>D:inner" + kSep + "index.html;\r\n\r\n");
  EXPECT_EQ(ReadFile(f.path / "pics2" / "index.html"), "<2/0/-1>F:b.png;\r\nF:C.gif;\r\n\r\n");
  EXPECT_FALSE(fs::exists(f.path / "empty" / "index.html"));

  // Naming rule 1: every page after its folder, links follow.
  set.pageNaming = 1;
  std::string top = FolderDisplayName(f.Text()) + ".html";
  EXPECT_EQ(Build(set, f.Text() + kSep), top);
  EXPECT_EQ(ReadFile(f.path / top)
                .rfind("<1/2/1>D:deep" + kSep + "deep.html;\r\nD:pics2" + kSep +
                           "pics2.html;\r\nF:a.jpg;",
                       0),
            0u);
  EXPECT_TRUE(fs::exists(f.path / "deep" / "inner" / "inner.html"));
  // Any other rule: index.html on top, folder names below.
  set.pageNaming = 7;
  EXPECT_EQ(Build(set, f.Text()), "index.html");
  EXPECT_EQ(Build(set, (f.path / "pics2").string(), PagePlace::kBelow), "pics2.html");

  // Mode 1: the whole tree on one page, relative names.
  set = Set(1, 0, "[numfile] [numdir] [numdir-]|[dirlist]|[filelist]", "never",
            "[fileid]=[filename];");
  EXPECT_EQ(Build(set, f.Text()), "index.html");
  EXPECT_EQ(ReadFile(f.path / "index.html"), "4 0 -1||1=deep" + kSep + "inner" + kSep +
                                                 "d.bmp;\r\n2=pics2" + kSep + "b.png;\r\n3=pics2" +
                                                 kSep + "C.gif;\r\n4=a.jpg;\r\n\r\n");
  // Mode 0: the folder's own images; nothing to show writes nothing.
  set.listingMode = 0;
  EXPECT_EQ(Build(set, f.Text()), "index.html");
  EXPECT_EQ(ReadFile(f.path / "index.html"), "1 0 -1||1=a.jpg;\r\n\r\n");
  EXPECT_EQ(Build(set, (f.path / "empty").string()), "");
  EXPECT_EQ(Build(set, (f.path / "deep").string()), "");
}

TEST(BuildPageTest, FailuresKeepThePreviousPage) {
  TempFolder f;
  WriteFile(f.path / "a.jpg", "x");
  WriteFile(f.path / "index.html", "previous");
  std::string name, failure;
  TemplateSet bad = Set(7, 0, "p", "d", "f");
  EXPECT_FALSE(BuildPage(bad, f.Text(), PagePlace::kTop, name, failure));
  EXPECT_EQ(failure, "unknown listing mode 7");
  bad.listingMode = -1;
  EXPECT_FALSE(BuildPage(bad, f.Text(), PagePlace::kTop, name, failure));
  EXPECT_EQ(failure, "unknown listing mode -1");

  // A folder stands where the page should go.
  TemplateSet set = Set(0, 1, "[filelist]", "", "[filename]");
  fs::create_directory(f.path / (FolderDisplayName(f.Text()) + ".html"));
  EXPECT_FALSE(BuildPage(set, f.Text(), PagePlace::kTop, name, failure));
  EXPECT_NE(failure.find("cannot write the page"), std::string::npos) << failure;

  // A read-only page is kept.
  set.pageNaming = 0;
  fs::permissions(f.path / "index.html", fs::perms::owner_read | fs::perms::group_read);
  EXPECT_FALSE(BuildPage(set, f.Text(), PagePlace::kTop, name, failure));
  EXPECT_EQ(ReadFile(f.path / "index.html"), "previous");
  fs::permissions(f.path / "index.html", fs::perms::owner_write, fs::perm_options::add);

  // Size shown, image present: the page is replaced, and no temporary file stays.
  set.fileItemText = "[filesize]\r\n";
  WriteFile(f.path / "gone.jpg", "x");
  bool linked = MakeLink("nowhere", f.path / "dangling.jpg");  // not an ordinary file: not listed
  fs::remove(f.path / "gone.jpg");
  EXPECT_TRUE(BuildPage(set, f.Text(), PagePlace::kTop, name, failure)) << failure;
  EXPECT_EQ(ReadFile(f.path / "index.html"), "1\r\n\r\n");
  std::vector<std::string> expected{"a.jpg", "index.html", FolderDisplayName(f.Text()) + ".html"};
  if (linked) expected.insert(expected.begin() + 1, "dangling.jpg");
  EXPECT_EQ(ListFolder(f.path), expected);
}

}  // namespace
