#include "collect/subfolders.h"

#include <algorithm>
#include <deque>
#include <numeric>
#include <string_view>

#include "collect/thumb_index.h"
#include "page/text_helpers.h"
#include "platform/platform.h"

int CompareText(const std::string& a, const std::string& b) {
  int order = platform::CollationKey(a).compare(platform::CollationKey(b));
  return order < 0 ? -1 : order > 0 ? 1 : 0;
}

void SortNames(NameList& list, int first, int last) {
  if (first < 1 || last >= static_cast<int>(list.size()) || last - first < 1) return;
  // One key per name, then a stable sort of positions: n log n comparisons of
  // prepared keys instead of a locale comparison per pair. The keys are packed
  // into blocks that are filled once and never moved: no allocation per key,
  // and no moment at which all keys exist twice, as when one string regrows.
  constexpr size_t kBlockSize = size_t{1} << 20;
  size_t count = static_cast<size_t>(last) - static_cast<size_t>(first) + 1;
  std::deque<std::string> blocks;  // a deque never moves its elements
  std::vector<std::string_view> keys(count);
  for (size_t i = 0; i < count; ++i) {
    std::string one = platform::CollationKey(list[first + i]);
    if (blocks.empty() || blocks.back().capacity() - blocks.back().size() < one.size()) {
      // Room for the remaining keys if they are like this one, at most a block.
      size_t guess = std::min(kBlockSize, (count - i) * (one.size() + one.size() / 2 + 8));
      blocks.emplace_back().reserve(std::max(guess, one.size()));
    }
    std::string& block = blocks.back();
    size_t begin = block.size();
    block += one;
    keys[i] = std::string_view(block.data() + begin, one.size());
  }
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
    if (entry.isFolder && entry.name != "." && entry.name != ".." &&
        !IsThumbnailFolderName(entry.name)) {
      list.push_back(std::move(entry.name));
    }
  }
  SortNames(list, 1, EntryCount(list));
}
