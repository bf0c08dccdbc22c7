#include "collect/picture_facts.h"

#include <algorithm>

#include "collect/picture_reading.h"
#include "platform/platform.h"

namespace {

using namespace picture_reading;

constexpr std::size_t kMaxMetadataChunk = 1 << 20;  // a PNG chunk read whole

// ---- JPEG: a walk over the segments up to the frame header ----

// APP1 holds EXIF or XMP, APP13 Photoshop's resources with IPTC; the first
// block of each kind counts.
void ReadJpegMetadata(unsigned marker, Bytes payload, PictureFacts& facts) {
  static constexpr Bytes kExif("Exif\0\0", 6), kXmp("http://ns.adobe.com/xap/1.0/\0", 29),
      kPhotoshop("Photoshop 3.0\0", 14);
  if (marker == 0xE1 && !facts.exifRead && payload.substr(0, 6) == kExif) {
    ReadExif(payload.substr(6), facts, true);
  } else if (marker == 0xE1 && !facts.xmpRead && payload.substr(0, 29) == kXmp) {
    facts.xmpRead = true;
    ReadXmpDates(payload.substr(29), facts.dates);
    ReadXmpCaptions(payload.substr(29), facts.captions);
  } else if (marker == 0xED && payload.substr(0, 14) == kPhotoshop) {
    facts.iptcRead = true;
    ReadPhotoshopDates(payload.substr(14), facts.dates);
    ReadIptcCaptions(PhotoshopIptc(payload.substr(14)), facts.captions);
  }
}

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
    bool wanted = (marker == 0xE1 && (!facts.exifRead || !facts.xmpRead)) ||
                  (marker == 0xED && !facts.iptcRead);
    if (wanted && length >= 8) {
      if (end > b.size()) return More(offset, start, end - start, false);
      Bytes payload = b.substr(pos + 2, length - 2);
      ReadJpegMetadata(marker, payload, facts);
    }
    if (end > b.size()) return More(offset, end, 4, false);
    pos = end;
  }
}

// ---- PNG: the image header, then the chunks up to the image data ----

// The EXIF chunk (its orientation does not count: PNG readers differ) and
// the XMP packet of an uncompressed iTXt chunk, read for their dates and
// captions.
void ReadPngMetadata(Bytes type, Bytes data, PictureFacts& facts) {
  static constexpr Bytes kXmpKeyword("XML:com.adobe.xmp\0\0", 19);
  if (type == "eXIf") {
    ReadExif(data, facts, false);
  } else if (data.substr(0, 19) == kXmpKeyword) {
    // Then the compression method, a language tag and a translated keyword.
    std::size_t language = data.find('\0', 20);
    std::size_t translated = language == Bytes::npos ? language : data.find('\0', language + 1);
    if (translated == Bytes::npos) return;
    facts.xmpRead = true;
    ReadXmpDates(data.substr(translated + 1), facts.dates);
    ReadXmpCaptions(data.substr(translated + 1), facts.captions);
  }
}

PictureScan WalkPng(Bytes b, std::size_t pos, std::int64_t offset, PictureFacts& facts) {
  for (;;) {
    std::uint32_t length = 0;
    if (!Get32(b, pos, true, length) || b.size() - pos < 8) return More(offset, pos, 8, true);
    if (length > 0x7FFFFFFF) return Done();  // a broken chunk; the size is known
    Bytes type = b.substr(pos + 4, 4);
    if (type == "IDAT" || type == "IEND") return Done();
    if (type == "tRNS") facts.transparency = true;
    std::uint64_t next = pos + std::uint64_t{12} + length;
    bool wanted = (type == "eXIf" && !facts.exifRead) || (type == "iTXt" && !facts.xmpRead);
    if (wanted && length <= kMaxMetadataChunk) {
      if (next > b.size()) return More(offset, pos, static_cast<std::size_t>(next - pos), true);
      ReadPngMetadata(type, b.substr(pos + 8, length), facts);
    }
    if (next > b.size()) return More(offset, static_cast<std::size_t>(next), 8, true);
    pos = static_cast<std::size_t>(next);
  }
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

// The displayed size, and the date that counts of those found (also when
// the picture's header turned out broken: its date may still serve).
void Finish(PictureFacts& facts) {
  bool turned = facts.orientation >= 5 && facts.orientation <= 8;
  facts.width = turned ? facts.storedHeight : facts.storedWidth;
  facts.height = turned ? facts.storedWidth : facts.storedHeight;
}

void SettleDate(PictureFacts& facts) {
  facts.taken.clear();
  facts.takenTime = CivilTime();
  if (BestDate(facts.dates, facts.takenTime)) facts.taken = ExifDateText(facts.takenTime);
  facts.caption = BestCaption(facts.captions);
}

}  // namespace

PictureScan ParsePictureFacts(std::string_view bytes, std::int64_t offset, PictureFacts& facts) {
  PictureScan scan;
  if (offset < 0) return Unknown();
  if (offset > 0) {
    // A continuation: the walk goes on where the previous call stopped.
    if (facts.format == PictureFormat::kJpeg)
      scan = WalkJpeg(bytes, 0, offset, facts);
    else if (facts.format == PictureFormat::kPng)
      scan = WalkPng(bytes, 0, offset, facts);
    else if (facts.format == PictureFormat::kWebp)
      scan = WalkWebp(bytes, offset, facts);
    else if (facts.format == PictureFormat::kHeif || facts.format == PictureFormat::kAvif)
      scan = WalkHeif(bytes, offset, facts);
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
  } else if (bytes.size() >= 12 && bytes.substr(0, 4) == "RIFF" && bytes.substr(8, 4) == "WEBP") {
    scan = StartWebp(bytes, facts);
  } else if (IsHeif(bytes, facts)) {
    scan = WalkHeif(bytes, 0, facts);
  } else {
    return Unknown();
  }
  if (scan.status == PictureStatus::kDone) Finish(facts);
  if (scan.status != PictureStatus::kNeedMore) SettleDate(facts);
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
  reason = facts.format == PictureFormat::kUnknown
               ? "not a GIF, JPEG, PNG, BMP, WebP, HEIF or AVIF picture"
               : "its header is broken or cut short";
  facts.width = facts.height = 0;
  return false;
}
