// Where a run reads pagrimo.ini and its templates: the portable copy's own
// folder, the user's settings folder, or the installation's shared folder.
#pragma once

#include <functional>
#include <string>
#include <vector>

/// The first of candidates for which holdsSettings is true; the first
/// candidate when none is (the program's own folder, where the program has
/// always looked); empty when there are no candidates.
std::string PickSettingsFolder(const std::vector<std::string>& candidates,
                               const std::function<bool(const std::string&)>& holdsSettings);

/// True when folder holds a plain file (or a link to one) named pagrimo.ini.
bool HoldsSettingsFile(const std::string& folder);

/// The folder of this run's settings among platform::SettingsFolderCandidates(),
/// without a trailing separator. Template names are relative to it.
std::string SettingsFolder();
