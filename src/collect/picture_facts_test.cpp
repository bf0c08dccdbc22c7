#include "collect/picture_facts.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/pictures.h"
#include "support/test_support.h"

namespace {

using testing_support::TempFolder;

using testing_support::Ascii;
using testing_support::Number;
using testing_support::Segment;
using testing_support::Short;
using testing_support::Tiff;

// A JPEG's headers: SOI, JFIF, the EXIF block (when given), other segments,
// the frame header and the start of the scan.
std::string Jpeg(std::uint16_t width, std::uint16_t height, const std::string& tiff,
                 const std::vector<std::string>& before = {}, unsigned frame = 0xC0) {
  std::string out = "\xFF\xD8";
  out += Segment(0xE0, std::string("JFIF\0\x01\x01\0\0\x01\0\x01\0\0", 14));
  if (!tiff.empty()) out += Segment(0xE1, std::string("Exif\0\0", 6) + tiff);
  for (const std::string& segment : before) out += segment;
  out += Segment(0xDB, std::string(65, '\x01'));
  out += Segment(frame, std::string("\x08", 1) + Number(height, 2, true) + Number(width, 2, true) +
                            "\x01\x01\x11\x00");
  return out + Segment(0xDA, std::string("\x01\x01\x00\x00\x3F\x00", 6)) + "\x12\x34\xFF\xD9";
}

std::string PngChunk(const std::string& type, const std::string& data) {
  return Number(static_cast<std::uint32_t>(data.size()), 4, true) + type + data + "CRC!";
}

std::string Png(std::uint32_t width, std::uint32_t height, char colourType,
                const std::vector<std::string>& chunks = {}) {
  std::string out = "\x89PNG\r\n\x1A\n";
  out += PngChunk("IHDR", Number(width, 4, true) + Number(height, 4, true) + "\x08" + colourType +
                              std::string(3, '\0'));
  for (const std::string& chunk : chunks) out += chunk;
  return out + PngChunk("IDAT", "x") + PngChunk("IEND", "");
}

std::string Bmp(std::uint32_t headerSize, std::uint32_t width, std::uint32_t height) {
  std::string out = "BM" + Number(1000, 4, false) + Number(0, 4, false) + Number(54, 4, false);
  out += Number(headerSize, 4, false);
  if (headerSize == 12)
    return out + Number(width, 2, false) + Number(height, 2, false) + "\x01\0\x18\0";
  return out + Number(width, 4, false) + Number(height, 4, false) +
         std::string(headerSize - 12, '\0');
}

// Drives the parser the way a reader of a file does, over bytes in memory.
PictureStatus ParseAll(const std::string& file, PictureFacts& facts, int* reads = nullptr) {
  facts = PictureFacts();
  std::int64_t offset = 0;
  std::size_t count = kPictureHeadBytes;
  for (int i = 1; i < 100; ++i) {
    std::string_view bytes;
    if (static_cast<std::size_t>(offset) < file.size()) {
      bytes = std::string_view(file).substr(static_cast<std::size_t>(offset), count);
    }
    PictureScan scan = ParsePictureFacts(bytes, offset, facts);
    if (reads != nullptr) *reads = i;
    if (scan.status != PictureStatus::kNeedMore) return scan.status;
    EXPECT_GT(scan.offset, offset);
    offset = scan.offset;
    count = std::max(scan.count, kPictureHeadBytes);
  }
  ADD_FAILURE() << "the parser keeps asking for more";
  return PictureStatus::kUnknown;
}

struct Expected {
  PictureFormat format;
  std::uint32_t storedWidth, storedHeight;
  int orientation;
  std::uint32_t width, height;
  std::string taken;
  bool transparency;
};

void Check(const PictureFacts& f, const Expected& e) {
  EXPECT_EQ(f.format, e.format);
  EXPECT_EQ(f.storedWidth, e.storedWidth);
  EXPECT_EQ(f.storedHeight, e.storedHeight);
  EXPECT_EQ(f.orientation, e.orientation);
  EXPECT_EQ(f.width, e.width);
  EXPECT_EQ(f.height, e.height);
  EXPECT_EQ(f.taken, e.taken);
  EXPECT_EQ(f.transparency, e.transparency);
  if (f.taken.empty()) {
    EXPECT_EQ(f.takenTime, CivilTime());
  }
}

constexpr PictureFormat kJpeg = PictureFormat::kJpeg;
constexpr PictureFormat kPng = PictureFormat::kPng;
constexpr PictureFormat kGif = PictureFormat::kGif;
constexpr PictureFormat kBmp = PictureFormat::kBmp;

TEST(PictureFacts, HeadersOfEveryKind) {
  const std::string kWhen = "2021:07:04 10:20:30", kOther = "2019:02:28 23:59:59";
  const std::string app2(60000, 'i');
  struct Case {
    std::string what;
    std::string bytes;
    Expected expected;
  };
  std::vector<Case> cases;
  for (bool big : {false, true}) {
    std::string order = big ? " (MM)" : " (II)";
    cases.push_back(
        {"orientation 6, both dates" + order,
         Jpeg(640, 480,
              Tiff(big, {Short(0x0112, 6, big), Ascii(0x0132, kOther)}, {Ascii(0x9003, kWhen)})),
         {kJpeg, 640, 480, 6, 480, 640, kWhen, false}});
    cases.push_back({"only DateTime",
                     Jpeg(30, 20, Tiff(big, {Short(0x0112, 3, big), Ascii(0x0132, kOther)}, {})),
                     {kJpeg, 30, 20, 3, 30, 20, kOther, false}});
    for (int o : {5, 7, 8, 2, 4}) {
      bool turned = o >= 5;
      cases.push_back({"orientation",
                       Jpeg(30, 20, Tiff(big, {Short(0x0112, o, big)}, {})),
                       {kJpeg, 30, 20, o, turned ? 20u : 30u, turned ? 30u : 20u, "", false}});
    }
    for (int o : {0, 9, 0x106}) {
      cases.push_back({"invalid orientation" + order,
                       Jpeg(30, 20, Tiff(big, {Short(0x0112, o, big)}, {})),
                       {kJpeg, 30, 20, 1, 30, 20, "", false}});
    }
    cases.push_back(
        {"zero date, then a good DateTime",
         Jpeg(8, 9, Tiff(big, {Ascii(0x0132, kOther)}, {Ascii(0x9003, "0000:00:00 00:00:00")})),
         {kJpeg, 8, 9, 1, 8, 9, kOther, false}});
    cases.push_back({"blank date",
                     Jpeg(8, 9, Tiff(big, {}, {Ascii(0x9003, "                   ")})),
                     {kJpeg, 8, 9, 1, 8, 9, "", false}});
    cases.push_back({"date too short",
                     Jpeg(8, 9, Tiff(big, {Ascii(0x0132, "2020:01:01")}, {})),
                     {kJpeg, 8, 9, 1, 8, 9, "", false}});
    cases.push_back(
        {"Exif IFD pointing at IFD0 (a cycle)",
         Jpeg(8, 9,
              Tiff(big, {Short(0x0112, 8, big), Ascii(0x0132, kOther)}, {Ascii(0x9003, kWhen)}, 8)),
         {kJpeg, 8, 9, 8, 9, 8, kOther, false}});
    cases.push_back({"Exif IFD beyond the block",
                     Jpeg(8, 9, Tiff(big, {}, {Ascii(0x9003, kWhen)}, 0x7FFFFFF0)),
                     {kJpeg, 8, 9, 1, 8, 9, "", false}});
    cases.push_back({"EXIF and SOF beyond the first 64 KiB",
                     Jpeg(4000, 3000, Tiff(big, {Short(0x0112, 6, big)}, {Ascii(0x9003, kWhen)}),
                          {Segment(0xE2, app2), Segment(0xE2, app2), Segment(0xED, app2)}, 0xC2),
                     {kJpeg, 4000, 3000, 6, 3000, 4000, kWhen, false}});
  }
  // IFD0 that claims 65,535 entries in a short block; an entry whose value
  // lies past the block; a second EXIF block that must not count.
  std::string huge = Tiff(false, {Short(0x0112, 6, false), Ascii(0x0132, kOther)}, {});
  huge[8] = huge[9] = '\xFF';
  cases.push_back({"IFD count too large", Jpeg(5, 6, huge), {kJpeg, 5, 6, 6, 6, 5, kOther, false}});
  std::string past = Tiff(true, {Ascii(0x0132, kOther)}, {});
  past[8 + 2 + 8] = '\x7F';
  cases.push_back(
      {"value offset past the block", Jpeg(5, 6, past), {kJpeg, 5, 6, 1, 5, 6, "", false}});
  cases.push_back(
      {"second EXIF block ignored",
       Jpeg(5, 6, Tiff(false, {Short(0x0112, 1, false)}, {}),
            {Segment(0xE1, std::string("Exif\0\0", 6) +
                               Tiff(false, {Short(0x0112, 6, false)}, {Ascii(0x9003, kWhen)}))}),
       {kJpeg, 5, 6, 1, 5, 6, "", false}});
  cases.push_back({"no EXIF, fill bytes before a marker",
                   "\xFF\xD8\xFF\xFF\xFF" + Jpeg(17, 1, "").substr(3),
                   {kJpeg, 17, 1, 1, 17, 1, "", false}});
  cases.push_back(
      {"EXIF that is not TIFF", Jpeg(5, 6, "XX*\0\0\0\0\0"), {kJpeg, 5, 6, 1, 5, 6, "", false}});
  cases.push_back({"PNG RGBA", Png(300, 200, 6), {kPng, 300, 200, 1, 300, 200, "", true}});
  cases.push_back({"PNG grey + alpha", Png(1, 1, 4), {kPng, 1, 1, 1, 1, 1, "", true}});
  cases.push_back({"PNG palette with tRNS after a big chunk",
                   Png(7, 70000, 3,
                       {PngChunk("iTXt", std::string(70000, 't')), PngChunk("PLTE", "abc"),
                        PngChunk("tRNS", "\x00")}),
                   {kPng, 7, 70000, 1, 7, 70000, "", true}});
  cases.push_back({"PNG tRNS after IDAT does not count",
                   Png(7, 7, 2) + PngChunk("tRNS", "x"),
                   {kPng, 7, 7, 1, 7, 7, "", false}});
  cases.push_back({"PNG without IDAT (cut short)",
                   Png(7, 7, 2).substr(0, 33),
                   {kPng, 7, 7, 1, 7, 7, "", false}});
  cases.push_back({"GIF89a",
                   std::string("GIF89a\x20\x03\x58\x02\x00\x00\x00;", 14),
                   {kGif, 800, 600, 1, 800, 600, "", false}});
  cases.push_back({"GIF with colour table and transparent colour",
                   std::string("GIF89a\x02\x00\x03\x00\x80\x00\x00", 13) + std::string(6, '\x7F') +
                       std::string("!\xFE\x02hi\x00!\xF9\x04\x01\x00\x00\x00\x00,", 16),
                   {kGif, 2, 3, 1, 2, 3, "", true}});
  cases.push_back({"BMP core header", Bmp(12, 640, 480), {kBmp, 640, 480, 1, 640, 480, "", false}});
  cases.push_back({"BMP info header", Bmp(40, 3, 2), {kBmp, 3, 2, 1, 3, 2, "", false}});
  cases.push_back(
      {"BMP top-down (V5 header)", Bmp(124, 3, 0xFFFFFFFE), {kBmp, 3, 2, 1, 3, 2, "", false}});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    PictureFacts facts;
    EXPECT_EQ(ParseAll(c.bytes, facts), PictureStatus::kDone);
    Check(facts, c.expected);
  }
}

TEST(PictureFacts, BrokenAndForeignBytesAreUnknown) {
  std::string jpeg = Jpeg(10, 10, Tiff(false, {Short(0x0112, 6, false)}, {}));
  std::size_t sof = jpeg.find("\xFF\xC0");
  std::string sosFirst = jpeg.substr(0, sof) + Segment(0xDA, "xx") + jpeg.substr(sof);
  std::string zeroWidth = Jpeg(0, 10, "");
  std::vector<std::pair<const char*, std::string>> cases = {
      {"empty", ""},
      {"text", "hello, world"},
      {"JPEG without a frame header", sosFirst},
      {"JPEG cut before the frame header", jpeg.substr(0, sof + 5)},
      {"JPEG with zero width", zeroWidth},
      {"JPEG segment length 1", std::string("\xFF\xD8\xFF\xE0\x00\x01", 6)},
      {"JPEG of fill bytes", "\xFF\xD8" + std::string(200000, '\xFF')},
      {"JPEG with garbage between segments", std::string("\xFF\xD8\xFF\xE0\x00\x02zz", 8)},
      {"PNG with zero height", Png(5, 0, 6)},
      {"PNG with IHDR too short", Png(5, 5, 6).substr(0, 30)},
      {"PNG width over 2^31", Png(0x80000000u, 5, 6)},
      {"GIF of zero size", std::string("GIF87a\0\0\0\0\0\0\0", 13)},
      {"GIF cut short", "GIF89a\x01"},
      {"BMP with unknown header size", Bmp(40, 3, 2).replace(14, 1, "\x29")},
      {"BMP with negative width", Bmp(40, 0xFFFFFFFD, 2)},
      {"BMP with height -2^31", Bmp(40, 3, 0x80000000u)},
      {"BMP cut short", Bmp(40, 3, 2).substr(0, 20)},
  };
  for (const auto& [what, bytes] : cases) {
    SCOPED_TRACE(what);
    PictureFacts facts;
    EXPECT_EQ(ParseAll(bytes, facts), PictureStatus::kUnknown);
  }
  // Every cut of a JPEG with EXIF: never more than it holds, never a wrong size.
  for (std::size_t cut = 0; cut < jpeg.size(); ++cut) {
    PictureFacts facts;
    if (ParseAll(jpeg.substr(0, cut), facts) == PictureStatus::kDone) {
      EXPECT_EQ(facts.width, 10u);
    }
  }
}

TEST(PictureFacts, ExifDates) {
  struct Case {
    const char* text;
    bool valid;
    CivilTime time;
  };
  const Case cases[] = {
      {"2021:07:04 10:20:30", true, {2021, 7, 4, 10, 20, 30}},
      {"0001:01:01 00:00:00", true, {1, 1, 1, 0, 0, 0}},
      {"9999:12:31 23:59:59", true, {9999, 12, 31, 23, 59, 59}},
      {"2024:02:29 12:00:00", true, {2024, 2, 29, 12, 0, 0}},
      {"2000:02:29 12:00:00", true, {2000, 2, 29, 12, 0, 0}},
      {"1900:02:29 12:00:00", false, {}},
      {"2023:02:29 12:00:00", false, {}},
      {"2023:04:31 12:00:00", false, {}},
      {"2023:04:30 12:00:00", true, {2023, 4, 30, 12, 0, 0}},  // a month's last day
      {"0000:01:01 00:00:00", false, {}},                      // the year before the first
      {"0000:00:00 00:00:00", false, {}},
      {"2023:13:01 12:00:00", false, {}},
      {"2023:01:00 12:00:00", false, {}},
      {"2023:01:01 24:00:00", false, {}},
      {"2023:01:01 23:60:00", false, {}},
      {"2023:01:01 23:00:60", false, {}},
      {"2023-01-01 12:00:00", false, {}},
      {"2023:01:01T12:00:00", false, {}},
      {"                   ", false, {}},
      {"2023:01:01 12:00:0", false, {}},
      {"2023:01:01 12:00:00Z", false, {}},
      {"2023:0a:01 12:00:00", false, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    CivilTime time;
    EXPECT_EQ(ParseExifDate(c.text, time), c.valid);
    if (c.valid) {
      EXPECT_EQ(time, c.time);
    }
  }
  EXPECT_LT((CivilTime{2020, 12, 31, 23, 59, 59}), (CivilTime{2021, 1, 1, 0, 0, 0}));
}

// Pictures made by ImageMagick and ExifTool, read from files through the
// platform's reader (the same files under Windows).
TEST(PictureFacts, ReadsRealFiles) {
  const std::string folder = std::string(PAGRIMO_SOURCE_DIR) + "/tests/pictures/";
  const std::pair<const char*, Expected> cases[] = {
      {"exif_ii_o6.jpg", {kJpeg, 4, 2, 6, 2, 4, "2021:07:04 10:20:30", false}},
      {"exif_mm_o8.jpg", {kJpeg, 5, 3, 8, 3, 5, "2019:02:28 23:59:59", false}},
      {"facts_progressive.jpg", {kJpeg, 7, 5, 1, 7, 5, "", false}},
      {"facts_cmyk.jpg", {kJpeg, 6, 4, 1, 6, 4, "", false}},
      {"rgba.png", {kPng, 3, 5, 1, 3, 5, "", true}},
      {"facts_rgb.png", {kPng, 10, 1, 1, 10, 1, "", false}},
      {"palette_trns.png", {kPng, 9, 2, 1, 9, 2, "", true}},
      {"gray16.png", {kPng, 8, 8, 1, 8, 8, "", false}},
      {"transparent.gif", {kGif, 11, 6, 1, 11, 6, "", true}},
      {"plain.gif", {kGif, 12, 7, 1, 12, 7, "", false}},
      {"info.bmp", {kBmp, 13, 9, 1, 13, 9, "", false}},
      {"core.bmp", {kBmp, 14, 3, 1, 14, 3, "", false}},
      {"v5.bmp", {kBmp, 15, 4, 1, 15, 4, "", false}},
  };
  for (const auto& [name, expected] : cases) {
    SCOPED_TRACE(name);
    PictureFacts facts;
    std::string reason;
    EXPECT_TRUE(ReadPictureFacts(folder + name, facts, reason)) << reason;
    Check(facts, expected);
  }
  // A large camera-like file: the frame header lies far beyond the head.
  TempFolder temp;
  std::string big =
      Jpeg(4032, 3024, Tiff(true, {Short(0x0112, 6, true)}, {Ascii(0x9003, "2020:05:06 07:08:09")}),
           std::vector<std::string>(5, Segment(0xE2, std::string(65000, 'c'))));
  testing_support::WriteFile(temp.path / "big.jpg", big + std::string(1 << 20, '\x55'));
  testing_support::WriteFile(temp.path / "notes.jpg", "not a picture");
  PictureFacts facts;
  std::string reason;
  ASSERT_TRUE(ReadPictureFacts(temp.Text() + "/big.jpg", facts, reason)) << reason;
  Check(facts, {kJpeg, 4032, 3024, 6, 3024, 4032, "2020:05:06 07:08:09", false});
  EXPECT_EQ(facts.takenTime, (CivilTime{2020, 5, 6, 7, 8, 9}));
  EXPECT_FALSE(ReadPictureFacts(temp.Text() + "/notes.jpg", facts, reason));
  EXPECT_EQ(reason, "not a GIF, JPEG, PNG, BMP, WebP, HEIF or AVIF picture");
  EXPECT_FALSE(ReadPictureFacts(temp.Text() + "/missing.jpg", facts, reason));
  EXPECT_FALSE(reason.empty());
  EXPECT_FALSE(ReadPictureFacts(temp.Text(), facts, reason));  // a folder
}

}  // namespace
