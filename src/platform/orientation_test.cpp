#include "platform/orientation.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using platform::ExifOrientation;
using platform::JpegOrientation;

// An APP1 EXIF payload whose IFD0 holds the given SHORT entries, in Intel
// ("II") or Motorola ("MM") byte order.
std::string ExifPayload(bool intel, std::initializer_list<std::pair<unsigned, unsigned>> entries) {
  auto u16 = [intel](unsigned v) {
    char b[2] = {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
    return intel ? std::string{b[0], b[1]} : std::string{b[1], b[0]};
  };
  auto u32 = [&](unsigned v) {
    return intel ? u16(v & 0xFFFF) + u16(v >> 16) : u16(v >> 16) + u16(v & 0xFFFF);
  };
  std::string tiff = (intel ? "II" : "MM") + u16(42) + u32(8) + u16(entries.size());
  // SHORT values, one each, in the first half of their field in either order.
  for (auto [tag, value] : entries) tiff += u16(tag) + u16(3) + u32(1) + u16(value) + u16(0);
  return std::string("Exif\0\0", 6) + tiff + u32(0);
}

std::string Segment(unsigned marker, const std::string& body) {
  size_t length = body.size() + 2;
  return std::string{'\xFF', static_cast<char>(marker), static_cast<char>(length >> 8),
                     static_cast<char>(length & 0xFF)} +
         body;
}

int OfBytes(const std::string& bytes, bool jpeg) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  return jpeg ? JpegOrientation(p, bytes.size()) : ExifOrientation(p, bytes.size());
}

TEST(OrientationTest, TheTagIsFoundWhereCamerasPutItAndNowhereElse) {
  const std::string soi("\xFF\xD8", 2), jfif = Segment(0xE0, std::string("JFIF\0\1\1", 7));
  const std::string six = ExifPayload(true, {{0x010F, 7}, {0x0112, 6}});
  const std::string eight = ExifPayload(false, {{0x0112, 8}});
  struct Case {
    const char* what;
    std::string bytes;
    bool jpeg;
    int expected;
  } cases[] = {
      {"Intel order, behind another tag", six, false, 6},
      {"Motorola order", eight, false, 8},
      {"no orientation tag", ExifPayload(true, {{0x010F, 3}}), false, 1},
      {"out of range", ExifPayload(true, {{0x0112, 9}}), false, 1},
      {"neither II nor MM", "Exif\0\0XX" + six.substr(8), false, 1},
      {"cut inside the entry", six.substr(0, six.size() - 10), false, 1},
      {"in a JPEG after JFIF and XMP",
       soi + jfif + Segment(0xE1, "http://ns.adobe.com/xap/1.0/") + Segment(0xE1, eight), true, 8},
      {"in a JPEG cut inside the segment", (soi + Segment(0xE1, eight)).substr(0, 20), true, 1},
      {"after the picture data", soi + Segment(0xDA, "x") + Segment(0xE1, six), true, 1},
      {"not a JPEG", "\x89PNG" + Segment(0xE1, six), true, 1},
  };
  for (const Case& c : cases) EXPECT_EQ(OfBytes(c.bytes, c.jpeg), c.expected) << c.what;
}

// Where EXIF says the stored first row and first column belong once the
// picture is upright, for orientations 1 to 8.
TEST(OrientationTest, EveryOrientationTurnsUpright) {
  struct Case {
    int n;
    char row0, column0;  // t(op), b(ottom), l(eft), r(ight)
  } cases[] = {{1, 't', 'l'}, {2, 't', 'r'}, {3, 'b', 'r'}, {4, 'b', 'l'},
               {5, 'l', 't'}, {6, 'r', 't'}, {7, 'r', 'b'}, {8, 'l', 'b'}};
  const std::uint32_t sw = 3, sh = 2;
  auto opposite = [](char e) { return e == 't' ? 'b' : e == 'b' ? 't' : e == 'l' ? 'r' : 'l'; };
  for (const Case& c : cases) {
    std::vector<std::uint8_t> pixels;
    for (std::uint32_t i = 0; i < sw * sh; ++i)
      pixels.insert(pixels.end(), {std::uint8_t(i), 0, 0, 255});
    std::uint32_t w = sw, h = sh;
    platform::TurnUpright(pixels, w, h, c.n);
    ASSERT_EQ(w, c.n >= 5 ? sh : sw) << c.n;
    ASSERT_EQ(h, c.n >= 5 ? sw : sh) << c.n;
    // The stored pixel numbered value, found at the corner of two edges.
    auto at = [&](char a, char b) {
      std::uint32_t x = 0, y = 0;
      for (char e : {a, b}) {
        if (e == 'b') y = h - 1;
        if (e == 'r') x = w - 1;
      }
      return pixels[(y * w + x) * 4];
    };
    EXPECT_EQ(at(c.row0, c.column0), 0) << c.n;                        // the first stored pixel
    EXPECT_EQ(at(c.row0, opposite(c.column0)), sw - 1) << c.n;         // the first row's end
    EXPECT_EQ(at(opposite(c.row0), c.column0), sw * (sh - 1)) << c.n;  // the first column's end
  }
}

}  // namespace
