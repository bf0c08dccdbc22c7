// What a picture's headers tell without decoding it: its size, its
// orientation, the date it was taken and its caption. GIF, JPEG, PNG, BMP, WebP, and HEIF
// and AVIF (the ISO boxes, in heif_facts.cpp; WebP in webp_facts.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "collect/captions.h"
#include "collect/photo_dates.h"

enum class PictureFormat { kUnknown, kGif, kJpeg, kPng, kBmp, kWebp, kHeif, kAvif };

/// A part of the file a reader still wants (at is -1 when none).
struct PictureRead {
  std::int64_t at = -1;
  std::uint32_t length = 0;
};

/// The facts of one picture. Sizes are in pixels; orientation is a value
/// 1..8 as EXIF counts them (1 when absent or invalid), and width/height are
/// the displayed size, that is the stored one swapped for orientations 5 to 8.
/// For JPEG, PNG and WebP the orientation is the EXIF tag's. For HEIF and
/// AVIF it is what the file's own irot and imir transformations amount to,
/// and an EXIF tag inside them never counts (decoders apply irot and imir
/// themselves, so decoded pixels are already upright); storedWidth/Height is
/// the primary image's ispe (a grid's output size) cut by its clap crop.
/// taken is the date that counts of PhotoDates (EXIF DateTimeOriginal, XMP,
/// IPTC, EXIF DateTime) as "YYYY:MM:DD HH:MM:SS"; empty when none holds a
/// valid date, and then takenTime is all zero. caption is the one that
/// counts of captions (BestCaption), "" when there is none.
struct PictureFacts {
  PictureFormat format = PictureFormat::kUnknown;
  std::uint32_t storedWidth = 0, storedHeight = 0;
  int orientation = 1;
  std::uint32_t width = 0, height = 0;
  bool transparency = false;  // PNG alpha or tRNS; GIF transparent colour; WebP, HEIF alpha
  bool animated = false;      // a WebP animation (its size is the canvas's)
  std::string taken;
  CivilTime takenTime;
  std::string caption;
  bool exifRead = false;  // the first EXIF block was read; later ones count not
  // What the readers carry from one call to the next.
  PhotoDates dates;
  PhotoCaptions captions;
  bool xmpRead = false, iptcRead = false;
  PictureRead exifItem, xmpItem;  // HEIF metadata items further in the file
};

enum class PictureStatus {
  kDone,      // the facts are complete
  kNeedMore,  // call again with the bytes at offset (at least count of them)
  kUnknown    // not a picture of a known kind, or its header is broken
};

struct PictureScan {
  PictureStatus status = PictureStatus::kUnknown;
  std::int64_t offset = 0;
  std::size_t count = 0;
};

/// Bytes worth reading first: enough for every header but a JPEG's whose
/// frame header follows large application segments.
inline constexpr std::size_t kPictureHeadBytes = 65536;

/// Reads the facts from bytes of a file that start at file offset `offset`.
/// Start with offset 0 and the file's first bytes (kPictureHeadBytes is
/// plenty); on kNeedMore call again with the same facts and the file's bytes
/// at the offset asked for (count of them or more), which always lies beyond
/// the previous one. Fewer bytes than asked mean the file ends there. Any
/// input is safe: every read is bounds-checked and every loop advances.
PictureScan ParsePictureFacts(std::string_view bytes, std::int64_t offset, PictureFacts& facts);

/// Reads a picture file's facts, reading its head and further only as needed.
/// False, with a reason, when the file cannot be read or is not a picture of a
/// known kind with a readable size.
bool ReadPictureFacts(const std::string& path, PictureFacts& facts, std::string& reason);
