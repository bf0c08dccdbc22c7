// The POSIX part of the thumbnail work's seam. Everything but the functions of
// platform.h is static here.
//
// Sections:
//   1. Progress: a line on a terminal, or zenity's progress dialog.
//   2. Notices of a run that went on.
//   3. Local civil times, and removing a file of our own.
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/files.h"

extern char** environ;

namespace platform {
namespace {

// ---- 1. Progress -----------------------------------------------------------

enum class ProgressKind { kNone, kTerminal, kDialog };

struct ProgressState {
  ProgressKind kind = ProgressKind::kNone;
  std::string title;
  int pipe = -1;  // zenity's standard input
  pid_t pid = -1;
  int lastPercent = -1;
  std::string lastLine;  // the terminal line shown last
  bool cancelled = false;
};
ProgressState g_progress;

bool IsSet(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && value[0] != '\0';
}

// The full path of a program found on PATH; empty when there is none.
std::string FindOnPath(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/bin:/bin";
  size_t start = 0;
  for (;;) {
    size_t colon = dirs.find(':', start);
    std::string dir = dirs.substr(start, colon == std::string::npos ? colon : colon - start);
    std::string candidate = (dir.empty() ? "." : dir) + "/" + name;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
    if (colon == std::string::npos) return "";
    start = colon + 1;
  }
}

bool WriteText(int fd, const std::string& text) { return WriteWhole(fd, text.data(), text.size()); }

// zenity --progress, reading percentages and "# text" lines from a pipe. Its
// Cancel button ends it with a non-zero status.
bool StartDialog(const std::string& title) {
  std::string zenity = FindOnPath("zenity");
  if (zenity.empty()) return false;
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return false;
  std::vector<std::string> args = {
      zenity, "--progress", "--title=pagrimo", "--text=" + title, "--percentage=0", "--auto-close"};
  std::vector<char*> argv;
  for (auto& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[0], 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(fds[0]);
  if (spawned != 0) {
    close(fds[1]);
    return false;
  }
  // A dialog closed early must not kill the run through SIGPIPE.
  std::signal(SIGPIPE, SIG_IGN);
  g_progress.pipe = fds[1];
  g_progress.pid = pid;
  return true;
}

// Whether zenity ended by itself: Cancel, or its window closed.
void PollDialog() {
  if (g_progress.pid < 0) return;
  int status = 0;
  if (waitpid(g_progress.pid, &status, WNOHANG) == g_progress.pid) {
    g_progress.pid = -1;
    g_progress.cancelled = true;
  }
}

}  // namespace

void StartProgress(const std::string& title) {
  EndProgress();
  g_progress = ProgressState{};
  g_progress.title = title;
  if (isatty(STDERR_FILENO)) {
    g_progress.kind = ProgressKind::kTerminal;
  } else if ((IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY")) && StartDialog(title)) {
    g_progress.kind = ProgressKind::kDialog;
  }
}

void UpdateProgress(std::int64_t done, std::int64_t total) {
  if (total <= 0) return;
  int percent = static_cast<int>(done * 100 / total);
  if (g_progress.kind == ProgressKind::kTerminal) {
    std::string line = "\r" + g_progress.title + " " + std::to_string(done) + "/" +
                       std::to_string(total) + " (" + std::to_string(percent) + "%)\033[K";
    if (line != g_progress.lastLine) WriteText(STDERR_FILENO, line);
    g_progress.lastLine = std::move(line);
  } else if (g_progress.kind == ProgressKind::kDialog) {
    PollDialog();
    // Below 100 while running: zenity closes itself at 100.
    percent = std::min(percent, 99);
    if (percent != g_progress.lastPercent && g_progress.pid >= 0) {
      g_progress.lastPercent = percent;
      WriteText(g_progress.pipe, std::to_string(percent) + "\n# " + g_progress.title + " " +
                                     std::to_string(done) + "/" + std::to_string(total) + "\n");
    }
  }
}

bool ProgressCancelled() {
  if (g_progress.kind == ProgressKind::kDialog) PollDialog();
  return g_progress.cancelled;
}

void EndProgress() {
  if (g_progress.kind == ProgressKind::kTerminal) {
    WriteText(STDERR_FILENO, "\r\033[K");
  } else if (g_progress.kind == ProgressKind::kDialog) {
    if (g_progress.pipe >= 0) close(g_progress.pipe);
    if (g_progress.pid >= 0) {
      kill(g_progress.pid, SIGTERM);
      int status = 0;
      while (waitpid(g_progress.pid, &status, 0) < 0 && errno == EINTR) {
      }
    }
  }
  g_progress = ProgressState{};
}

// ---- 2. Notices -------------------------------------------------------------

void ReportNotices(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) text += "pagrimo: " + line + "\n";
  WriteText(STDERR_FILENO, text);
}

// ---- 3. Local civil times, and removing a file of our own ------------------

bool LocalTimeSeconds(int year, int month, int day, int hour, int minute, int second,
                      std::int64_t& seconds) {
  struct tm local {};
  local.tm_year = year - 1900;
  local.tm_mon = month - 1;
  local.tm_mday = day;
  local.tm_hour = hour;
  local.tm_min = minute;
  local.tm_sec = second;
  local.tm_isdst = -1;  // the zone's rules for that day
  errno = 0;
  std::time_t t = mktime(&local);
  if (t == static_cast<std::time_t>(-1) && errno != 0) return false;
  seconds = static_cast<std::int64_t>(t);
  return true;
}

bool RemoveOwnFile(const std::string& path, std::string& reason) {
  if (unlink(path.c_str()) == 0 || errno == ENOENT) return true;
  reason = std::strerror(errno);
  return false;
}

}  // namespace platform
