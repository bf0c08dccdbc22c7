// Running programs from POSIX tests: the one place that starts a process,
// captures its output and waits for it, with a time limit when asked.
#pragma once
#ifndef _WIN32

#include <sys/types.h>

#include <string>
#include <vector>

#include "support/test_support.h"

namespace testing_support {

/// A program started in its own process group, with standard input empty and
/// its standard output and error captured.
struct Started {
  pid_t pid = -1;
  int outFd = -1;
  int errFd = -1;
  std::string error;  // why it could not be started
};

/// Starts program with args (each one argument) and the environment of this
/// process with the NAME=VALUE entries of environment put in place. DISPLAY
/// and WAYLAND_DISPLAY are not inherited, only passed when given.
Started StartProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::vector<std::string>& environment);

/// Waits for the program to end and collects its output; with limitSeconds
/// above 0, at most that long: a program still running then is killed with
/// its whole process group (the dialogs it opened too) and status is -1.
/// A program killed by a signal gets 128 plus the signal. leftBehind, when
/// given, tells whether any process of the group still ran after the
/// program ended; whatever did is killed.
RunResult FinishProgram(Started& started, int limitSeconds, bool* leftBehind = nullptr);

}  // namespace testing_support

#endif
