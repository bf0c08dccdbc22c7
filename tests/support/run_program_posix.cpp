// Test support on POSIX systems: running a program, with its output captured, and links.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "support/program_posix.h"
#include "support/test_support.h"

extern char** environ;

namespace testing_support {
namespace {

using Clock = std::chrono::steady_clock;

// This process's environment without the display, with the extra NAME=VALUE
// entries put in place of those of the same name, and the language of the
// messages pinned unless they name it.
std::vector<std::string> MergedEnvironment(std::vector<std::string> extra) {
  // The messages in a known language, whatever the tests' environment: the C
  // locale's for messages, which gives the program's Japanese texts and the
  // system's English reasons (LANGUAGE is emptied: glibc reads it even under
  // C.UTF-8). An LC_ALL of this process would override LC_MESSAGES, so it
  // goes to LANG, keeping the other categories.
  auto named = [&](const char* prefix) {
    for (const auto& item : extra) {
      if (item.rfind(prefix, 0) == 0) return true;
    }
    return false;
  };
  std::vector<std::string> pins;
  if (!named("LANGUAGE=")) pins.push_back("LANGUAGE=");
  if (!named("LC_ALL=") && !named("LC_MESSAGES=")) {
    pins.push_back("LC_MESSAGES=C.UTF-8");
    const char* all = std::getenv("LC_ALL");
    if (all != nullptr && *all != '\0' && !named("LANG=")) {
      pins.push_back("LC_ALL=");
      pins.push_back(std::string("LANG=") + all);
    }
  }
  extra.insert(extra.begin(), pins.begin(), pins.end());
  std::vector<std::string> merged;
  for (char** e = environ; *e != nullptr; ++e) {
    std::string entry = *e;
    // A test run from a desktop session must not open dialogs that wait for
    // a click: the display reaches the program only when a test passes it.
    if (entry.rfind("DISPLAY=", 0) == 0 || entry.rfind("WAYLAND_DISPLAY=", 0) == 0) continue;
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

// Waits for the process; false when the deadline passed first.
bool WaitForExit(pid_t pid, int& status, bool limited, Clock::time_point deadline) {
  for (;;) {
    pid_t done = waitpid(pid, &status, limited ? WNOHANG : 0);
    if (done == pid) return true;
    if (done < 0 && errno != EINTR) return true;
    if (limited && Clock::now() >= deadline) return false;
    if (limited) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

}  // namespace

Started StartProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::vector<std::string>& environment) {
  Started started;
  int outPipe[2], errPipe[2];
  if (pipe2(outPipe, O_CLOEXEC) != 0) {
    started.error = std::strerror(errno);
    return started;
  }
  if (pipe2(errPipe, O_CLOEXEC) != 0) {
    started.error = std::strerror(errno);
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
    started.error = std::strerror(spawned);
    return started;
  }
  started.pid = pid;
  started.outFd = outPipe[0];
  started.errFd = errPipe[0];
  return started;
}

RunResult FinishProgram(Started& started, int limitSeconds, bool* leftBehind) {
  RunResult result;
  if (started.pid < 0) {
    result.err = started.error;
    return result;
  }
  bool limited = limitSeconds > 0;
  auto deadline = Clock::now() + std::chrono::seconds(limitSeconds);
  pollfd fds[2] = {{started.outFd, POLLIN, 0}, {started.errFd, POLLIN, 0}};
  std::string* sinks[2] = {&result.out, &result.err};
  int open = 2;
  bool late = false;
  while (open > 0) {
    int wait = -1;
    if (limited) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      if (left.count() <= 0) {
        late = true;
        break;
      }
      wait = static_cast<int>(left.count());
    }
    int ready = poll(fds, 2, wait);
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
  if (late || !WaitForExit(started.pid, status, limited, deadline)) {
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

RunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::vector<std::string>& environment) {
  Started started = StartProgram(program, args, environment);
  return FinishProgram(started, 0);
}

std::string InSystemCodePage(const std::string& utf8) { return utf8; }

Language DefaultLanguage() { return Language::kJapanese; }

bool MakeLink(const std::filesystem::path& target, const std::filesystem::path& link) {
  std::filesystem::create_symlink(target, link);
  return true;
}

bool UnderWine() { return false; }

}  // namespace testing_support
