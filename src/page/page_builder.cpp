#include "page/page_builder.h"

#include <algorithm>
#include <stdexcept>
#include <vector>

#include "collect/images.h"
#include "page/text_helpers.h"
#include "platform/platform.h"

namespace {

using Ancestors = std::vector<platform::FolderId>;

std::string Number(std::int64_t value) { return std::to_string(value); }

std::string PageFileNameFor(const TemplateSet& set, const std::string& folder, bool isTop) {
  if (set.pageNaming == 0 || (set.pageNaming != 1 && isTop)) return "index.html";
  return FolderDisplayName(folder) + ".html";
}

// Leaves out the images that can no longer be read since they were listed
// (removed by someone else, or in a folder that can be listed but not
// entered), when the file items show their size or date: the page shows what
// is there, and one vanished file does not end the run.
void DropUnreadable(const TemplateSet& set, const std::string& folderPath, ImageList& images) {
  if (set.fileItemText.find("[filesize]") == std::string::npos &&
      set.fileItemText.find("[filedate]") == std::string::npos) {
    return;
  }
  platform::FileStamp stamp;
  std::string reason;
  images.erase(std::remove_if(images.begin() + 1, images.end(),
                              [&](const std::string& name) {
                                return !platform::GetFileStamp(folderPath + name, stamp, reason);
                              }),
               images.end());
}

// Appends more to a list of expanded items, within the limit of a page.
void AppendItem(std::string& list, const std::string& more) {
  if (more.size() > kMaxTextBytes - list.size()) throw std::length_error("page too large");
  list += more;
}

bool BuildPageAt(const TemplateSet& set, const std::string& folder, bool isTop,
                 Ancestors& ancestors, std::string& pageFileName, std::string& failure) {
  pageFileName.clear();
  if (set.listingMode < 0 || set.listingMode > 2) {
    failure = "unknown listing mode " + Number(set.listingMode);
    return false;
  }
  std::string folderPath = WithTrailingSeparator(folder);
  NameList subfolderNames(1), subpageLinks(1);
  ImageList images;
  if (set.listingMode == 2) {
    // One enumeration lists the subfolders and this folder's own images.
    NameList subfolders;
    ScanFolder(folder, &subfolders, &images);
    for (int k = 1; k <= EntryCount(subfolders); ++k) {
      const std::string& name = subfolders[k];
      std::string subfolder = folderPath + name;
      // Pages go into real folders of the tree only: a link may lead out of
      // the tree, or to a folder of it that gets its own page anyway.
      if ((platform::GetAttributes(subfolder) & platform::kLinkAttribute) != 0) continue;
      platform::FolderId id;
      if (ancestors.size() > kMaxFolderDepth || !platform::GetFolderId(subfolder, id) ||
          std::find(ancestors.begin(), ancestors.end(), id) != ancestors.end()) {
        continue;  // too deep, unreachable, or a folder already on this path
      }
      ancestors.push_back(id);
      std::string subpage;
      bool ok = BuildPageAt(set, subfolder, false, ancestors, subpage, failure);
      ancestors.pop_back();
      if (!ok) return false;
      if (subpage.empty()) continue;
      subfolderNames.push_back(name);
      subpageLinks.push_back(WithTrailingSeparator(name) + subpage);
    }
  }
  if (set.listingMode != 2) CollectImages(folder, images, set.listingMode == 1);
  platform::FileStampBatch batch;  // the images of one folder are looked up by name alone
  DropUnreadable(set, folderPath, images);
  int fileCount = EntryCount(images);
  int folderCount = EntryCount(subfolderNames);
  if (fileCount == 0 && folderCount == 0) return true;

  std::string name = PageFileNameFor(set, folder, isTop);
  std::string dirList, fileList, item, page;
  // Values are expanded again by later steps, so placeholders in folder and
  // file names can multiply a page; past kMaxTextBytes the run ends instead of
  // exhausting memory, and the previous page stays.
  try {
    for (int k = 1; k <= folderCount; ++k) {
      AppendItem(dirList, ExpandFolderItem(set.folderItemText, folderPath, subfolderNames[k],
                                           subpageLinks[k]));
    }
    for (int j = 1; j <= fileCount; ++j) {
      if (!ExpandFileItem(set.fileItemText, folderPath, images[j], j, fileCount, item, failure)) {
        // The image vanished after the check above: leave it out, and number
        // the items again so that counts and numbers stay right.
        failure.clear();
        images.erase(images.begin() + j);
        fileCount = EntryCount(images);
        fileList.clear();
        j = 0;
        continue;
      }
      AppendItem(fileList, item);
    }
    if (fileCount == 0 && folderCount == 0) return true;
    page = ExpandPage(set.pageText, folderPath, fileCount, folderCount, dirList, fileList);
  } catch (const std::length_error&) {
    failure = "cannot build the page " + folderPath + name + ": it would be larger than " +
              Number(kMaxTextBytes >> 20) + " MiB";
    return false;
  }
  std::string reason;
  if (!platform::ReplaceTextFile(folderPath + name, page, set.encoding, reason)) {
    failure = "cannot write the page " + folderPath + name + ": " + reason;
    return false;
  }
  pageFileName = name;
  return true;
}

}  // namespace

std::string ExpandFolderItem(const std::string& text, const std::string& folderPath,
                             const std::string& name, const std::string& link) {
  std::string r = ReplaceText(text, "[reldir]", name);
  r = ReplaceText(r, "[relfile]", link);
  r = ReplaceText(r, "[dir]", folderPath + name);
  r = ReplaceText(r, "[file]", folderPath + link);
  r = ReplaceText(r, "[reldir\\]", DoubleBackslashes(name));
  r = ReplaceText(r, "[relfile\\]", DoubleBackslashes(link));
  r = ReplaceText(r, "[dir\\]", DoubleBackslashes(folderPath + name));
  r = ReplaceText(r, "[file\\]", DoubleBackslashes(folderPath + link));
  r = ReplaceText(r, "[reldir%]", UrlForm(name));
  r = ReplaceText(r, "[relfile%]", UrlForm(link));
  r = ReplaceText(r, "[dir%]", UrlForm(folderPath + name));
  r = ReplaceText(r, "[file%]", UrlForm(folderPath + link));
  r = ReplaceText(r, "[reldir&]", HtmlForm(name));
  r = ReplaceText(r, "[relfile&]", HtmlForm(link));
  r = ReplaceText(r, "[dir&]", HtmlForm(folderPath + name));
  return ReplaceText(r, "[file&]", HtmlForm(folderPath + link));
}

bool ExpandFileItem(const std::string& text, const std::string& folderPath,
                    const std::string& fileName, std::int32_t fileId, std::int32_t fileCount,
                    std::string& result, std::string& failure) {
  std::string r = ReplaceText(text, "[path]", folderPath);
  r = ReplaceText(r, "[numfile]", Number(fileCount));
  r = ReplaceText(r, "[fileid]", Number(fileId));
  r = ReplaceText(r, "[numfile-]", Number(std::int64_t{fileCount} - 1));
  r = ReplaceText(r, "[fileid-]", Number(std::int64_t{fileId} - 1));
  r = ReplaceText(r, "[filename]", fileName);
  bool wantSize = r.find("[filesize]") != std::string::npos;
  platform::FileStamp stamp;
  bool haveStamp = false;
  std::string reason;
  auto readStamp = [&]() {
    if (haveStamp) return true;
    std::string path = folderPath + fileName;
    haveStamp = platform::GetFileStamp(path, stamp, reason);
    if (!haveStamp) failure = "cannot read the size and time of " + path + ": " + reason;
    return haveStamp;
  };
  if (wantSize) {
    if (!readStamp()) return false;
    r = ReplaceText(r, "[filesize]", Number(stamp.size));
  }
  if (r.find("[filedate]") != std::string::npos) {
    if (!readStamp()) return false;
    r = ReplaceText(r, "[filedate]", platform::LocalDateTimeText(stamp.modified));
  }
  r = ReplaceText(r, "[path\\]", DoubleBackslashes(folderPath));
  r = ReplaceText(r, "[filename\\]", DoubleBackslashes(fileName));
  r = ReplaceText(r, "[path%]", UrlForm(folderPath));
  r = ReplaceText(r, "[filename%]", UrlForm(fileName));
  r = ReplaceText(r, "[path&]", HtmlForm(folderPath));
  result = ReplaceText(r, "[filename&]", HtmlForm(fileName));
  return true;
}

std::string ExpandPage(const std::string& text, const std::string& folderPath,
                       std::int32_t fileCount, std::int32_t folderCount, const std::string& dirList,
                       const std::string& fileList) {
  std::string r = ReplaceText(text, "[path]", folderPath);
  r = ReplaceText(r, "[path\\]", DoubleBackslashes(folderPath));
  r = ReplaceText(r, "[path%]", UrlForm(folderPath));
  r = ReplaceText(r, "[path&]", HtmlForm(folderPath));
  r = ReplaceText(r, "[numfile]", Number(fileCount));
  r = ReplaceText(r, "[numdir]", Number(folderCount));
  r = ReplaceText(r, "[numfile-]", Number(std::int64_t{fileCount} - 1));
  r = ReplaceText(r, "[numdir-]", Number(std::int64_t{folderCount} - 1));
  r = ReplaceText(r, "[dirlist]", dirList);
  return ReplaceText(r, "[filelist]", fileList);
}

bool BuildPage(const TemplateSet& set, const std::string& folder, bool isTop,
               std::string& pageFileName, std::string& failure) {
  Ancestors ancestors;
  platform::FolderId id;
  if (platform::GetFolderId(folder, id)) ancestors.push_back(id);
  return BuildPageAt(set, folder, isTop, ancestors, pageFileName, failure);
}
