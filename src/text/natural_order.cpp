#include "text/natural_order.h"

#include <algorithm>
#include <cstdint>
#include <deque>
#include <numeric>

#include "platform/platform.h"

namespace {

// Chunk tags: a number sorts before a text; the end of the key before both.
constexpr char kNumberTag = '\x01';
constexpr char kTextTag = '\x02';
// Chunks longer than this, and chunks beyond this many, are not remembered.
constexpr std::size_t kCachedChunkBytes = 64;
constexpr std::size_t kCachedChunks = 4096;

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
  auto known = cache.keys.find(text);
  if (known != cache.keys.end()) {
    key += known->second;
    return;
  }
  std::string collation = platform::CollationKey(std::string(text));
  std::string escaped;
  escaped.reserve(collation.size() + 4);
  for (char c : collation) {
    if (c == '\0' || c == '\x01') {
      escaped += '\x01';
      escaped += static_cast<char>(c + 1);
    } else {
      escaped += c;
    }
  }
  escaped += '\0';
  key += escaped;
  if (text.size() <= kCachedChunkBytes && cache.keys.size() < kCachedChunks) {
    cache.keys.emplace(std::string(text), std::move(escaped));
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
      while (i < name.size() && DigitAt(name, i, value) == 0) ++i;
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

void SortNatural(std::vector<std::string>& list, int first, int last) {
  if (first < 0 || last >= static_cast<int>(list.size()) || last - first < 1) return;
  // One key per name, packed into blocks that never move (as the name order
  // does), then a stable sort of positions by key.
  constexpr std::size_t kBlockSize = std::size_t{1} << 20;
  std::size_t count = static_cast<std::size_t>(last - first) + 1;
  NaturalKeyCache cache;
  std::deque<std::string> blocks;
  std::vector<std::string_view> keys(count);
  std::string one;
  for (std::size_t i = 0; i < count; ++i) {
    one.clear();
    AppendNaturalKey(list[first + i], cache, one);
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
  std::stable_sort(order.begin(), order.end(),
                   [&keys](std::size_t a, std::size_t b) { return keys[a] < keys[b]; });
  std::vector<std::string> sorted(count);
  for (std::size_t i = 0; i < count; ++i) sorted[i] = std::move(list[first + order[i]]);
  std::move(sorted.begin(), sorted.end(), list.begin() + first);
}
