// Replacing every occurrence of a text: the step that placeholder expansion
// is made of.
#pragma once

#include <cstddef>
#include <string>

/// What placeholders inside inserted values (folder and file names) may add
/// to one page, beyond what the template's own placeholders bring: 256 MiB.
inline constexpr size_t kMaxGrowthBytes = size_t{256} << 20;

/// Replaces every occurrence of find (non-empty; an empty find returns the
/// source), left to right and case-sensitively. Inserted text is never
/// searched again, so a replacement may contain find. The result has no
/// limit of its own: expansion bounds what it inserts.
std::string ReplaceText(const std::string& source, const std::string& find,
                        const std::string& replacement);
