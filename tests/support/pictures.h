// Real picture bytes for tests: EXIF blocks in either byte order, JPEG
// segments, and real JPEGs with such a block inserted.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace testing_support {

/// value as size bytes, most significant first when big.
std::string Number(std::uint32_t value, int size, bool big);

/// One TIFF directory entry; value holds its bytes in the block's byte order.
struct TiffEntry {
  std::uint16_t tag, type;
  std::uint32_t count;
  std::string value;
};
TiffEntry Short(std::uint16_t tag, std::uint16_t value, bool big);
TiffEntry Ascii(std::uint16_t tag, const std::string& text);

/// A TIFF block as EXIF holds it: IFD0 at 8, then the Exif IFD (linked from
/// IFD0 when it has entries), then the values longer than four bytes.
/// exifAt, when not zero, overrides where IFD0 says the Exif IFD lies.
std::string Tiff(bool big, std::vector<TiffEntry> ifd0, const std::vector<TiffEntry>& exif,
                 std::uint32_t exifAt = 0);

/// A JPEG marker segment with its length.
std::string Segment(unsigned marker, const std::string& payload);

/// jpeg (a whole JPEG file) with an APP1 EXIF segment holding tiff right
/// after its start of image.
std::string WithExif(const std::string& jpeg, const std::string& tiff);

/// A small real JPEG (7 x 5 pixels, no EXIF) from the committed test pictures.
std::string PlainJpeg();

/// PlainJpeg with EXIF DateTimeOriginal taken ("YYYY:MM:DD HH:MM:SS") in the
/// given byte order.
std::string JpegTaken(const std::string& taken, bool big = false);

/// Runs a Debian tool (/usr/bin/NAME) with args; false when the tool is not
/// there (always on Windows): the caller skips. A tool that fails is a test
/// failure, reported here with its error output. out, when given, gets what
/// it printed.
bool RunTool(const std::string& name, const std::vector<std::string>& args,
             std::string* out = nullptr);

/// A real HEIF file (as heif-enc writes it: ftyp, meta, mdat) with the
/// property boxes added to its primary item, after the ones it has, in
/// order; the boxes are added to ipco and the file offsets of iloc moved on.
std::string WithHeifProperties(const std::string& heif, const std::vector<std::string>& boxes);

/// heif with its Exif item moved to the end of the file, behind padding
/// bytes (where a reader must ask for it), its iloc entry pointing there.
std::string WithExifItemAtEnd(const std::string& heif, size_t padding);

/// An ISO box: size, type, then a version and flags of 0 when full.
std::string IsoBox(const std::string& type, const std::string& body, bool full = false);

/// Sets a file's modification time to seconds since 1970-01-01 UTC.
void SetModified(const std::filesystem::path& path, std::int64_t seconds);

}  // namespace testing_support
