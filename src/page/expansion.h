// Placeholder expansion: the three tables that turn a template's sections
// into a page's text, in their order. Values inserted by a step are searched
// by the later steps, so placeholders inside folder and file names can
// multiply a page; what they add is taken from a growth budget, and an
// expansion that would overdraw it ends with nothing instead of exhausting
// memory. What the template's own placeholders bring is never limited.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

/// A folder item: [reldir] [relfile] [dir] [file], their "\" twins, their URL
/// forms ("%") and their HTML forms ("&"), in that order. folderPath ends in
/// the separator; link is the sub-page's relative link.
///
/// Every expansion may take growthLeft, the bytes that placeholders inside
/// inserted values may still add (kMaxGrowthBytes for a page, shared by its
/// items; null gives the call a budget of its own). Nothing (std::nullopt,
/// or ItemResult::kTooLarge) when they would add more.
std::optional<std::string> ExpandFolderItem(const std::string& text, const std::string& folderPath,
                                            const std::string& name, const std::string& link,
                                            std::size_t* growthLeft = nullptr);

/// How the expansion of a file item ended.
enum class ItemResult {
  kDone,
  kUnreadable,  // the file's size or time cannot be read; failure says why
  kTooLarge     // the growth budget would be overdrawn
};

/// A file item: [path] [numfile] [fileid] [numfile-] [fileid-] [filename]
/// [filesize] [filedate] [filesizetext] [path\] [filename\] [path%]
/// [filename%] [path&] [filename&]. The file is read for its size and time
/// only when the text still holds those placeholders, and then once. result
/// is set when the item is done.
ItemResult ExpandFileItem(const std::string& text, const std::string& folderPath,
                          const std::string& fileName, std::int32_t fileId, std::int32_t fileCount,
                          std::string& result, std::string& failure,
                          std::size_t* growthLeft = nullptr);

/// The page: [path] [path\] [path%] [path&] [numfile] [numdir] [numfile-]
/// [numdir-] [name] [name\] [name%] [name&] [up] [up\] [up%] [up&] [dirlist]
/// [filelist]. [name] is the folder's own name (a root is its own name); up is
/// the link to the parent folder's page, or empty. The steps of [name] and
/// [up] run only when text itself holds one of them, so a path that holds
/// such text stays as it was for a template that uses neither.
std::optional<std::string> ExpandPage(const std::string& text, const std::string& folderPath,
                                      std::int32_t fileCount, std::int32_t folderCount,
                                      const std::string& dirList, const std::string& fileList,
                                      const std::string& up = {},
                                      std::size_t* growthLeft = nullptr);
