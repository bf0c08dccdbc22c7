#include "support/pictures.h"

#include <gtest/gtest.h>

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

bool RunTool(const std::string& name, const std::vector<std::string>& args, std::string* out) {
  std::string program = "/usr/bin/" + name;
  std::error_code error;
  if (platform::kSeparator != '/' || !std::filesystem::exists(program, error)) return false;
  RunResult result = RunProgram(program, args);
  EXPECT_EQ(result.status, 0) << name << ": " << result.err;
  if (out != nullptr) *out = result.out;
  return true;
}

std::string IsoBox(const std::string& type, const std::string& body, bool full) {
  std::string inside = (full ? std::string(4, '\0') : "") + body;
  return Number(static_cast<std::uint32_t>(inside.size() + 8), 4, true) + type + inside;
}

namespace {

std::uint32_t BoxNumber(const std::string& b, size_t at, int size) {
  std::uint32_t value = 0;
  for (int i = 0; i < size; ++i) value = value << 8 | static_cast<unsigned char>(b.at(at + i));
  return value;
}

// The position of the first child box of type within b[from..to].
size_t FindBox(const std::string& b, size_t from, size_t to, const std::string& type) {
  for (size_t pos = from; pos + 8 <= to; pos += BoxNumber(b, pos, 4)) {
    if (b.compare(pos + 4, 4, type) == 0) return pos;
    if (BoxNumber(b, pos, 4) < 8) break;
  }
  ADD_FAILURE() << "no " << type << " box";
  return std::string::npos;
}

void Grow(std::string& b, size_t box, std::uint32_t by) {
  b.replace(box, 4, Number(BoxNumber(b, box, 4) + by, 4, true));
}

// Calls visit(at, offset, length) for each item in the file (construction
// method 0) of iloc (4-byte fields as heif-enc writes them): at is where the
// base offset lies, or the only extent's offset when there is no base.
template <typename Visit>
void ForEachLocation(std::string& b, Visit visit) {
  size_t meta = FindBox(b, 0, b.size(), "meta");
  size_t iloc = FindBox(b, meta + 12, meta + BoxNumber(b, meta, 4), "iloc");
  unsigned version = static_cast<unsigned char>(b[iloc + 8]);
  int offsetSize = static_cast<unsigned char>(b[iloc + 12]) >> 4;
  int lengthSize = b[iloc + 12] & 15, baseSize = static_cast<unsigned char>(b[iloc + 13]) >> 4;
  size_t pos = iloc + 16;
  std::uint32_t items = BoxNumber(b, iloc + 14, 2);
  for (std::uint32_t i = 0; i < items; ++i) {
    unsigned method = version >= 1 ? BoxNumber(b, pos + 2, 2) & 15 : 0;
    size_t base = pos + (version >= 1 ? 6 : 4);
    std::uint32_t extents = BoxNumber(b, base + baseSize, 2);
    pos = base + baseSize + 2;
    std::uint32_t offset = BoxNumber(b, pos, offsetSize) + (baseSize ? BoxNumber(b, base, 4) : 0);
    if (method == 0 && extents == 1) {
      visit(baseSize == 4 ? base : pos, offset, BoxNumber(b, pos + offsetSize, lengthSize));
    }
    pos += extents * (offsetSize + lengthSize);
  }
}

}  // namespace

std::string WithExifItemAtEnd(const std::string& heif, size_t padding) {
  std::string b = heif, item;
  ForEachLocation(b, [&](size_t at, std::uint32_t offset, std::uint32_t length) {
    if (b.compare(offset + 4, 6, std::string("Exif\0\0", 6)) != 0) return;
    item = b.substr(offset, length);
    std::uint32_t moved = static_cast<std::uint32_t>(b.size() + padding);
    b.replace(at, 4, Number(moved - (offset - BoxNumber(b, at, 4)), 4, true));
  });
  EXPECT_FALSE(item.empty()) << "no Exif item";
  return b + std::string(padding, '\0') + item;
}

std::string WithHeifProperties(const std::string& heif, const std::vector<std::string>& boxes) {
  std::string b = heif;
  size_t meta = FindBox(b, 0, b.size(), "meta");
  if (meta == std::string::npos) return b;
  auto end = [&](size_t box) { return box + BoxNumber(b, box, 4); };
  size_t pitm = FindBox(b, meta + 12, end(meta), "pitm");
  std::uint32_t primary = BoxNumber(b, pitm + 12, 2);
  size_t iprp = FindBox(b, meta + 12, end(meta), "iprp");
  size_t ipco = FindBox(b, iprp + 8, end(iprp), "ipco");
  size_t ipma = FindBox(b, iprp + 8, end(iprp), "ipma");
  // The new properties' indices follow the ones ipco has.
  std::uint32_t count = 0;
  for (size_t pos = ipco + 8; pos < end(ipco); pos += BoxNumber(b, pos, 4)) ++count;
  std::string added;
  for (const std::string& box : boxes) added += box;
  // ipma (version 0, 8-bit indices as heif-enc writes): the primary's entry.
  size_t pos = ipma + 16;
  std::uint32_t entries = BoxNumber(b, ipma + 12, 4);
  for (std::uint32_t e = 0; e < entries; ++e) {
    std::uint32_t id = BoxNumber(b, pos, 2);
    unsigned n = static_cast<unsigned char>(b[pos + 2]);
    if (id == primary) {
      std::string indices;
      for (size_t i = 0; i < boxes.size(); ++i) indices += static_cast<char>(count + 1 + i);
      b.insert(pos + 3 + n, indices);
      b[pos + 2] = static_cast<char>(n + boxes.size());
      Grow(b, ipma, static_cast<std::uint32_t>(indices.size()));
      break;
    }
    pos += 3 + n;
  }
  b.insert(end(ipco), added);
  Grow(b, ipco, static_cast<std::uint32_t>(added.size()));
  std::uint32_t growth = static_cast<std::uint32_t>(b.size() - heif.size());
  Grow(b, iprp, growth);
  Grow(b, meta, growth);
  // The file offsets of iloc move on.
  ForEachLocation(b, [&](size_t at, std::uint32_t, std::uint32_t) {
    b.replace(at, 4, Number(BoxNumber(b, at, 4) + growth, 4, true));
  });
  return b;
}

void SetModified(const std::filesystem::path& path, std::int64_t seconds) {
  platform::FileStamp stamp;
  std::string reason;
  if (!platform::GetFileStamp(Utf8Path(path), stamp, reason)) return;
  std::filesystem::last_write_time(path, std::filesystem::last_write_time(path) -
                                             std::chrono::seconds(stamp.modified - seconds));
}

}  // namespace testing_support
