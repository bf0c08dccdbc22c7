#include "text/sort_order.h"

namespace {

bool SameLetters(std::string_view text, std::string_view lower) {
  if (text.size() != lower.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i] >= 'A' && text[i] <= 'Z' ? static_cast<char>(text[i] + 32) : text[i];
    if (c != lower[i]) return false;
  }
  return true;
}

}  // namespace

bool ParseSortOrder(std::string_view text, SortOrder& order) {
  if (text.empty()) {
    order = SortOrder();
    return true;
  }
  bool descending = text.front() == '-';
  if (descending) text.remove_prefix(1);
  SortKey key;
  if (SameLetters(text, "name")) {
    key = SortKey::kName;
  } else if (SameLetters(text, "natural")) {
    key = SortKey::kNatural;
  } else if (SameLetters(text, "taken")) {
    key = SortKey::kTaken;
  } else {
    return false;
  }
  order = {key, descending};
  return true;
}
