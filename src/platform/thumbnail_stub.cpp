// Stand-in for the Windows thumbnail engine until WIC lands.
#include <filesystem>
#include <system_error>

#include "platform/platform.h"

namespace platform {

bool MakeThumbnail(const std::string&, int, const std::string&, ThumbnailMade&,
                   ThumbnailFailure& failure, std::string& reason) {
  failure = ThumbnailFailure::kPicture;
  reason = "no thumbnail engine";
  return false;
}

bool MakeThumbnailFolder(const std::string& path, std::string& reason) {
  std::error_code error;
  std::filesystem::path folder(std::u8string(path.begin(), path.end()));
  std::filesystem::create_directory(folder, error);
  if (std::filesystem::is_directory(folder)) return true;
  reason = error.message();
  return false;
}

}  // namespace platform
