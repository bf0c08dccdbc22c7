// The folder question on a terminal, answered through a pseudo-terminal as a
// user at a shell would.
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>

#include "desktop/desktop_support.h"
#include "support/test_support.h"

namespace fs = std::filesystem;
using namespace testing_support;
using Clock = std::chrono::steady_clock;

namespace {

const std::string kPrompt = "対象フォルダの選択: ";

struct TerminalRun {
  int status = -1;     // -1: did not end in time and was killed
  std::string screen;  // everything the terminal showed
};

// Runs program on a new pseudo-terminal with no display, answers the prompt
// with answer once the prompt shows, and reads the terminal until the
// program ends. Bounded: a program that does not end within 30 s is killed.
TerminalRun RunOnTerminal(const std::string& program, const std::vector<std::string>& args,
                          const std::string& answer) {
  TerminalRun run;
  std::vector<std::string> argText{program};
  argText.insert(argText.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& arg : argText) argv.push_back(arg.data());
  argv.push_back(nullptr);
  int master = -1;
  pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
  if (pid < 0) return run;
  if (pid == 0) {
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    // The Japanese messages, pinned as RunProgram pins them.
    unsetenv("LANGUAGE");
    const char* all = getenv("LC_ALL");
    if (all != nullptr && *all != '\0') setenv("LANG", all, 1);
    unsetenv("LC_ALL");
    setenv("LC_MESSAGES", "C.UTF-8", 1);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  auto deadline = Clock::now() + std::chrono::seconds(30);
  bool answered = false;
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) break;
    pollfd fd{master, POLLIN, 0};
    if (poll(&fd, 1, static_cast<int>(left.count())) <= 0) continue;
    char buffer[1024];
    ssize_t got = read(master, buffer, sizeof buffer);
    if (got <= 0) break;  // EIO: the program closed the terminal
    run.screen.append(buffer, static_cast<size_t>(got));
    if (!answered && run.screen.find(kPrompt) != std::string::npos) {
      answered = write(master, answer.data(), answer.size()) == static_cast<ssize_t>(answer.size());
    }
  }
  // The terminal closes a moment before the program can be reaped.
  int status = 0;
  pid_t done = 0;
  while ((done = waitpid(pid, &status, WNOHANG)) == 0 && Clock::now() < deadline) {
    poll(nullptr, 0, 10);
  }
  if (done == pid) {
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  } else {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
  }
  close(master);
  return run;
}

TEST(TerminalPrompt, AnswersAndTheirEffect) {
  Installation app;
  Install(app, kSettings,
          {{"t.dat", TemplateText({"0,0", "page [numfile]", "[filelist]*", "*", "[reldir]", "*",
                                   "<[filename]>", "*"})}});
  TempFolder photos;
  WriteFile(photos.path / "a b" / "a.jpg", "a");
  const std::string folder = photos.Text() + "/a b";
  struct Case {
    const char* name;
    std::string answer;
    bool indexed;
  };
  const Case cases[] = {
      {"empty line cancels", "\n", false},
      {"end of input cancels", "\x04", false},
      {"typed folder is indexed", folder + "\n", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(fs::path(folder) / "index.html");
    TerminalRun run = RunOnTerminal(app.program, {}, c.answer);
    EXPECT_EQ(run.status, 0) << run.screen;
    EXPECT_EQ(run.screen.rfind(kPrompt, 0), 0u) << run.screen;
    EXPECT_EQ(fs::exists(fs::path(folder) / "index.html"), c.indexed);
  }
  EXPECT_EQ(ReadFile(fs::path(folder) / "index.html"), "page 1\r\n<a.jpg>\r\n*\r\n");
}

// On a terminal the messages are printed even where a display is set, and
// with a folder on the command line nothing is asked.
TEST(TerminalPrompt, MessagesArePrintedOnTheTerminal) {
  Installation app;
  Install(app, kSettings, {{"t.dat", TemplateText({"0,0", "[filelist]", "*", "*", "*"})}});
  TempFolder empty;
  TerminalRun run = RunOnTerminal(app.program, {empty.Text()}, "");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.screen, "エラー: 対象となるファイルがありません\r\n");
}

}  // namespace
