// Feeds arbitrary wildcard patterns and names to the enumeration's matcher,
// and compares its answer with a plain recursive matcher: "*" any run of
// whole characters, "?" one character, every other byte itself. Patterns
// reach the enumeration from the settings file (the template name) and from
// the command line (the folder).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/wildcard.h"

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The first byte splits the input into a pattern and a name of its own, so
  // that arbitrary names meet arbitrary patterns besides the known names.
  if (size > 128) return 0;
  std::string input(reinterpret_cast<const char*>(data), size);
  size_t split = input.empty() ? 0 : static_cast<unsigned char>(input[0]) % input.size();
  std::string pattern = input.substr(split), own = input.substr(0, split);
  std::vector<std::string> names = kNames;
  names.push_back(own);
  for (const auto& name : names) {
    Require(platform::MatchesWildcard(name, pattern) == Matches(name, pattern));
  }
  return 0;
}
