// Feeds arbitrary bytes to the settings-file parser, and checks what it
// promises: keys and values hold no line ends and no blanks
// at either end, and a looked-up value is never longer than the limit.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "config/settings.h"
#include "platform/ini_lines.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

bool Clean(const std::string& text) {
  if (text.find_first_of("\r\n") != std::string::npos) return false;
  if (text.empty()) return true;
  return text.front() != ' ' && text.front() != '\t' && text.back() != ' ' && text.back() != '\t';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string text(reinterpret_cast<const char*>(data), size);
  for (const char* section : {"Pagrimo", ""}) {
    SettingsEntries entries = platform::IniSection(text, section);
    for (const auto& [key, value] : entries) {
      Require(Clean(key));
      Require(value.find_first_of("\r\n") == std::string::npos);
    }
    for (const char* key : {"default", "0", "16", "255"}) {
      Require(LookUpSetting(entries, key, "").size() <= kMaxSettingBytes);
    }
  }
  return 0;
}
