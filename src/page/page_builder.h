// The page generator: expands the template's sections with a folder's data
// and writes the page file, or in listing mode 2 one page per folder.
#pragma once

#include <cstdint>
#include <string>

#include "config/template_file.h"

/// A folder item: [reldir] [relfile] [dir] [file], their "\" twins, their URL
/// forms ("%") and their HTML forms ("&"), in that order. folderPath ends in
/// the separator; link is the sub-page's relative link.
std::string ExpandFolderItem(const std::string& text, const std::string& folderPath,
                             const std::string& name, const std::string& link);

/// A file item: [path] [numfile] [fileid] [numfile-] [fileid-] [filename]
/// [filesize] [filedate] [path\] [filename\] [path%] [filename%] [path&]
/// [filename&]. The file is read for its size and
/// time only when the text still holds those placeholders. False, with a
/// failure text, when the file cannot be read.
bool ExpandFileItem(const std::string& text, const std::string& folderPath,
                    const std::string& fileName, std::int32_t fileId, std::int32_t fileCount,
                    std::string& result, std::string& failure);

/// The page: [path] [path\] [path%] [path&] [numfile] [numdir] [numfile-]
/// [numdir-] [name] [name\] [name%] [name&] [up] [up\] [up%] [up&] [dirlist]
/// [filelist]. [name] is the folder's own name (a root is its own name); up is
/// the link to the parent folder's page, or empty. The steps of [name] and
/// [up] run only when text itself holds one of them.
std::string ExpandPage(const std::string& text, const std::string& folderPath,
                       std::int32_t fileCount, std::int32_t folderCount, const std::string& dirList,
                       const std::string& fileList, const std::string& up = {});

/// Writes the page of folder (and in listing mode 2 those below it, children
/// first) when it has something to show, and sets pageFileName to its name;
/// leaves it empty when nothing was written. isTop marks the starting folder.
/// False, with a failure text, when a page cannot be built or written; pages
/// written before stay, and the failed page's previous content is kept.
bool BuildPage(const TemplateSet& set, const std::string& folder, bool isTop,
               std::string& pageFileName, std::string& failure);
