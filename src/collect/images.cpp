#include "collect/images.h"

namespace {

bool EndsWith(const std::string& text, const char* suffix, size_t length) {
  if (text.size() < length) return false;
  for (size_t i = 0; i < length; ++i) {
    char c = text[text.size() - length + i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    if (c != suffix[i]) return false;
  }
  return true;
}

// Appends the images of path (which ends in the separator) to list, each name
// behind prefix.
void CollectInto(const std::string& path, const std::string& prefix, ImageList& list, bool recurse,
                 Ancestors& ancestors) {
  // One enumeration gives both the subfolders and the own images; the own
  // images wait, already sorted, until the subfolders' entries are in.
  NameList subfolders;
  ImageList own;
  ScanFolder(path, recurse ? &subfolders : nullptr, &own);
  for (const std::string& name : subfolders) {
    std::string subfolder = path + name;
    if (!Enter(ancestors, subfolder, LinkRule::kEnterOnce)) continue;
    CollectInto(WithTrailingSeparator(subfolder), prefix + WithTrailingSeparator(name), list, true,
                ancestors);
    Leave(ancestors);
  }
  for (const std::string& name : own) list.push_back(prefix + name);
}

bool AnyImageIn(const std::string& path, bool recurse, LinkRule links, Ancestors& ancestors) {
  bool found = false;
  ForEachEntry(path, false, [&found](const platform::DirEntry& entry) {
    found = IsImageName(entry.name);
    return !found;
  });
  if (found || !recurse) return found;
  NameList subfolders;
  ScanFolder(path, &subfolders, nullptr);
  for (const std::string& name : subfolders) {
    std::string subfolder = path + name;
    if (!Enter(ancestors, subfolder, links)) continue;
    found = AnyImageIn(WithTrailingSeparator(subfolder), true, links, ancestors);
    Leave(ancestors);
    if (found) return true;
  }
  return false;
}

}  // namespace

bool IsImageName(const std::string& name) {
  return EndsWith(name, ".gif", 4) || EndsWith(name, ".jpg", 4) || EndsWith(name, ".jpeg", 5) ||
         EndsWith(name, ".png", 4) || EndsWith(name, ".bmp", 4);
}

void ScanFolder(const std::string& folder, NameList* subfolders, ImageList* images) {
  if (subfolders) subfolders->clear();
  if (images) images->clear();
  ForEachEntry(folder, subfolders != nullptr, [&](platform::DirEntry& entry) {
    if (entry.isFolder) {
      if (subfolders) subfolders->push_back(std::move(entry.name));
    } else if (images && IsImageName(entry.name)) {
      images->push_back(std::move(entry.name));
    }
    return true;
  });
  if (subfolders) SortNames(*subfolders);
  if (images) SortNames(*images);
}

void CollectImages(const std::string& folder, ImageList& list, bool recurse) {
  list.clear();
  Ancestors ancestors = StartingAncestors(folder);
  CollectInto(WithTrailingSeparator(folder), "", list, recurse, ancestors);
}

bool HasAnyImage(const std::string& folder, bool recurse, LinkRule links) {
  Ancestors ancestors = StartingAncestors(folder);
  return AnyImageIn(WithTrailingSeparator(folder), recurse, links, ancestors);
}
