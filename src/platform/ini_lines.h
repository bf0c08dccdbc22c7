// The lines of an INI file, as GetPrivateProfileString reads them: sections,
// comments, "key=value" entries. The POSIX port parses the whole file with
// it; the Windows port asks Windows for the section and reads its entries
// with ParseIniEntry. Portable code.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform {

/// Entries of a settings section: key and value, in file order.
using IniEntries = std::vector<std::pair<std::string, std::string>>;

/// One line of a section: false for a comment (";" or "#" first), a line
/// without "=" or one without a key; else the key and the value, both
/// without blanks around them, the value without one pair of enclosing
/// double or single quotes.
bool ParseIniEntry(std::string_view line, std::string& key, std::string& value);

/// The entries of one section of an INI file's text: a leading UTF-8 byte
/// order mark is dropped, lines end at CR LF, CR or LF, "[name]" starts a
/// section (names match ignoring ASCII case and blanks around them), and
/// the entries of every part of the named section are returned.
IniEntries IniSection(std::string text, std::string_view section);

}  // namespace platform
