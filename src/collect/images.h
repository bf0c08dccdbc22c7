// Collecting the image files of a folder, or of its whole tree.
#pragma once

#include <string>

#include "collect/subfolders.h"

/// Image names relative to the collected folder, in the shape of NameList:
/// slot 0 empty, entries 1..n. Names below subfolders carry their path, each
/// subfolder name followed by the separator.
using ImageList = NameList;

/// Folders nested deeper than this below the starting folder are not entered,
/// so the recursion's stack and the paths it builds stay bounded. It is twice
/// the depth of the deepest path that fits in Linux's PATH_MAX (2,048 one-byte
/// names); deeper paths than PATH_MAX work, up to this depth.
inline constexpr size_t kMaxFolderDepth = 4096;

/// True when the name ends in .gif, .jpg, .jpeg, .png or .bmp in any case.
bool IsImageName(const std::string& name);

/// Replaces list with the images of folder. With recurse, the entries of the
/// subfolders come first, subfolder by subfolder in sorted order, then the
/// folder's own images sorted by name. A folder that is its own ancestor on
/// the current path (a link cycle) is not entered again, nor is a folder deeper
/// than kMaxFolderDepth; a folder is entered through links once only.
void CollectImages(const std::string& folder, ImageList& list, bool recurse);

/// Lists, in one enumeration of folder, its subfolders (as ListSubfolders does)
/// and its own images (as CollectImages does without recursion), both sorted.
/// Either list may be left unchanged by passing nullptr.
void ScanFolder(const std::string& folder, NameList* subfolders, ImageList* images);

/// True when CollectImages would find at least one image; stops at the first.
/// Without followLinks, links to folders are not entered, as listing mode 2
/// writes no page for them.
bool HasAnyImage(const std::string& folder, bool recurse, bool followLinks = true);
