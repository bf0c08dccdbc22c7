// The album placeholders of the folder item (listing mode 2): a subfolder's
// cover and the number of pictures and videos its page lists, known because
// the subfolders' pages are written before their parent's.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "collect/images.h"

/// What a folder's page gives the folder item that links to it: how many
/// files it lists, and its cover: the thumbnail's path relative to that
/// folder (empty: no cover) with its pixel size.
struct AlbumFacts {
  std::int32_t count = 0;
  std::string cover;
  std::int32_t coverWidth = 0, coverHeight = 0;
};

/// What a folder item text asks: covers when it holds [cover] [cover\]
/// [cover%] [cover&] [coverwidth] or [coverheight] (they need thumbnails);
/// counts when it holds [count].
struct AlbumWants {
  bool covers = false;
  bool counts = false;
  bool Any() const { return covers || counts; }
};
AlbumWants AlbumWantsOf(const std::string& folderItemText);

/// A listed file's thumbnail path relative to the page's folder, with its
/// size, or an empty path when it has nothing to show (see ExpandPictureItem).
struct ThumbOf {
  std::string path;
  std::int32_t width = 0, height = 0;
};

/// Chooses a folder's cover: its own picture or video named "folder" or
/// "cover" (that order; any listed extension, ASCII letter case ignored),
/// else the first of images (its page's order) that has a thumbnail to show,
/// else the cover of the first of subfolders (its subfolders' facts, in the
/// order of its folder list, each with name) that has one, its path then
/// behind that subfolder's name; else none. thumb gives the k-th image's.
void ChooseCover(const ImageList& images, const std::function<ThumbOf(size_t)>& thumb,
                 const std::vector<std::string>& subfolderNames,
                 const std::vector<AlbumFacts>& subfolders, AlbumFacts& facts);

/// Expands [count] [coverwidth] [coverheight], then [cover] [cover\]
/// [cover%] [cover&] in an expanded folder item of the subfolder name; the
/// cover's path is made relative to the page by the subfolder's name.
/// Unknown sizes are empty.
void ExpandAlbumItem(std::string& item, const std::string& name, const AlbumFacts& facts);
