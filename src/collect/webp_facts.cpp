// WebP: a RIFF file of chunks. A simple file holds one frame, lossy ("VP8 ")
// or lossless ("VP8L"); an extended one starts with "VP8X", which gives the
// canvas size and flags for alpha, animation and the EXIF and XMP chunks.
#include <algorithm>

#include "collect/picture_reading.h"

namespace picture_reading {
namespace {

constexpr unsigned kAnimationFlag = 0x02, kXmpFlag = 0x04, kExifFlag = 0x08, kAlphaFlag = 0x10;
constexpr std::uint32_t kMaxMetadataChunk = 1 << 20;  // read whole; larger ones are passed by

std::uint32_t Get24(Bytes b, std::size_t at) {
  std::uint64_t value = 0;
  GetNumber(b, at, 3, false, value);
  return static_cast<std::uint32_t>(value);
}

void ReadChunk(Bytes type, Bytes data, PictureFacts& facts) {
  if (type == "EXIF") {
    // The TIFF block itself; some writers put JPEG's "Exif\0\0" before it.
    if (data.substr(0, 6) == Bytes("Exif\0\0", 6)) data.remove_prefix(6);
    // As for JPEG, the EXIF orientation counts: decoders turn WebP by it.
    ReadExif(data, facts, true);
  } else {
    facts.xmpRead = true;
    ReadXmpDates(data, facts.dates);
    ReadXmpCaptions(data, facts.captions);
  }
}

// The chunks from b[pos] on (b begins at file offset `offset`), up to the
// wanted metadata; facts.exifRead and xmpRead tell what is no longer wanted.
PictureScan Walk(Bytes b, std::size_t pos, std::int64_t offset, PictureFacts& facts) {
  while (!facts.exifRead || !facts.xmpRead) {
    std::uint32_t size = 0;
    if (!Get32(b, pos + 4, false, size)) return More(offset, pos, 8, true);
    Bytes type = b.substr(pos, 4);
    std::uint64_t next = pos + std::uint64_t{8} + size + (size & 1);
    bool wanted = (type == "EXIF" && !facts.exifRead) || (type == "XMP " && !facts.xmpRead);
    if (wanted && size <= kMaxMetadataChunk) {
      if (pos + std::uint64_t{8} + size > b.size()) return More(offset, pos, 8 + size, true);
      ReadChunk(type, b.substr(pos + 8, size), facts);
    }
    if (next > b.size()) return More(offset, static_cast<std::size_t>(next), 8, true);
    pos = static_cast<std::size_t>(next);
  }
  return Done();
}

}  // namespace

PictureScan StartWebp(Bytes b, PictureFacts& facts) {
  Bytes type = b.substr(12, 4);
  std::uint32_t size = 0;
  if (!Get32(b, 16, false, size)) return Unknown();
  Bytes data = b.substr(20, std::min<std::size_t>(size, 32));
  std::uint32_t width = 0, height = 0;
  if (type == "VP8 ") {
    // A key frame's tag (bit 0 clear), the start code, then 14-bit sizes.
    if (data.size() < 10 || (Byte(data, 0) & 1) != 0 || data.substr(3, 3) != "\x9D\x01\x2A") {
      return Unknown();
    }
    Get16(data, 6, false, width);
    Get16(data, 8, false, height);
    width &= 0x3FFF;
    height &= 0x3FFF;
  } else if (type == "VP8L") {
    // The signature, then width - 1 and height - 1 in 14 bits each, the
    // alpha hint and a version that must be 0.
    std::uint32_t bits = 0;
    if (data.size() < 5 || Byte(data, 0) != 0x2F || !Get32(data, 1, false, bits)) return Unknown();
    if ((bits >> 29) != 0) return Unknown();
    width = (bits & 0x3FFF) + 1;
    height = ((bits >> 14) & 0x3FFF) + 1;
    facts.transparency = ((bits >> 28) & 1) != 0;
  } else if (type == "VP8X") {
    if (data.size() < 10) return Unknown();
    unsigned flags = Byte(data, 0);
    width = Get24(data, 4) + 1;
    height = Get24(data, 7) + 1;
    facts.transparency = (flags & kAlphaFlag) != 0;
    facts.animated = (flags & kAnimationFlag) != 0;
    // Metadata chunks are read only where the flags announce them.
    facts.exifRead = (flags & kExifFlag) == 0;
    facts.xmpRead = (flags & kXmpFlag) == 0;
  } else {
    return Unknown();
  }
  if (width == 0 || height == 0) return Unknown();
  facts.format = PictureFormat::kWebp;
  facts.storedWidth = width;
  facts.storedHeight = height;
  if (type != "VP8X") return Done();
  return Walk(b, 20 + std::size_t{size} + (size & 1), 0, facts);
}

PictureScan WalkWebp(Bytes b, std::int64_t offset, PictureFacts& facts) {
  return Walk(b, 0, offset, facts);
}

}  // namespace picture_reading
