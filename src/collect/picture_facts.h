// What a picture's headers tell without decoding it: its size, its EXIF
// orientation and the date it was taken. GIF, JPEG, PNG and BMP.
#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

/// A calendar date and time of day as a camera records it (no time zone).
/// Valid values only: year 1..9999, a day that exists in its month, 0..23 h,
/// 0..59 min and s. Compares in time order.
struct CivilTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  auto operator<=>(const CivilTime&) const = default;
};

enum class PictureFormat { kUnknown, kGif, kJpeg, kPng, kBmp };

/// The facts of one picture. Sizes are in pixels; orientation is the EXIF
/// value 1..8 (1 when absent or invalid), and width/height are the displayed
/// size, that is the stored one swapped for orientations 5 to 8. taken is the
/// EXIF DateTimeOriginal, else DateTime, as "YYYY:MM:DD HH:MM:SS"; empty when
/// neither holds a valid date, and then takenTime is all zero.
struct PictureFacts {
  PictureFormat format = PictureFormat::kUnknown;
  std::uint32_t storedWidth = 0, storedHeight = 0;
  int orientation = 1;
  std::uint32_t width = 0, height = 0;
  bool transparency = false;  // PNG alpha channel or tRNS; GIF transparent colour
  std::string taken;
  CivilTime takenTime;
  bool exifRead = false;  // the first EXIF block was read; later ones count not
};

enum class PictureStatus {
  kDone,      // the facts are complete
  kNeedMore,  // call again with the bytes at offset (at least count of them)
  kUnknown    // not a picture of a known kind, or its header is broken
};

struct PictureScan {
  PictureStatus status = PictureStatus::kUnknown;
  std::int64_t offset = 0;
  std::size_t count = 0;
};

/// Bytes worth reading first: enough for every header but a JPEG's whose
/// frame header follows large application segments.
inline constexpr std::size_t kPictureHeadBytes = 65536;

/// Reads the facts from bytes of a file that start at file offset `offset`.
/// Start with offset 0 and the file's first bytes (kPictureHeadBytes is
/// plenty); on kNeedMore call again with the same facts and the file's bytes
/// at the offset asked for (count of them or more), which always lies beyond
/// the previous one. Fewer bytes than asked mean the file ends there. Any
/// input is safe: every read is bounds-checked and every loop advances.
PictureScan ParsePictureFacts(std::string_view bytes, std::int64_t offset, PictureFacts& facts);

/// Checks "YYYY:MM:DD HH:MM:SS" and fills time; false when malformed or not
/// a real date ("0000:00:00 00:00:00", blanks).
bool ParseExifDate(std::string_view text, CivilTime& time);

/// Reads a picture file's facts, reading its head and further only as needed.
/// False, with a reason, when the file cannot be read or is not a picture of a
/// known kind with a readable size.
bool ReadPictureFacts(const std::string& path, PictureFacts& facts, std::string& reason);
