// The run's answers to --help and --version, and its messages in the user's
// language: chosen by the settings' language key, else by the system.
#include <gtest/gtest.h>

#include "support/test_support.h"

namespace fs = std::filesystem;
using namespace testing_support;

namespace {

const std::string kTemplate = TemplateText({"0,0", "[filelist]*", "*", "*", "[filename]", "*"});

// Each message of the run in both languages, as the language key chooses:
// natively, and under wine in both code pages.
TEST(LanguageTest, EveryMessageInBothLanguages) {
  TempFolder photos;
  fs::create_directory(photos.path / "empty");
  const std::string nowhere = photos.Text() + kSep + "nowhere";
  for (Language language : kLanguages) {
    SCOPED_TRACE(language == Language::kJapanese ? "ja" : "en");
    std::string settings = "[Pagrimo]\r\ndefault=t.dat\r\n" + LanguageLine(language);
    struct Case {
      std::vector<std::pair<std::string, std::string>> templates;
      std::string folder;
      std::string err;
    } cases[] = {
        {{}, photos.Text(), NotFoundMessage("t.dat", language) + LoadFailedMessage(language)},
        {{{"t.dat", "x"}}, photos.Text(), LoadFailedMessage(language)},
        {{{"t.dat", kTemplate}}, nowhere, NotAFolderMessage(nowhere, language)},
        {{{"t.dat", kTemplate}}, photos.Text() + kSep + "empty", NothingToListMessage(language)},
    };
    for (const auto& c : cases) {
      Installation app;
      Install(app, settings, c.templates);
      RunResult r = RunProgram(app.program, {c.folder});
      EXPECT_EQ(r.status, 1);
      EXPECT_EQ(r.err, c.err);
    }
  }
}

// The key is matched without regard to case; a value that names no language
// leaves the choice to the system, as an absent key does.
TEST(LanguageTest, TheKeyOverridesTheSystem) {
  TempFolder photos;
  struct Case {
    std::string line;
    Language language;
  } cases[] = {
      {"LANGUAGE=EN\r\n", Language::kEnglish},
      {"language=Ja\r\n", Language::kJapanese},
      {"language=klingon\r\n", DefaultLanguage()},
      {"language=\r\n", DefaultLanguage()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    Installation app;
    Install(app, "[Pagrimo]\r\n" + c.line + "default=t.dat\r\n", {{"t.dat", kTemplate}});
    EXPECT_EQ(RunProgram(app.program, {photos.Text()}).err, NothingToListMessage(c.language));
  }
}

TEST(LanguageTest, HelpAndVersionAnswerOnStandardOutput) {
  Installation app;
  Install(app, kSettings, {});  // no template needed to answer
  std::vector<std::string> help{"--help", "-h"};
  if (platform::kSlashOptions) help.push_back("/?");
  for (Language language : kLanguages) {
    Installation local;
    Install(local, "[Pagrimo]\r\n" + LanguageLine(language), {});
    for (const auto& option : help) {
      SCOPED_TRACE(option);
      RunResult r = RunProgram(local.program, {option});
      EXPECT_EQ(r.status, 0);
      EXPECT_EQ(r.err, "");
      EXPECT_EQ(r.out.rfind(language == Language::kJapanese ? "使い方: pagrimo [FOLDER]\n"
                                                            : "Usage: pagrimo [FOLDER]\n",
                            0),
                0u)
          << r.out;
      // The folders the settings come from, the program's own first.
      EXPECT_NE(r.out.find("\n  " + local.folder.Text() + "\n"), std::string::npos) << r.out;
      EXPECT_NE(r.out.find("--version"), std::string::npos);
    }
  }
  for (const std::string option : {"--version", "-V"}) {
    RunResult r = RunProgram(app.program, {option});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "pagrimo " PAGRIMO_VERSION "\n");
  }
  // Only the whole argument text asks: anything more names a folder.
  RunResult more = RunProgram(app.program, {"--help", "x"});
  EXPECT_EQ(more.status, 1);
  EXPECT_EQ(more.out, "");
}

#ifndef _WIN32
// A folder named like an option, in the current folder, is indexed as it
// always was; a file of that name does not count.
TEST(LanguageTest, AFolderNamedLikeAnOptionIsIndexed) {
  Installation app;
  Install(app, kSettings, {{"t.dat", kTemplate}});
  TempFolder cwd;
  fs::create_directory(cwd.path / "--help");
  WriteFile(cwd.path / "--help" / "a.jpg", "a");
  fs::create_directory(cwd.path / "-V");
  WriteFile(cwd.path / "--version", "not a folder");
  RunResult help = RunProgram("/usr/bin/env", {"-C", cwd.Text(), app.program, "--help"});
  EXPECT_EQ(help.status, 0) << help.err;
  EXPECT_EQ(help.out, "");
  EXPECT_EQ(ReadFile(cwd.path / "--help" / "index.html"), "a.jpg\r\n*\r\n");
  RunResult empty = RunProgram("/usr/bin/env", {"-C", cwd.Text(), app.program, "-V"});
  EXPECT_EQ(empty.status, 1);
  EXPECT_EQ(empty.err, NothingToListMessage());
  RunResult version = RunProgram("/usr/bin/env", {"-C", cwd.Text(), app.program, "--version"});
  EXPECT_EQ(version.out, "pagrimo " PAGRIMO_VERSION "\n");
}

// Without the key, the language comes from the environment, in gettext's
// order; the rule itself has its table beside the messages.
TEST(LanguageTest, TheEnvironmentChoosesWithoutTheKey) {
  Installation app;
  Install(app, kSettings, {{"t.dat", kTemplate}});
  TempFolder photos;
  struct Case {
    std::vector<std::string> environment;
    Language language;
  } cases[] = {
      {{"LANGUAGE=", "LC_ALL=", "LC_MESSAGES=", "LANG="}, Language::kJapanese},
      {{"LANGUAGE=", "LC_ALL=", "LC_MESSAGES=", "LANG=en_US.UTF-8"}, Language::kEnglish},
      {{"LANGUAGE=", "LC_ALL=", "LC_MESSAGES=de_DE.UTF-8", "LANG=ja_JP.UTF-8"}, Language::kEnglish},
      {{"LANGUAGE=", "LC_ALL=ja_JP.UTF-8", "LC_MESSAGES=", "LANG=en_US.UTF-8"},
       Language::kJapanese},
      {{"LANGUAGE=en", "LC_ALL=", "LC_MESSAGES=", "LANG=ja_JP.UTF-8"}, Language::kEnglish},
      {{"LANGUAGE=en", "LC_ALL=C", "LC_MESSAGES=", "LANG=en_US.UTF-8"}, Language::kJapanese},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.environment[2] + " " + c.environment[3]);
    RunResult r = RunProgram(app.program, {photos.Text()}, c.environment);
    EXPECT_EQ(r.err, NothingToListMessage(c.language));
  }
}
#endif  // _WIN32

}  // namespace
