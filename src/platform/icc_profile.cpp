#include "platform/icc_profile.h"

#include <cmath>
#include <cstdint>
#include <string>

namespace platform {
namespace {

std::uint32_t Be32(std::string_view b, std::size_t at) {
  auto u = [&](std::size_t i) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(b[i]));
  };
  return u(at) << 24 | u(at + 1) << 16 | u(at + 2) << 8 | u(at + 3);
}

// The bytes of the tag with the signature, or empty when absent or outside
// the profile.
std::string_view Tag(std::string_view icc, std::string_view signature) {
  std::uint32_t count = Be32(icc, 128);
  for (std::uint64_t i = 0; i < count && 132 + 12 * (i + 1) <= icc.size(); ++i) {
    std::size_t entry = static_cast<std::size_t>(132 + 12 * i);
    if (icc.substr(entry, 4) != signature) continue;
    std::uint64_t offset = Be32(icc, entry + 4), size = Be32(icc, entry + 8);
    if (offset > icc.size() || size > icc.size() - offset) return {};
    return icc.substr(static_cast<std::size_t>(offset), static_cast<std::size_t>(size));
  }
  return {};
}

// The description's text in lower case ASCII (other characters dropped).
std::string Description(std::string_view icc) {
  std::string_view tag = Tag(icc, "desc");
  std::string text;
  auto keep = [&](std::uint32_t c) {
    if (c >= 'A' && c <= 'Z') c += 32;
    if (c >= 0x20 && c < 0x7F) text += static_cast<char>(c);
  };
  if (tag.size() >= 12 && tag.substr(0, 4) == "desc") {
    std::uint64_t length = Be32(tag, 8);
    for (std::uint64_t i = 0; i < length && 12 + i < tag.size(); ++i)
      keep(static_cast<unsigned char>(tag[static_cast<std::size_t>(12 + i)]));
  } else if (tag.size() >= 16 && tag.substr(0, 4) == "mluc") {
    std::uint64_t records = Be32(tag, 8), recordSize = Be32(tag, 12);
    for (std::uint64_t r = 0; r < records && recordSize >= 12; ++r) {
      std::uint64_t at = 16 + r * recordSize;
      if (at + 12 > tag.size()) break;
      std::uint64_t length = Be32(tag, static_cast<std::size_t>(at + 4));
      std::uint64_t offset = Be32(tag, static_cast<std::size_t>(at + 8));
      for (std::uint64_t i = 0; i + 1 < length && offset + i + 1 < tag.size(); i += 2) {
        auto at16 = static_cast<std::size_t>(offset + i);
        keep(static_cast<std::uint32_t>(static_cast<unsigned char>(tag[at16])) << 8 |
             static_cast<unsigned char>(tag[at16 + 1]));
      }
      text += ' ';
    }
  }
  return text;
}

// Whether the colorant tag holds the XYZ value given, to within 0.003.
bool Colorant(std::string_view icc, std::string_view signature, double x, double y, double z) {
  std::string_view tag = Tag(icc, signature);
  if (tag.size() < 20 || tag.substr(0, 4) != "XYZ ") return false;
  const double want[3] = {x, y, z};
  for (int i = 0; i < 3; ++i) {
    auto fixed = static_cast<std::int32_t>(Be32(tag, 8 + 4 * static_cast<std::size_t>(i)));
    if (std::fabs(fixed / 65536.0 - want[i]) > 0.003) return false;
  }
  return true;
}

}  // namespace

bool IsSrgbProfile(std::string_view icc) {
  if (icc.size() < 132 || icc.substr(36, 4) != "acsp") return false;
  if (Description(icc).find("srgb") != std::string::npos) return true;
  return icc.substr(16, 4) == "RGB " && Colorant(icc, "rXYZ", 0.4361, 0.2225, 0.0139) &&
         Colorant(icc, "gXYZ", 0.3851, 0.7169, 0.0971) &&
         Colorant(icc, "bXYZ", 0.1431, 0.0606, 0.7141);
}

}  // namespace platform
