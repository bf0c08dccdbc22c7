// Asking the user for the target folder.
#pragma once

#include <string>

/// The folder the user chose in the platform's modal folder chooser, titled
/// title; the empty string when the user cancelled or no chooser is available.
std::string BrowseForFolder(const std::string& title);
