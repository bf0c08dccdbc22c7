// Whole runs of the built program on real trees, with the written pages
// compared byte for byte.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#ifndef _WIN32
#include <locale.h>
#endif

#include "support/test_support.h"
#include "text/forms.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

// Paths written with "/", in the platform's form.
std::string NativePath(std::string text) {
  for (char& c : text) {
    if (c == '/') c = platform::kSeparator;
  }
  return text;
}

// The tree's images of its top folder, sorted; a name with a backslash exists
// only where a backslash is no separator.
std::vector<std::string> TopImages(const std::string& withBackslash) {
  std::vector<std::string> names{"#1.PNG", "%41.gif", "a&b.BMP", "b c.jpg"};
  if (kBackslashInNames) names.push_back(withBackslash);
  names.push_back("写真.jpeg");
  return names;
}

struct Tree {
  TempFolder root;
  Tree() {
    for (const char* name :
         {"b c.jpg", "#1.PNG", "%41.gif", "a&b.BMP", "写真.jpeg", ".hidden.jpg", "notes.txt",
          "[filename]/x.gif", "[filename]/y.txt", "sub one/z.jpg", "sub one/deeper/w.png",
          "x.jpg/inner.gif", "empty/readme.txt", ".hid/h.jpg"}) {
      WriteFile(root.path / PathOf(name), "img");
    }
    if (kBackslashInNames) WriteFile(root.path / "back\\slash.jpg", "img");
    // Hidden by their names on POSIX, by the attribute on Windows.
    if (!kBackslashInNames) {
      SetHiddenAttribute(root.path / ".hidden.jpg");
      SetHiddenAttribute(root.path / ".hid");
    }
  }
};

std::string Page(std::vector<std::string> lines) {
  std::string text;
  for (auto& line : lines) text += line + "\r\n";
  return text;
}

RunResult RunWith(const std::string& templateText, const std::string& folder) {
  Installation app;
  Install(app, kSettings, {{"t.dat", templateText}});
  return RunProgram(app.program, {folder});
}

TEST(PageGenerationTest, ListingMode0) {
  Tree t;
  RunResult r = RunWith(TemplateText({"0,0", "P=[path] n=[numfile]/[numfile-] m=[numdir]/[numdir-]",
                                      "[dirlist][filelist]*", "*", "never", "*",
                                      "[fileid]:[filename]|[filename\\]", "*"}),
                        t.root.Text());
  ASSERT_EQ(r.status, 0) << r.err;
  std::string p = t.root.Text() + kSep;
  std::vector<std::string> images = TopImages("back\\slash.jpg");
  int n = static_cast<int>(images.size());
  std::vector<std::string> lines{"P=" + p + " n=" + std::to_string(n) + "/" +
                                 std::to_string(n - 1) + " m=0/-1"};
  for (int i = 0; i < n; ++i) {
    std::string doubled = images[i] == "back\\slash.jpg" ? "back\\\\slash.jpg" : images[i];
    lines.push_back(std::to_string(i + 1) + ":" + images[i] + "|" + doubled);
  }
  lines.push_back("*");
  EXPECT_EQ(ReadFile(t.root.path / "index.html"), InSystemCodePage(Page(lines)));
}

TEST(PageGenerationTest, ListingMode1) {
  Tree t;
  RunResult r = RunWith(TemplateText({"1,0", "[numfile]", "[filelist]*", "*", "never", "*",
                                      "[fileid-] [filename]", "*"}),
                        t.root.Text());
  ASSERT_EQ(r.status, 0) << r.err;
  // The folder named [filename] has its name expanded by the later step.
  std::vector<std::string> images{NativePath("[filename]/x.gif"),
                                  NativePath("sub one/deeper/w.png"), NativePath("sub one/z.jpg"),
                                  NativePath("x.jpg/inner.gif")};
  for (const auto& name : TopImages("back\\slash.jpg")) images.push_back(name);
  std::vector<std::string> lines{std::to_string(images.size())};
  for (size_t i = 0; i < images.size(); ++i) lines.push_back(std::to_string(i) + " " + images[i]);
  lines.push_back("*");
  EXPECT_EQ(ReadFile(t.root.path / "index.html"), InSystemCodePage(Page(lines)));
}

TEST(PageGenerationTest, UrlAndHtmlForms) {
  Tree t;
  RunResult r = RunWith(TemplateText({"2,0", "[path%]", "[dirlist][filelist]*", "*",
                                      "<a href=\"[relfile%]\">[reldir&]</a>", "*",
                                      "<img src=\"[filename%]\" alt=\"[filename&]\">", "*"}),
                        t.root.Text());
  ASSERT_EQ(r.status, 0) << r.err;
  // The temporary folder's path needs no escapes; a drive letter gets a third "/".
  std::string url = t.root.Text();
  for (char& c : url) {
    if (c == platform::kSeparator) c = '/';
  }
  url = (url[0] == '/' ? "file://" : "file:///") + url + "/sub%20one/";
  EXPECT_EQ(ReadFile(t.root.path / "sub one" / "index.html"),
            Page({url, "<a href=\"deeper/index.html\">deeper</a>",
                  "<img src=\"z.jpg\" alt=\"z.jpg\">", "*"}));
  std::string top = ReadFile(t.root.path / "index.html");
  for (const char* piece :
       {"<a href=\"%5Bfilename%5D/index.html\">&#91;filename&#93;</a>",
        "<a href=\"sub%20one/index.html\">sub one</a>", "<img src=\"%231.PNG\" alt=\"#1.PNG\">",
        "<img src=\"%2541.gif\" alt=\"%41.gif\">", "<img src=\"a%26b.BMP\" alt=\"a&amp;b.BMP\">",
        "<img src=\"%E5%86%99%E7%9C%9F.jpeg\" alt=\"写真.jpeg\">"}) {
    EXPECT_NE(top.find(InSystemCodePage(piece)), std::string::npos) << piece << "\n" << top;
  }
  if (kBackslashInNames) {
    EXPECT_NE(top.find("<img src=\"back%5Cslash.jpg\" alt=\"back\\slash.jpg\">"), std::string::npos)
        << top;
  }
}

TEST(PageGenerationTest, ListingMode2AndNamingRules) {
  struct Case {
    int naming;
    std::string topPage, subPage, deepPage;
  } cases[] = {
      {0, "index.html", "index.html", "index.html"},
      {1, "", "sub one.html", "deeper.html"},  // the top page is named after its folder
      {2, "index.html", "sub one.html", "deeper.html"},
  };
  for (const auto& c : cases) {
    Tree t;
    std::string p = t.root.Text() + kSep;
    std::string top = t.root.path.filename().string();
    std::string topPage = c.naming == 1 ? top + ".html" : c.topPage;
    RunResult r =
        RunWith(TemplateText({"2," + std::to_string(c.naming), "[numdir] [numfile]", "[dirlist]--",
                              "[filelist]*", "*", "[reldir]|[relfile]|[dir]|[file]|[filelist]", "*",
                              "[filename]", "*"}),
                t.root.Text());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFile(t.root.path / "sub one" / "deeper" / c.deepPage),
              Page({"0 1", "--", "w.png", "*"}));
    EXPECT_EQ(
        ReadFile(t.root.path / "sub one" / c.subPage),
        Page({"1 1",
              NativePath("deeper|deeper/" + c.deepPage + "|") + p + NativePath("sub one/deeper|") +
                  p + NativePath("sub one/deeper/" + c.deepPage + "|z.jpg"),
              "", "--", "z.jpg", "*"}));
    // "[filelist]" inside a folder item is replaced by the page's file list;
    // the empty folder gets no page and no entry.
    std::vector<std::string> images = TopImages("back\\slash.jpg");
    std::string files = Page(images);
    std::string item1 = "[filename]|" + NativePath("[filename]/index.html|") + p + "[filename]|" +
                        p + NativePath("[filename]/index.html|");
    if (c.naming != 0) {
      item1 = "[filename]|" + NativePath("[filename]/[filename].html|") + p + "[filename]|" + p +
              NativePath("[filename]/[filename].html|");
    }
    std::string item2 = "sub one|" + NativePath("sub one/") + c.subPage + "|" + p + "sub one|" + p +
                        NativePath("sub one/") + c.subPage + "|";
    std::string item3 = c.naming == 0 ? NativePath("x.jpg|x.jpg/index.html|") + p + "x.jpg|" + p +
                                            NativePath("x.jpg/index.html|")
                                      : NativePath("x.jpg|x.jpg/x.jpg.html|") + p + "x.jpg|" + p +
                                            NativePath("x.jpg/x.jpg.html|");
    EXPECT_EQ(
        ReadFile(t.root.path / topPage),
        InSystemCodePage("3 " + std::to_string(images.size()) + "\r\n" + item1 + files + "\r\n" +
                         item2 + files + "\r\n" + item3 + files + "\r\n--\r\n" + files + "*\r\n"))
        << "naming " << c.naming;
    EXPECT_FALSE(fs::exists(t.root.path / "empty" / "index.html"));
    EXPECT_FALSE(fs::exists(t.root.path / ".hid" / "index.html"));
  }
}

TEST(PageGenerationTest, NameAndUpInEveryModeAndNamingRule) {
  // Folder names with blanks, "#", "%", "&", brackets and Japanese; the deep
  // folder holds no picture of its own, only a subfolder.
  const std::string f = "a b #1 %41 & [x] 写真", d = "深い [2]";
  const std::string fUrl = "a%20b%20%231%20%2541%20%26%20%5Bx%5D%20%E5%86%99%E7%9C%9F";
  const std::string dUrl = "%E6%B7%B1%E3%81%84%20%5B2%5D";
  auto line = [](const std::string& name, const std::string& nameUrl, const std::string& up,
                 const std::string& upUrl) {
    std::string doubled = up;
    for (size_t i = doubled.find('\\'); i != std::string::npos; i = doubled.find('\\', i + 2)) {
      doubled.insert(i, 1, '\\');
    }
    return "\xEF\xBB\xBF" + name + "|" + nameUrl + "|" + HtmlForm(name) + "|" + up + "|" + doubled +
           "|" + upUrl + "|" + HtmlForm(up) + "\r\n";
  };
  for (int naming : {0, 1, 2}) {
    for (int mode : {0, 1, 2}) {
      SCOPED_TRACE("mode " + std::to_string(mode) + " naming " + std::to_string(naming));
      TempFolder root;
      for (const std::string& name :
           {std::string("top.jpg"), f + "/b.png", f + "/" + d + "/in/c.gif"}) {
        WriteFile(root.path / PathOf(name), "img");
      }
      std::string top = root.path.filename().string();
      RunResult r =
          RunWith(TemplateText({std::to_string(mode) + "," + std::to_string(naming),
                                "[name]|[name%]|[name&]|[up]|[up\\]|[up%]|[up&]", "*", "*", "*"},
                               true),
                  root.Text() + kSep);  // a trailing separator changes no name
      ASSERT_EQ(r.status, 0) << r.err;
      std::string topPage = naming == 1 ? top + ".html" : "index.html";
      EXPECT_EQ(ReadFile(root.path / topPage), line(top, top, "", ""));
      if (mode != 2) {
        EXPECT_EQ(ListFolder(root.path / PathOf(f)), (std::vector<std::string>{"b.png", d}));
        continue;
      }
      std::string fPage = naming == 0 ? "index.html" : f + ".html";
      std::string dPage = naming == 0 ? "index.html" : d + ".html";
      std::string inPage = naming == 0 ? "index.html" : "in.html";
      std::string fPageUrl = naming == 0 ? "index.html" : fUrl + ".html";
      std::string dPageUrl = naming == 0 ? "index.html" : dUrl + ".html";
      EXPECT_EQ(ReadFile(root.path / PathOf(f + "/" + fPage)),
                line(f, fUrl, NativePath("../" + topPage), "../" + topPage));
      EXPECT_EQ(ReadFile(root.path / PathOf(f + "/" + d + "/" + dPage)),
                line(d, dUrl, NativePath("../" + fPage), "../" + fPageUrl));
      EXPECT_EQ(ReadFile(root.path / PathOf(f + "/" + d + "/in/" + inPage)),
                line("in", "in", NativePath("../" + dPage), "../" + dPageUrl));
    }
  }
  // A template that uses neither keeps a path that holds them as it was.
  TempFolder root;
  WriteFile(root.path / "[up] [name]" / "a.jpg", "img");
  RunResult r =
      RunWith(TemplateText({"2,0", "[path][dirlist]", "*", "[relfile]", "*", "*"}), root.Text());
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadFile(root.path / "[up] [name]" / "index.html"),
            root.Text() + kSep + "[up] [name]" + kSep + "\r\n");
  // Each form alone opens the steps of [name] and [up] (here the URL link).
  ASSERT_EQ(RunWith(TemplateText({"2,0", "[up%]", "*", "*", "*"}), root.Text()).status, 0);
  EXPECT_EQ(ReadFile(root.path / "[up] [name]" / "index.html"), "../index.html\r\n");
}

TEST(PageGenerationTest, ManyImagesAndAReplacedPage) {
  TempFolder f;
  for (int i = 0; i < 150; ++i)
    WriteFile(f.path / ("IMG_" + std::to_string(1000 + i) + ".JPG"), "");
  WriteFile(f.path / "index.html", "an old page that is longer than the new one will be");
  RunResult r =
      RunWith(TemplateText({"0,0", "[numfile]:[filelist]*", "*", "*", "[fileid],", "*"}), f.Text());
  ASSERT_EQ(r.status, 0) << r.err;
  std::string expected = "150:";
  for (int i = 1; i <= 150; ++i) expected += std::to_string(i) + ",\r\n";
  EXPECT_EQ(ReadFile(f.path / "index.html"), expected + "*\r\n");
  EXPECT_EQ(ListFolder(f.path).size(), 151u);  // no temporary file left
}

// The size and date of a picture, whole: a known modification time in a fixed
// time zone. POSIX writes ISO dates in the C locale and the locale's own
// date and time elsewhere; Windows the user's short date and time (the tests
// run in Japanese).
TEST(PageGenerationTest, FileSizeAndDateExactly) {
  TempFolder f;
  WriteFile(f.path / "a.jpg", "1234567");
  // A sparse picture of 4 GiB and 7 bytes: its size needs more than 32 bits.
  WriteFile(f.path / "b.jpg", "");
  fs::resize_file(f.path / "b.jpg", (std::uintmax_t{1} << 32) + 7);
  // 2024-03-15 13:14:15 UTC: a day above 12, an hour after noon.
  auto when = std::chrono::sys_seconds(std::chrono::seconds(1710508455));
  for (const char* name : {"a.jpg", "b.jpg"}) {
    fs::last_write_time(f.path / name, std::chrono::file_clock::from_sys(when));
  }
  struct Case {
    std::vector<std::string> environment;
    std::string expected;
  } cases[] = {
#ifdef _WIN32
      // The Windows tests run in Japan's zone, in Japanese and again in Hindi
      // for the UTF-8 code page (cmake/Testing.cmake: a program under wine
      // takes its zone and locale from the wine process that starts it, so
      // the entries here only restate them). wine's short dates have no
      // leading zeros.
      {{"TZ=JST-9", "LC_ALL=ja_JP.UTF-8"}, "2024/3/15 22:14:15"},
      {{"TZ=JST-9", "LC_ALL=hi_IN.UTF-8"}, "15/3/2024 10:14:15 pm"},
#else
      {{"TZ=UTC", "LC_ALL=C"}, "2024-03-15 13:14:15"},
      {{"TZ=UTC", "LC_ALL=C.UTF-8"}, "2024-03-15 13:14:15"},
      {{"TZ=JST-9", "LC_ALL=C.UTF-8"}, "2024-03-15 22:14:15"},
      {{"TZ=UTC", "LC_ALL=en_US.UTF-8"}, "03/15/2024 01:14:15 PM"},
#endif
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.environment.back());
#ifdef _WIN32
    const char* locale = std::getenv("LC_ALL");
    if (locale == nullptr || c.environment.back() != "LC_ALL=" + std::string(locale)) continue;
#else
    locale_t installed = newlocale(LC_ALL_MASK, c.environment.back().substr(7).c_str(), 0);
    if (installed == 0) continue;  // a locale this machine lacks
    freelocale(installed);
#endif
    Installation app;
    Install(app, kSettings,
            {{"t.dat", TemplateText({"0,0", "[filelist]*", "*", "*",
                                     "[filesize] [filedate] [filesizetext]", "*"})}});
    RunResult r = RunProgram(app.program, {f.Text()}, c.environment);
    ASSERT_EQ(r.status, 0) << r.err;
    // The size a person reads has a "." in every locale.
    EXPECT_EQ(ReadFile(f.path / "index.html"),
              "7 " + c.expected + " 7 bytes\r\n4294967303 " + c.expected + " 4.3 GB\r\n*\r\n");
  }
}

TEST(PageGenerationTest, Utf8TemplatesWriteUtf8PagesWithTheMark) {
  TempFolder f;
  WriteFile(f.path / PathOf("海.jpg"), "");
  RunResult r = RunWith(
      TemplateText({"0,0", "写真 [filelist]*", "*", "*", "[filename]", "*"}, true), f.Text());
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadFile(f.path / "index.html"), "\xEF\xBB\xBF写真 海.jpg\r\n*\r\n");
}

TEST(PageGenerationTest, FailuresEndWithTheReportAndKeepThePage) {
  TempFolder f;
  WriteFile(f.path / "a.jpg", "");
  WriteFile(f.path / "index.html", "keep me");
  fs::permissions(f.path / "index.html", fs::perms::owner_read, fs::perm_options::replace);
  RunResult r = RunWith(TemplateText({"0,0", "[filelist]", "*", "*", "[filename]", "*"}), f.Text());
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "pagrimo: cannot write the page " + f.Text() + kSep +
                       "index.html: the existing page is read-only\n");
  EXPECT_EQ(ReadFile(f.path / "index.html"), "keep me");

  r = RunWith(TemplateText({"7,0", "[filelist]", "*", "*", "[filename]", "*"}), f.Text());
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "pagrimo: unknown listing mode 7\n");
  EXPECT_EQ(ListFolder(f.path), (std::vector<std::string>{"a.jpg", "index.html"}));
}

TEST(PageGenerationTest, BundledTemplatesOnTheSamplePhotos) {
  // Each bundled template, chosen through the bundled settings' default.
  for (const char* name : {"template.dat", "list.dat", "tree.dat"}) {
    TempFolder copy;
    CopySamples(copy.path);
    Installation app;
    std::string bundle = std::string(PAGRIMO_SOURCE_DIR) + "/templates/";
    Install(app, "[Pagrimo]\r\ndefault=" + std::string(name) + "\r\n",
            {{name, ReadFile(bundle + name)}});
    RunResult r = RunProgram(app.program, {copy.Text()});
    ASSERT_EQ(r.status, 0) << name << r.err;
    std::string page = ReadFile(copy.path / "index.html");
    EXPECT_EQ(page.rfind("\xEF\xBB\xBF<!DOCTYPE html>", 0), 0u) << name;
    EXPECT_NE(page.find("Sunset.JPG"), std::string::npos) << name;
    EXPECT_EQ(page.find("[file"), std::string::npos) << name;
    bool tree = std::string(name) != "template.dat";
    EXPECT_EQ(page.find("trips") != std::string::npos, tree) << name;
    // The viewer's script holds no placeholder: it reaches the page unchanged.
    auto script = [](const std::string& text) {
      size_t start = text.find("<script>"), end = text.find("</script>");
      return start == std::string::npos ? "" : text.substr(start, end - start);
    };
    std::string source = ReadFile(bundle + name);
    EXPECT_EQ(script(page), script(source)) << name;
    EXPECT_EQ(script(page).empty(), std::string(name) == "list.dat") << name;
  }
}

}  // namespace
