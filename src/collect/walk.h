// Walking folder trees: the one loop over a folder's entries, and the record
// of the folders above the current one that keeps a walk finite.
#pragma once

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "collect/thumb_index.h"
#include "platform/platform.h"
#include "text/paths.h"

/// Folders nested deeper than this below the starting folder are not entered,
/// so the recursion's stack and the paths it builds stay bounded. It is twice
/// the depth of the deepest path that fits in Linux's PATH_MAX (2,048 one-byte
/// names); deeper paths than PATH_MAX work, up to this depth.
inline constexpr size_t kMaxFolderDepth = 4096;

/// Calls visit(entry) for the entries of folder in the system's order until
/// it returns false: ordinary files, and with withFolders its subfolders too
/// (links count as what they lead to; hidden entries, "." and ".." never, nor
/// the thumbnail folder, also where it lacks the hidden attribute). A folder
/// that cannot be listed has no entries.
template <typename Visit>
void ForEachEntry(const std::string& folder, bool withFolders, Visit visit) {
  platform::Enumeration scan;
  platform::DirEntry entry;
  auto listing = withFolders ? platform::Listing::kFilesAndFolders : platform::Listing::kFiles;
  for (bool more =
           platform::StartEnumeration(scan, WithTrailingSeparator(folder) + "*", listing, entry);
       more; more = platform::NextEntry(scan, entry)) {
    if (entry.isFolder &&
        (entry.name == "." || entry.name == ".." || IsThumbnailFolderName(entry.name))) {
      continue;
    }
    if (!visit(entry)) return;
  }
}

/// What a walk remembers: the folders on the current path (a folder met again
/// there is a link cycle), and every folder entered through a link (entered
/// once only, so that links fanning out to the same folders cannot multiply
/// the work: two links per level over twenty levels would be a million paths).
struct Ancestors {
  std::vector<platform::FolderId> path;
  std::set<std::pair<std::uint64_t, std::uint64_t>> linked;
};

/// How a walk treats a subfolder that is a link: entered once per walk, or
/// never (pages are written into real folders of the tree only).
enum class LinkRule { kEnterOnce, kNever };

/// The ancestors of a walk that starts at folder: the folder itself.
Ancestors StartingAncestors(const std::string& folder);

/// Appends subfolder to the current path when it may be entered: it can be
/// reached, is not already on the path, is not deeper than kMaxFolderDepth,
/// and is no link that the rule keeps out. False when it must be left out.
bool Enter(Ancestors& ancestors, const std::string& subfolder, LinkRule links);

/// Takes the folder entered last off the current path.
inline void Leave(Ancestors& ancestors) { ancestors.path.pop_back(); }
