// What the picture header readers (picture_facts.cpp, exif_facts.cpp,
// webp_facts.cpp, heif_facts.cpp) share: bounds-checked number readers, the
// answers of a scan, and each format's entry points. For those files only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "collect/picture_facts.h"

namespace picture_reading {

using Bytes = std::string_view;

/// Fixed-size unsigned numbers at b[at]; false (value untouched) when the
/// bytes are not all there.
inline bool GetNumber(Bytes b, std::uint64_t at, int size, bool bigEndian, std::uint64_t& value) {
  if (at > b.size() || b.size() - at < static_cast<std::uint64_t>(size)) return false;
  std::uint64_t v = 0;
  for (int i = 0; i < size; ++i) {
    std::uint64_t byte = static_cast<unsigned char>(b[at + (bigEndian ? i : size - 1 - i)]);
    v = v << 8 | byte;
  }
  value = v;
  return true;
}

inline bool Get16(Bytes b, std::uint64_t at, bool bigEndian, std::uint32_t& value) {
  std::uint64_t v = 0;
  if (!GetNumber(b, at, 2, bigEndian, v)) return false;
  value = static_cast<std::uint32_t>(v);
  return true;
}

inline bool Get32(Bytes b, std::uint64_t at, bool bigEndian, std::uint32_t& value) {
  std::uint64_t v = 0;
  if (!GetNumber(b, at, 4, bigEndian, v)) return false;
  value = static_cast<std::uint32_t>(v);
  return true;
}

/// The byte at `at`, which the caller has checked is there.
inline unsigned Byte(Bytes b, std::size_t at) { return static_cast<unsigned char>(b[at]); }

inline PictureScan Done() { return {PictureStatus::kDone, 0, 0}; }
inline PictureScan Unknown() { return {PictureStatus::kUnknown, 0, 0}; }

/// Asks for count bytes at offset + at. A request that does not move past the
/// offset the bytes began at means those bytes ended the file: nothing more
/// will come, and the picture ends there with what is known (or unknown).
inline PictureScan More(std::int64_t offset, std::size_t at, std::size_t count,
                        bool completeAtEnd) {
  if (at == 0) return completeAtEnd ? Done() : Unknown();
  return {PictureStatus::kNeedMore, offset + static_cast<std::int64_t>(at), count};
}

/// Reads an EXIF TIFF block for the dates (into facts.dates) and, when
/// orientationCounts, the orientation; marks facts.exifRead.
void ReadExif(Bytes tiff, PictureFacts& facts, bool orientationCounts);

/// WebP: bytes from the file's start (RIFF header) or, on a continuation,
/// from offset, where a chunk begins.
PictureScan StartWebp(Bytes b, PictureFacts& facts);
PictureScan WalkWebp(Bytes b, std::int64_t offset, PictureFacts& facts);

/// True when the file's first box is an ftyp naming a HEIF or AVIF brand;
/// sets facts.format.
bool IsHeif(Bytes b, PictureFacts& facts);

/// The metadata items facts.exifItem and xmpItem, in file order, each read
/// where it lies (heif_items.cpp); one before the bytes at hand is given up.
PictureScan ReadHeifItems(Bytes b, std::int64_t offset, PictureFacts& facts);

/// HEIF and AVIF: bytes from offset (0 at the start), where a top-level box
/// or a metadata item asked for begins.
PictureScan WalkHeif(Bytes b, std::int64_t offset, PictureFacts& facts);

}  // namespace picture_reading
