// Feeds arbitrary bytes to the picture header reader twice: as a file of its
// own, read the way ReadPictureFacts reads one, and as the EXIF block of a
// small JPEG, so that the TIFF walk is reached at once. Checks what the reader
// promises: requests move forward, and finished facts are consistent. The
// ports' own orientation reader gets both too, and must stay in range.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "collect/picture_facts.h"
#include "platform/orientation.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

void Parse(std::string_view file) {
  int orientation =
      platform::JpegOrientation(reinterpret_cast<const unsigned char*>(file.data()), file.size());
  Require(orientation >= 1 && orientation <= 8);
  PictureFacts facts;
  std::int64_t offset = 0;
  std::size_t count = kPictureHeadBytes;
  for (int i = 0; i < 10000; ++i) {
    std::string_view bytes;
    if (static_cast<std::uint64_t>(offset) < file.size()) {
      bytes = file.substr(static_cast<std::size_t>(offset), count);
    }
    PictureScan scan = ParsePictureFacts(bytes, offset, facts);
    if (scan.status == PictureStatus::kUnknown) return;
    if (scan.status == PictureStatus::kDone) {
      Require(facts.format != PictureFormat::kUnknown);
      Require(facts.storedWidth > 0 && facts.storedHeight > 0);
      Require(facts.orientation >= 1 && facts.orientation <= 8);
      bool turned = facts.orientation >= 5;
      Require(facts.width == (turned ? facts.storedHeight : facts.storedWidth));
      Require(facts.height == (turned ? facts.storedWidth : facts.storedHeight));
      CivilTime time;
      Require(facts.taken.empty() ? facts.takenTime == CivilTime()
                                  : ParseExifDate(facts.taken, time) && time == facts.takenTime);
      return;
    }
    Require(scan.offset > offset);
    offset = scan.offset;
    count = scan.count > kPictureHeadBytes ? scan.count : kPictureHeadBytes;
  }
  std::abort();  // a request loop that never ends
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  Parse(input);
  std::string_view tiff = input.substr(0, 65000);
  std::string jpeg = "\xFF\xD8\xFF\xE1";
  jpeg += static_cast<char>((tiff.size() + 8) >> 8);
  jpeg += static_cast<char>((tiff.size() + 8) & 0xFF);
  jpeg += std::string("Exif\0\0", 6);
  jpeg += tiff;
  jpeg += std::string("\xFF\xC0\x00\x0B\x08\x00\x02\x00\x03\x01\x01\x11\x00", 13);
  Parse(jpeg);
  return 0;
}
