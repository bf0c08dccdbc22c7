#include "config/settings_folder.h"

#include "platform/platform.h"

std::string PickSettingsFolder(const std::vector<std::string>& candidates,
                               const std::function<bool(const std::string&)>& holdsSettings) {
  for (const std::string& folder : candidates) {
    if (holdsSettings(folder)) return folder;
  }
  return candidates.empty() ? std::string() : candidates.front();
}

bool HoldsSettingsFile(const std::string& folder) {
  // The same test as for a template: a plain file matches the name exactly.
  platform::Enumeration found;
  platform::DirEntry entry;
  return platform::StartEnumeration(found, folder + platform::kSeparator + "pagrimo.ini", 0, entry);
}

std::string SettingsFolder() {
  std::vector<std::string> candidates = platform::SettingsFolderCandidates();
  // A single candidate wins whether or not it holds the file: no need to look.
  if (candidates.size() == 1) return candidates.front();
  return PickSettingsFolder(candidates, HoldsSettingsFile);
}
