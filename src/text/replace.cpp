#include "text/replace.h"

std::string ReplaceText(const std::string& source, const std::string& find,
                        const std::string& replacement) {
  if (find.empty()) return source;
  size_t hit = source.find(find);
  if (hit == std::string::npos) return source;
  std::string result;
  result.reserve(source.size() + replacement.size());
  size_t pos = 0;
  // Searching the source past each occurrence is the same as searching the
  // working text behind the inserted replacement.
  do {
    result.append(source, pos, hit - pos);
    result += replacement;
    pos = hit + find.size();
    hit = source.find(find, pos);
  } while (hit != std::string::npos);
  result.append(source, pos, std::string::npos);
  return result;
}
