#include "platform/picture_kinds.h"

#include <cstring>

namespace platform {
namespace {

// The kind a brand names; "mif1", "msf1", "mif2" and "miaf" (any
// HEIF-structured file, AVIF too) only as generic HEIF.
PictureKind BrandKind(const unsigned char* brand, bool& generic) {
  static const char* const kAvif[] = {"avif", "avis"};
  static const char* const kHeif[] = {"heic", "heix", "hevc", "hevx",
                                      "heim", "heis", "hevm", "hevs"};
  generic = std::memcmp(brand, "mif1", 4) == 0 || std::memcmp(brand, "msf1", 4) == 0 ||
            std::memcmp(brand, "mif2", 4) == 0 || std::memcmp(brand, "miaf", 4) == 0;
  if (generic) return PictureKind::kHeif;
  for (const char* name : kAvif)
    if (std::memcmp(brand, name, 4) == 0) return PictureKind::kAvif;
  for (const char* name : kHeif)
    if (std::memcmp(brand, name, 4) == 0) return PictureKind::kHeif;
  return PictureKind::kUnknown;
}

// The kind named by an ISO base media file's brands: the major brand when it
// names one specifically, else AVIF before HEIF among all brands (an AVIF
// file lists "mif1" too).
PictureKind IsoKind(const unsigned char* head, std::size_t size) {
  if (size < 16 || std::memcmp(head + 4, "ftyp", 4) != 0) return PictureKind::kUnknown;
  std::size_t box = static_cast<std::size_t>(head[0]) << 24 |
                    static_cast<std::size_t>(head[1]) << 16 |
                    static_cast<std::size_t>(head[2]) << 8 | head[3];
  if (box < 16) return PictureKind::kUnknown;
  bool generic = false;
  PictureKind found = BrandKind(head + 8, generic);
  if (found != PictureKind::kUnknown && !generic) return found;
  std::size_t end = box < size ? box : size;
  for (std::size_t at = 16; at + 4 <= end; at += 4) {
    PictureKind kind = BrandKind(head + at, generic);
    if (kind == PictureKind::kAvif) return kind;
    if (kind == PictureKind::kHeif) found = kind;
  }
  return found;
}

}  // namespace

PictureKind SniffPicture(const unsigned char* head, std::size_t size) {
  if (size >= 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF) return PictureKind::kJpeg;
  if (size >= 8 && std::memcmp(head, "\x89PNG\r\n\x1a\n", 8) == 0) return PictureKind::kPng;
  if (size >= 6 && (std::memcmp(head, "GIF87a", 6) == 0 || std::memcmp(head, "GIF89a", 6) == 0))
    return PictureKind::kGif;
  if (size >= 2 && head[0] == 'B' && head[1] == 'M') return PictureKind::kBmp;
  if (size >= 12 && std::memcmp(head, "RIFF", 4) == 0 && std::memcmp(head + 8, "WEBP", 4) == 0)
    return PictureKind::kWebp;
  return IsoKind(head, size);
}

std::string NotAPictureReason(std::size_t size) {
  return size == 0 ? "the file is empty"
                   : "the file is not a GIF, JPEG, PNG, BMP, WebP, HEIF or AVIF picture";
}

}  // namespace platform
