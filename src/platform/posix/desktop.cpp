// The POSIX port, the desktop: what a person sees and presses. Sections, in
// order:
//   1. Helper programs: found on PATH (never the current folder), started
//      directly with an argument list, never through a shell, so no folder
//      name or message text can become a command; in a UTF-8 locale.
//   2. The folder chooser: zenity or kdialog on a display, else a question on
//      the terminal.
//   3. Message dialogs (zenity), and reports on standard error.
//   4. Held keys: X11's keymap read once, libX11 loaded at run time, so the
//      program runs where there is no X11 at all.
#include <dlfcn.h>
#include <fcntl.h>
#include <langinfo.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/platform.h"

extern char** environ;

namespace platform {
namespace {

bool IsSet(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

// A graphical session is there to show dialogs in.
bool DisplayAvailable() { return IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY"); }

// The full path of an executable program found on PATH; empty when none.
// Empty entries, which would mean the current folder, are skipped: a run
// from a file manager may stand in a folder of someone else's files.
std::string FindProgram(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::string folders = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
  size_t begin = 0;
  for (;;) {
    size_t end = folders.find(':', begin);
    std::string folder = folders.substr(begin, end == std::string::npos ? end : end - begin);
    std::string candidate = folder + "/" + name;
    struct stat st;
    if (!folder.empty() && stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
        access(candidate.c_str(), X_OK) == 0) {
      return candidate;
    }
    if (end == std::string::npos) return "";
    begin = end + 1;
  }
}

// The environment for a helper program. Titles and texts are UTF-8, and a
// toolkit rejects arguments it cannot read in its locale's encoding (zenity
// in the C locale refuses to start), so a locale that is not UTF-8 is
// replaced by C.UTF-8 for the helper alone.
std::vector<std::string> HelperEnvironment() {
  std::vector<std::string> entries;
  bool utf8 = std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0;
  for (char** e = environ; *e != nullptr; ++e) {
    if (!utf8 && std::strncmp(*e, "LC_ALL=", 7) == 0) continue;
    entries.emplace_back(*e);
  }
  if (!utf8) entries.emplace_back("LC_ALL=C.UTF-8");
  return entries;
}

// Runs a helper program, args[0] being its full path, and waits for it. Its
// input is empty and what it reports on standard error is dropped (toolkits
// chatter there); its standard output is collected into output when given.
// The result is the exit status, or -1 when it could not run or was killed.
int RunHelper(const std::vector<std::string>& args, std::string* output) {
  int pipeFds[2] = {-1, -1};
  if (output != nullptr && pipe2(pipeFds, O_CLOEXEC) != 0) return -1;
  std::vector<char*> argv;
  for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  std::vector<std::string> environment = HelperEnvironment();
  std::vector<char*> envp;
  for (auto& entry : environment) envp.push_back(entry.data());
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  if (output != nullptr) {
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
  } else {
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  }
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (output != nullptr) {
    close(pipeFds[1]);
    output->clear();
    char buffer[4096];
    while (spawned == 0) {
      ssize_t got = read(pipeFds[0], buffer, sizeof buffer);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) break;
      output->append(buffer, static_cast<size_t>(got));
    }
    close(pipeFds[0]);
  }
  if (spawned != 0) return -1;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Text that a toolkit shows as it is: bytes that are not UTF-8 become U+FFFD
// (a label would otherwise stay empty), and CR LF line breaks become LF.
std::string DialogText(const std::string& text) {
  std::string result;
  result.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    auto c = static_cast<unsigned char>(text[i]);
    if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      ++i;
      continue;
    }
    size_t length = c < 0x80                ? 1
                    : c >= 0xC2 && c < 0xE0 ? 2
                    : c >= 0xE0 && c < 0xF0 ? 3
                    : c >= 0xF0 && c < 0xF5 ? 4
                                            : 0;
    bool valid = length != 0 && i + length <= text.size();
    for (size_t k = 1; valid && k < length; ++k) {
      valid = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
    }
    if (valid && length >= 3) {
      // No overlong forms, no surrogates, nothing above U+10FFFF.
      auto d = static_cast<unsigned char>(text[i + 1]);
      valid = !(c == 0xE0 && d < 0xA0) && !(c == 0xED && d >= 0xA0) && !(c == 0xF0 && d < 0x90) &&
              !(c == 0xF4 && d >= 0x90);
    }
    if (valid) {
      result.append(text, i, length);
      i += length;
    } else {
      result += "\xEF\xBF\xBD";
      ++i;
    }
  }
  return result;
}

// The folder a chooser program printed: its output without the final line
// break; empty when it was cancelled or failed.
std::string FolderFromChooser(const std::vector<std::string>& args) {
  std::string output;
  if (RunHelper(args, &output) != 0) return "";
  if (!output.empty() && output.back() == '\n') output.pop_back();
  return output;
}

// Asks on the terminal: the title as the prompt, then one line. An empty line
// or the end of input gives the empty string.
std::string AskOnTerminal(const std::string& title) {
  std::string prompt = title + ": ";
  if (write(STDERR_FILENO, prompt.data(), prompt.size()) < 0) return "";
  std::string line;
  for (;;) {
    char c = 0;
    ssize_t got = read(STDIN_FILENO, &c, 1);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0 || c == '\n') break;
    line.push_back(c);
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

std::string ChooseFolderOnDesktop(const std::string& title) {
  if (DisplayAvailable()) {
    std::string zenity = FindProgram("zenity");
    if (!zenity.empty()) {
      return FolderFromChooser(
          {zenity, "--file-selection", "--directory", "--title=" + DialogText(title)});
    }
    std::string kdialog = FindProgram("kdialog");
    if (!kdialog.empty()) {
      return FolderFromChooser({kdialog, "--getexistingdirectory", "--title", DialogText(title)});
    }
  }
  if (isatty(STDIN_FILENO) && isatty(STDERR_FILENO)) return AskOnTerminal(title);
  return "";  // a script without a folder ends as a cancelled chooser does
}

// True when a modal dialog showed the message and the user confirmed it.
bool ShowMessageDialog(const std::string& text, MessageKind kind, const std::string& caption) {
  if (!DisplayAvailable() || isatty(STDERR_FILENO)) return false;
  std::string zenity = FindProgram("zenity");
  if (zenity.empty()) return false;
  const char* look = kind == MessageKind::kWarning ? "--warning" : "--info";
  return RunHelper({zenity, look, "--no-markup", "--title=" + DialogText(caption),
                    "--text=" + DialogText(text)},
                   nullptr) == 0;
}

// X11, as far as the keyboard query needs it. The types are Xlib's own:
// Display is opaque, KeySym an unsigned long, KeyCode an unsigned char.
using XOpenDisplayFn = void* (*)(const char*);
using XCloseDisplayFn = int (*)(void*);
using XQueryKeymapFn = int (*)(void*, char*);
using XKeysymToKeycodeFn = unsigned char (*)(void*, unsigned long);

// The X key symbols that stand for a Windows virtual-key code: none for a
// code without an equivalent, two for a key that has a left and a right one.
std::vector<unsigned long> KeySymsOf(int virtualKey) {
  int vk = virtualKey;
  if (vk == 16) return {0xFFE1, 0xFFE2};  // Shift_L, Shift_R
  if (vk == 17) return {0xFFE3, 0xFFE4};  // Control_L, Control_R
  if (vk == 18) return {0xFFE9, 0xFFEA};  // Alt_L, Alt_R
  if (vk >= 160 && vk <= 165) {           // left and right variants
    static const unsigned long kSides[] = {0xFFE1, 0xFFE2, 0xFFE3, 0xFFE4, 0xFFE9, 0xFFEA};
    return {kSides[vk - 160]};
  }
  if (vk >= 48 && vk <= 57) return {static_cast<unsigned long>(vk)};                // 0-9
  if (vk >= 65 && vk <= 90) return {static_cast<unsigned long>(vk + 32)};           // a-z
  if (vk >= 112 && vk <= 135) return {0xFFBEul + static_cast<unsigned>(vk - 112)};  // F1-F24
  if (vk >= 96 && vk <= 105) return {0xFFB0ul + static_cast<unsigned>(vk - 96)};    // KP_0-9
  if (vk == 32) return {0x20};                                                      // space
  if (vk >= 37 && vk <= 40) {  // Left, Up, Right, Down
    return {0xFF51ul + static_cast<unsigned>(vk - 37)};
  }
  if (vk == 13) return {0xFF0D, 0xFF8D};  // Return, KP_Enter
  if (vk == 27) return {0xFF1B};          // Escape
  return {};
}

// Which virtual keys are held, read from the X server's keymap in one query.
// Nothing is held without an X display or without libX11.
std::array<bool, 256> SampleHeldKeys() {
  std::array<bool, 256> held{};
  if (!IsSet("DISPLAY")) return held;
  // Kept loaded for the rest of the run: unloading Xlib is not safe.
  void* x11 = dlopen("libX11.so.6", RTLD_NOW | RTLD_LOCAL);
  if (x11 == nullptr) return held;
  auto openDisplay = reinterpret_cast<XOpenDisplayFn>(dlsym(x11, "XOpenDisplay"));
  auto closeDisplay = reinterpret_cast<XCloseDisplayFn>(dlsym(x11, "XCloseDisplay"));
  auto queryKeymap = reinterpret_cast<XQueryKeymapFn>(dlsym(x11, "XQueryKeymap"));
  auto toKeycode = reinterpret_cast<XKeysymToKeycodeFn>(dlsym(x11, "XKeysymToKeycode"));
  if (!openDisplay || !closeDisplay || !queryKeymap || !toKeycode) return held;
  void* display = openDisplay(nullptr);
  if (display == nullptr) return held;
  char keymap[32] = {};
  queryKeymap(display, keymap);
  for (int vk = 0; vk < 256; ++vk) {
    for (unsigned long sym : KeySymsOf(vk)) {
      unsigned code = toKeycode(display, sym);
      if (code != 0 && (static_cast<unsigned char>(keymap[code / 8]) >> (code % 8) & 1) != 0) {
        held[static_cast<size_t>(vk)] = true;
      }
    }
  }
  closeDisplay(display);
  return held;
}

}  // namespace

bool IsKeyHeld(int virtualKey) {
  // The keyboard is read once, at the first question, and every later
  // question of the run is answered from that sample.
  static const std::array<bool, 256> held = SampleHeldKeys();
  return virtualKey >= 0 && virtualKey <= 255 && held[static_cast<size_t>(virtualKey)];
}

void ReportFailure(const std::string& text) {
  std::string line = "pagrimo: " + text + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

void ShowMessage(const std::string& text, MessageKind kind, const std::string& caption) {
  // A dialog on a desktop when nobody reads standard error (a run from a file
  // manager); the text goes to standard error when there is no dialog or the
  // dialog could not be shown or confirmed, so it is never lost.
  if (ShowMessageDialog(text, kind, caption)) return;
  std::string line = caption + ": " + text + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

bool ShowAnswer(const std::string& text, const std::string& /*caption*/) {
  return std::fwrite(text.data(), 1, text.size(), stdout) == text.size() &&
         std::fflush(stdout) == 0;
}

std::string ChooseFolder(const std::string& title) { return ChooseFolderOnDesktop(title); }

}  // namespace platform
