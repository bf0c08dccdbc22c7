// HEIF and AVIF: the Exif and XMP items of the primary image, read where
// they lie once the meta box has told where that is.
#include <algorithm>

#include "collect/picture_reading.h"

namespace picture_reading {
namespace {

void ReadItem(Bytes data, bool exif, PictureFacts& facts) {
  if (!exif) {
    facts.xmpRead = true;
    ReadXmpDates(data, facts.dates);
    ReadXmpCaptions(data, facts.captions);
    return;
  }
  // The item starts with the offset of the TIFF header after these 4 bytes.
  std::uint32_t skip = 0;
  if (!Get32(data, 0, true, skip)) {
    facts.exifRead = true;
    return;
  }
  Bytes tiff = skip <= data.size() - 4 ? data.substr(4 + skip) : Bytes();
  if (tiff.substr(0, 2) != "II" && tiff.substr(0, 2) != "MM" &&
      data.substr(4, 6) == Bytes("Exif\0\0", 6)) {
    tiff = data.substr(10);
  }
  ReadExif(tiff, facts, false);  // the HEIF transformations alone turn it
}

// The metadata items, in file order, each read where it lies; one that lies
// before the bytes at hand is given up (reads only move forward).
}  // namespace

PictureScan ReadHeifItems(Bytes b, std::int64_t offset, PictureFacts& facts) {
  std::int64_t next = -1;
  std::uint32_t count = 0;
  for (int i = 0; i < 2; ++i) {
    PictureRead& read = i == 0 ? facts.exifItem : facts.xmpItem;
    if (read.at < 0) continue;
    if (read.at < offset) {
      read.at = -1;
      continue;
    }
    std::uint64_t from = static_cast<std::uint64_t>(read.at - offset);
    // At hand whole, or where it was asked for: as much as the file holds.
    if (from == 0 || (from <= b.size() && b.size() - from >= read.length)) {
      ReadItem(b.substr(static_cast<std::size_t>(from), read.length), i == 0, facts);
      read.at = -1;
    } else if (next < 0 || read.at < next) {
      next = read.at;
      count = read.length;
    }
  }
  if (next < 0) return Done();
  return More(offset, static_cast<std::size_t>(next - offset), count, true);
}

}  // namespace picture_reading
