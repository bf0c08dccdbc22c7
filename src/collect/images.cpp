#include "collect/images.h"

#include "collect/taken_order.h"

namespace {

// Sorts a folder's own images, path ending in the separator, by order.
void SortImages(const std::string& path, ImageList& images, SortOrder order) {
  if (order.key == SortKey::kTaken) {
    SortByTaken(path, images, 0, images.size(), order.descending);
  } else {
    SortNamesBy(images, 0, images.size(), order);
  }
}

// Appends the images of path (which ends in the separator) to list, each name
// behind prefix.
void CollectInto(const std::string& path, const std::string& prefix, ImageList& list, bool recurse,
                 SortOrder order, const PictureTypes& types, Ancestors& ancestors) {
  // One enumeration gives both the subfolders and the own images; the own
  // images wait, already sorted, until the subfolders' entries are in.
  NameList subfolders;
  ImageList own;
  ScanFolder(path, recurse ? &subfolders : nullptr, &own, order, types);
  for (const std::string& name : subfolders) {
    std::string subfolder = path + name;
    if (!Enter(ancestors, subfolder, LinkRule::kEnterOnce)) continue;
    CollectInto(WithTrailingSeparator(subfolder), prefix + WithTrailingSeparator(name), list, true,
                order, types, ancestors);
    Leave(ancestors);
  }
  for (const std::string& name : own) list.push_back(prefix + name);
}

bool AnyImageIn(const std::string& path, bool recurse, LinkRule links, const PictureTypes& types,
                Ancestors& ancestors) {
  bool found = false;
  ForEachEntry(path, false, [&](const platform::DirEntry& entry) {
    found = IsImageName(entry.name, types);
    return !found;
  });
  if (found || !recurse) return found;
  NameList subfolders;
  ScanFolder(path, &subfolders, nullptr);
  for (const std::string& name : subfolders) {
    std::string subfolder = path + name;
    if (!Enter(ancestors, subfolder, links)) continue;
    found = AnyImageIn(WithTrailingSeparator(subfolder), true, links, types, ancestors);
    Leave(ancestors);
    if (found) return true;
  }
  return false;
}

}  // namespace

bool IsImageName(const std::string& name, const PictureTypes& types) {
  return HasPictureType(name, types);
}

void ScanFolder(const std::string& folder, NameList* subfolders, ImageList* images, SortOrder order,
                const PictureTypes& types) {
  if (subfolders) subfolders->clear();
  if (images) images->clear();
  ForEachEntry(folder, subfolders != nullptr, [&](platform::DirEntry& entry) {
    if (entry.isFolder) {
      if (subfolders) subfolders->push_back(std::move(entry.name));
    } else if (images && IsImageName(entry.name, types)) {
      images->push_back(std::move(entry.name));
    }
    return true;
  });
  if (subfolders) SortNamesBy(*subfolders, 0, subfolders->size(), order);
  if (images) SortImages(WithTrailingSeparator(folder), *images, order);
}

void CollectImages(const std::string& folder, ImageList& list, bool recurse, SortOrder order,
                   const PictureTypes& types) {
  list.clear();
  Ancestors ancestors = StartingAncestors(folder);
  CollectInto(WithTrailingSeparator(folder), "", list, recurse, order, types, ancestors);
}

bool HasAnyImage(const std::string& folder, bool recurse, LinkRule links,
                 const PictureTypes& types) {
  Ancestors ancestors = StartingAncestors(folder);
  return AnyImageIn(WithTrailingSeparator(folder), recurse, links, types, ancestors);
}
