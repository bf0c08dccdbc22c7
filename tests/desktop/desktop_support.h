// Helpers for the desktop tests: programs that run while the test drives
// them, a private X server, windows found by title, and stand-in helper
// programs that record how they were called.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "support/program_posix.h"
#include "support/test_support.h"

namespace desktop_support {

/// The full path of a program on PATH; empty when it is not installed.
std::string FindTool(const std::string& name);

using testing_support::FinishProgram;
using testing_support::Started;
using testing_support::StartProgram;

/// A private X server (Xvfb) on a display number it picks itself. It does not
/// reset when its last client goes, so keys held with xdotool stay held.
struct XServer {
  pid_t pid = -1;
  std::string display;  // ":N"
  XServer() = default;
  XServer(const XServer&) = delete;
  XServer& operator=(const XServer&) = delete;
  /// Stops the server and waits for it.
  ~XServer();
};
/// Starts the server; false (with a reason) when it did not come up.
bool StartXServer(XServer& server, std::string& reason);

/// Runs xdotool on the display with the given arguments; true on success.
bool Xdotool(const std::string& display, const std::vector<std::string>& args,
             std::string* output = nullptr);
/// Waits up to limitSeconds for a visible window whose title is title, and
/// gives its id; empty when none appeared in time.
std::string WaitForWindow(const std::string& display, const std::string& title, int limitSeconds);

/// Writes an executable shell script named name into folder that saves its
/// arguments, one a line, to name.args beside it and its LC_ALL to
/// name.locale, prints output and exits with status. output holds no single
/// quote.
void WriteFakeHelper(const std::string& folder, const std::string& name, const std::string& output,
                     int status);
/// The LC_ALL a fake helper ran with; "<missing>" when it never ran.
std::string FakeHelperLocale(const std::string& folder, const std::string& name);
/// The arguments a fake helper saved, one a line; "<not run>" when it never ran.
std::string FakeHelperArgs(const std::string& folder, const std::string& name);

}  // namespace desktop_support
