// Natural order: names compared as people read them, numbers by their value
// ("IMG_2" before "IMG_10"), the text between numbers as the name order does
// (case-insensitive, in the collation of the user's locale).
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

/// A name is read as chunks: runs of decimal digits (ASCII 0-9 and the
/// full-width U+FF10..U+FF19, of equal value, mixed freely) and runs of
/// anything else. Chunks compare in turn: two numbers by value, then the one
/// with fewer leading zeros first (2 < 02 < 10), at any length; two texts by
/// collation; a number before a text; a name that ends before the other first.
/// The rules are the same on every platform; only the collation of the text
/// chunks is the platform's. Names equal in this order keep their order.

/// Collation keys of text chunks, kept while one list is sorted: the same
/// chunks ("IMG_", ".jpg") recur in most names of a folder.
struct NaturalKeyCache {
  struct Hash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const {
      return std::hash<std::string_view>()(text);
    }
  };
  std::unordered_map<std::string, std::string, Hash, std::equal_to<>> keys;
};

/// Appends the sort key of name to key: comparing two such keys byte by byte
/// (std::string's operator<) orders their names naturally.
void AppendNaturalKey(std::string_view name, NaturalKeyCache& cache, std::string& key);

/// -1, 0 or 1 as a sorts before, with or after b in natural order.
int CompareNatural(const std::string& a, const std::string& b);

/// Sorts entries first..last of list in natural order, stably; out-of-range
/// bounds or fewer than two entries leave the list as it is.
void SortNatural(std::vector<std::string>& list, int first, int last);
