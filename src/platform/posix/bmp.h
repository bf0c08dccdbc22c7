// BMP decoding for the POSIX picture engine. Not part of the seam: nothing
// above src/platform includes it.
#pragma once

#include <string>
#include <vector>

namespace platform {

/// Decodes a whole BMP file's bytes (1, 4, 8, 16, 24 or 32 bits per pixel,
/// uncompressed or bit fields) into 8-bit rows, top row first: bands 3 (RGB)
/// or 4 (RGBA, only where the file declares an alpha mask). False with the
/// reason when the file is truncated, damaged, compressed otherwise or of an
/// impossible size (more than 65535 pixels a side).
bool DecodeBmp(const std::string& bytes, std::vector<unsigned char>& pixels, int& width,
               int& height, int& bands, std::string& reason);

}  // namespace platform
