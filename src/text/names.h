// Lists of names and the order every list in the program follows: ignoring
// letter case, in the collation of the user's locale.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

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
