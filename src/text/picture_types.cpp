#include "text/picture_types.h"

#include <algorithm>

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

}  // namespace

const PictureTypes& DefaultPictureTypes() {
  static const PictureTypes kTypes = {"gif", "jpg", "jpeg", "png", "bmp"};
  return kTypes;
}

bool ParsePictureTypes(std::string_view text, PictureTypes& types) {
  PictureTypes found;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find_first_of(" \t,", pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view word = text.substr(pos, end - pos);
    if (!word.empty() && word.front() == '.') word.remove_prefix(1);
    std::string type(word);
    std::transform(type.begin(), type.end(), type.begin(), Lower);
    if (!type.empty() && std::find(found.begin(), found.end(), type) == found.end()) {
      found.push_back(type);
    }
    pos = end + 1;
  }
  if (found.empty()) return false;
  types = std::move(found);
  return true;
}

PictureTypes JoinedTypes(const PictureTypes& first, const PictureTypes& second) {
  PictureTypes joined = first;
  for (const std::string& type : second) {
    if (std::find(first.begin(), first.end(), type) == first.end()) joined.push_back(type);
  }
  return joined;
}

bool HasPictureType(std::string_view name, const PictureTypes& types) {
  for (const std::string& type : types) {
    if (name.size() <= type.size() || name[name.size() - type.size() - 1] != '.') continue;
    std::string_view end = name.substr(name.size() - type.size());
    if (std::equal(end.begin(), end.end(), type.begin(),
                   [](char a, char b) { return Lower(a) == b; })) {
      return true;
    }
  }
  return false;
}
