#include "app/folder_picker.h"

#include "platform/platform.h"

std::string BrowseForFolder(const std::string& title) {
  std::string path = platform::ChooseFolder(title);
  // A chooser that hands back a NUL-terminated buffer ends at the first NUL.
  return path.substr(0, path.find('\0'));
}
