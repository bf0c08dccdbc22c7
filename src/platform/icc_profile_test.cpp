// Which profiles count as sRGB: by their description (v2 and v4 texts) or by
// their colorants; everything else, broken bytes included, is converted.
#include "platform/icc_profile.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

void Put32(std::string& s, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) s += static_cast<char>((v >> shift) & 255);
}

std::string Xyz(double x, double y, double z) {
  std::string tag = "XYZ ";
  Put32(tag, 0);
  for (double v : {x, y, z})
    Put32(tag, static_cast<std::uint32_t>(static_cast<std::int32_t>(v * 65536)));
  return tag;
}

// A v2 'desc' text, or (utf16) a v4 'mluc' one.
std::string Description(const std::string& text, bool utf16) {
  std::string tag = utf16 ? "mluc" : "desc";
  Put32(tag, 0);
  if (!utf16) {
    Put32(tag, static_cast<std::uint32_t>(text.size() + 1));
    return tag + text + '\0';
  }
  Put32(tag, 1), Put32(tag, 12);
  tag += "enUS";
  Put32(tag, static_cast<std::uint32_t>(text.size() * 2)), Put32(tag, 28);
  for (char c : text) tag += '\0', tag += c;
  return tag;
}

// A profile of the colour space with the tags given, in order.
std::string Profile(const std::string& space,
                    const std::vector<std::pair<std::string, std::string>>& tags) {
  std::string header(128, '\0');
  header.replace(16, 4, space);
  header.replace(36, 4, "acsp");
  std::string table, data;
  Put32(table, static_cast<std::uint32_t>(tags.size()));
  std::size_t offset = 128 + 4 + 12 * tags.size();
  for (const auto& [signature, tag] : tags) {
    table += signature;
    Put32(table, static_cast<std::uint32_t>(offset + data.size()));
    Put32(table, static_cast<std::uint32_t>(tag.size()));
    data += tag;
  }
  return header + table + data;
}

TEST(IccProfile, OnlySrgbProfilesKeepTheirValues) {
  const auto srgbR = Xyz(0.4361, 0.2225, 0.0139), srgbG = Xyz(0.3851, 0.7169, 0.0971),
             srgbB = Xyz(0.1431, 0.0606, 0.7141);
  const auto p3R = Xyz(0.5151, 0.2412, -0.0011), p3G = Xyz(0.2920, 0.6922, 0.0419),
             p3B = Xyz(0.1571, 0.0666, 0.7841);
  std::string cut = Profile("RGB ", {{"desc", Description("sRGB IEC61966-2.1", false)}});
  cut.resize(150);
  struct Case {
    const char* what;
    std::string icc;
    bool srgb;
  } cases[] = {
      {"v2 description", Profile("RGB ", {{"desc", Description("sRGB IEC61966-2.1", false)}}),
       true},
      {"v4 description", Profile("RGB ", {{"desc", Description("sRGB built-in", true)}}), true},
      {"any case", Profile("RGB ", {{"desc", Description("c2ci SRGB v4", false)}}), true},
      {"sRGB colorants",
       Profile("RGB ", {{"desc", Description("Camera", false)},
                        {"rXYZ", srgbR},
                        {"gXYZ", srgbG},
                        {"bXYZ", srgbB}}),
       true},
      {"Display P3",
       Profile("RGB ", {{"desc", Description("Display P3", true)},
                        {"rXYZ", p3R},
                        {"gXYZ", p3G},
                        {"bXYZ", p3B}}),
       false},
      {"one colorant off", Profile("RGB ", {{"rXYZ", srgbR}, {"gXYZ", p3G}, {"bXYZ", srgbB}}),
       false},
      {"sRGB colorants, grey", Profile("GRAY", {{"rXYZ", srgbR}, {"gXYZ", srgbG}, {"bXYZ", srgbB}}),
       false},
      {"Adobe RGB", Profile("RGB ", {{"desc", Description("Adobe RGB (1998)", false)}}), false},
      {"cut short", cut, false},
      {"no signature", std::string(200, 'x'), false},
      {"empty", "", false},
  };
  for (const Case& c : cases) EXPECT_EQ(platform::IsSrgbProfile(c.icc), c.srgb) << c.what;
}

// Tag offsets and lengths past the end are ignored, never read.
TEST(IccProfile, TagsOutsideTheProfileAreIgnored) {
  std::string icc = Profile("RGB ", {{"desc", Description("sRGB", false)}});
  std::string far = icc;
  far[132 + 4] = '\x7F';  // the offset, far beyond the end
  EXPECT_FALSE(platform::IsSrgbProfile(far));
  std::string longText = icc;
  longText[132 + 12 * 1 + 8 + 3] = '\x7F';  // the text's length, beyond its tag
  EXPECT_TRUE(platform::IsSrgbProfile(longText));
}

}  // namespace
