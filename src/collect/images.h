// Collecting the image files of a folder, or of its whole tree.
#pragma once

#include <string>

#include "collect/walk.h"
#include "text/names.h"
#include "text/picture_types.h"

/// Image names relative to the collected folder. Names below subfolders
/// carry their path, each subfolder name followed by the separator.
using ImageList = NameList;

/// True when the name ends in one of types (the "pictures" setting; without
/// it .gif, .jpg, .jpeg, .png or .bmp), in any case.
bool IsImageName(const std::string& name, const PictureTypes& types = DefaultPictureTypes());

/// Images are the files whose names have one of types (see IsImageName).
/// Replaces list with the images of folder. With recurse, the entries of the
/// subfolders come first, subfolder by subfolder in sorted order, then the
/// folder's own images sorted by name. A folder that is its own ancestor on
/// the current path (a link cycle) is not entered again, nor is a folder deeper
/// than kMaxFolderDepth; a folder is entered through links once only.
/// order, the sort setting, replaces the name order where it is given:
/// SortNamesBy for subfolders, and SortByTaken for pictures by date.
void CollectImages(const std::string& folder, ImageList& list, bool recurse, SortOrder order = {},
                   const PictureTypes& types = DefaultPictureTypes());

/// Lists, in one enumeration of folder, its subfolders (links to folders
/// included; hidden ones, "." and ".." never) and its own images (as
/// CollectImages does without recursion), both sorted (by order, as
/// CollectImages sorts). Either list may be left unchanged by passing nullptr.
void ScanFolder(const std::string& folder, NameList* subfolders, ImageList* images,
                SortOrder order = {}, const PictureTypes& types = DefaultPictureTypes());

/// True when CollectImages would find at least one image; stops at the first.
/// With LinkRule::kNever, links to folders are not entered, as listing mode 2
/// writes no page for them.
bool HasAnyImage(const std::string& folder, bool recurse, LinkRule links = LinkRule::kEnterOnce,
                 const PictureTypes& types = DefaultPictureTypes());
