// Feeds arbitrary wildcard patterns to the directory enumeration of a folder
// with known names, and compares what it returns with a plain recursive
// matcher: "*" any run of whole characters, "?" one character, every other
// byte itself. Patterns reach the enumeration from the settings file (the
// template name) and from the command line (the folder).
#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

const std::vector<std::string> kNames = {"a.jpg",
                                         "A.JPG",
                                         "ab",
                                         "abc.png",
                                         "x.y.z",
                                         "\xc3\xa9t\xc3\xa9.gif",
                                         "\xe5\x86\x99\xe7\x9c\x9f",
                                         "\xff\xfe.bmp",
                                         "*",
                                         "?",
                                         "[x]",
                                         "a b",
                                         "\xc3",
                                         "tail\xc3\xa9",
                                         "a*b",
                                         "..x"};

// Length of the UTF-8 character at text[i], as the enumeration counts it: its
// lead byte gives the length, continuation bytes are taken while present.
size_t CharLength(const std::string& text, size_t i) {
  auto c = static_cast<unsigned char>(text[i]);
  size_t length = c < 0xC0 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
  size_t end = i + 1;
  while (end < text.size() && end < i + length &&
         (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
    ++end;
  }
  return end - i;
}

bool Reference(const std::string& name, size_t n, const std::string& pattern, size_t p,
               std::vector<signed char>& memo) {
  signed char& known = memo[n * (pattern.size() + 1) + p];
  if (known >= 0) return known != 0;
  bool result = false;
  if (p == pattern.size()) {
    result = n == name.size();
  } else if (pattern[p] == '*') {
    for (size_t m = n;; m += CharLength(name, m)) {
      if (Reference(name, m, pattern, p + 1, memo)) {
        result = true;
        break;
      }
      if (m >= name.size()) break;
    }
  } else if (pattern[p] == '?') {
    result = n < name.size() && Reference(name, n + CharLength(name, n), pattern, p + 1, memo);
  } else {
    result =
        n < name.size() && name[n] == pattern[p] && Reference(name, n + 1, pattern, p + 1, memo);
  }
  known = result ? 1 : 0;
  return result;
}

bool Matches(const std::string& name, const std::string& pattern) {
  std::vector<signed char> memo((name.size() + 1) * (pattern.size() + 1), -1);
  return Reference(name, 0, pattern, 0, memo);
}

// The folder with the known names, made once and removed when the fuzzer
// ends; a plain array, so that it outlives every destructor run at exit.
char g_folder[] = "/tmp/pagrimo-pattern-fuzz-XXXXXX";

void RemoveFolder() {
  for (const auto& name : kNames) unlink((std::string(g_folder) + "/" + name).c_str());
  rmdir(g_folder);
}

std::string Folder() {
  static const bool made = [] {
    Require(mkdtemp(g_folder) != nullptr);
    for (const auto& name : kNames) {
      int fd = open((std::string(g_folder) + "/" + name).c_str(), O_WRONLY | O_CREAT, 0644);
      Require(fd >= 0);
      close(fd);
    }
    std::atexit(RemoveFolder);
    return true;
  }();
  Require(made);
  return g_folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 64) return 0;
  std::string pattern(reinterpret_cast<const char*>(data), size);
  for (char& c : pattern) {
    if (c == '/' || c == '\0') c = 'x';  // one folder only; names hold no NUL
  }
  std::set<std::string> got;
  platform::Enumeration scan;
  platform::DirEntry entry;
  for (bool more = platform::StartEnumeration(scan, Folder() + "/" + pattern, 0, entry); more;
       more = platform::NextEntry(scan, entry)) {
    Require(got.insert(entry.name).second);  // each name once
  }
  std::string wildcard = pattern.empty() ? "*" : pattern;
  std::set<std::string> expected;
  for (const auto& name : kNames) {
    if (name[0] != '.' && Matches(name, wildcard)) expected.insert(name);
  }
  Require(got == expected);
  return 0;
}
