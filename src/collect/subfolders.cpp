#include "collect/subfolders.h"

#include "collect/images.h"

void ListSubfolders(const std::string& folder, NameList& list) {
  ScanFolder(folder, &list, nullptr);
}
