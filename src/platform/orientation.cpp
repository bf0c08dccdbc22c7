#include "platform/orientation.h"

#include <cstring>

namespace platform {

int ExifOrientation(const unsigned char* payload, std::size_t size) {
  if (size < 6 + 8 || std::memcmp(payload, "Exif\0\0", 6) != 0) return 1;
  const unsigned char* tiff = payload + 6;
  std::size_t length = size - 6;
  bool little = tiff[0] == 'I' && tiff[1] == 'I';
  if (!little && !(tiff[0] == 'M' && tiff[1] == 'M')) return 1;
  auto u16 = [&](std::size_t o) {
    return static_cast<unsigned>(little ? tiff[o] | (tiff[o + 1] << 8)
                                        : (tiff[o] << 8) | tiff[o + 1]);
  };
  std::size_t ifd = little ? u16(4) | (static_cast<std::size_t>(u16(6)) << 16)
                           : (static_cast<std::size_t>(u16(4)) << 16) | u16(6);
  if (ifd > length || length - ifd < 2) return 1;
  unsigned count = u16(ifd);
  for (std::size_t i = 0; i < count && (length - ifd - 2) / 12 > i; ++i) {
    std::size_t entry = ifd + 2 + 12 * i;
    if (u16(entry) == 0x0112) {
      unsigned value = u16(entry + 8);
      return value >= 1 && value <= 8 ? static_cast<int>(value) : 1;
    }
  }
  return 1;
}

int JpegOrientation(const unsigned char* p, std::size_t size) {
  if (size < 3 || p[0] != 0xFF || p[1] != 0xD8) return 1;
  std::size_t at = 2;
  while (size - at >= 4 && p[at] == 0xFF) {
    unsigned marker = p[at + 1];
    std::size_t length = (static_cast<std::size_t>(p[at + 2]) << 8) | p[at + 3];
    if (marker == 0xDA || marker == 0xD9 || length < 2) break;  // no EXIF past the pixels
    std::size_t end = at + 2 + length;
    if (end > size) break;
    if (marker == 0xE1 && length >= 8 && std::memcmp(p + at + 4, "Exif\0\0", 6) == 0) {
      return ExifOrientation(p + at + 4, length - 2);
    }
    at = end;
  }
  return 1;
}

void TurnUpright(std::vector<std::uint8_t>& pixels, std::uint32_t& width, std::uint32_t& height,
                 int n) {
  if (n < 2 || n > 8) return;
  std::uint32_t sw = width, sh = height;
  std::uint32_t dw = n >= 5 ? sh : sw, dh = n >= 5 ? sw : sh;
  std::vector<std::uint8_t> turned(pixels.size());
  for (std::uint32_t y = 0; y < dh; ++y) {
    for (std::uint32_t x = 0; x < dw; ++x) {
      // The stored pixel that lands at (x, y) once upright.
      std::uint32_t sx = x, sy = y;
      switch (n) {
        case 2:  // mirrored
          sx = sw - 1 - x;
          break;
        case 3:  // upside down
          sx = sw - 1 - x, sy = sh - 1 - y;
          break;
        case 4:  // mirrored upside down
          sy = sh - 1 - y;
          break;
        case 5:  // mirrored along the main diagonal
          sx = y, sy = x;
          break;
        case 6:  // to be turned a quarter clockwise
          sx = y, sy = sh - 1 - x;
          break;
        case 7:  // mirrored along the other diagonal
          sx = sw - 1 - y, sy = sh - 1 - x;
          break;
        case 8:  // to be turned a quarter anticlockwise
          sx = sw - 1 - y, sy = x;
          break;
      }
      std::memcpy(&turned[(static_cast<std::size_t>(y) * dw + x) * 4],
                  &pixels[(static_cast<std::size_t>(sy) * sw + sx) * 4], 4);
    }
  }
  pixels.swap(turned);
  width = dw;
  height = dh;
}

}  // namespace platform
