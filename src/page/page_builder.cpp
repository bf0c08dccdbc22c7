#include "page/page_builder.h"

#include "collect/images.h"
#include "collect/walk.h"
#include "page/album_steps.h"
#include "page/expansion.h"
#include "page/picture_steps.h"
#include "platform/platform.h"
#include "text/paths.h"
#include "text/replace.h"

namespace {

std::string Number(std::int64_t value) { return std::to_string(value); }

std::string PageFileNameFor(const TemplateSet& set, const std::string& folder, PagePlace place) {
  if (set.pageNaming == 0 || (set.pageNaming != 1 && place == PagePlace::kTop)) {
    return "index.html";
  }
  return FolderDisplayName(folder) + ".html";
}

std::string TooLarge(const std::string& page) {
  return "cannot build the page " + page +
         ": placeholders in folder or file names would make it more than " +
         Number(kMaxGrowthBytes >> 20) + " MiB larger";
}

// parentPage is the name of the page that links to this one (listing mode 2,
// below the starting folder), empty elsewhere. album gets what the folder
// item linking to the page shows of it, when the template asks.
bool BuildPageAt(const TemplateSet& set, const std::string& folder, PagePlace place,
                 const std::string& parentPage, Ancestors& ancestors, ThumbnailWork* work,
                 std::string& pageFileName, AlbumFacts& album, std::string& failure) {
  pageFileName.clear();
  album = AlbumFacts{};
  const AlbumWants albums = AlbumWantsOf(set.folderItemText);
  std::vector<AlbumFacts> subAlbums;
  if (set.listingMode < 0 || set.listingMode > 2) {
    failure = "unknown listing mode " + Number(set.listingMode);
    return false;
  }
  std::string folderPath = WithTrailingSeparator(folder);
  // This page's name is known before the subfolders are written, for their
  // links up to it.
  const std::string pageName = PageFileNameFor(set, folder, place);
  NameList subfolderNames, subpageLinks;
  ImageList images;
  PagePictures pictures;
  if (set.listingMode == 2) {
    // One enumeration lists the subfolders and this folder's own images.
    NameList subfolders;
    ScanFolder(folder, &subfolders, &images, set.sort, ListedTypes(set));
    // This folder's pictures are worked on while the subfolders are built.
    if (work) PreparePagePictures(*work, folderPath, images, pictures);
    for (const std::string& name : subfolders) {
      std::string subfolder = folderPath + name;
      // Pages go into real folders of the tree only: a link may lead out of
      // the tree, or to a folder of it that gets its own page anyway.
      if (!Enter(ancestors, subfolder, LinkRule::kNever)) continue;
      std::string subpage;
      AlbumFacts subAlbum;
      bool ok = BuildPageAt(set, subfolder, PagePlace::kBelow, pageName, ancestors, work, subpage,
                            subAlbum, failure);
      Leave(ancestors);
      if (!ok) return false;
      if (subpage.empty()) continue;
      subfolderNames.push_back(name);
      subpageLinks.push_back(WithTrailingSeparator(name) + subpage);
      subAlbums.push_back(std::move(subAlbum));
    }
  }
  if (set.listingMode != 2) {
    CollectImages(folder, images, set.listingMode == 1, set.sort, ListedTypes(set));
    if (work) PreparePagePictures(*work, folderPath, images, pictures);
  }
  platform::FileStampBatch batch;  // the images of one folder are looked up by name alone
  int fileCount = static_cast<int>(images.size());
  int folderCount = static_cast<int>(subfolderNames.size());
  if (fileCount == 0 && folderCount == 0) return true;
  if (work && !FinishPagePictures(*work, pictures)) return false;  // cancelled
  album.count = fileCount;
  if (albums.covers && work) {
    ChooseCover(
        images,
        [&](size_t j) {
          auto [number, k] = pictures.refs[j];
          const PictureNotes& notes = NotesOf(*work, number, k);
          return ThumbOf{ThumbPath(images[j], notes), notes.thumbWidth, notes.thumbHeight};
        },
        subfolderNames, subAlbums, album);
  }

  const std::string& name = pageName;
  std::string up =
      parentPage.empty() ? "" : ".." + std::string(1, platform::kSeparator) + parentPage;
  std::string dirList, fileList, item;
  // Placeholders in folder and file names may add kMaxGrowthBytes to the
  // page, all its items together; past that the run ends instead of
  // exhausting memory, and the previous page stays.
  size_t growthLeft = kMaxGrowthBytes;
  for (int k = 0; k < folderCount; ++k) {
    std::optional<std::string> expanded = ExpandFolderItem(
        set.folderItemText, folderPath, subfolderNames[k], subpageLinks[k], &growthLeft);
    size_t before = expanded ? expanded->size() : 0;
    if (expanded && albums.Any()) ExpandAlbumItem(*expanded, subfolderNames[k], subAlbums[k]);
    size_t albumGrowth = expanded && expanded->size() > before ? expanded->size() - before : 0;
    if (!expanded || albumGrowth > growthLeft) {
      failure = TooLarge(folderPath + name);
      return false;
    }
    growthLeft -= albumGrowth;
    dirList += *expanded;
  }
  for (int j = 0; j < fileCount; ++j) {
    switch (ExpandFileItem(set.fileItemText, folderPath, images[j], j + 1, fileCount, item, failure,
                           &growthLeft)) {
      case ItemResult::kDone:
        break;
      case ItemResult::kUnreadable:
        // An image that vanished since it was listed ends the run with the
        // report; the page is not touched.
        return false;
      case ItemResult::kTooLarge:
        failure = TooLarge(folderPath + name);
        return false;
    }
    size_t before = item.size();
    ExpandKind(item, HasPictureType(images[j], set.videos));
    if (work) {
      auto [number, k] = pictures.refs[static_cast<size_t>(j)];
      if (!ExpandPictureItem(item, folderPath, images[j], NotesOf(*work, number, k), failure)) {
        return false;
      }
    }
    size_t pictureGrowth = item.size() > before ? item.size() - before : 0;
    // Items are alike in size: room for all of them, estimated from the
    // first, spares the list its repeated growing and copying.
    // Not when names have drawn on the budget: their growth is no measure.
    if (j == 0 && growthLeft == kMaxGrowthBytes && item.size() < (size_t{1} << 32)) {
      fileList.reserve(item.size() * 9 / 8 * fileCount);
    }
    // The picture steps draw on the budget too, after the estimate above.
    if (pictureGrowth > growthLeft) {
      failure = TooLarge(folderPath + name);
      return false;
    }
    growthLeft -= pictureGrowth;
    fileList += item;
  }
  std::optional<std::string> page = ExpandPage(set.pageText, folderPath, fileCount, folderCount,
                                               dirList, fileList, up, &growthLeft);
  if (!page) {
    failure = TooLarge(folderPath + name);
    return false;
  }
  // The lists are in the page now; the page is the only large text left.
  std::string().swap(fileList);
  std::string reason;
  if (!platform::ReplaceTextFile(folderPath + name, *page, set.encoding, reason)) {
    failure = "cannot write the page " + folderPath + name + ": " + reason;
    return false;
  }
  pageFileName = name;
  return true;
}

}  // namespace

bool BuildPage(const TemplateSet& set, const std::string& folder, PagePlace place,
               std::string& pageFileName, std::string& failure) {
  std::vector<std::string> notices;
  bool cancelled = false;
  return BuildPage(set, folder, place, pageFileName, failure, notices, cancelled);
}

bool BuildPage(const TemplateSet& set, const std::string& folder, PagePlace place,
               std::string& pageFileName, std::string& failure, std::vector<std::string>& notices,
               bool& cancelled) {
  Ancestors ancestors = StartingAncestors(folder);
  ThumbnailWants wants = PictureWantsOf(set.fileItemText, set.thumbSize, set.previewSize);
  wants.videos = set.videos;
  // A subfolder's cover is its picture's thumbnail.
  if (set.listingMode == 2 && AlbumWantsOf(set.folderItemText).covers) wants.thumbnails = true;
  AlbumFacts album;
  if (!wants.Any()) {
    return BuildPageAt(set, folder, place, "", ancestors, nullptr, pageFileName, album, failure);
  }
  ThumbnailWork work(wants);
  bool ok = BuildPageAt(set, folder, place, "", ancestors, &work, pageFileName, album, failure);
  notices = EndThumbnailWork(work);
  cancelled = ThumbnailWorkCancelled(work);
  if (cancelled) failure.clear();
  return ok && !cancelled;
}
