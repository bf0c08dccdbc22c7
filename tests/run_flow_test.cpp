// The run from start to end: its messages, exit statuses and the folder text
// rules, on real folders with a copy of the built program.
#include <gtest/gtest.h>

#include "support/test_support.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

std::string SimpleTemplate(int mode) {
  return TemplateText({std::to_string(mode) + ",0", "page [numfile]", "[filelist]*", "*",
                       "[reldir]", "*", "<[filename]>", "*"});
}

struct RunFlowTest : ::testing::Test {
  Installation app;
  TempFolder photos;
  void SetUp() override { Install(app, kSettings, {{"t.dat", SimpleTemplate(0)}}); }
  RunResult Run(const std::vector<std::string>& args) { return RunProgram(app.program, args); }
};

TEST_F(RunFlowTest, WritesThePageAndEndsSilently) {
  WriteFile(photos.path / "b.jpg", "b");
  WriteFile(photos.path / "A.PNG", "a");
  RunResult r = Run({photos.Text()});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(ReadFile(photos.path / "index.html"), "page 2\r\n<A.PNG>\r\n<b.jpg>\r\n*\r\n");
}

TEST_F(RunFlowTest, FolderTextRules) {
  WriteFile(photos.path / "a.gif", "a");
  // A trailing separator and dot loses the dot; the folder validates with its separator.
  EXPECT_EQ(Run({photos.Text() + kSep + "."}).status, 0);
  // Enclosing quotes are dropped once.
  EXPECT_EQ(Run({"\"" + photos.Text() + "\""}).status, 0);
  // Two dots: only the last goes, and M2 shows the folder text with the other.
  RunResult twoDots = Run({photos.Text() + kSep + "nowhere.."});
  EXPECT_EQ(twoDots.status, 1);
  EXPECT_EQ(twoDots.err, NotAFolderMessage(photos.Text() + kSep + "nowhere."));
  // Arguments are joined with single blanks.
  fs::create_directory(photos.path / "a b");
  WriteFile(photos.path / "a b" / "x.bmp", "x");
  EXPECT_EQ(Run({photos.Text() + kSep + "a", "b"}).status, 0);
  EXPECT_TRUE(fs::exists(photos.path / "a b" / "index.html"));
}

TEST_F(RunFlowTest, MessagesAndStatuses) {
  RunResult missing = Run({photos.Text() + kSep + "nowhere"});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.err, NotAFolderMessage(photos.Text() + kSep + "nowhere"));

  RunResult empty = Run({photos.Text()});
  EXPECT_EQ(empty.status, 1);
  EXPECT_EQ(empty.err, kNothingToListMessage);
  EXPECT_EQ(ListFolder(photos.path), std::vector<std::string>{});

  // No folder at all: the chooser yields nothing here, a silent end.
  RunResult none = Run({});
  EXPECT_EQ(none.status, 0);
  EXPECT_EQ(none.err, "");
  EXPECT_EQ(Run({"."}).status, 0);
  // A pair of quotes around nothing is no folder either: the same silent end,
  // not the message that the empty text is no folder.
  RunResult quotes = Run({"\"\""});
  EXPECT_EQ(quotes.status, 0);
  EXPECT_EQ(quotes.err, "");
}

TEST_F(RunFlowTest, ImagesOnlyInSubfoldersCountOnlyWhenTheTreeIsListed) {
  WriteFile(photos.path / "sub" / "a.jpg", "a");
  struct Case {
    int mode;
    int status;
    std::string err, top, sub;
  } cases[] = {
      {0, 1, kNothingToListMessage, "<missing>", "<missing>"},
      {1, 0, "", "page 1\r\n<sub" + kSep + "a.jpg>\r\n*\r\n", "<missing>"},
      // The top folder has no picture of its own, but links to a page.
      {2, 0, "", "page 0\r\n*\r\n", "page 1\r\n<a.jpg>\r\n*\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mode);
    Installation app;
    Install(app, kSettings, {{"t.dat", SimpleTemplate(c.mode)}});
    RunResult r = RunProgram(app.program, {photos.Text()});
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(ReadFile(photos.path / "index.html"), c.top);
    EXPECT_EQ(ReadFile(photos.path / "sub" / "index.html"), c.sub);
    fs::remove(photos.path / "index.html");
    fs::remove(photos.path / "sub" / "index.html");
  }
}

// Listing mode 2 gives a linked folder no page, so pictures that lie only
// behind a link leave it nothing to write: the start check says so, while the
// modes that list the tree on one page follow the link.
TEST_F(RunFlowTest, PicturesOnlyBehindALinkCountInTheModesThatFollowIt) {
  TempFolder elsewhere;
  WriteFile(elsewhere.path / "a.jpg", "a");
  fs::create_directory(photos.path / "real");
  if (!MakeLink(elsewhere.path, photos.path / "real" / "linked")) GTEST_SKIP() << "no links here";
  struct Case {
    int mode;
    int status;
    std::string err;
    std::vector<std::string> top;
  } cases[] = {
      {0, 1, kNothingToListMessage, {"real"}},
      {1, 0, "", {"index.html", "real"}},
      {2, 1, kNothingToListMessage, {"real"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.mode);
    Installation app;
    Install(app, kSettings, {{"t.dat", SimpleTemplate(c.mode)}});
    RunResult r = RunProgram(app.program, {photos.Text()});
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(ListFolder(photos.path), c.top);
    EXPECT_EQ(ListFolder(photos.path / "real"), std::vector<std::string>{"linked"});
    fs::remove(photos.path / "index.html");
  }
}

TEST_F(RunFlowTest, AnOrdinaryFilePassesValidationButHasNothingToList) {
  WriteFile(photos.path / "a.jpg", "a");
  RunResult r = Run({Utf8Path(photos.path / "a.jpg")});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, kNothingToListMessage);
}

TEST(RunFlowLoadTest, BadSettingsOrTemplatesGiveTheLoadMessages) {
  TempFolder photos;
  WriteFile(photos.path / "a.jpg", "a");
  std::string longName(1500, 'n');
  struct Case {
    const char* what;
    std::string settings;
    std::vector<std::pair<std::string, std::string>> templates;
    std::string err;
  } cases[] = {
      {"no settings file", "", {}, kLoadFailedMessage},
      {"missing template", kSettings, {}, NotFoundMessage("t.dat") + kLoadFailedMessage},
      {"hidden template",
       "[Pagrimo]\ndefault=.t.dat\n",
       {{".t.dat", SimpleTemplate(0)}},
       NotFoundMessage(".t.dat") + kLoadFailedMessage},
      {"empty template", kSettings, {{"t.dat", ""}}, kLoadFailedMessage},
      {"binary garbage",
       kSettings,
       {{"t.dat", std::string("\0\xff\x01\x80\r\x1a", 6)}},
       kLoadFailedMessage},
      {"first record not a number",
       kSettings,
       {{"t.dat", TemplateText({"x,0", "*", "*", "*"})}},
       kLoadFailedMessage},
      {"number out of range",
       kSettings,
       {{"t.dat", TemplateText({"2147483648,0", "*", "*", "*"})}},
       kLoadFailedMessage},
      {"page section ended by the end of the file",
       kSettings,
       {{"t.dat", TemplateText({"0,0", "page"})}},
       kLoadFailedMessage},
      {"folder section ended by the end of the file",
       kSettings,
       {{"t.dat", TemplateText({"0,0", "page", "*", "folder"})}},
       kLoadFailedMessage},
      {"wildcard template name",
       "[Pagrimo]\ndefault=*.dat\n",
       {{"t.dat", SimpleTemplate(0)}},
       kLoadFailedMessage},
      {"template name that is a folder",
       "[Pagrimo]\ndefault=sub\n",
       {{"sub/x", "x"}},
       NotFoundMessage("sub") + kLoadFailedMessage},
      {"value over 1023 bytes",
       "[Pagrimo]\ndefault=" + longName + "\n",
       {},
       NotFoundMessage(longName.substr(0, 1023)) + kLoadFailedMessage},
  };
  for (const auto& c : cases) {
    Installation app;
    Install(app, c.settings, c.templates);
    RunResult r = RunProgram(app.program, {photos.Text()});
    EXPECT_EQ(r.status, 1) << c.what;
    EXPECT_EQ(r.err, c.err) << c.what;
    EXPECT_EQ(ListFolder(photos.path), std::vector<std::string>{"a.jpg"}) << c.what;
  }
}

TEST(RunFlowLoadTest, TemplatesInASubfolderAndSectionsEndedByTheFile) {
  TempFolder photos;
  WriteFile(photos.path / "a.jpg", "a");
  Installation app;
  // The file item section ends with the file: its last line is dropped.
  Install(app, "[pagrimo]\n DEFAULT = sub" + kSep + "t.dat \n",
          {{"sub/t.dat", TemplateText({"0", "0", "[filelist]", "*", "*", "A [filename]", "B"})}});
  RunResult r = RunProgram(app.program, {photos.Text()});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadFile(photos.path / "index.html"), "A a.jpg\r\n\r\n");
}

// The "pictures" and "videos" settings choose the files listed, and the
// start check follows them; without them the list is the one of old.
TEST(PicturesSetting, ListsTheNamedTypesOnly) {
  struct Case {
    std::string line;  // of the settings file
    std::string page;  // empty: the settings message, status 1
  };
  const Case cases[] = {
      {"", "page 2\r\n<a.jpg>\r\n<e.png>\r\n*\r\n"},
      {"pictures=heic, .WEBP\r\n", "page 2\r\n<b.HEIC>\r\n<c.webp>\r\n*\r\n"},
      {"PICTURES=  .tif,,jpg\t.Jpg \r\n", "page 2\r\n<a.jpg>\r\n<d.tif>\r\n*\r\n"},
      {"pictures=avif\r\n", "nothing"},
      {"pictures=\r\n", ""},
      {"pictures= , . ,\r\n", ""},
      // Videos are listed among the pictures, and count for the start check;
      // a blank list names none, and a picture's extension stays a picture's.
      {"videos=heic tif\r\n", "page 4\r\n<a.jpg>\r\n<b.HEIC>\r\n<d.tif>\r\n<e.png>\r\n*\r\n"},
      {"pictures=avif\r\nvideos=webp\r\n", "page 1\r\n<c.webp>\r\n*\r\n"},
      {"videos= ,\r\n", "page 2\r\n<a.jpg>\r\n<e.png>\r\n*\r\n"},
      {"pictures=jpg\r\nvideos=JPG,png\r\n", "page 2\r\n<a.jpg>\r\n<e.png>\r\n*\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    Installation app;
    Install(app, std::string(kSettings) + c.line, {{"t.dat", SimpleTemplate(0)}});
    TempFolder photos;
    for (const char* name : {"a.jpg", "b.HEIC", "c.webp", "d.tif", "e.png", "f.jpg.txt", "heic"}) {
      WriteFile(photos.path / name, "x");
    }
    RunResult r = RunProgram(app.program, {photos.Text()});
    if (c.page == "nothing") {
      EXPECT_EQ(r.status, 1);
      EXPECT_EQ(r.err, kNothingToListMessage);
    } else if (c.page.empty()) {
      EXPECT_EQ(r.status, 1);
      EXPECT_EQ(r.err, kLoadFailedMessage);
      EXPECT_FALSE(fs::exists(photos.path / "index.html"));
    } else {
      EXPECT_EQ(r.status, 0) << r.err;
      EXPECT_EQ(ReadFile(photos.path / "index.html"), c.page);
    }
  }
}

}  // namespace
