#include "text/natural_order.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <deque>
#include <numeric>

#include "platform/platform.h"

namespace {

// Chunk tags: a number sorts before a text; the end of the key before both.
constexpr char kNumberTag = '\x01';
constexpr char kTextTag = '\x02';
// Chunks longer than this are not remembered; the table has at most this many
// slots, and at least the smallest number.
constexpr std::size_t kCachedChunkBytes = 64;
constexpr std::size_t kMostSlots = 256;
constexpr std::size_t kFewestSlots = 16;

// The value 0..9 of the digit at text[i] and its length in bytes, or 0 bytes
// when none starts there. Full-width digits are U+FF10..U+FF19: EF BC 90..99.
std::size_t DigitAt(std::string_view text, std::size_t i, char& value) {
  unsigned char c = static_cast<unsigned char>(text[i]);
  if (c >= '0' && c <= '9') {
    value = static_cast<char>(c - '0');
    return 1;
  }
  if (c == 0xEF && text.size() - i >= 3 && static_cast<unsigned char>(text[i + 1]) == 0xBC) {
    unsigned char last = static_cast<unsigned char>(text[i + 2]);
    if (last >= 0x90 && last <= 0x99) {
      value = static_cast<char>(last - 0x90);
      return 3;
    }
  }
  return 0;
}

// A count as its length in bytes followed by its bytes, most significant
// first: shorter encodings belong to smaller counts, so bytes compare as counts.
void AppendCount(std::uint64_t count, std::string& key) {
  char bytes[8];
  int length = 0;
  for (; count != 0; count >>= 8) bytes[length++] = static_cast<char>(count & 0xFF);
  key += static_cast<char>(length);
  while (length > 0) key += bytes[--length];
}

// A collation key, escaped so that it can be followed by more chunks: bytes
// 0 and 1 become 1 1 and 1 2, and a 0 ends it. Escaped keys compare as the
// keys do, and none is a prefix of another.
void AppendTextChunk(std::string_view text, NaturalKeyCache& cache, std::string& key) {
  key += kTextTag;
  NaturalKeyCache::Slot* slot = nullptr;
  if (text.size() <= kCachedChunkBytes) {
    if (cache.slots.empty()) cache.slots.resize(kFewestSlots);
    std::uint32_t hash = 2166136261u;  // FNV-1a
    for (char c : text) hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
    slot = &cache.slots[hash & (cache.slots.size() - 1)];
    if (slot->used && slot->text == text) {
      key += slot->key;
      return;
    }
  }
  cache.scratch.assign(text);
  std::string escaped = platform::CollationKey(cache.scratch);
  if (escaped.find_first_of(std::string_view("\0\x01", 2)) != std::string::npos) {
    std::string raw = std::move(escaped);
    escaped.clear();
    for (char c : raw) {
      if (c == '\0' || c == '\x01') {
        escaped += '\x01';
        escaped += static_cast<char>(c + 1);
      } else {
        escaped += c;
      }
    }
  }
  escaped += '\0';
  key += escaped;
  if (slot != nullptr) {
    slot->text.assign(text);
    slot->key = std::move(escaped);
    slot->used = true;
  }
}

}  // namespace

void AppendNaturalKey(std::string_view name, NaturalKeyCache& cache, std::string& key) {
  std::size_t i = 0;
  std::string digits;
  while (i < name.size()) {
    char value = 0;
    std::size_t step = DigitAt(name, i, value);
    if (step == 0) {
      std::size_t start = i;
      for (; i < name.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(name[i]);
        // Only an ASCII digit or the lead byte EF can start a digit.
        if (((c >= '0' && c <= '9') || c == 0xEF) && DigitAt(name, i, value) != 0) break;
      }
      AppendTextChunk(name.substr(start, i - start), cache, key);
      continue;
    }
    // A number: its significant digits, by count and then one by one, then
    // the count of its leading zeros ("0" itself has none).
    digits.clear();
    std::uint64_t total = 0;
    for (; step != 0; step = i < name.size() ? DigitAt(name, i, value) : 0) {
      if (value != 0 || !digits.empty()) digits += static_cast<char>('0' + value);
      ++total;
      i += step;
    }
    key += kNumberTag;
    AppendCount(digits.size(), key);
    key += digits;
    AppendCount(total - std::max<std::uint64_t>(digits.size(), 1), key);
  }
}

int CompareNatural(const std::string& a, const std::string& b) {
  NaturalKeyCache cache;
  std::string keyA, keyB;
  AppendNaturalKey(a, cache, keyA);
  AppendNaturalKey(b, cache, keyB);
  int order = keyA.compare(keyB);
  return order < 0 ? -1 : order > 0 ? 1 : 0;
}

void SortNatural(NameList& list, size_t first, size_t end, bool descending) {
  NaturalKeyCache cache;
  // About one slot per name up to the most: a short list has few chunks.
  if (end <= list.size() && first < end) {
    std::size_t names = end - first;
    cache.slots.resize(std::bit_ceil(std::clamp(names, kFewestSlots, kMostSlots)));
  }
  SortByKeys(list, first, end, descending,
             [&](size_t i, std::string& key) { AppendNaturalKey(list[i], cache, key); });
}

void SortByKeys(NameList& list, size_t first, size_t end, bool descending,
                const std::function<void(size_t, std::string&)>& makeKey) {
  if (end > list.size() || first >= end || end - first < 2) return;
  // One key per name, packed into blocks that are filled once and never move
  // (as the name order does), then a stable sort of positions by key.
  constexpr std::size_t kBlockSize = std::size_t{1} << 20;
  std::size_t count = end - first;
  std::deque<std::string> blocks;
  std::vector<std::string_view> keys(count);
  std::string one;
  for (std::size_t i = 0; i < count; ++i) {
    one.clear();
    makeKey(first + i, one);
    if (blocks.empty() || blocks.back().capacity() - blocks.back().size() < one.size()) {
      std::size_t guess = std::min(kBlockSize, (count - i) * (one.size() + one.size() / 2 + 8));
      blocks.emplace_back().reserve(std::max(guess, one.size()));
    }
    std::string& block = blocks.back();
    std::size_t begin = block.size();
    block += one;
    keys[i] = std::string_view(block.data() + begin, one.size());
  }
  std::vector<std::size_t> order(count);
  std::iota(order.begin(), order.end(), 0);
  if (descending) {
    std::stable_sort(order.begin(), order.end(),
                     [&keys](std::size_t a, std::size_t b) { return keys[b] < keys[a]; });
  } else {
    std::stable_sort(order.begin(), order.end(),
                     [&keys](std::size_t a, std::size_t b) { return keys[a] < keys[b]; });
  }
  std::vector<std::string> sorted(count);
  for (std::size_t i = 0; i < count; ++i) sorted[i] = std::move(list[first + order[i]]);
  std::move(sorted.begin(), sorted.end(), list.begin() + first);
}
