// Feeds arbitrary bytes to the picture header reader: as a file of its own,
// read the way ReadPictureFacts reads one; as the EXIF block of a small JPEG,
// so that the TIFF walk is reached at once; as the boxes of a HEIF meta box
// and the chunks of an extended WebP; and to the XMP and IPTC date readers. Checks what the reader
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
  auto number = [](std::size_t value, bool big) {
    std::string out(4, '\0');
    for (int i = 0; i < 4; ++i) out[big ? 3 - i : i] = static_cast<char>(value >> (8 * i));
    return out;
  };
  std::string heif = number(20, true) + "ftypheic" + std::string(4, '\0') + "mif1";
  heif += number(input.size() + 12, true) + "meta" + std::string(4, '\0');
  Parse(heif + std::string(input));
  std::string webp = "RIFF" + number(input.size() + 30, false) + "WEBPVP8X" + number(10, false);
  webp += std::string("\x0C\0\0\0\x01\0\0\x01\0\0", 10);  // EXIF, XMP; 2 x 2
  Parse(webp + std::string(input));
  PhotoDates dates;
  ReadXmpDates(input, dates);
  ReadPhotoshopDates(input, dates);
  CivilTime time;
  if (BestDate(dates, time)) Require(ParseExifDate(ExifDateText(time), time));
  // A caption of any bytes is one line of valid UTF-8 within the limit.
  PhotoCaptions captions;
  ReadXmpCaptions(input, captions);
  ReadIptcCaptions(input, captions);
  NoteCaption(captions, CaptionSource::kXpTitle, Utf16LeToUtf8(input));
  for (const std::string& caption : {BestCaption(captions), CaptionLine(FirstParagraph(input))}) {
    Require(IsUtf8(caption) && caption.find('\n') == std::string::npos &&
            caption.size() <= 4 * kMaxCaptionChars);
  }
  return 0;
}
