#include "platform/ini_lines.h"

#include "platform/plain_text.h"

namespace platform {

bool ParseIniEntry(std::string_view line, std::string& key, std::string& value) {
  size_t equals = line.find('=');
  if (equals == line.npos) return false;
  std::string_view name = TrimBlanks(line.substr(0, equals));
  if (name.empty() || name[0] == ';' || name[0] == '#') return false;
  std::string_view text = TrimBlanks(line.substr(equals + 1));
  if (text.size() >= 2 && (text[0] == '"' || text[0] == '\'') && text.back() == text[0]) {
    text = text.substr(1, text.size() - 2);
  }
  key.assign(name);
  value.assign(text);
  return true;
}

IniEntries IniSection(std::string text, std::string_view section) {
  IniEntries entries;
  StripByteOrderMark(text);
  bool inSection = false;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string::npos) end = text.size();
    std::string_view line = TrimBlanks(std::string_view(text).substr(pos, end - pos));
    pos = end + 1;
    if (end < text.size() && text[end] == '\r' && pos < text.size() && text[pos] == '\n') ++pos;
    if (!line.empty() && line[0] == '[') {
      size_t close = line.find(']');
      inSection = close != line.npos &&
                  EqualIgnoringAsciiCase(TrimBlanks(line.substr(1, close - 1)), section);
      continue;
    }
    std::string key, value;
    if (inSection && ParseIniEntry(line, key, value)) {
      entries.emplace_back(std::move(key), std::move(value));
    }
  }
  return entries;
}

}  // namespace platform
