// pagrimo.exe under Windows (wine in CI), run once with the Japanese code page
// 932 and once with the UTF-8 code page: double-byte names whose second byte
// is a backslash, pages in the code page or in UTF-8, hidden entries, pages
// that cannot be replaced, paths past 260 characters, and the rules of the
// command line.
#include <gtest/gtest.h>

#include "support/test_support.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

// Text in the system's code page. In code page 932, 表 and ソ end in 0x5C,
// the byte of the backslash.
const std::string kHyo = InSystemCodePage("表");
const std::string kSo = InSystemCodePage("ソ");
const std::string kPhotoList = InSystemCodePage("写真一覧");
const std::string kPicture = InSystemCodePage("画像");

// The temporary folder's path, which is plain ASCII here, with every
// backslash doubled.
std::string Doubled(const std::string& ascii) {
  std::string result;
  for (char c : ascii) result += c == '\\' ? std::string("\\\\") : std::string(1, c);
  return result;
}

std::string SimpleTemplate(int mode) {
  return TemplateText({std::to_string(mode) + ",0", "[filelist]", "*", "*", "<[filename]>", "*"});
}

TEST(WindowsPagesTest, CodePage932NamesWithBackslashTrailBytes) {
  TempFolder root;
  ASSERT_EQ(root.Text().find_first_of("\x80\xFF"), std::string::npos) << "ASCII temp path";
  fs::path hyo = root.path / u8"表";
  fs::path so = hyo / u8"ソ";
  WriteFile(hyo / "a.jpg", "aa");
  WriteFile(so / "b.png", "b");
  Installation app;
  // Listing mode 2, naming rule 1: every page is named after its folder.
  Install(app, kSettings,
          {{"t.dat", "2,1\r\n<title>" + kPhotoList +
                         " [path]</title>\r\n[dirlist][filelist]\r\n*\r\n"
                         "<a href=\"[relfile]\">[reldir]</a> [relfile\\] [dir]\r\n*\r\n"
                         "<img src=\"[filename]\" alt=\"" +
                         kPicture + "\"> [filename\\] [path\\]\r\n*\r\n"}});

  RunResult r = RunProgram(app.program, {Utf8Path(hyo)});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");

  const std::string base = root.Text() + "\\";
  const std::string soPath = base + kHyo + "\\" + kSo + "\\";
  const std::string soDoubled = Doubled(base) + kHyo + "\\\\" + kSo + "\\\\";
  EXPECT_EQ(ReadFile(so / u8"ソ.html"), "<title>" + kPhotoList + " " + soPath + "</title>\r\n" +
                                            "<img src=\"b.png\" alt=\"" + kPicture + "\"> b.png " +
                                            soDoubled + "\r\n\r\n");

  const std::string hyoPath = base + kHyo + "\\";
  const std::string hyoDoubled = Doubled(base) + kHyo + "\\\\";
  EXPECT_EQ(ReadFile(hyo / u8"表.html"), "<title>" + kPhotoList + " " + hyoPath + "</title>\r\n" +
                                             "<a href=\"" + kSo + "\\" + kSo + ".html\">" + kSo +
                                             "</a> " + kSo + "\\\\" + kSo + ".html " + hyoPath +
                                             kSo + "\r\n" + "<img src=\"a.jpg\" alt=\"" + kPicture +
                                             "\"> a.jpg " + hyoDoubled + "\r\n\r\n");

  // Nothing else was written: no page above, no temporary file left.
  EXPECT_EQ(ListFolder(root.path), std::vector<std::string>{"表"});
  EXPECT_EQ(ListFolder(hyo), (std::vector<std::string>{"a.jpg", "ソ", "表.html"}));
  EXPECT_EQ(ListFolder(so), (std::vector<std::string>{"b.png", "ソ.html"}));
}

TEST(WindowsPagesTest, TemplateEncodingDecidesThePageEncoding) {
  // A Korean name, which code page 932 cannot hold.
  struct Case {
    const char* what;
    bool utf8;
    std::string folder;  // as the page shows it
    std::string image;
    std::string bom;
  } cases[] = {
      {"UTF-8 template", true, "한국", "사진.jpg", "\xEF\xBB\xBF"},
      {"system code page template", false, InSystemCodePage("한국"), InSystemCodePage("사진.jpg"),
       ""},
  };
  for (const auto& c : cases) {
    TempFolder root;
    fs::path korean = root.path / u8"한국";
    WriteFile(korean / u8"사진.jpg", "x");
    Installation app;
    Install(app, kSettings,
            {{"t.dat",
              TemplateText({"0,1", "[path]|[filelist]", "*", "*", "[filename]", "*"}, c.utf8)}});
    RunResult r = RunProgram(app.program, {Utf8Path(korean)});
    EXPECT_EQ(r.status, 0) << c.what;
    EXPECT_EQ(r.err, "") << c.what;
    // The page's file name always keeps the name: only its bytes follow the
    // template's encoding.
    EXPECT_EQ(ReadFile(korean / u8"한국.html"),
              c.bom + root.Text() + "\\" + c.folder + "\\|" + c.image + "\r\n\r\n")
        << c.what;
  }
}

TEST(WindowsPagesTest, HiddenEntriesAndPagesThatCannotBeReplaced) {
  struct Case {
    const char* what;
    int mode;
    void (*prepare)(const fs::path& folder);
    int status;
    std::string err;  // "P" stands for the folder with its trailing backslash
    std::string page;
  } cases[] = {
      {"a hidden image is not listed", 0,
       [](const fs::path& f) {
         WriteFile(f / "a.jpg", "a");
         WriteFile(f / "b.jpg", "b");
         SetHiddenAttribute(f / "b.jpg");
       },
       0, "", "<a.jpg>\r\n\r\n"},
      {"a hidden subfolder is not collected", 1,
       [](const fs::path& f) {
         WriteFile(f / "seen" / "a.jpg", "a");
         WriteFile(f / "unseen" / "b.jpg", "b");
         SetHiddenAttribute(f / "unseen");
       },
       0, "", "<seen\\a.jpg>\r\n\r\n"},
      {"only hidden images", 0,
       [](const fs::path& f) {
         WriteFile(f / "a.jpg", "a");
         SetHiddenAttribute(f / "a.jpg");
       },
       1, kNothingToListMessage, "<missing>"},
      {"a read-only page is kept", 0,
       [](const fs::path& f) {
         WriteFile(f / "a.jpg", "a");
         WriteFile(f / "index.html", "old");
         fs::permissions(f / "index.html",
                         fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                         fs::perm_options::remove);
       },
       2, "pagrimo: cannot write the page Pindex.html: the existing page is read-only\n", "old"},
      {"a folder stands where the page goes", 0,
       [](const fs::path& f) {
         WriteFile(f / "a.jpg", "a");
         fs::create_directory(f / "index.html");
       },
       2,
       "pagrimo: cannot write the page Pindex.html: a folder stands where the page should be "
       "written\n",
       "<missing>"},
  };
  for (const auto& c : cases) {
    TempFolder photos;
    c.prepare(photos.path);
    std::vector<std::string> before = ListFolder(photos.path);
    Installation app;
    Install(app, kSettings, {{"t.dat", SimpleTemplate(c.mode)}});
    RunResult r = RunProgram(app.program, {photos.Text()});
    EXPECT_EQ(r.status, c.status) << c.what;
    std::string err = c.err;
    if (size_t p = err.find(" Pindex"); p != std::string::npos) {
      err.replace(p + 1, 1, photos.Text() + "\\");
    }
    EXPECT_EQ(r.err, err) << c.what;
    if (fs::is_regular_file(photos.path / "index.html") || c.page == "<missing>") {
      EXPECT_EQ(ReadFile(photos.path / "index.html"), c.page) << c.what;
    }
    if (c.status != 0) {
      EXPECT_EQ(ListFolder(photos.path), before) << c.what << ": no file added or left behind";
    }
  }
}

TEST(WindowsPagesTest, FoldersPastTheOldPathLimit) {
  // Two levels of subfolders whose paths are far past 260 characters, each
  // name close to the 255-character limit of one name.
  TempFolder root;
  const std::string name(200, 'n');
  fs::path top = root.path / (std::string(230, 't'));
  fs::path middle = top / (name + "1");
  fs::path deep = middle / (name + "2");
  ASSERT_GT(Utf8Path(deep).size(), 600u);
  WriteFile(top / "a.jpg", "a");
  WriteFile(middle / "b.jpg", "bb");
  WriteFile(deep / "c.jpg", "ccc");
  Installation app;
  Install(app, kSettings,
          {{"t.dat", TemplateText({"2,0", "[dirlist]|[filelist]", "*", "[reldir]/", "*",
                                   "[filename] [filesize]", "*"})}});
  RunResult r = RunProgram(app.program, {Utf8Path(top)});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(ReadFile(top / "index.html"), name + "1/\r\n|a.jpg 1\r\n\r\n");
  EXPECT_EQ(ReadFile(middle / "index.html"), name + "2/\r\n|b.jpg 2\r\n\r\n");
  EXPECT_EQ(ReadFile(deep / "index.html"), "|c.jpg 3\r\n\r\n");
}

TEST(WindowsRunTest, CommandLineRules) {
  TempFolder photos;
  WriteFile(photos.path / "a.gif", "a");
  const std::string p = photos.Text();
  struct Case {
    const char* what;
    std::vector<std::string> args;  // joined by single blanks after the program's name
    int status;
    std::string err;
  } cases[] = {
      {"the folder itself", {p}, 0, ""},
      {"blanks after the program's name are skipped", {"", "", p}, 0, ""},
      {"enclosing quotes go", {"\"" + p + "\""}, 0, ""},
      {"a trailing backslash and dot validate with the backslash", {p + "\\."}, 0, ""},
      {"Windows drops a trailing dot of a name", {p + ".."}, 0, ""},
      {"a quoted missing folder shows without its quotes",
       {"\"" + p + "\\nowhere\""},
       1,
       NotAFolderMessage(p + "\\nowhere")},
      {"an unpaired quote stays",
       {"\"" + p + "\\nowhere"},
       1,
       NotAFolderMessage("\"" + p + "\\nowhere")},
      {"a blank inside stays", {p + "\\no", "where"}, 1, NotAFolderMessage(p + "\\no where")},
      {"no folder and no chooser to show", {}, 0, ""},
  };
  Installation app;
  Install(app, kSettings, {{"t.dat", SimpleTemplate(0)}});
  for (const auto& c : cases) {
    fs::remove(photos.path / "index.html");
    RunResult r = RunProgram(app.program, c.args);
    EXPECT_EQ(r.status, c.status) << c.what;
    EXPECT_EQ(r.err, c.err) << c.what;
    EXPECT_EQ(ReadFile(photos.path / "index.html"),
              c.status == 0 && !c.args.empty() ? "<a.gif>\r\n\r\n" : "<missing>")
        << c.what;
  }
}

TEST(WindowsRunTest, TemplateLookUp) {
  TempFolder photos;
  WriteFile(photos.path / "a.jpg", "a");
  struct Case {
    const char* what;
    std::string settings;
    bool hideTemplate;
    std::string err;
  } cases[] = {
      // The name is empty, so the look-up finds the program's folder's own
      // files; only the open fails.
      {"an empty template name", "[Pagrimo]\r\ndefault=\r\n", false, kLoadFailedMessage},
      {"a hidden template", kSettings, true, NotFoundMessage("t.dat") + kLoadFailedMessage},
      {"the section and key in another case", "[PAGRIMO]\r\nDefault = t.dat\r\n", false, ""},
      {"a quoted value", "[Pagrimo]\r\ndefault=\"t.dat\"\r\n", false, ""},
  };
  for (const auto& c : cases) {
    Installation app;
    Install(app, c.settings, {{"t.dat", SimpleTemplate(0)}});
    if (c.hideTemplate) SetHiddenAttribute(app.folder.path / "t.dat");
    fs::remove(photos.path / "index.html");
    RunResult r = RunProgram(app.program, {photos.Text()});
    EXPECT_EQ(r.status, c.err.empty() ? 0 : 1) << c.what;
    EXPECT_EQ(r.err, c.err) << c.what;
  }
}

}  // namespace
