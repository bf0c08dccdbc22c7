// The dates a photo records of when it was taken, from every place it keeps
// one (EXIF, XMP, IPTC), and the one that counts.
#pragma once

#include <compare>
#include <string>
#include <string_view>
#include <vector>

/// A calendar date and time of day as a camera records it (no time zone).
/// Valid values only: year 1..9999, a day that exists in its month, 0..23 h,
/// 0..59 min and s. Compares in time order.
struct CivilTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  auto operator<=>(const CivilTime&) const = default;
};

/// Where a date comes from, most trusted first: the order in which they count.
enum class DateSource {
  kExifOriginal,  // EXIF DateTimeOriginal
  kXmpOriginal,   // XMP exif:DateTimeOriginal
  kXmpCreated,    // XMP photoshop:DateCreated
  kXmpCreate,     // XMP xmp:CreateDate
  kIptc,          // IPTC DateCreated with TimeCreated
  kExifDateTime,  // EXIF DateTime (often the time of an edit)
  kCount
};

/// The dates found so far, one per source; the first found of a source stays.
struct PhotoDates {
  CivilTime time[static_cast<int>(DateSource::kCount)];
  bool has[static_cast<int>(DateSource::kCount)] = {};
};

/// Keeps time as the date of source unless that source has one already.
void NoteDate(PhotoDates& dates, DateSource source, const CivilTime& time);

/// The date that counts: the first source in DateSource order that has one.
/// False when none has.
bool BestDate(const PhotoDates& dates, CivilTime& time);

/// Checks "YYYY:MM:DD HH:MM:SS" and fills time; false when malformed or not
/// a real date ("0000:00:00 00:00:00", blanks).
bool ParseExifDate(std::string_view text, CivilTime& time);

/// time as "YYYY:MM:DD HH:MM:SS".
std::string ExifDateText(const CivilTime& time);

/// Checks an XMP date "YYYY-MM-DD", optionally followed by "Thh:mm",
/// ":ss", a fraction of a second and a zone ("Z" or "+hh:mm"); fills time
/// with the clock time as recorded (the zone is not applied). A date without
/// a time is taken at 00:00:00; a year or a month alone is no date.
bool ParseXmpDate(std::string_view text, CivilTime& time);

/// Notes the dates of an XMP packet: exif:DateTimeOriginal,
/// photoshop:DateCreated and xmp:CreateDate, as attributes or elements,
/// whatever prefixes the packet binds to their namespaces.
void ReadXmpDates(std::string_view xml, PhotoDates& dates);

/// Notes the IPTC date of Photoshop image resources (a JPEG's APP13 after
/// "Photoshop 3.0\0"): DateCreated (2:55, "CCYYMMDD") with TimeCreated (2:60,
/// "HHMMSS" and a zone, not applied) of the IPTC-NAA resource 0x0404; a date
/// without a time is taken at 00:00:00.
void ReadPhotoshopDates(std::string_view resources, PhotoDates& dates);

/// The prefix an XMP packet binds to the namespace uri (xmlns:PREFIX="uri");
/// usualPrefix when it binds none.
std::string XmpPrefix(std::string_view xml, std::string_view uri, const char* usualPrefix);

/// One IPTC-NAA dataset: its record and dataset numbers and its bytes.
struct IptcDataset {
  unsigned record = 0, number = 0;
  std::string_view value;
};

/// The datasets of IPTC-NAA bytes in their order, up to the first broken one.
std::vector<IptcDataset> IptcDatasets(std::string_view iptc);

/// The IPTC-NAA bytes (resource 0x0404) of Photoshop image resources; empty
/// when there are none.
std::string_view PhotoshopIptc(std::string_view resources);
