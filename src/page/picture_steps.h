// The picture placeholders of the file item: thumbnails, displayed sizes and
// the date a photo was taken, expanded after the other steps of the item.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "collect/images.h"
#include "collect/thumbnails.h"

/// What a file item text asks of its pictures: thumbnails when it holds
/// [thumb] [thumb\] [thumb%] [thumb&] [thumbwidth] or [thumbheight] (their
/// longest side thumbSize); previews when it holds [preview] [preview\]
/// [preview%] [preview&] [previewwidth] or [previewheight] and previewSize
/// (their longest side) is not 0; facts when it holds [width] [height] or
/// [exifdate] or [duration], or a preview placeholder with previews off;
/// captions when it holds [caption] [caption\] [caption%] or [caption&].
ThumbnailWants PictureWantsOf(const std::string& fileItemText, std::int32_t thumbSize,
                              std::int32_t previewSize);

/// Where the notes of each picture of a page are: per image (in list order) its folder's
/// number in the thumbnail work and its position there; and those folders.
struct PagePictures {
  std::vector<std::pair<int, int>> refs;
  std::vector<int> folders;
};

/// Queues the work for the images of a page (as collected for folderPath,
/// which ends in the separator; names below subfolders carry their path).
/// Nothing is written into folders reached through a link.
void PreparePagePictures(ThumbnailWork& work, const std::string& folderPath,
                         const ImageList& images, PagePictures& pictures);

/// Waits for the page's pictures; false when the user cancelled.
bool FinishPagePictures(ThumbnailWork& work, const PagePictures& pictures);

/// What [thumb] gives for a listed file: its thumbnail's path relative to
/// the page (fileName is relative to it too), else the picture itself, and
/// for a video without a poster nothing.
std::string ThumbPath(const std::string& fileName, const PictureNotes& notes);

/// Replaces [kind] in an expanded file item by "video" or "picture".
void ExpandKind(std::string& item, bool video);

/// Expands, in this order, [thumb] [thumb\] [thumb%] [thumb&] [thumbwidth]
/// [thumbheight], the same six of [preview], then [width] [height]
/// [duration] [exifdate], then [caption] [caption\] [caption%] [caption&]
/// in an expanded file item. Without a thumbnail,
/// [thumb] is the picture's own path, and without a preview copy [preview];
/// a video's copies are of its poster: without a poster [thumb] is empty,
/// and without a preview copy [preview] is [thumb]. Unknown sizes are
/// empty; [duration] is a video's length ("0:07"), empty for a picture or
/// an unknown length; [exifdate] falls back to the file's time; [caption] is
/// CaptionOf the notes, one line of plain text (its "&" form is for HTML), empty
/// when the picture has none. False, with
/// a failure text, when the file's time is needed but could not be read.
bool ExpandPictureItem(std::string& item, const std::string& folderPath,
                       const std::string& fileName, const PictureNotes& notes,
                       std::string& failure);
