// HEIF and AVIF files made by heif-enc, avifenc and exiftool. The
// transformations heif-enc cannot write (irot, imir, clap) are added as boxes,
// and heif-info checks each file: libheif must read it, and the displayed
// size it reports must be the reader's.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "collect/picture_facts.h"
#include "support/pictures.h"
#include "support/test_support.h"

namespace {

using testing_support::IsoBox;
using testing_support::Number;
using testing_support::RunTool;

std::string Irot(int quarters) {
  return IsoBox("irot", std::string(1, static_cast<char>(quarters)));
}
std::string Imir(int axis) { return IsoBox("imir", std::string(1, static_cast<char>(axis))); }
std::string Clap(std::uint32_t width, std::uint32_t height) {
  auto fraction = [](std::uint32_t n) { return Number(n, 4, true) + Number(1, 4, true); };
  return IsoBox("clap", fraction(width) + fraction(height) + fraction(0) + fraction(0));
}

// The displayed size heif-info reports for the primary image.
std::string HeifInfoSize(const std::string& path) {
  std::string out;
  if (!RunTool("heif-info", {path}, &out)) return "";
  size_t at = out.find("image: ");
  return at == std::string::npos ? out : out.substr(at + 7, out.find(' ', at + 7) - at - 7);
}

TEST(HeifFacts, SizesTransformationsAlphaAndDates) {
  testing_support::TempFolder temp;
  const std::string d = temp.Text() + "/";
  std::string script = "from PIL import Image\nImage.new('RGB', (64, 48), (200, 30, 30)).save('" +
                       d + "a.png')\nImage.new('RGBA', (40, 30), (0, 0, 255, 128)).save('" + d +
                       "alpha.png')\n";
  if (!RunTool("python3", {"-c", script})) {
    GTEST_SKIP() << "needs /usr/bin/python3 with PIL, heif-enc, heif-info, avifenc and exiftool";
  }
  // A photo as a phone stores it: an EXIF orientation of 6 and a date. The
  // EXIF tag never turns a HEIF: only its own transformations do.
  ASSERT_TRUE(RunTool("heif-enc", {"-q", "50", d + "a.png", "-o", d + "a.heic"}));
  ASSERT_TRUE(RunTool("exiftool", {"-q", "-overwrite_original", "-Orientation#=6",
                                   "-DateTimeOriginal=2021:07:04 10:20:30", d + "a.heic"}));
  ASSERT_TRUE(RunTool("heif-enc", {d + "alpha.png", "-o", d + "alpha.heic"}));
  ASSERT_TRUE(RunTool("avifenc", {"-j", "1", d + "a.png", d + "a.avif"}));
  ASSERT_TRUE(RunTool("avifenc", {"-j", "1", d + "alpha.png", d + "alpha.avif"}));
  ASSERT_TRUE(RunTool("heif-enc", {"-A", d + "a.png", "-o", d + "enc.avif"}));
  const std::string heic = testing_support::ReadFile(temp.path / "a.heic");
  struct Case {
    std::string name;
    std::vector<std::string> properties;  // added to a.heic; none: the file as made
    PictureFormat format;
    int orientation;
    std::uint32_t width, height;
    bool transparency;
    std::string taken;
  };
  const PictureFormat kHeif = PictureFormat::kHeif, kAvif = PictureFormat::kAvif;
  const std::string kWhen = "2021:07:04 10:20:30";
  const Case cases[] = {
      // heif-enc stores 64 x 48 as a grid of one 64 x 64 tile.
      {"a.heic", {}, kHeif, 1, 64, 48, false, kWhen},
      {"irot90.heic", {Irot(1)}, kHeif, 8, 48, 64, false, kWhen},
      {"irot180.heic", {Irot(2)}, kHeif, 3, 64, 48, false, kWhen},
      {"irot270.heic", {Irot(3)}, kHeif, 6, 48, 64, false, kWhen},
      {"imir0.heic", {Imir(0)}, kHeif, 2, 64, 48, false, kWhen},
      {"imir1.heic", {Imir(1)}, kHeif, 4, 64, 48, false, kWhen},
      {"irot90_imir0.heic", {Irot(1), Imir(0)}, kHeif, 7, 48, 64, false, kWhen},
      {"imir0_irot90.heic", {Imir(0), Irot(1)}, kHeif, 5, 48, 64, false, kWhen},
      {"clap.heic", {Clap(40, 30)}, kHeif, 1, 40, 30, false, kWhen},
      {"clap_irot90.heic", {Clap(40, 30), Irot(1)}, kHeif, 8, 30, 40, false, kWhen},
      {"alpha.heic", {}, kHeif, 1, 40, 30, true, ""},
      {"a.avif", {}, kAvif, 1, 64, 48, false, ""},
      {"alpha.avif", {}, kAvif, 1, 40, 30, true, ""},
      {"enc.avif", {}, kAvif, 1, 64, 48, false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (!c.properties.empty()) {
      testing_support::WriteFile(temp.path / c.name,
                                 testing_support::WithHeifProperties(heic, c.properties));
    }
    EXPECT_EQ(HeifInfoSize(d + c.name), std::to_string(c.width) + "x" + std::to_string(c.height));
    PictureFacts facts;
    std::string reason;
    ASSERT_TRUE(ReadPictureFacts(d + c.name, facts, reason)) << reason;
    EXPECT_EQ(facts.format, c.format);
    EXPECT_EQ(facts.orientation, c.orientation);
    EXPECT_EQ(facts.width, c.width);
    EXPECT_EQ(facts.height, c.height);
    EXPECT_EQ(facts.transparency, c.transparency);
    EXPECT_EQ(facts.taken, c.taken);
  }

  // The Exif item far into the file: asked for where it lies, not read with
  // everything before it.
  std::string far = testing_support::WithExifItemAtEnd(heic, 300000);
  PictureFacts facts;
  PictureScan scan =
      ParsePictureFacts(std::string_view(far).substr(0, kPictureHeadBytes), 0, facts);
  ASSERT_EQ(scan.status, PictureStatus::kNeedMore);
  EXPECT_GT(scan.offset, 300000);
  EXPECT_LT(scan.count, 1000u);
  scan = ParsePictureFacts(std::string_view(far).substr(static_cast<size_t>(scan.offset)),
                           scan.offset, facts);
  EXPECT_EQ(scan.status, PictureStatus::kDone);
  EXPECT_EQ(facts.taken, kWhen);
  EXPECT_EQ(facts.width, 64u);

  // Damaged: every cut reads no wrong size; a meta box longer than the file
  // is no picture.
  for (size_t cut = 0; cut < heic.size(); cut += 7) {
    testing_support::WriteFile(temp.path / "cut.heic", heic.substr(0, cut));
    std::string reason;
    if (ReadPictureFacts(d + "cut.heic", facts, reason)) {
      EXPECT_EQ(facts.width, 64u);
    }
  }
  std::string longMeta = heic;
  longMeta.replace(heic.find("meta") - 4, 4, Number(0x7FFFFF, 4, true));
  testing_support::WriteFile(temp.path / "long.heic", longMeta);
  std::string reason;
  EXPECT_FALSE(ReadPictureFacts(d + "long.heic", facts, reason));
  EXPECT_EQ(reason, "its header is broken or cut short");
}

}  // namespace
