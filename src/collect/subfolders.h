// Listing the subfolders of a folder, and the case-insensitive name order
// that every list of names in the program follows.
#pragma once

#include <string>
#include <vector>

#include "text/sort_order.h"

/// Slots 0..n: slot 0 holds the empty string, entries are 1..n without gaps.
using NameList = std::vector<std::string>;

/// The number of entries n of a list.
inline int EntryCount(const NameList& list) {
  return list.empty() ? 0 : static_cast<int>(list.size()) - 1;
}

/// 1 when a sorts after b, -1 when before, 0 when they are equal ignoring
/// letter case, in the collation of the user's locale.
int CompareText(const std::string& a, const std::string& b);

/// Sorts entries first..last ascending by CompareText; equal names keep their
/// order. Other slots are untouched.
void SortNames(NameList& list, int first, int last);

/// Sorts entries first..last as order says for names that have no date:
/// name (SortNames) or natural; taken sorts by name. Stable either way.
void SortNamesBy(NameList& list, int first, int last, SortOrder order);

/// Replaces list with the folder's immediate subfolders (links to folders
/// included; hidden ones and "." and ".." never), bare names, sorted by order.
void ListSubfolders(const std::string& folder, NameList& list, SortOrder order = {});
