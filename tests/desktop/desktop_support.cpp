#include "desktop/desktop_support.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>

extern char** environ;

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace desktop_support {

namespace {

std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (auto& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

bool WaitForExit(pid_t pid, int& status, Clock::time_point deadline) {
  for (;;) {
    pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) return true;
    if (done < 0 && errno != EINTR) return true;
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

}  // namespace

std::string FindTool(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::string folders = path != nullptr ? path : "/usr/bin:/bin";
  size_t begin = 0;
  for (;;) {
    size_t end = folders.find(':', begin);
    std::string candidate =
        folders.substr(begin, end == std::string::npos ? end : end - begin) + "/" + name;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
    if (end == std::string::npos) return "";
    begin = end + 1;
  }
}

XServer::~XServer() {
  if (pid <= 0) return;
  kill(pid, SIGTERM);
  int status = 0;
  if (!WaitForExit(pid, status, Clock::now() + std::chrono::seconds(10))) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
  }
}

bool StartXServer(XServer& server, std::string& reason) {
  std::string xvfb = FindTool("Xvfb");
  if (xvfb.empty()) {
    reason = "Xvfb is not installed";
    return false;
  }
  // Xvfb writes the display number it chose to the descriptor -displayfd names.
  int numberPipe[2];
  if (pipe(numberPipe) != 0) {
    reason = std::strerror(errno);
    return false;
  }
  fcntl(numberPipe[0], F_SETFD, FD_CLOEXEC);
  std::vector<std::string> argText{xvfb,       "-displayfd", std::to_string(numberPipe[1]),
                                   "-noreset", "-nolisten",  "tcp",
                                   "-screen",  "0",          "1280x800x24"};
  std::vector<char*> argv = Pointers(argText);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  int spawned = posix_spawn(&server.pid, xvfb.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(numberPipe[1]);
  if (spawned != 0) {
    server.pid = -1;
    close(numberPipe[0]);
    reason = std::strerror(spawned);
    return false;
  }
  std::string number;
  pollfd fd{numberPipe[0], POLLIN, 0};
  auto deadline = Clock::now() + std::chrono::seconds(30);
  while (number.find('\n') == std::string::npos && Clock::now() < deadline) {
    if (poll(&fd, 1, 200) <= 0) continue;
    char buffer[32];
    ssize_t got = read(numberPipe[0], buffer, sizeof buffer);
    if (got <= 0) break;
    number.append(buffer, static_cast<size_t>(got));
  }
  close(numberPipe[0]);
  if (number.empty() || number.find('\n') == std::string::npos) {
    reason = "Xvfb did not report a display";
    return false;
  }
  server.display = ":" + number.substr(0, number.find('\n'));
  return true;
}

bool Xdotool(const std::string& display, const std::vector<std::string>& args,
             std::string* output) {
  std::string xdotool = FindTool("xdotool");
  if (xdotool.empty()) return false;
  testing_support::RunResult r = testing_support::RunProgram(xdotool, args, {"DISPLAY=" + display});
  if (output != nullptr) *output = r.out;
  return r.status == 0;
}

std::string WaitForWindow(const std::string& display, const std::string& title, int limitSeconds) {
  auto deadline = Clock::now() + std::chrono::seconds(limitSeconds);
  for (;;) {
    std::string ids;
    Xdotool(display, {"search", "--onlyvisible", "--name", "^" + title + "$"}, &ids);
    if (!ids.empty()) return ids.substr(0, ids.find('\n'));
    if (Clock::now() >= deadline) return "";
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
}

void WriteFakeHelper(const std::string& folder, const std::string& name, const std::string& output,
                     int status) {
  fs::path script = fs::path(folder) / name;
  // Only shell built-ins: the tests run with PATH holding nothing else.
  testing_support::WriteFile(script,
                             "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$0.args\"\n"
                             "printf '%s' \"$LC_ALL\" > \"$0.locale\"\nprintf '%s' '" +
                                 output + "'\nexit " + std::to_string(status) + "\n");
  fs::permissions(script, fs::perms::owner_all);
}

std::string FakeHelperLocale(const std::string& folder, const std::string& name) {
  return testing_support::ReadFile(fs::path(folder) / (name + ".locale"));
}

std::string FakeHelperArgs(const std::string& folder, const std::string& name) {
  std::string args = testing_support::ReadFile(fs::path(folder) / (name + ".args"));
  return args == "<missing>" ? "<not run>" : args;
}

}  // namespace desktop_support
