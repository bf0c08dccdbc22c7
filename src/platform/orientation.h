// The EXIF orientation of a JPEG, and turning pixels upright by it: the part
// of thumbnailing both ports share. Portable code: the POSIX port reads the
// tag from the APP1 segment libjpeg hands it, the Windows port from the
// file's first bytes when WIC has no metadata reader, and turns pixels itself
// when WIC's flip rotator fails.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace platform {

/// The orientation tag (1..8) of IFD0 in an APP1 payload ("Exif\0\0" and a
/// TIFF structure in either byte order). 1 when the payload is something
/// else, has no tag, or the tag is out of range. Never reads past size.
int ExifOrientation(const unsigned char* payload, std::size_t size);

/// The orientation of a JPEG from its first size bytes: the first APP1 EXIF
/// segment before the picture data, read as ExifOrientation does. 1 when the
/// bytes are no JPEG, hold no such segment or end inside it.
int JpegOrientation(const unsigned char* bytes, std::size_t size);

/// Turns pixels of 4 bytes each (top row first, rows without padding) that
/// are stored with EXIF orientation n upright; for 5 to 8 the width and the
/// height change places. Orientations outside 2..8 leave everything as is.
void TurnUpright(std::vector<std::uint8_t>& pixels, std::uint32_t& width, std::uint32_t& height,
                 int n);

}  // namespace platform
