// Byte-level text rules that both ports and the layers above share: the UTF-8
// byte order mark, blank trimming, ASCII case-blind comparison and the length
// of a UTF-8 character. Portable code: no system call.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

/// The UTF-8 byte order mark, as a template and its pages start with it.
inline constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

/// Removes a leading UTF-8 byte order mark; true when there was one.
bool StripByteOrderMark(std::string& text);

/// The text without the blanks and tabs at either end.
std::string_view TrimBlanks(std::string_view text);

/// True when a and b differ at most in the letter case of ASCII letters.
bool EqualIgnoringAsciiCase(std::string_view a, std::string_view b);

/// Length of the UTF-8 character that starts at text[i] (i < text.size()):
/// its lead byte gives the length, continuation bytes are taken while
/// present, so a stray or cut byte counts as one character of its own.
size_t Utf8CharLength(std::string_view text, size_t i);

}  // namespace platform
