#include "platform/plain_text.h"

namespace platform {

bool StripByteOrderMark(std::string& text) {
  if (text.compare(0, kUtf8ByteOrderMark.size(), kUtf8ByteOrderMark) != 0) return false;
  text.erase(0, kUtf8ByteOrderMark.size());
  return true;
}

std::string_view TrimBlanks(std::string_view text) {
  size_t begin = text.find_first_not_of(" \t");
  if (begin == std::string_view::npos) return {};
  size_t end = text.find_last_not_of(" \t");
  return text.substr(begin, end - begin + 1);
}

bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x + 32);
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y + 32);
    if (x != y) return false;
  }
  return true;
}

size_t Utf8CharLength(std::string_view text, size_t i) {
  auto c = static_cast<unsigned char>(text[i]);
  size_t length = c < 0xC0 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
  size_t end = i + 1;
  while (end < text.size() && end < i + length &&
         (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
    ++end;
  }
  return end - i;
}

}  // namespace platform
