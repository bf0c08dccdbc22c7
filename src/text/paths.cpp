#include "text/paths.h"

std::string WithTrailingSeparator(const std::string& path, PathStyle style) {
  char separator = SeparatorOf(style);
  if (!path.empty() && path.back() == separator) return path;
  return path + separator;
}

std::string FolderDisplayName(const std::string& path, PathStyle style) {
  char separator = SeparatorOf(style);
  std::string rest = path;
  if (!rest.empty() && rest.back() == separator) rest.pop_back();
  size_t last = rest.rfind(separator);
  if (last == std::string::npos) return "root";
  return rest.substr(last + 1);
}
