#include "page/page_builder.h"

#include <algorithm>
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
      platform::FolderId id;
      if (!platform::GetFolderId(subfolder, id) ||
          std::find(ancestors.begin(), ancestors.end(), id) != ancestors.end()) {
        continue;  // unreachable, or a link back to a folder on this path
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
  int fileCount = EntryCount(images);
  int folderCount = EntryCount(subfolderNames);
  if (fileCount == 0 && folderCount == 0) return true;

  std::string name = PageFileNameFor(set, folder, isTop);
  std::string dirList, fileList, item;
  for (int k = 1; k <= folderCount; ++k) {
    dirList += ExpandFolderItem(set.folderItemText, folderPath, subfolderNames[k], subpageLinks[k]);
  }
  platform::FileStampBatch batch;  // the images of one folder are looked up by name alone
  for (int j = 1; j <= fileCount; ++j) {
    if (!ExpandFileItem(set.fileItemText, folderPath, images[j], j, fileCount, item, failure)) {
      return false;
    }
    fileList += item;
  }
  std::string page =
      ExpandPage(set.pageText, folderPath, fileCount, folderCount, dirList, fileList);
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
