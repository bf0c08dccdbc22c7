// Which kind of picture a file holds, by its first bytes: the part of the
// decoding both media engines share (only known kinds reach the codecs).
// Portable code.
#pragma once

#include <cstddef>
#include <string>

namespace platform {

enum class PictureKind { kUnknown, kJpeg, kPng, kGif, kBmp, kWebp, kHeif, kAvif };

/// The bytes SniffPicture needs at most: enough for a HEIF file's brands.
inline constexpr std::size_t kSniffBytes = 64;

/// The kind of picture whose file starts with the size bytes at head. HEIF
/// and AVIF files are told by the brands of their leading "ftyp" box (the
/// major brand first, then the compatible ones: "avif"/"avis" for AVIF,
/// "heic", "heix", "hevc", "hevx", "heim", "heis", "hevm", "hevs", and the generic
/// "mif1", "msf1", "mif2" and "miaf" for HEIF), WebP by its RIFF header.
PictureKind SniffPicture(const unsigned char* head, std::size_t size);

/// The reason given for a file that is no picture of a kind the engines
/// decode: "the file is empty" for no bytes.
std::string NotAPictureReason(std::size_t size);

}  // namespace platform
