// BMP decoding for the POSIX picture engine: vips has no BMP loader of its
// own, so BMPs are decoded here into memory and handed to vips as plain
// pixels.
//
//   1. Little-endian fields and bit-field channels.
//   2. The reader: 1, 4, 8, 16, 24 and 32 bits per pixel, uncompressed or bit
//      fields; the header, the bit-field masks, the palette, then the rows.
#include "platform/posix/bmp.h"

#include <cstdint>
#include <cstring>

namespace platform {
namespace {

// ---- 1. Fields ----------------------------------------------------------------

std::uint32_t Le32(const unsigned char* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::uint16_t Le16(const unsigned char* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

// One channel through a bit-field mask, scaled to 0..255.
unsigned char Channel(std::uint32_t pixel, std::uint32_t mask) {
  if (mask == 0) return 0;
  int shift = 0;
  while (((mask >> shift) & 1) == 0) ++shift;
  std::uint32_t max = mask >> shift;
  return static_cast<unsigned char>(((pixel & mask) >> shift) * 255u / max);
}

}  // namespace

// ---- 2. The reader --------------------------------------------------------------

// Decodes an uncompressed or bit-field BMP into 8-bit RGB or RGBA rows, top
// row first. Alpha is taken only where the file declares an alpha mask.
bool DecodeBmp(const std::string& bytes, std::vector<unsigned char>& pixels, int& width,
               int& height, int& bands, std::string& reason) {
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  size_t size = bytes.size();
  if (size < 26) return reason = "the BMP file is truncated", false;
  std::uint32_t offset = Le32(data + 10);
  std::uint32_t header = Le32(data + 14);
  std::int64_t w = 0, h = 0;
  unsigned bpp = 0, compression = 0, colours = 0;
  size_t paletteEntry = 4;
  if (header == 12) {
    w = Le16(data + 18);
    h = static_cast<std::int16_t>(Le16(data + 20));
    bpp = Le16(data + 24);
    paletteEntry = 3;
  } else if (header >= 40 && size >= 14 + static_cast<size_t>(header)) {
    w = static_cast<std::int32_t>(Le32(data + 18));
    h = static_cast<std::int32_t>(Le32(data + 22));
    bpp = Le16(data + 28);
    compression = Le32(data + 30);
    colours = Le32(data + 46);
  } else {
    return reason = "the BMP header is damaged", false;
  }
  bool topDown = h < 0;
  if (topDown) h = -h;
  if (w <= 0 || h <= 0 || w > 65535 || h > 65535)
    return reason = "the BMP has an impossible size", false;
  // Bit fields: in the header from version 3 on, else right after it.
  std::uint32_t masks[4] = {0, 0, 0, 0};
  bool fields = compression == 3 || compression == 6;
  if (compression != 0 && !fields) return reason = "compressed BMPs are not supported", false;
  if (bpp == 16) {
    masks[0] = 0x7C00, masks[1] = 0x03E0, masks[2] = 0x001F;
  } else if (bpp == 24 || bpp == 32) {
    masks[0] = 0xFF0000, masks[1] = 0xFF00, masks[2] = 0xFF;
  }
  if (fields) {
    size_t at = 14 + 40;
    size_t count = compression == 6 || header >= 56 ? 4 : 3;
    if (at + 4 * count > size) return reason = "the BMP file is truncated", false;
    for (size_t i = 0; i < count; ++i) masks[i] = Le32(data + at + 4 * i);
  } else if (header >= 56 && bpp == 32) {
    masks[3] = Le32(data + 14 + 52);
  }
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
    return reason = "the BMP has an unknown pixel depth", false;
  if (fields && bpp != 16 && bpp != 32) return reason = "the BMP header is damaged", false;
  std::vector<unsigned char> palette;  // RGB triples
  if (bpp <= 8) {
    size_t entries = colours == 0 || colours > (1u << bpp) ? (1u << bpp) : colours;
    size_t at = 14 + header;
    if (at + entries * paletteEntry > size) return reason = "the BMP file is truncated", false;
    palette.assign(3 * (1u << bpp), 0);
    for (size_t i = 0; i < entries; ++i) {
      const unsigned char* e = data + at + i * paletteEntry;
      palette[3 * i] = e[2], palette[3 * i + 1] = e[1], palette[3 * i + 2] = e[0];
    }
  }
  size_t stride = ((static_cast<size_t>(w) * bpp + 31) / 32) * 4;
  if (offset > size || (size - offset) / stride < static_cast<size_t>(h))
    return reason = "the BMP file is truncated", false;
  width = static_cast<int>(w);
  height = static_cast<int>(h);
  bands = masks[3] != 0 ? 4 : 3;
  pixels.assign(static_cast<size_t>(width) * height * bands, 0);
  for (int y = 0; y < height; ++y) {
    const unsigned char* row = data + offset + stride * (topDown ? y : height - 1 - y);
    unsigned char* out = pixels.data() + static_cast<size_t>(y) * width * bands;
    for (int x = 0; x < width; ++x, out += bands) {
      if (bpp <= 8) {
        unsigned bit = static_cast<unsigned>(x) * bpp;
        unsigned index = (row[bit / 8] >> (8 - bpp - bit % 8)) & ((1u << bpp) - 1);
        std::memcpy(out, &palette[3 * index], 3);
        continue;
      }
      std::uint32_t pixel = 0;
      if (bpp == 16) pixel = Le16(row + 2 * x);
      if (bpp == 24) pixel = row[3 * x] | (row[3 * x + 1] << 8) | (row[3 * x + 2] << 16);
      if (bpp == 32) pixel = Le32(row + 4 * x);
      for (int c = 0; c < bands; ++c) out[c] = Channel(pixel, masks[c]);
    }
  }
  return true;
}

}  // namespace platform
