// The page generator: collects a folder's pictures (and in listing mode 2 its
// subfolders' pages), expands the template's sections with them and writes
// the page file, or in listing mode 2 one page per folder.
#pragma once

#include <string>
#include <vector>

#include "config/template_file.h"

/// Where a page stands: for the starting folder, or for a folder below it
/// (page naming 2 names only the top page index.html).
enum class PagePlace { kTop, kBelow };

/// Writes the page of folder (and in listing mode 2 those below it, children
/// first) when it has something to show, and sets pageFileName to its name;
/// leaves it empty when nothing was written. False, with a failure text
/// ("cannot ... PATH: reason"), when a page cannot be built or written; pages
/// written before stay, and the failed page's previous content is kept.
bool BuildPage(const TemplateSet& set, const std::string& folder, PagePlace place,
               std::string& pageFileName, std::string& failure);

/// BuildPage, and when the file item shows thumbnails, picture sizes or dates,
/// makes and reads them on the way (set.thumbSize the thumbnails' longest
/// side). notices gets the lines to report of a run that went on (pictures
/// without a thumbnail, folders where none could be written). When the user
/// cancels the progress, cancelled is set and false returned, with no failure
/// text: the thumbnails made so far stay, and no further page is written.
bool BuildPage(const TemplateSet& set, const std::string& folder, PagePlace place,
               std::string& pageFileName, std::string& failure, std::vector<std::string>& notices,
               bool& cancelled);
