// The sort setting: the order in which a folder's pictures and subfolders
// are listed.
#pragma once

#include <string_view>

/// name: case-insensitive, in the collation of the user's locale; natural:
/// numbers by value (natural_order.h); taken: pictures by the date they were
/// taken, subfolders by name. descending turns each order round.
enum class SortKey { kName, kNatural, kTaken };

struct SortOrder {
  SortKey key = SortKey::kName;
  bool descending = false;
};

/// Reads a value of the sort setting: "name", "natural" or "taken" (ASCII
/// letters in any case), after at most one "-" that reverses the order. The
/// empty value means name. False, order untouched, for anything else.
bool ParseSortOrder(std::string_view text, SortOrder& order);
