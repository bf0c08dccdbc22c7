#include "text/paths.h"

std::string WithTrailingSeparator(const std::string& path, PathStyle style) {
  char separator = SeparatorOf(style);
  if (!path.empty() && path.back() == separator) return path;
  return path + separator;
}

std::string FolderOwnName(const std::string& path, PathStyle style) {
  char separator = SeparatorOf(style);
  bool windows = style == PathStyle::kWindows;
  auto separates = [&](char c) { return c == separator || (windows && c == '/'); };
  size_t end = path.size();
  while (end > 0 && separates(path[end - 1])) --end;
  size_t start = end;
  while (start > 0 && !separates(path[start - 1])) --start;
  if (windows && start == 0 && end >= 2 && path[1] == ':') start = 2;
  if (start >= end) return path;
  return path.substr(start, end - start);
}

std::string FolderDisplayName(const std::string& path, PathStyle style) {
  char separator = SeparatorOf(style);
  std::string rest = path;
  if (!rest.empty() && rest.back() == separator) rest.pop_back();
  size_t last = rest.rfind(separator);
  if (last == std::string::npos) return "root";
  return rest.substr(last + 1);
}
