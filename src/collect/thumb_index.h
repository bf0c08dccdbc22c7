// The index of a thumbnail folder: one line per picture of the folder with
// what was learned about it (its size and time when it was looked at, its
// thumbnail and its preview, its displayed size and the date it was taken),
// so that a later run over unchanged pictures opens none of them.
#pragma once

#include <cstdint>
#include <map>
#include <string>

/// The name of the hidden folder beside the pictures that holds their
/// thumbnails, and of its index file.
inline constexpr char kThumbnailFolderName[] = ".thumbs";
inline constexpr char kThumbnailIndexName[] = "index";

/// True for the thumbnail folder's name in any ASCII letter case: it is never
/// listed, even where it lacks the hidden attribute (a tree copied to Windows).
bool IsThumbnailFolderName(const std::string& name);

/// What a thumbnail folder knows of one picture.
struct PictureRecord {
  std::int64_t size = 0;       // the picture's size and modification time when
  std::int64_t modified = 0;   // it was looked at
  std::int32_t thumbSize = 0;  // the thumbsize its thumbnail was made for; 0: none
  char thumbKind = '-';        // 'j' JPEG thumbnail, 'p' PNG, 'b' undecodable, '-' none
  std::int32_t thumbWidth = 0;
  std::int32_t thumbHeight = 0;
  std::int32_t width = -1;  // displayed size (after EXIF orientation); -1: unknown
  std::int32_t height = -1;
  std::string taken;             // "YYYY:MM:DD HH:MM:SS" from EXIF, or empty
  std::int32_t previewSize = 0;  // the previewsize its preview was judged for; 0: none
  char previewKind = '-';        // 'j' JPEG preview, 'p' PNG, 'o' the picture is its own, '-' none
  std::int32_t previewWidth = 0;
  std::int32_t previewHeight = 0;
  bool video = false;           // a video, whose copies are of its poster frame
  std::int64_t durationMs = 0;  // a video's length; 0: unknown
  std::string caption{};        // the picture's own caption (PictureFacts), or empty
  bool captionKnown = true;     // false: the record is older than captions, none looked for
  bool operator==(const PictureRecord&) const = default;
};

/// Records by the picture's bare name.
using PictureIndex = std::map<std::string, PictureRecord>;

/// The index file's text: a first line naming the format, then one line per
/// record in name order, fields separated by tabs; in names and dates the
/// bytes below 0x20 and "%" are written as %XX. The four preview fields
/// follow only in records with a preview (kind other than '-'), so an index
/// without previews reads as it always has. A video's record has them always
/// (kind '-' and size 0 without a preview), then the tagged field "v" and
/// its length in milliseconds. A record with a caption has them too, and
/// the tagged field "c" and the caption escaped as names are; a record
/// without one reads as it always has. The line "captions" after the first
/// says that every record was written with its caption looked for (it is
/// left out while any record has captionKnown false); without it (an index
/// of an older version) a record without a caption has captionKnown false.
/// The same index always gives the same text.
std::string FormatPictureIndex(const PictureIndex& index);

/// Reads an index file's text; lines that cannot be read are left out, and a
/// text of another format gives an empty index.
PictureIndex ParsePictureIndex(const std::string& text);

/// The file name of a picture's thumbnail inside the thumbnail folder: the
/// picture's full name followed by ".jpg" or ".png" (kind 'j' or 'p').
std::string ThumbnailFileName(const std::string& pictureName, char thumbKind);

/// The file name of a picture's preview inside the thumbnail folder: the
/// picture's full name followed by ".preview.jpg" or ".preview.png".
std::string PreviewFileName(const std::string& pictureName, char previewKind);
