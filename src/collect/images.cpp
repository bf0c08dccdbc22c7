#include "collect/images.h"

#include <algorithm>
#include <cstdint>
#include <set>
#include <utility>
#include <vector>

#include "collect/thumb_index.h"
#include "page/text_helpers.h"
#include "platform/platform.h"

namespace {

// What a walk remembers: the folders on the current path (a folder met again
// there is a link cycle), and every folder entered through a link (entered
// once only, so that links fanning out to the same folders cannot multiply
// the work: two links per level over twenty levels would be a million paths).
struct Ancestors {
  std::vector<platform::FolderId> path;
  std::set<std::pair<std::uint64_t, std::uint64_t>> linked;
  bool followLinks = true;  // false: links to folders are not entered at all
  void pop_back() { path.pop_back(); }
};

bool EndsWith(const std::string& text, const char* suffix, size_t length) {
  if (text.size() < length) return false;
  for (size_t i = 0; i < length; ++i) {
    char c = text[text.size() - length + i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    if (c != suffix[i]) return false;
  }
  return true;
}

// Appends the subfolder's path to ancestors when it may be entered: it can be
// reached, is not already on the current path, is not too deep, and is not a
// link to a folder that was entered through a link before (nor a link at all
// when links are not followed).
bool Enter(const std::string& subfolder, Ancestors& ancestors) {
  if (ancestors.path.size() > kMaxFolderDepth) return false;
  platform::FolderId id;
  if (!platform::GetFolderId(subfolder, id)) return false;
  if (std::find(ancestors.path.begin(), ancestors.path.end(), id) != ancestors.path.end()) {
    return false;
  }
  if ((platform::GetAttributes(subfolder) & platform::kLinkAttribute) != 0 &&
      (!ancestors.followLinks || !ancestors.linked.emplace(id.volume, id.index).second)) {
    return false;
  }
  ancestors.path.push_back(id);
  return true;
}

Ancestors StartingAncestors(const std::string& folder) {
  Ancestors ancestors;
  platform::FolderId id;
  if (platform::GetFolderId(folder, id)) ancestors.path.push_back(id);
  return ancestors;
}

// Appends the images of path (which ends in the separator) to list, each name
// behind prefix.
void CollectInto(const std::string& path, const std::string& prefix, ImageList& list, bool recurse,
                 Ancestors& ancestors) {
  if (!recurse) {
    int base = EntryCount(list);
    platform::Enumeration scan;
    platform::DirEntry entry;
    for (bool more = platform::StartEnumeration(scan, path + "*", 0, entry); more;
         more = platform::NextEntry(scan, entry)) {
      if (IsImageName(entry.name)) list.push_back(prefix + entry.name);
    }
    SortNames(list, base + 1, EntryCount(list));
    return;
  }
  // One enumeration gives both the subfolders and the own images; the own
  // images wait, already sorted, until the subfolders' entries are in.
  NameList subfolders;
  ImageList own;
  ScanFolder(path, &subfolders, &own);
  for (int k = 1; k <= EntryCount(subfolders); ++k) {
    const std::string& name = subfolders[k];
    std::string subfolder = path + name;
    if (!Enter(subfolder, ancestors)) continue;
    CollectInto(WithTrailingSeparator(subfolder), prefix + WithTrailingSeparator(name), list, true,
                ancestors);
    ancestors.pop_back();
  }
  for (int j = 1; j <= EntryCount(own); ++j) list.push_back(prefix + own[j]);
}

bool AnyImageIn(const std::string& path, bool recurse, Ancestors& ancestors) {
  {
    platform::Enumeration scan;
    platform::DirEntry entry;
    for (bool more = platform::StartEnumeration(scan, path + "*", 0, entry); more;
         more = platform::NextEntry(scan, entry)) {
      if (IsImageName(entry.name)) return true;
    }
  }
  if (!recurse) return false;
  NameList subfolders;
  ListSubfolders(path, subfolders);
  for (int k = 1; k <= EntryCount(subfolders); ++k) {
    std::string subfolder = path + subfolders[k];
    if (!Enter(subfolder, ancestors)) continue;
    bool found = AnyImageIn(WithTrailingSeparator(subfolder), true, ancestors);
    ancestors.pop_back();
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
  if (subfolders) subfolders->assign(1, std::string());
  if (images) images->assign(1, std::string());
  platform::Enumeration scan;
  platform::DirEntry entry;
  std::string pattern = WithTrailingSeparator(folder) + "*";
  for (bool more = platform::StartEnumeration(scan, pattern, platform::kFolderAttribute, entry);
       more; more = platform::NextEntry(scan, entry)) {
    if (entry.isFolder) {
      if (subfolders && entry.name != "." && entry.name != ".." &&
          !IsThumbnailFolderName(entry.name)) {
        subfolders->push_back(std::move(entry.name));
      }
    } else if (images && IsImageName(entry.name)) {
      images->push_back(std::move(entry.name));
    }
  }
  if (subfolders) SortNames(*subfolders, 1, EntryCount(*subfolders));
  if (images) SortNames(*images, 1, EntryCount(*images));
}

void CollectImages(const std::string& folder, ImageList& list, bool recurse) {
  list.assign(1, std::string());
  Ancestors ancestors = StartingAncestors(folder);
  CollectInto(WithTrailingSeparator(folder), "", list, recurse, ancestors);
}

bool HasAnyImage(const std::string& folder, bool recurse, bool followLinks) {
  Ancestors ancestors = StartingAncestors(folder);
  ancestors.followLinks = followLinks;
  return AnyImageIn(WithTrailingSeparator(folder), recurse, ancestors);
}
