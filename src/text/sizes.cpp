#include "text/sizes.h"

namespace {

// bytes / unit, rounded half up.
std::uint64_t Rounded(std::uint64_t bytes, std::uint64_t unit) {
  return bytes / unit + (bytes % unit * 2 >= unit ? 1 : 0);
}

}  // namespace

std::string SizeText(std::uint64_t bytes) {
  if (bytes < 1000) return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
  static const char* const kUnits[] = {"KB", "MB", "GB", "TB", "PB", "EB"};
  std::uint64_t unit = 1000;  // the bytes in one of kUnits
  for (const char* name : kUnits) {
    if (std::uint64_t tenths = Rounded(bytes, unit / 10); tenths < 100) {
      return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + " " + name;
    }
    if (std::uint64_t whole = Rounded(bytes, unit); whole < 1000) {
      return std::to_string(whole) + " " + name;
    }
    unit *= 1000;
  }
  return {};  // not reached: 2^64 bytes are 18.4 EB
}
