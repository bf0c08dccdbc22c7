// Small string routines shared by the whole program: path joining and the
// placeholder-expansion engine.
#pragma once

#include <cstddef>
#include <string>

/// The path itself when it already ends in the separator, else the path
/// followed by one; "" gives the separator alone. Only that one character is
/// tested.
std::string WithTrailingSeparator(const std::string& path);

/// What placeholders inside inserted values (folder and file names) may add
/// to one page, beyond what the template's own placeholders bring: 256 MiB.
inline constexpr size_t kMaxGrowthBytes = size_t{256} << 20;

/// Replaces every occurrence of find (non-empty; an empty find returns the
/// source), left to right and case-sensitively. Inserted text is never
/// searched again, so a replacement may contain find. The result has no
/// limit of its own: expansion bounds what it inserts.
std::string ReplaceText(const std::string& source, const std::string& find,
                        const std::string& replacement);

/// Every backslash doubled.
std::string DoubleBackslashes(const std::string& text);

/// The folder's last path component after dropping one trailing separator;
/// "root" when no separator remains; empty after two trailing separators.
std::string FolderDisplayName(const std::string& path);

/// The URL form of a name or path: separators become "/", and every byte
/// other than A-Z a-z 0-9 - . _ ~ / is written as %XX. An absolute path
/// becomes a whole file URL (file:///tmp/a%20b/, file:///C:/photos/,
/// file://server/share/x); a relative one stays relative.
std::string UrlForm(const std::string& text);

/// The HTML form of a text: & < > " ' [ ] become character references, so
/// the form can never hold a placeholder.
std::string HtmlForm(const std::string& text);
