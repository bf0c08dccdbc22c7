#include "support/pictures.h"

#include <chrono>

#include "support/test_support.h"

namespace testing_support {

std::string Number(std::uint32_t value, int size, bool big) {
  std::string out;
  for (int i = 0; i < size; ++i) {
    int shift = big ? 8 * (size - 1 - i) : 8 * i;
    out += static_cast<char>((value >> shift) & 0xFF);
  }
  return out;
}

TiffEntry Short(std::uint16_t tag, std::uint16_t value, bool big) {
  return {tag, 3, 1, Number(value, 2, big)};
}

TiffEntry Ascii(std::uint16_t tag, const std::string& text) {
  return {tag, 2, static_cast<std::uint32_t>(text.size() + 1), text + '\0'};
}

std::string Tiff(bool big, std::vector<TiffEntry> ifd0, const std::vector<TiffEntry>& exif,
                 std::uint32_t exifAt) {
  auto entries = [](size_t n) { return static_cast<std::uint32_t>(n); };
  std::uint32_t ifd0Size = 2 + 12 * entries(ifd0.size() + (exif.empty() ? 0 : 1)) + 4;
  std::uint32_t exifOffset = 8 + ifd0Size;
  if (!exif.empty()) ifd0.push_back({0x8769, 4, 1, Number(exifAt ? exifAt : exifOffset, 4, big)});
  std::uint32_t exifSize = exif.empty() ? 0 : 2 + 12 * entries(exif.size()) + 4;
  std::uint32_t dataAt = exifOffset + exifSize;
  std::string data;
  auto ifd = [&](const std::vector<TiffEntry>& list) {
    std::string out = Number(entries(list.size()), 2, big);
    for (const TiffEntry& e : list) {
      out += Number(e.tag, 2, big) + Number(e.type, 2, big) + Number(e.count, 4, big);
      if (e.value.size() <= 4) {
        out += e.value + std::string(4 - e.value.size(), '\0');
      } else {
        out += Number(dataAt + entries(data.size()), 4, big);
        data += e.value;
      }
    }
    return out + Number(0, 4, big);
  };
  std::string block = std::string(big ? "MM" : "II") + Number(42, 2, big) + Number(8, 4, big);
  block += ifd(ifd0);
  if (!exif.empty()) block += ifd(exif);
  return block + data;
}

std::string Segment(unsigned marker, const std::string& payload) {
  return std::string("\xFF") + static_cast<char>(marker) +
         Number(static_cast<std::uint32_t>(payload.size() + 2), 2, true) + payload;
}

std::string WithExif(const std::string& jpeg, const std::string& tiff) {
  return jpeg.substr(0, 2) + Segment(0xE1, std::string("Exif\0\0", 6) + tiff) + jpeg.substr(2);
}

std::string PlainJpeg() {
  return ReadFile(PathOf(std::string(PAGRIMO_SOURCE_DIR) + "/tests/pictures/progressive.jpg"));
}

std::string JpegTaken(const std::string& taken, bool big) {
  return WithExif(PlainJpeg(), Tiff(big, {}, {Ascii(0x9003, taken)}));
}

void SetModified(const std::filesystem::path& path, std::int64_t seconds) {
  platform::FileStamp stamp;
  std::string reason;
  if (!platform::GetFileStamp(Utf8Path(path), stamp, reason)) return;
  std::filesystem::last_write_time(path, std::filesystem::last_write_time(path) -
                                             std::chrono::seconds(stamp.modified - seconds));
}

}  // namespace testing_support
