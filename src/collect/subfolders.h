// Listing the subfolders of a folder.
#pragma once

#include <string>

#include "text/names.h"

/// Replaces list with the folder's immediate subfolders (links to folders
/// included; hidden ones and "." and ".." never), bare names, sorted.
void ListSubfolders(const std::string& folder, NameList& list);
