// EXIF: the TIFF structure that JPEG, PNG, WebP and HEIF files carry, read
// for the orientation, the dates and the captions.
#include <algorithm>

#include "collect/picture_reading.h"

namespace picture_reading {
namespace {

// ---- EXIF (a TIFF structure inside the JPEG's APP1 segment) ----

constexpr std::uint32_t kTagImageDescription = 0x010E;
constexpr std::uint32_t kTagOrientation = 0x0112;
constexpr std::uint32_t kTagDateTime = 0x0132;
constexpr std::uint32_t kTagExifIfd = 0x8769;
constexpr std::uint32_t kTagDateTimeOriginal = 0x9003;
constexpr std::uint32_t kTagXpTitle = 0x9C9B;    // Windows' title, UTF-16LE bytes
constexpr std::uint32_t kTagXpComment = 0x9C9C;  // Windows' comment, UTF-16LE bytes

struct ExifFindings {
  int orientation = 0;
  std::uint32_t exifIfd = 0;
  CivilTime dateTime, dateTimeOriginal;
  bool hasDateTime = false, hasDateTimeOriginal = false;
  Bytes description, xpTitle, xpComment;  // IFD0's captions, as they are stored
};

std::uint64_t TypeSize(std::uint32_t type) {
  switch (type) {
    case 1:
    case 2:
    case 6:
    case 7:
      return 1;  // BYTE ASCII SBYTE UNDEFINED
    case 3:
    case 8:
      return 2;  // SHORT SSHORT
    case 4:
    case 9:
    case 11:
    case 13:
      return 4;  // LONG SLONG FLOAT IFD
    case 5:
    case 10:
    case 12:
      return 8;  // RATIONAL SRATIONAL DOUBLE
    default:
      return 0;
  }
}

// Reads the entries of one IFD that matter here. A count larger than what
// fits in the block is cut to what fits, so the loop is bounded by the bytes.
void ScanIfd(Bytes tiff, bool big, std::uint32_t ifd, bool ifd0, ExifFindings& found) {
  std::uint32_t count = 0;
  if (ifd < 8 || !Get16(tiff, ifd, big, count)) return;
  std::uint64_t fits = (tiff.size() - ifd - 2) / 12;
  count = static_cast<std::uint32_t>(std::min<std::uint64_t>(count, fits));
  for (std::uint32_t i = 0; i < count; ++i) {
    std::uint64_t entry = ifd + 2 + std::uint64_t{12} * i;
    std::uint32_t tag = 0, type = 0, n = 0, field = 0;
    Get16(tiff, entry, big, tag);
    Get16(tiff, entry + 2, big, type);
    Get32(tiff, entry + 4, big, n);
    Get32(tiff, entry + 8, big, field);
    std::uint64_t size = TypeSize(type) * n;
    if (size == 0) continue;
    std::uint64_t at = size <= 4 ? entry + 8 : field;  // the value itself, or where it is
    if (at > tiff.size() || tiff.size() - at < size) continue;
    if (tag == kTagOrientation && found.orientation == 0 && (type == 3 || type == 4)) {
      std::uint32_t value = 0;
      if (type == 3) Get16(tiff, at, big, value);
      if (type == 4) Get32(tiff, at, big, value);
      found.orientation = value >= 1 && value <= 8 ? static_cast<int>(value) : 1;
    } else if ((tag == kTagDateTime || tag == kTagDateTimeOriginal) && size >= 19 &&
               (type == 2 || type == 7 || type == 1)) {
      bool original = tag == kTagDateTimeOriginal;
      bool& has = original ? found.hasDateTimeOriginal : found.hasDateTime;
      if (!has)
        has =
            ParseExifDate(tiff.substr(at, 19), original ? found.dateTimeOriginal : found.dateTime);
    } else if (ifd0 && tag == kTagImageDescription && (type == 2 || type == 7 || type == 1)) {
      Bytes text = tiff.substr(static_cast<std::size_t>(at), static_cast<std::size_t>(size));
      if (found.description.empty()) found.description = text.substr(0, text.find('\0'));
    } else if (ifd0 && (tag == kTagXpTitle || tag == kTagXpComment) && (type == 1 || type == 7)) {
      Bytes& text = tag == kTagXpTitle ? found.xpTitle : found.xpComment;
      if (text.empty())
        text = tiff.substr(static_cast<std::size_t>(at), static_cast<std::size_t>(size));
    } else if (tag == kTagExifIfd && found.exifIfd == 0 && n == 1 && (type == 4 || type == 13)) {
      found.exifIfd = field;
    }
  }
}

}  // namespace

void ReadExif(Bytes tiff, PictureFacts& facts, bool orientationCounts) {
  facts.exifRead = true;
  if (tiff.size() < 8) return;
  bool big = tiff.substr(0, 2) == "MM";
  if (!big && tiff.substr(0, 2) != "II") return;
  std::uint32_t magic = 0, ifd0 = 0;
  Get16(tiff, 2, big, magic);
  Get32(tiff, 4, big, ifd0);
  if (magic != 42) return;
  ExifFindings found;
  ScanIfd(tiff, big, ifd0, true, found);
  // One level down and no further: an Exif IFD that points back is read once.
  if (found.exifIfd != 0) ScanIfd(tiff, big, found.exifIfd, false, found);
  if (orientationCounts) facts.orientation = found.orientation == 0 ? 1 : found.orientation;
  if (found.hasDateTimeOriginal)
    NoteDate(facts.dates, DateSource::kExifOriginal, found.dateTimeOriginal);
  if (found.hasDateTime) NoteDate(facts.dates, DateSource::kExifDateTime, found.dateTime);
  NoteCaption(facts.captions, CaptionSource::kExifDescription, found.description);
  NoteCaption(facts.captions, CaptionSource::kXpTitle, Utf16LeToUtf8(found.xpTitle));
  NoteCaption(facts.captions, CaptionSource::kXpComment, Utf16LeToUtf8(found.xpComment));
}

}  // namespace picture_reading
