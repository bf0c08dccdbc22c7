// The desktop under a private X server: keys held while the program starts
// choose its template, the zenity chooser asks for the folder, and messages
// are dialogs. Skipped where Xvfb, xdotool or zenity is not installed.
#include <gtest/gtest.h>

#include <filesystem>

#include "desktop/desktop_support.h"
#include "support/test_support.h"

namespace fs = std::filesystem;
using namespace testing_support;
using namespace desktop_support;

namespace {

const char kTitle[] = "対象フォルダの選択";
const int kLimit = 60;  // seconds any one step may take before the test gives up

std::string NamedTemplate(const std::string& name) {
  return TemplateText({"0,0", name, "*", "*", "*"});
}

struct XServerTest : ::testing::Test {
  XServer server;
  TempFolder photos;
  void SetUp() override {
    for (const char* tool : {"Xvfb", "xdotool", "zenity"}) {
      if (FindTool(tool).empty()) GTEST_SKIP() << tool << " is not installed";
    }
    std::string reason;
    ASSERT_TRUE(StartXServer(server, reason)) << reason;
    WriteFile(photos.path / "a.jpg", "a");
  }
  std::vector<std::string> Environment() const {
    // NO_AT_BRIDGE: no accessibility bus is there to wait for.
    return {"DISPLAY=" + server.display, "WAYLAND_DISPLAY=", "NO_AT_BRIDGE=1"};
  }
  Started Start(const Installation& app, const std::vector<std::string>& args) {
    return StartProgram(app.program, args, Environment());
  }
  bool Key(const std::vector<std::string>& args) { return Xdotool(server.display, args); }
};

TEST_F(XServerTest, HeldKeysChooseTheTemplate) {
  // Each entry names its own template; code 7 has no key on a desktop.
  const std::vector<std::pair<int, std::string>> entries = {
      {7, "none"}, {13, "enter"}, {16, "shift"}, {17, "ctrl"},   {18, "alt"},
      {27, "esc"}, {32, "space"}, {38, "up"},    {49, "one"},    {65, "a"},
      {97, "kp1"}, {112, "f1"},   {116, "f5"},   {161, "rshift"}};
  std::string settings = "[Pagrimo]\r\ndefault=default.dat\r\n";
  std::vector<std::pair<std::string, std::string>> templates{
      {"default.dat", NamedTemplate("default")}};
  for (const auto& [code, name] : entries) {
    settings += std::to_string(code) + "=" + name + ".dat\r\n";
    templates.emplace_back(name + ".dat", NamedTemplate(name));
  }
  Installation app;
  Install(app, settings, templates);

  struct Case {
    std::vector<std::string> keys;  // xdotool key names, held while the program starts
    std::string chosen;
  };
  const Case cases[] = {
      {{}, "default"},         {{"shift"}, "shift"},
      {{"ctrl"}, "ctrl"},      {{"shift", "ctrl"}, "ctrl"},  // the higher code wins
      {{"Shift_R"}, "rshift"},                               // both 16 and 161 are held: 161 wins
      {{"Control_R"}, "ctrl"}, {{"Alt_L"}, "alt"},
      {{"shift", "a"}, "a"},   {{"1"}, "one"},
      {{"F1"}, "f1"},          {{"F5"}, "f5"},
      {{"KP_1"}, "kp1"},       {{"Up"}, "up"},
      {{"Return"}, "enter"},   {{"space"}, "space"},
      {{"Escape"}, "esc"},     {{"b"}, "default"},  // held, but its entry is absent
  };
  for (const Case& c : cases) {
    std::string held;
    for (const auto& key : c.keys) held += key + " ";
    SCOPED_TRACE("held: " + held);
    fs::remove(photos.path / "index.html");
    std::vector<std::string> down{"keydown"}, up{"keyup"};
    down.insert(down.end(), c.keys.begin(), c.keys.end());
    up.insert(up.end(), c.keys.begin(), c.keys.end());
    if (!c.keys.empty()) {
      ASSERT_TRUE(Key(down));
    }
    Started run = Start(app, {photos.Text()});
    RunResult r = FinishProgram(run, kLimit);
    if (!c.keys.empty()) {
      ASSERT_TRUE(Key(up));
    }
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFile(photos.path / "index.html"), c.chosen + "\r\n");
  }
}

struct ChooserTest : XServerTest {
  Installation app;
  void SetUp() override {
    XServerTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    Install(app, kSettings,
            {{"t.dat", TemplateText({"0,0", "page [numfile]", "[filelist]*", "*", "[reldir]", "*",
                                     "<[filename]>", "*"})}});
  }
  // Waits for the dialog titled title and gives it the keyboard.
  void Focus(const std::string& title) {
    std::string window = WaitForWindow(server.display, title, kLimit);
    ASSERT_FALSE(window.empty()) << "no window titled " << title;
    ASSERT_TRUE(Key({"windowfocus", "--sync", window}));
  }
};

TEST_F(ChooserTest, CancelledChooserEndsSilently) {
  Started run = Start(app, {});
  Focus(kTitle);
  ASSERT_TRUE(Key({"key", "Escape"}));
  bool leftBehind = true;
  RunResult r = FinishProgram(run, kLimit, &leftBehind);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_FALSE(leftBehind);
  EXPECT_EQ(ListFolder(photos.path), std::vector<std::string>{"a.jpg"});
}

TEST_F(ChooserTest, TypedFolderIsIndexed) {
  Started run = Start(app, {});
  Focus(kTitle);
  // The chooser opens in "Recent", where a typed location is not accepted:
  // go home first, then type the path into the location field, drop the
  // completion the field selects, and confirm.
  ASSERT_TRUE(Key({"key", "alt+Home", "ctrl+l"}));
  ASSERT_TRUE(Key({"type", photos.Text()}));
  ASSERT_TRUE(Key({"key", "Delete", "Return"}));
  bool leftBehind = true;
  RunResult r = FinishProgram(run, kLimit, &leftBehind);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_FALSE(leftBehind);
  EXPECT_EQ(ReadFile(photos.path / "index.html"), "page 1\r\n<a.jpg>\r\n*\r\n");
}

TEST_F(ChooserTest, MessagesAreDialogs) {
  struct Case {
    const char* name;
    std::string folder;
    std::string closeKey;
    std::string err;  // confirmed: nothing; closed otherwise: the text too
  };
  TempFolder empty;
  const std::string missing = photos.Text() + "/<b>missing</b>";
  const Case cases[] = {
      {"missing folder, confirmed", missing, "Return", ""},
      {"no images, confirmed", empty.Text(), "Return", ""},
      {"missing folder, closed with Escape", missing, "Escape",
       "エラー: 正しいディレクトリ名では有りません。\r\n" + missing + "\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Started run = Start(app, {c.folder});
    Focus("エラー");
    ASSERT_TRUE(Key({"key", c.closeKey}));
    bool leftBehind = true;
    RunResult r = FinishProgram(run, kLimit, &leftBehind);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, c.err);
    EXPECT_FALSE(leftBehind);
  }
}

}  // namespace
