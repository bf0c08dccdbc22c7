// The wildcards of a directory enumeration, as Windows' FindFirstFile reads
// the last component of a pattern: "*" any run of characters, "?" exactly one
// character, every other byte itself (no classes, no escapes). The POSIX port
// matches names with it; Windows matches by itself. Portable code.
#pragma once

#include <string_view>

namespace platform {

/// True when text holds a "*" or a "?".
bool HasWildcard(std::string_view text);

/// True when the whole name matches the pattern. Characters are UTF-8: "?"
/// and each step of "*" take one whole character (a stray byte counts as
/// one). Linear in practice: one backtrack point, no recursion.
bool MatchesWildcard(std::string_view name, std::string_view pattern);

}  // namespace platform
