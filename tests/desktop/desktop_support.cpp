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

// The current environment with the given NAME=VALUE entries put in place.
std::vector<std::string> MergedEnvironment(const std::vector<std::string>& extra) {
  std::vector<std::string> merged;
  for (char** e = environ; *e != nullptr; ++e) {
    std::string entry = *e;
    bool replaced = false;
    for (const auto& item : extra) {
      size_t name = item.find('=') + 1;
      if (entry.compare(0, name, item, 0, name) == 0) replaced = true;
    }
    if (!replaced) merged.push_back(entry);
  }
  merged.insert(merged.end(), extra.begin(), extra.end());
  return merged;
}

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

Started StartProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::vector<std::string>& environment) {
  Started started;
  int outPipe[2], errPipe[2];
  if (pipe2(outPipe, O_CLOEXEC) != 0) return started;
  if (pipe2(errPipe, O_CLOEXEC) != 0) {
    close(outPipe[0]);
    close(outPipe[1]);
    return started;
  }
  std::vector<std::string> argText{program};
  argText.insert(argText.end(), args.begin(), args.end());
  std::vector<std::string> envText = MergedEnvironment(environment);
  std::vector<char*> argv = Pointers(argText);
  std::vector<char*> envp = Pointers(envText);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
  posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attributes, 0);
  pid_t pid = -1;
  int spawned = posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), envp.data());
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  close(outPipe[1]);
  close(errPipe[1]);
  if (spawned != 0) {
    close(outPipe[0]);
    close(errPipe[0]);
    return started;
  }
  started.pid = pid;
  started.outFd = outPipe[0];
  started.errFd = errPipe[0];
  return started;
}

testing_support::RunResult FinishProgram(Started& started, int limitSeconds, bool* leftBehind) {
  testing_support::RunResult result;
  if (started.pid < 0) return result;
  auto deadline = Clock::now() + std::chrono::seconds(limitSeconds);
  pollfd fds[2] = {{started.outFd, POLLIN, 0}, {started.errFd, POLLIN, 0}};
  std::string* sinks[2] = {&result.out, &result.err};
  int open = 2;
  bool late = false;
  while (open > 0) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) {
      late = true;
      break;
    }
    int ready = poll(fds, 2, static_cast<int>(left.count()));
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0) break;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[4096];
      ssize_t got = read(fds[i].fd, buffer, sizeof buffer);
      if (got > 0) {
        sinks[i]->append(buffer, static_cast<size_t>(got));
      } else {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      }
    }
  }
  for (auto& fd : fds) {
    if (fd.fd >= 0) close(fd.fd);
  }
  int status = 0;
  if (late || !WaitForExit(started.pid, status, deadline)) {
    kill(-started.pid, SIGKILL);
    waitpid(started.pid, &status, 0);
    result.status = -1;
  } else {
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  // Whatever the program left behind in its group (a dialog) goes too.
  if (leftBehind != nullptr) *leftBehind = kill(-started.pid, 0) == 0;
  kill(-started.pid, SIGKILL);
  started = Started{};
  return result;
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
