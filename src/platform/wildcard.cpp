#include "platform/wildcard.h"

#include "platform/plain_text.h"

namespace platform {

bool HasWildcard(std::string_view text) { return text.find_first_of("*?") != text.npos; }

bool MatchesWildcard(std::string_view name, std::string_view pattern) {
  size_t n = 0, p = 0, starP = pattern.npos, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      starP = p++;
      starN = n;
    } else if (p < pattern.size() && pattern[p] == '?') {
      ++p;
      n += Utf8CharLength(name, n);
    } else if (p < pattern.size() && pattern[p] == name[n]) {
      ++p;
      ++n;
    } else if (starP != pattern.npos) {
      p = starP + 1;
      starN += Utf8CharLength(name, starN);
      n = starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

}  // namespace platform
