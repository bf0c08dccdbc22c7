// Natural order: names compared as people read them, numbers by their value
// ("IMG_2" before "IMG_10"), the text between numbers as the name order does
// (case-insensitive, in the collation of the user's locale).
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "text/names.h"

/// A name is read as chunks: runs of decimal digits (ASCII 0-9 and the
/// full-width U+FF10..U+FF19, of equal value, mixed freely) and runs of
/// anything else. Chunks compare in turn: two numbers by value, then the one
/// with fewer leading zeros first (2 < 02 < 10), at any length; two texts by
/// collation; a number before a text; a name that ends before the other first.
/// The rules are the same on every platform; only the collation of the text
/// chunks is the platform's. Names equal in this order keep their order.

/// Collation keys of text chunks, kept while one list is sorted: the same
/// chunks ("IMG_", ".jpg") recur in most names of a folder. A small table
/// indexed by a hash of the chunk; a chunk that lands on a taken slot
/// replaces the one there.
struct NaturalKeyCache {
  struct Slot {
    std::string text, key;
    bool used = false;
  };
  std::vector<Slot> slots;  // a power of two of them, made on first use
  std::string scratch;      // a chunk on its way to the collation
};

/// Appends the sort key of name to key: comparing two such keys byte by byte
/// (std::string's operator<) orders their names naturally.
void AppendNaturalKey(std::string_view name, NaturalKeyCache& cache, std::string& key);

/// -1, 0 or 1 as a sorts before, with or after b in natural order.
int CompareNatural(const std::string& a, const std::string& b);

/// Sorts the entries first..end-1 of list in natural order (descending: the
/// other way round), stably; nothing when the range does not lie within the
/// list.
void SortNatural(NameList& list, size_t first, size_t end, bool descending = false);

/// Sorts the entries first..end-1 of list stably by keys compared as bytes,
/// the largest first when descending; equal keys keep their order either way.
/// makeKey(i, key) appends the key of list[i] to key, once per entry. Nothing
/// when the range does not lie within the list.
void SortByKeys(NameList& list, size_t first, size_t end, bool descending,
                const std::function<void(size_t, std::string&)>& makeKey);
