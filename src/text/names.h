// Lists of names and the order every list in the program follows: ignoring
// letter case, in the collation of the user's locale, or the order the sort
// setting chooses (sort_order.h, natural_order.h).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "text/sort_order.h"

/// A list of names (bare names, or paths relative to a folder).
using NameList = std::vector<std::string>;

/// 1 when a sorts after b, -1 when before, 0 when they are equal ignoring
/// letter case, in the collation of the user's locale.
int CompareText(const std::string& a, const std::string& b);

/// Sorts the list ascending by CompareText; equal names keep their order.
void SortNames(NameList& list);

/// Sorts the entries first..end-1 alone, as SortNames does the whole list;
/// nothing when the range does not lie within the list.
void SortNames(NameList& list, size_t first, size_t end);

/// Sorts the entries first..end-1 as order says for names that carry no date:
/// by name (SortNames) or natural order, the other way round when descending;
/// taken sorts by name. Stable; nothing when the range is not in the list.
void SortNamesBy(NameList& list, size_t first, size_t end, SortOrder order);
