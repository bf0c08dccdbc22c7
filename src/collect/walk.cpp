#include "collect/walk.h"

#include <algorithm>

Ancestors StartingAncestors(const std::string& folder) {
  Ancestors ancestors;
  platform::FolderId id;
  if (platform::GetFolderId(folder, id)) ancestors.path.push_back(id);
  return ancestors;
}

bool Enter(Ancestors& ancestors, const std::string& subfolder, LinkRule links) {
  if (ancestors.path.size() > kMaxFolderDepth) return false;
  platform::FolderId id;
  if (!platform::GetFolderId(subfolder, id)) return false;
  if (std::find(ancestors.path.begin(), ancestors.path.end(), id) != ancestors.path.end()) {
    return false;
  }
  if (platform::KindOfPath(subfolder).isLink) {
    if (links == LinkRule::kNever || !ancestors.linked.emplace(id.volume, id.index).second) {
      return false;
    }
  }
  ancestors.path.push_back(id);
  return true;
}
