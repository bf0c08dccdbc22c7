// The settings file pagrimo.ini (see settings_folder.h), and the choice of the
// template file by the keys held down at start.
#pragma once

#include <string>
#include <utility>
#include <vector>

using SettingsEntries = std::vector<std::pair<std::string, std::string>>;

/// Longest value taken from the settings file, in bytes; longer ones are cut.
inline constexpr size_t kMaxSettingBytes = 1023;

/// The value of key in entries (matched without regard to ASCII letter case),
/// cut to kMaxSettingBytes; defaultValue when the key is absent.
std::string LookUpSetting(const SettingsEntries& entries, const std::string& key,
                          const std::string& defaultValue);

/// The value of key in section of the settings file at path, or defaultValue
/// when the file, the section or the key is missing.
std::string ReadProfileString(const std::string& section, const std::string& key,
                              const std::string& defaultValue, const std::string& path);

/// The template file name from settingsFolder's pagrimo.ini: "default" of
/// section "Pagrimo", overridden by the non-empty entry "0".."255" of every
/// held virtual key, the highest code winning. Empty when nothing names a
/// template.
std::string ChooseTemplateName(const std::string& settingsFolder);

/// The "sort" value of section "Pagrimo" in settingsFolder's pagrimo.ini;
/// empty when absent.
std::string ReadSortSetting(const std::string& settingsFolder);

/// The "language" value of section "Pagrimo" in settingsFolder's pagrimo.ini
/// (see ChooseLanguage in text/messages.h); empty when absent.
std::string ReadLanguageSetting(const std::string& settingsFolder);
