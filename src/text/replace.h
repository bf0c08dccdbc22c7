// Replacing every occurrence of a text: the step that placeholder expansion
// is made of.
#pragma once

#include <cstddef>
#include <string>

/// The largest text that expansion builds: 256 MiB.
inline constexpr size_t kMaxTextBytes = size_t{256} << 20;

/// Replaces every occurrence of find (non-empty; an empty find returns the
/// source), left to right and case-sensitively. Inserted text is never
/// searched again, so a replacement may contain find. Throws
/// std::length_error when the result would be longer than kMaxTextBytes.
std::string ReplaceText(const std::string& source, const std::string& find,
                        const std::string& replacement);
