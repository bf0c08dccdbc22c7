// WebP files made by cwebp, img2webp and exiftool, read by the header reader.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "collect/picture_facts.h"
#include "support/pictures.h"
#include "support/test_support.h"

namespace {

using testing_support::RunTool;

// Pictures of a plain colour from PIL: name, width, height, alpha.
bool MakePngs(const std::string& folder,
              const std::vector<std::tuple<std::string, int, int, bool>>& pictures) {
  std::string script = "from PIL import Image\nimport os\n";
  for (const auto& [name, width, height, alpha] : pictures) {
    script += "Image.frombytes('" + std::string(alpha ? "RGBA" : "RGB") + "', (" +
              std::to_string(width) + ", " + std::to_string(height) + "), os.urandom(" +
              std::to_string(width * height * (alpha ? 4 : 3)) + ")).save('" + folder + "/" + name +
              "')\n";
  }
  return RunTool("python3", {"-c", script});
}

TEST(WebpFacts, LossyLosslessExtendedAnimatedAndMetadata) {
  testing_support::TempFolder temp;
  const std::string d = temp.Text() + "/";
  if (!MakePngs(temp.Text(), {{"a.png", 64, 48, false},
                              {"b.png", 64, 48, false},
                              {"alpha.png", 40, 30, true},
                              {"big.png", 400, 300, false}})) {
    GTEST_SKIP() << "needs /usr/bin/python3 with PIL, cwebp, img2webp and exiftool";
  }
  const std::string when = "-DateTimeOriginal=2020:01:02 03:04:05";
  struct Case {
    std::string name;
    std::vector<std::vector<std::string>> make;  // tool, arguments
    std::uint32_t width, height;
    int orientation;
    bool transparency, animated;
    std::string taken;
  };
  const Case cases[] = {
      {"lossy.webp",
       {{"cwebp", "-quiet", d + "a.png", "-o", d + "lossy.webp"}},
       64,
       48,
       1,
       false,
       false,
       ""},
      {"lossless.webp",
       {{"cwebp", "-quiet", "-lossless", d + "a.png", "-o", d + "lossless.webp"}},
       64,
       48,
       1,
       false,
       false,
       ""},
      {"alpha.webp",
       {{"cwebp", "-quiet", d + "alpha.png", "-o", d + "alpha.webp"}},
       40,
       30,
       1,
       true,
       false,
       ""},
      {"alpha_lossless.webp",
       {{"cwebp", "-quiet", "-lossless", d + "alpha.png", "-o", d + "alpha_lossless.webp"}},
       40,
       30,
       1,
       true,
       false,
       ""},
      {"animated.webp",
       {{"img2webp", "-lossy", d + "a.png", d + "b.png", "-o", d + "animated.webp"}},
       64,
       48,
       1,
       false,
       true,
       ""},
      // The EXIF chunk's orientation turns a WebP, as decoders do; the
      // chunk follows 300 KB of image data, beyond the first read.
      {"exif.webp",
       {{"cwebp", "-quiet", "-lossless", d + "big.png", "-o", d + "exif.webp"},
        {"exiftool", "-q", "-overwrite_original", "-Orientation#=6",
         "-ModifyDate=2022:02:02 02:02:02", when, d + "exif.webp"}},
       300,
       400,
       6,
       false,
       false,
       "2020:01:02 03:04:05"},
      // XMP only, after an EXIF chunk with the edit time alone.
      {"xmp.webp",
       {{"cwebp", "-quiet", d + "a.png", "-o", d + "xmp.webp"},
        {"exiftool", "-q", "-overwrite_original", "-EXIF:ModifyDate=2022:02:02 02:02:02",
         "-XMP-photoshop:DateCreated=2019-05-06T07:08:09+02:00", d + "xmp.webp"}},
       64,
       48,
       1,
       false,
       false,
       "2019:05:06 07:08:09"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (const std::vector<std::string>& step : c.make) {
      ASSERT_TRUE(RunTool(step[0], std::vector<std::string>(step.begin() + 1, step.end())));
    }
    PictureFacts facts;
    std::string reason;
    ASSERT_TRUE(ReadPictureFacts(d + c.name, facts, reason)) << reason;
    EXPECT_EQ(facts.format, PictureFormat::kWebp);
    EXPECT_EQ(facts.width, c.width);
    EXPECT_EQ(facts.height, c.height);
    EXPECT_EQ(facts.orientation, c.orientation);
    EXPECT_EQ(facts.transparency, c.transparency);
    EXPECT_EQ(facts.animated, c.animated);
    EXPECT_EQ(facts.taken, c.taken);
  }
  // Damaged: every cut of the extended file reads no wrong size.
  std::string file = testing_support::ReadFile(testing_support::PathOf(d + "alpha.webp"));
  for (size_t cut = 0; cut < 64 && cut < file.size(); ++cut) {
    testing_support::WriteFile(temp.path / "cut.webp", file.substr(0, cut));
    PictureFacts facts;
    std::string reason;
    if (ReadPictureFacts(d + "cut.webp", facts, reason)) {
      EXPECT_EQ(facts.width, 40u);
    }
  }
}

}  // namespace
