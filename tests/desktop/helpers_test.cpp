// The chooser and message programs as the program starts them, checked with
// stand-ins on PATH that record their arguments. No X server is needed: the
// stand-ins never connect to the display they are given.
#include <gtest/gtest.h>

#include <filesystem>

#include "desktop/desktop_support.h"
#include "support/test_support.h"

namespace fs = std::filesystem;
using namespace testing_support;
using namespace desktop_support;

namespace {

const char kTitle[] = "対象フォルダの選択";

std::string SimpleTemplate() {
  return TemplateText(
      {"0,0", "page [numfile]", "[filelist]*", "*", "[reldir]", "*", "<[filename]>", "*"});
}

struct HelpersTest : ::testing::Test {
  Installation app;
  TempFolder bin;  // the only folder on PATH
  TempFolder photos;
  std::string picked;  // a folder whose name a shell would take apart
  void SetUp() override {
    Install(app, kSettings, {{"t.dat", SimpleTemplate()}});
    picked = photos.Text() + "/x; y $(touch z) <b>&amp;";
    WriteFile(fs::path(picked) / "a.jpg", "a");
  }
  RunResult Run(const std::vector<std::string>& args, const std::string& display,
                const std::string& wayland) {
    return RunProgram(app.program, args,
                      {"PATH=" + bin.Text(), "DISPLAY=" + display, "WAYLAND_DISPLAY=" + wayland});
  }
};

// Which chooser runs, with which arguments, and what its answer does.
TEST_F(HelpersTest, FolderChooserPrograms) {
  struct Case {
    const char* name;
    const char* display;
    const char* wayland;
    int zenityStatus;   // -1: not installed
    int kdialogStatus;  // -1: not installed
    bool indexed;
    std::string zenityArgs;
    std::string kdialogArgs;
  };
  const std::string zenityArgs =
      "--file-selection\n--directory\n--title=" + std::string(kTitle) + "\n";
  const std::string kdialogArgs = "--getexistingdirectory\n--title\n" + std::string(kTitle) + "\n";
  const Case cases[] = {
      {"zenity confirms", ":77", "", 0, 0, true, zenityArgs, "<not run>"},
      {"zenity cancelled", ":77", "", 1, 0, false, zenityArgs, "<not run>"},
      {"zenity fails", ":77", "", 255, 0, false, zenityArgs, "<not run>"},
      {"wayland alone", "", "wayland-0", 0, -1, true, zenityArgs, "<not run>"},
      {"only kdialog", ":77", "", -1, 0, true, "<not run>", kdialogArgs},
      {"kdialog cancelled", ":77", "", -1, 1, false, "<not run>", kdialogArgs},
      {"no display", "", "", 0, 0, false, "<not run>", "<not run>"},
      {"display without a chooser", ":77", "", -1, -1, false, "<not run>", "<not run>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(bin.path);
    fs::create_directory(bin.path);
    fs::remove(fs::path(picked) / "index.html");
    // Choosers print the folder and a line break; a cancelled one prints nothing.
    if (c.zenityStatus >= 0) {
      WriteFakeHelper(bin.Text(), "zenity", c.zenityStatus == 0 ? picked + "\n" : "",
                      c.zenityStatus);
    }
    if (c.kdialogStatus >= 0) {
      WriteFakeHelper(bin.Text(), "kdialog", c.kdialogStatus == 0 ? picked + "\n" : "",
                      c.kdialogStatus);
    }
    RunResult r = Run({}, c.display, c.wayland);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(fs::exists(fs::path(picked) / "index.html"), c.indexed);
    EXPECT_EQ(FakeHelperArgs(bin.Text(), "zenity"), c.zenityArgs);
    EXPECT_EQ(FakeHelperArgs(bin.Text(), "kdialog"), c.kdialogArgs);
  }
  EXPECT_EQ(ListFolder(photos.path), std::vector<std::string>{fs::path(picked).filename()});
}

// An empty PATH entry does not mean the current folder: a zenity lying in
// the folder the program was started from is not run.
TEST_F(HelpersTest, CurrentFolderIsNotSearched) {
  TempFolder here;
  WriteFakeHelper(here.Text(), "zenity", picked + "\n", 0);
  WriteFakeHelper(bin.Text(), "kdialog", picked + "\n", 0);
  fs::path previous = fs::current_path();
  fs::current_path(here.path);
  RunResult r =
      RunProgram(app.program, {}, {"PATH=:" + bin.Text() + ":", "DISPLAY=:77", "WAYLAND_DISPLAY="});
  fs::current_path(previous);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(FakeHelperArgs(here.Text(), "zenity"), "<not run>");
  EXPECT_NE(FakeHelperArgs(bin.Text(), "kdialog"), "<not run>");
  EXPECT_TRUE(fs::exists(fs::path(picked) / "index.html"));
}

// Messages become dialogs only on a display and when nobody reads standard
// error; the text reaches standard error whenever the dialog was not confirmed.
TEST_F(HelpersTest, MessageDialogs) {
  const std::string missing = photos.Text() + "/<i>gone</i> & \xFF";
  const std::string shownMissing = photos.Text() + "/<i>gone</i> & \xEF\xBF\xBD";
  const std::string sentence = "正しいディレクトリ名では有りません。";
  const std::string m2Args =
      "--warning\n--no-markup\n--title=エラー\n--text=" + sentence + "\n" + shownMissing + "\n";
  const std::string m2Err = "エラー: " + sentence + "\r\n" + missing + "\n";
  TempFolder empty;
  const std::string m3Args =
      "--warning\n--no-markup\n--title=エラー\n--text=対象となるファイルがありません\n";
  const std::string m3Err = "エラー: 対象となるファイルがありません\n";
  struct Case {
    const char* name;
    std::string folder;
    const char* display;
    int zenityStatus;  // -1: not installed
    std::string err;
    std::string zenityArgs;
  };
  const Case cases[] = {
      {"confirmed dialog", missing, ":77", 0, "", m2Args},
      {"dialog closed unconfirmed", missing, ":77", 1, m2Err, m2Args},
      {"dialog fails", missing, ":77", 255, m2Err, m2Args},
      {"no images", empty.Text(), ":77", 0, "", m3Args},
      {"no display", missing, "", 0, m2Err, "<not run>"},
      {"no zenity", missing, ":77", -1, m2Err, "<not run>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(bin.path);
    fs::create_directory(bin.path);
    if (c.zenityStatus >= 0) WriteFakeHelper(bin.Text(), "zenity", "", c.zenityStatus);
    RunResult r = Run({c.folder}, c.display, "");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(FakeHelperArgs(bin.Text(), "zenity"), c.zenityArgs);
  }
}

// The template that cannot be loaded is reported as plain information.
TEST_F(HelpersTest, LoadFailureIsInformation) {
  Installation broken;
  Install(broken, "[Pagrimo]\r\ndefault=absent.dat\r\n", {});
  WriteFakeHelper(bin.Text(), "zenity", "", 0);
  RunResult r = RunProgram(broken.program, {photos.Text()},
                           {"PATH=" + bin.Text(), "DISPLAY=:77", "WAYLAND_DISPLAY="});
  EXPECT_EQ(r.status, 1);
  std::string args = FakeHelperArgs(bin.Text(), "zenity");
  EXPECT_EQ(args.substr(0, args.find('\n')), "--info") << args;
  EXPECT_NE(args.find("--text=template.datが正しく読みこめません\n"), std::string::npos) << args;
}

// UTF-8 titles reach the helper in a UTF-8 locale, even when the user's is not.
TEST_F(HelpersTest, HelpersRunInAUtf8Locale) {
  struct Case {
    std::vector<std::string> locale;
    std::string helperSees;
  };
  const Case cases[] = {
      {{"LC_ALL=C", "LANG=C"}, "C.UTF-8"},
      {{"LC_ALL=", "LANG="}, "C.UTF-8"},
      {{"LC_ALL=POSIX", "LANG=C.UTF-8"}, "C.UTF-8"},
      {{"LC_ALL=", "LANG=C.UTF-8"}, ""},  // already UTF-8: left as it is
  };
  WriteFakeHelper(bin.Text(), "zenity", "", 1);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.locale[0] + " " + c.locale[1]);
    std::vector<std::string> environment{"PATH=" + bin.Text(), "DISPLAY=:77", "WAYLAND_DISPLAY="};
    environment.insert(environment.end(), c.locale.begin(), c.locale.end());
    RunResult r = RunProgram(app.program, {}, environment);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(FakeHelperLocale(bin.Text(), "zenity"), c.helperSees);
  }
}

}  // namespace
