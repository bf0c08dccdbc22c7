#include "config/settings.h"

#include "platform/plain_text.h"
#include "platform/platform.h"
#include "text/paths.h"

std::string LookUpSetting(const SettingsEntries& entries, const std::string& key,
                          const std::string& defaultValue) {
  for (const auto& [name, value] : entries) {
    if (platform::EqualIgnoringAsciiCase(name, key)) return value.substr(0, kMaxSettingBytes);
  }
  return defaultValue.substr(0, kMaxSettingBytes);
}

std::string ReadProfileString(const std::string& section, const std::string& key,
                              const std::string& defaultValue, const std::string& path) {
  return LookUpSetting(platform::ReadSettingsSection(path, section), key, defaultValue);
}

std::string ReadSortSetting(const std::string& settingsFolder) {
  return ReadProfileString("Pagrimo", "sort", "",
                           WithTrailingSeparator(settingsFolder) + "pagrimo.ini");
}

std::string ReadLanguageSetting(const std::string& settingsFolder) {
  return ReadProfileString("Pagrimo", "language", "",
                           WithTrailingSeparator(settingsFolder) + "pagrimo.ini");
}

std::string ChooseTemplateName(const std::string& settingsFolder) {
  std::string path = WithTrailingSeparator(settingsFolder) + "pagrimo.ini";
  // One read of the section serves all 257 look-ups.
  SettingsEntries entries = platform::ReadSettingsSection(path, "Pagrimo");
  std::string name = LookUpSetting(entries, "default", "");
  for (int code = 0; code <= 255; ++code) {
    std::string value = LookUpSetting(entries, std::to_string(code), "");
    if (!value.empty() && platform::IsKeyHeld(code)) name = value;
  }
  return name;
}
