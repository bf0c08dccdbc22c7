// The page generator: expands the template's sections with a folder's data
// and writes the page file, or in listing mode 2 one page per folder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "config/template_file.h"

/// A folder item: [reldir] [relfile] [dir] [file], their "\" twins, their URL
/// forms ("%") and their HTML forms ("&"), in that order. folderPath ends in
/// the separator; link is the sub-page's relative link.
///
/// Every expansion may take growthLeft, the bytes that placeholders inside
/// inserted values may still add (kMaxGrowthBytes for a page, shared by its
/// items; null gives the call a budget of its own), and throws
/// std::length_error when they would add more. What the text's own
/// placeholders bring is never limited.
std::string ExpandFolderItem(const std::string& text, const std::string& folderPath,
                             const std::string& name, const std::string& link,
                             std::size_t* growthLeft = nullptr);

/// A file item: [path] [numfile] [fileid] [numfile-] [fileid-] [filename]
/// [filesize] [filedate] [path\] [filename\] [path%] [filename%] [path&]
/// [filename&]. The file is read for its size and
/// time only when the text still holds those placeholders. False, with a
/// failure text, when the file cannot be read.
bool ExpandFileItem(const std::string& text, const std::string& folderPath,
                    const std::string& fileName, std::int32_t fileId, std::int32_t fileCount,
                    std::string& result, std::string& failure, std::size_t* growthLeft = nullptr);

/// The page: [path] [path\] [path%] [path&] [numfile] [numdir] [numfile-]
/// [numdir-] [name] [name\] [name%] [name&] [up] [up\] [up%] [up&] [dirlist]
/// [filelist]. [name] is the folder's own name (a root is its own name); up is
/// the link to the parent folder's page, or empty. The steps of [name] and
/// [up] run only when text itself holds one of them.
std::string ExpandPage(const std::string& text, const std::string& folderPath,
                       std::int32_t fileCount, std::int32_t folderCount, const std::string& dirList,
                       const std::string& fileList, const std::string& up = {},
                       std::size_t* growthLeft = nullptr);

/// Writes the page of folder (and in listing mode 2 those below it, children
/// first) when it has something to show, and sets pageFileName to its name;
/// leaves it empty when nothing was written. isTop marks the starting folder.
/// False, with a failure text, when a page cannot be built or written; pages
/// written before stay, and the failed page's previous content is kept.
bool BuildPage(const TemplateSet& set, const std::string& folder, bool isTop,
               std::string& pageFileName, std::string& failure);

/// BuildPage, and when the file item shows thumbnails, picture sizes or dates,
/// makes and reads them on the way (set.thumbSize the thumbnails' longest
/// side). notices gets the lines to report of a run that went on (pictures
/// without a thumbnail, folders where none could be written). When the user
/// cancels the progress, cancelled is set and false returned, with no failure
/// text: the thumbnails made so far stay, and no further page is written.
bool BuildPage(const TemplateSet& set, const std::string& folder, bool isTop,
               std::string& pageFileName, std::string& failure, std::vector<std::string>& notices,
               bool& cancelled);
