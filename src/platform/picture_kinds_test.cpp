// Pictures told by their first bytes, HEIF and AVIF by their brands.
#include "platform/picture_kinds.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using platform::PictureKind;
using namespace std::string_literals;

// An "ftyp" box of the brands, as the first bytes of a file.
std::string Ftyp(const std::string& major, const std::string& compatible) {
  std::string box(4, '\0');
  box[3] = static_cast<char>(16 + compatible.size());
  return box + "ftyp" + major + std::string(4, '\0') + compatible;
}

TEST(PictureKinds, EachKindByItsFirstBytes) {
  struct Case {
    std::string head;
    PictureKind kind;
  } cases[] = {
      {"\xFF\xD8\xFF\xE0", PictureKind::kJpeg},
      {"\x89PNG\r\n\x1a\n", PictureKind::kPng},
      {"GIF89a", PictureKind::kGif},
      {"GIF87a", PictureKind::kGif},
      {"BM", PictureKind::kBmp},
      {"RIFF\x10\0\0\0WEBPVP8 "s, PictureKind::kWebp},
      {"RIFF\x10\0\0\0WAVEfmt "s, PictureKind::kUnknown},  // a sound
      {Ftyp("heic", "mif1heic"), PictureKind::kHeif},
      {Ftyp("mif1", "heicmiaf"), PictureKind::kHeif},
      {Ftyp("msf1", ""), PictureKind::kHeif},
      {Ftyp("heic", "avif"), PictureKind::kHeif},  // a specific major brand decides
      {Ftyp("avif", "mif1miafMA1B"), PictureKind::kAvif},
      {Ftyp("mif1", "miafavif"), PictureKind::kAvif},  // AVIF before HEIF's mif1
      {Ftyp("avis", ""), PictureKind::kAvif},
      {Ftyp("isom", "iso2avc1mp41"), PictureKind::kUnknown},  // a video
      {Ftyp("qt  ", ""), PictureKind::kUnknown},
      {Ftyp("isom", "heic").substr(0, 19), PictureKind::kUnknown},  // brand cut off
      {"\xFF\xD8", PictureKind::kUnknown},
      {"", PictureKind::kUnknown},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(platform::SniffPicture(reinterpret_cast<const unsigned char*>(c.head.data()),
                                     c.head.size()),
              c.kind)
        << c.head;
  }
  // A box that claims fewer bytes than its brands: the brands past it count not.
  std::string shortBox = Ftyp("isom", "heic");
  shortBox[3] = 16;
  EXPECT_EQ(platform::SniffPicture(reinterpret_cast<const unsigned char*>(shortBox.data()),
                                   shortBox.size()),
            PictureKind::kUnknown);
}

}  // namespace
