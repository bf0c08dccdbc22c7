#include "collect/picture_facts.h"

#include <algorithm>

#include "platform/platform.h"

namespace {

using Bytes = std::string_view;

// Readers of fixed-size numbers; each checks that the bytes are there.
bool Get16(Bytes b, std::uint64_t at, bool bigEndian, std::uint32_t& value) {
  if (at > b.size() || b.size() - at < 2) return false;
  auto u = [&](std::uint64_t i) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(b[i]));
  };
  value = bigEndian ? (u(at) << 8 | u(at + 1)) : (u(at + 1) << 8 | u(at));
  return true;
}

bool Get32(Bytes b, std::uint64_t at, bool bigEndian, std::uint32_t& value) {
  std::uint32_t first = 0, second = 0;
  if (!Get16(b, at, bigEndian, first) || !Get16(b, at + 2, bigEndian, second)) return false;
  value = bigEndian ? (first << 16 | second) : (second << 16 | first);
  return true;
}

unsigned Byte(Bytes b, std::size_t at) { return static_cast<unsigned char>(b[at]); }

PictureScan Done() { return {PictureStatus::kDone, 0, 0}; }
PictureScan Unknown() { return {PictureStatus::kUnknown, 0, 0}; }

// Asks for the bytes at offset + at. A request that does not move past the
// offset the bytes began at means those bytes ended the file: nothing more
// will come, and the picture ends there with what is known (or unknown).
PictureScan More(std::int64_t offset, std::size_t at, std::size_t count, bool completeAtEnd) {
  if (at == 0) return completeAtEnd ? Done() : Unknown();
  return {PictureStatus::kNeedMore, offset + static_cast<std::int64_t>(at), count};
}

// ---- EXIF (a TIFF structure inside the JPEG's APP1 segment) ----

constexpr std::uint32_t kTagOrientation = 0x0112;
constexpr std::uint32_t kTagDateTime = 0x0132;
constexpr std::uint32_t kTagExifIfd = 0x8769;
constexpr std::uint32_t kTagDateTimeOriginal = 0x9003;

struct ExifFindings {
  int orientation = 0;
  std::uint32_t exifIfd = 0;
  CivilTime dateTime, dateTimeOriginal;
  bool hasDateTime = false, hasDateTimeOriginal = false;
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
void ScanIfd(Bytes tiff, bool big, std::uint32_t ifd, ExifFindings& found) {
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
    } else if (tag == kTagExifIfd && found.exifIfd == 0 && n == 1 && (type == 4 || type == 13)) {
      found.exifIfd = field;
    }
  }
}

void ReadExif(Bytes tiff, PictureFacts& facts) {
  facts.exifRead = true;
  if (tiff.size() < 8) return;
  bool big = tiff.substr(0, 2) == "MM";
  if (!big && tiff.substr(0, 2) != "II") return;
  std::uint32_t magic = 0, ifd0 = 0;
  Get16(tiff, 2, big, magic);
  Get32(tiff, 4, big, ifd0);
  if (magic != 42) return;
  ExifFindings found;
  ScanIfd(tiff, big, ifd0, found);
  // One level down and no further: an Exif IFD that points back is read once.
  if (found.exifIfd != 0) ScanIfd(tiff, big, found.exifIfd, found);
  facts.orientation = found.orientation == 0 ? 1 : found.orientation;
  const CivilTime* when = found.hasDateTimeOriginal ? &found.dateTimeOriginal
                          : found.hasDateTime       ? &found.dateTime
                                                    : nullptr;
  if (when != nullptr) {
    facts.takenTime = *when;
    char text[32];
    std::snprintf(text, sizeof text, "%04d:%02d:%02d %02d:%02d:%02d", when->year, when->month,
                  when->day, when->hour, when->minute, when->second);
    facts.taken = text;
  }
}

// ---- JPEG: a walk over the segments up to the frame header ----

bool IsFrameHeader(unsigned marker) {
  return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

PictureScan WalkJpeg(Bytes b, std::size_t pos, std::int64_t offset, PictureFacts& facts) {
  for (;;) {
    if (pos >= b.size()) return More(offset, pos, 4, false);
    if (Byte(b, pos) != 0xFF) return Unknown();
    std::size_t start = pos;
    while (pos < b.size() && Byte(b, pos) == 0xFF) ++pos;  // fill bytes
    if (pos >= b.size()) return More(offset, pos - 1, 4, false);
    unsigned marker = Byte(b, pos++);
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;  // no length
    if (marker == 0x00 || marker == 0xD8 || marker == 0xD9 || marker == 0xDA) {
      return Unknown();  // no frame header before the picture data or the end
    }
    std::uint32_t length = 0;
    if (!Get16(b, pos, true, length)) return More(offset, start, pos - start + 2, false);
    if (length < 2) return Unknown();
    std::size_t end = pos + length;
    if (IsFrameHeader(marker)) {
      std::uint32_t height = 0, width = 0;
      if (length < 8) return Unknown();
      if (!Get16(b, pos + 3, true, height) || !Get16(b, pos + 5, true, width)) {
        return More(offset, start, end - start, false);
      }
      if (width == 0 || height == 0) return Unknown();  // height given later by DNL: rare
      facts.storedWidth = width;
      facts.storedHeight = height;
      return Done();
    }
    if (marker == 0xE1 && !facts.exifRead && length >= 8) {
      if (end > b.size()) return More(offset, start, end - start, false);
      Bytes payload = b.substr(pos + 2, length - 2);
      if (payload.substr(0, 6) == Bytes("Exif\0\0", 6)) ReadExif(payload.substr(6), facts);
    }
    if (end > b.size()) return More(offset, end, 4, false);
    pos = end;
  }
}

// ---- PNG: the image header, then the chunks up to the image data ----

PictureScan WalkPng(Bytes b, std::size_t pos, std::int64_t offset, PictureFacts& facts) {
  while (!facts.transparency) {
    std::uint32_t length = 0;
    if (!Get32(b, pos, true, length) || b.size() - pos < 8) return More(offset, pos, 8, true);
    if (length > 0x7FFFFFFF) return Done();  // a broken chunk; the size is known
    Bytes type = b.substr(pos + 4, 4);
    if (type == "IDAT" || type == "IEND") return Done();
    if (type == "tRNS") facts.transparency = true;
    std::uint64_t next = pos + std::uint64_t{12} + length;
    if (next > b.size()) return More(offset, static_cast<std::size_t>(next), 8, true);
    pos = static_cast<std::size_t>(next);
  }
  return Done();
}

PictureScan StartPng(Bytes b, PictureFacts& facts) {
  std::uint32_t length = 0, width = 0, height = 0;
  if (!Get32(b, 8, true, length) || length != 13 || b.size() < 33 || b.substr(12, 4) != "IHDR") {
    return Unknown();
  }
  Get32(b, 16, true, width);
  Get32(b, 20, true, height);
  if (width == 0 || height == 0 || width > 0x7FFFFFFF || height > 0x7FFFFFFF) return Unknown();
  facts.format = PictureFormat::kPng;
  facts.storedWidth = width;
  facts.storedHeight = height;
  unsigned colourType = Byte(b, 25);
  facts.transparency = colourType == 4 || colourType == 6;
  return WalkPng(b, 33, 0, facts);
}

// ---- GIF: the logical screen; transparency from the first frame's control ----

PictureScan StartGif(Bytes b, PictureFacts& facts) {
  std::uint32_t width = 0, height = 0;
  if (b.size() < 13 || !Get16(b, 6, false, width) || !Get16(b, 8, false, height)) return Unknown();
  if (width == 0 || height == 0) return Unknown();
  facts.format = PictureFormat::kGif;
  facts.storedWidth = width;
  facts.storedHeight = height;
  unsigned flags = Byte(b, 10);
  std::size_t pos = 13 + ((flags & 0x80) != 0 ? 3u << ((flags & 7) + 1) : 0);
  // Blocks before the first image, as far as the bytes at hand go.
  while (pos + 1 < b.size() && Byte(b, pos) == 0x21) {
    unsigned label = Byte(b, pos + 1);
    pos += 2;
    if (label == 0xF9 && pos + 2 < b.size() && Byte(b, pos) >= 4 && (Byte(b, pos + 1) & 1) != 0) {
      facts.transparency = true;
      break;
    }
    while (pos < b.size() && Byte(b, pos) != 0) pos += Byte(b, pos) + 1;  // sub-blocks
    ++pos;
  }
  return Done();
}

// ---- BMP: the file header and the size fields of the info header ----

PictureScan StartBmp(Bytes b, PictureFacts& facts) {
  std::uint32_t headerSize = 0;
  if (!Get32(b, 14, false, headerSize)) return Unknown();
  std::uint32_t width = 0, height = 0;
  if (headerSize == 12) {  // BITMAPCOREHEADER
    if (!Get16(b, 18, false, width) || !Get16(b, 20, false, height)) return Unknown();
  } else if (headerSize == 16 || headerSize == 40 || headerSize == 52 || headerSize == 56 ||
             headerSize == 64 || headerSize == 108 || headerSize == 124) {
    std::uint32_t rawWidth = 0, rawHeight = 0;
    if (!Get32(b, 18, false, rawWidth) || !Get32(b, 22, false, rawHeight)) return Unknown();
    if (rawWidth > 0x7FFFFFFF || rawHeight == 0x80000000) return Unknown();
    width = rawWidth;
    height = rawHeight > 0x7FFFFFFF ? 0u - rawHeight : rawHeight;  // negative: top-down
  } else {
    return Unknown();
  }
  if (width == 0 || height == 0) return Unknown();
  facts.format = PictureFormat::kBmp;
  facts.storedWidth = width;
  facts.storedHeight = height;
  return Done();
}

void Finish(PictureFacts& facts) {
  bool turned = facts.orientation >= 5 && facts.orientation <= 8;
  facts.width = turned ? facts.storedHeight : facts.storedWidth;
  facts.height = turned ? facts.storedWidth : facts.storedHeight;
}

}  // namespace

bool ParseExifDate(std::string_view text, CivilTime& time) {
  static constexpr char kShape[] = "dddd:dd:dd dd:dd:dd";
  if (text.size() != 19) return false;
  int values[6] = {};
  int field = 0;
  for (std::size_t i = 0; i < 19; ++i) {
    char c = text[i];
    if (kShape[i] != 'd') {
      if (c != kShape[i]) return false;
      ++field;
    } else if (c < '0' || c > '9') {
      return false;
    } else {
      values[field] = values[field] * 10 + (c - '0');
    }
  }
  CivilTime t{values[0], values[1], values[2], values[3], values[4], values[5]};
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (t.year < 1 || t.month < 1 || t.month > 12 || t.day < 1) return false;
  bool leap = (t.year % 4 == 0 && t.year % 100 != 0) || t.year % 400 == 0;
  int days = kDays[t.month - 1] + (t.month == 2 && leap ? 1 : 0);
  if (t.day > days || t.hour > 23 || t.minute > 59 || t.second > 59) return false;
  time = t;
  return true;
}

PictureScan ParsePictureFacts(std::string_view bytes, std::int64_t offset, PictureFacts& facts) {
  PictureScan scan;
  if (offset < 0) return Unknown();
  if (offset > 0) {
    // A continuation: the walk goes on where the previous call stopped.
    if (facts.format == PictureFormat::kJpeg)
      scan = WalkJpeg(bytes, 0, offset, facts);
    else if (facts.format == PictureFormat::kPng)
      scan = WalkPng(bytes, 0, offset, facts);
    else
      return Unknown();
  } else if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xFF\xD8\xFF") {
    facts.format = PictureFormat::kJpeg;
    scan = WalkJpeg(bytes, 2, 0, facts);
  } else if (bytes.substr(0, 8) == "\x89PNG\r\n\x1A\n") {
    scan = StartPng(bytes, facts);
  } else if (bytes.substr(0, 6) == "GIF87a" || bytes.substr(0, 6) == "GIF89a") {
    scan = StartGif(bytes, facts);
  } else if (bytes.substr(0, 2) == "BM") {
    scan = StartBmp(bytes, facts);
  } else {
    return Unknown();
  }
  if (scan.status == PictureStatus::kDone) Finish(facts);
  return scan;
}

bool ReadPictureFacts(const std::string& path, PictureFacts& facts, std::string& reason) {
  facts = PictureFacts();
  std::string bytes;
  std::int64_t offset = 0;
  std::size_t count = kPictureHeadBytes;
  // Every request lies beyond the one before; the bound only stops a file
  // made of thousands of metadata segments.
  for (int reads = 0; reads < 4096; ++reads) {
    if (!platform::ReadFileBytes(path, offset, count, bytes, reason)) return false;
    PictureScan scan = ParsePictureFacts(bytes, offset, facts);
    if (scan.status == PictureStatus::kDone) return true;
    if (scan.status == PictureStatus::kUnknown) break;
    offset = scan.offset;
    count = std::max(scan.count, kPictureHeadBytes);
  }
  reason = facts.format == PictureFormat::kUnknown ? "not a GIF, JPEG, PNG or BMP picture"
                                                   : "its header is broken or cut short";
  facts.width = facts.height = 0;
  return false;
}
