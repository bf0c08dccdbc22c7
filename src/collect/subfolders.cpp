#include "collect/subfolders.h"

#include <algorithm>
#include <numeric>

#include "page/text_helpers.h"
#include "platform/platform.h"

int CompareText(const std::string& a, const std::string& b) {
  int order = platform::CollationKey(a).compare(platform::CollationKey(b));
  return order < 0 ? -1 : order > 0 ? 1 : 0;
}

void SortNames(NameList& list, int first, int last) {
  if (first < 1 || last >= static_cast<int>(list.size()) || last - first < 1) return;
  // One key per name, then a stable sort of positions: n log n comparisons of
  // prepared keys instead of a locale comparison per pair.
  size_t count = static_cast<size_t>(last) - static_cast<size_t>(first) + 1;
  std::vector<std::string> keys(count);
  for (size_t i = 0; i < count; ++i) keys[i] = platform::CollationKey(list[first + i]);
  std::vector<size_t> order(count);
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(),
                   [&keys](size_t a, size_t b) { return keys[a] < keys[b]; });
  std::vector<std::string> sorted(count);
  for (size_t i = 0; i < count; ++i) sorted[i] = std::move(list[first + order[i]]);
  std::move(sorted.begin(), sorted.end(), list.begin() + first);
}

void ListSubfolders(const std::string& folder, NameList& list) {
  list.assign(1, std::string());
  std::string path = WithTrailingSeparator(folder);
  platform::Enumeration scan;
  platform::DirEntry entry;
  for (bool more = platform::StartEnumeration(scan, path + "*", platform::kFolderAttribute, entry);
       more; more = platform::NextEntry(scan, entry)) {
    if (entry.isFolder && entry.name != "." && entry.name != "..") {
      list.push_back(std::move(entry.name));
    }
  }
  SortNames(list, 1, EntryCount(list));
}
