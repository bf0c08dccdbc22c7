#include "config/settings.h"

#include <cctype>

#include "page/text_helpers.h"
#include "platform/platform.h"

namespace {

bool SameKey(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

}  // namespace

std::string LookUpSetting(const SettingsEntries& entries, const std::string& key,
                          const std::string& defaultValue) {
  for (const auto& [name, value] : entries) {
    if (SameKey(name, key)) return value.substr(0, kMaxSettingBytes);
  }
  return defaultValue.substr(0, kMaxSettingBytes);
}

std::string ReadProfileString(const std::string& section, const std::string& key,
                              const std::string& defaultValue, const std::string& path) {
  return LookUpSetting(platform::ReadSettingsSection(path, section), key, defaultValue);
}

std::string ChooseTemplateName(const std::string& settingsFolder) {
  std::string path = WithTrailingSeparator(settingsFolder) + "pagrimo.ini";
  // One read of the section serves all 257 look-ups.
  SettingsEntries entries = platform::ReadSettingsSection(path, "Pagrimo");
  std::string name = LookUpSetting(entries, "default", "");
  for (int code = 0; code <= 255; ++code) {
    std::string value = LookUpSetting(entries, std::to_string(code), "");
    if (!value.empty() && (platform::KeyState(code) & 0x8000) != 0) name = value;
  }
  return name;
}
