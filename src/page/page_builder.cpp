#include "page/page_builder.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "collect/images.h"
#include "page/picture_steps.h"
#include "page/text_helpers.h"
#include "platform/platform.h"

namespace {

using Ancestors = std::vector<platform::FolderId>;

std::string Number(std::int64_t value) { return std::to_string(value); }

// Values are searched again by later steps, so placeholders inside folder
// and file names can multiply a page. What the template's own placeholders
// bring is the page's real content and has no limit; what placeholders that
// arrived inside values add is taken from the page's growth budget, and a page
// that would overdraw it fails instead of exhausting memory.
struct Expansion {
  const std::string& section;  // the text as the template holds it
  std::string text;            // the text being expanded
  size_t& growthLeft;
  // Set once a value with "[" was inserted. Until then every placeholder
  // found needs one of the section's own "[", each used up when replaced, so
  // the section's size bounds what the steps insert.
  bool mayGrow = false;
};

size_t Occurrences(const std::string& text, const char* placeholder, size_t from, size_t length) {
  size_t count = 0;
  for (size_t at = text.find(placeholder, from, length); at != std::string::npos;
       at = text.find(placeholder, at + length, length)) {
    ++count;
  }
  return count;
}

// Replaces every occurrence of placeholder, the first of which is at `at`.
// searchedAgain is false for the last step of a table, whose value no later
// step looks into.
void Replace(Expansion& e, const char* placeholder, size_t at, const std::string& value,
             bool searchedAgain = true) {
  if (e.mayGrow) {
    size_t length = std::strlen(placeholder);
    size_t found = Occurrences(e.text, placeholder, at, length);
    size_t own = Occurrences(e.section, placeholder, 0, length);
    if (found > own && !value.empty()) {
      if (found - own > e.growthLeft / value.size()) throw std::length_error("page too large");
      e.growthLeft -= (found - own) * value.size();
    }
  }
  e.text = ReplaceText(e.text, placeholder, value);
  if (searchedAgain && !e.mayGrow) e.mayGrow = value.find('[') != std::string::npos;
}

// One expansion step: every occurrence of placeholder is replaced by the value
// that make() gives, which is computed only when the text holds it. A value
// that already exists is passed by reference, so a long list is not copied.
template <typename Make>
void Step(Expansion& e, const char* placeholder, Make make, bool searchedAgain = true) {
  size_t at = e.text.find(placeholder);
  if (at == std::string::npos) return;
  Replace(e, placeholder, at, make(), searchedAgain);
}

std::string PageFileNameFor(const TemplateSet& set, const std::string& folder, bool isTop) {
  if (set.pageNaming == 0 || (set.pageNaming != 1 && isTop)) return "index.html";
  return FolderDisplayName(folder) + ".html";
}

// The folder's own name: the last component of its path, without the trailing
// separator; a root ("/", "C:\") is its own name. Windows also separates with
// "/", and a drive ("C:photos\") is no part of the name.
std::string FolderOwnName(const std::string& folderPath) {
  auto separates = [](char c) { return c == platform::kSeparator || c == '/'; };
  size_t end = folderPath.size();
  while (end > 0 && separates(folderPath[end - 1])) --end;
  size_t start = end;
  while (start > 0 && !separates(folderPath[start - 1])) --start;
  if (platform::kSeparator == '\\' && start == 0 && end >= 2 && folderPath[1] == ':') start = 2;
  if (start >= end) return folderPath;
  return folderPath.substr(start, end - start);
}

// parentPage is the name of the page that links to this one (listing mode 2,
// below the starting folder), empty elsewhere.
bool BuildPageAt(const TemplateSet& set, const std::string& folder, bool isTop,
                 const std::string& parentPage, Ancestors& ancestors, ThumbnailWork* work,
                 std::string& pageFileName, std::string& failure) {
  pageFileName.clear();
  if (set.listingMode < 0 || set.listingMode > 2) {
    failure = "unknown listing mode " + Number(set.listingMode);
    return false;
  }
  std::string folderPath = WithTrailingSeparator(folder);
  // This page's name is known before the subfolders are written, for their
  // links up to it.
  const std::string pageName = PageFileNameFor(set, folder, isTop);
  NameList subfolderNames(1), subpageLinks(1);
  ImageList images;
  PagePictures pictures;
  if (set.listingMode == 2) {
    // One enumeration lists the subfolders and this folder's own images.
    NameList subfolders;
    ScanFolder(folder, &subfolders, &images);
    // This folder's pictures are worked on while the subfolders are built.
    if (work) PreparePagePictures(*work, folderPath, images, pictures);
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
      bool ok = BuildPageAt(set, subfolder, false, pageName, ancestors, work, subpage, failure);
      ancestors.pop_back();
      if (!ok) return false;
      if (subpage.empty()) continue;
      subfolderNames.push_back(name);
      subpageLinks.push_back(WithTrailingSeparator(name) + subpage);
    }
  }
  if (set.listingMode != 2) {
    CollectImages(folder, images, set.listingMode == 1);
    if (work) PreparePagePictures(*work, folderPath, images, pictures);
  }
  platform::FileStampBatch batch;  // the images of one folder are looked up by name alone
  int fileCount = EntryCount(images);
  int folderCount = EntryCount(subfolderNames);
  if (fileCount == 0 && folderCount == 0) return true;
  if (work && !FinishPagePictures(*work, pictures)) return false;  // cancelled

  const std::string& name = pageName;
  std::string up =
      parentPage.empty() ? "" : ".." + std::string(1, platform::kSeparator) + parentPage;
  std::string dirList, fileList, item, page;
  // Placeholders in folder and file names may add kMaxGrowthBytes to the
  // page, all its items together; past that the run ends instead of
  // exhausting memory, and the previous page stays.
  size_t growthLeft = kMaxGrowthBytes;
  try {
    for (int k = 1; k <= folderCount; ++k) {
      dirList += ExpandFolderItem(set.folderItemText, folderPath, subfolderNames[k],
                                  subpageLinks[k], &growthLeft);
    }
    for (int j = 1; j <= fileCount; ++j) {
      // An image that vanished since it was listed ends the run with the
      // report; the page is not touched.
      if (!ExpandFileItem(set.fileItemText, folderPath, images[j], j, fileCount, item, failure,
                          &growthLeft)) {
        return false;
      }
      if (work) {
        auto [number, k] = pictures.refs[static_cast<size_t>(j)];
        if (!ExpandPictureItem(item, folderPath, images[j], NotesOf(*work, number, k), failure)) {
          return false;
        }
      }
      // Items are alike in size: room for all of them, estimated from the
      // first, spares the list its repeated growing and copying.
      // Not when names have drawn on the budget: their growth is no measure.
      if (j == 1 && growthLeft == kMaxGrowthBytes && item.size() < (size_t{1} << 32)) {
        fileList.reserve(item.size() * 9 / 8 * fileCount);
      }
      fileList += item;
    }
    page = ExpandPage(set.pageText, folderPath, fileCount, folderCount, dirList, fileList, up,
                      &growthLeft);
  } catch (const std::length_error&) {
    failure = "cannot build the page " + folderPath + name +
              ": placeholders in folder or file names would make it more than " +
              Number(kMaxGrowthBytes >> 20) + " MiB larger";
    return false;
  }
  // The lists are in the page now; the page is the only large text left.
  std::string().swap(fileList);
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
                             const std::string& name, const std::string& link, size_t* growthLeft) {
  size_t budget = kMaxGrowthBytes;
  Expansion r{text, text, growthLeft ? *growthLeft : budget};
  Step(r, "[reldir]", [&]() -> const std::string& { return name; });
  Step(r, "[relfile]", [&]() -> const std::string& { return link; });
  Step(r, "[dir]", [&] { return folderPath + name; });
  Step(r, "[file]", [&] { return folderPath + link; });
  Step(r, "[reldir\\]", [&] { return DoubleBackslashes(name); });
  Step(r, "[relfile\\]", [&] { return DoubleBackslashes(link); });
  Step(r, "[dir\\]", [&] { return DoubleBackslashes(folderPath + name); });
  Step(r, "[file\\]", [&] { return DoubleBackslashes(folderPath + link); });
  Step(r, "[reldir%]", [&] { return UrlForm(name); });
  Step(r, "[relfile%]", [&] { return UrlForm(link); });
  Step(r, "[dir%]", [&] { return UrlForm(folderPath + name); });
  Step(r, "[file%]", [&] { return UrlForm(folderPath + link); });
  Step(r, "[reldir&]", [&] { return HtmlForm(name); });
  Step(r, "[relfile&]", [&] { return HtmlForm(link); });
  Step(r, "[dir&]", [&] { return HtmlForm(folderPath + name); });
  Step(r, "[file&]", [&] { return HtmlForm(folderPath + link); });
  return std::move(r.text);
}

bool ExpandFileItem(const std::string& text, const std::string& folderPath,
                    const std::string& fileName, std::int32_t fileId, std::int32_t fileCount,
                    std::string& result, std::string& failure, size_t* growthLeft) {
  size_t budget = kMaxGrowthBytes;
  Expansion r{text, text, growthLeft ? *growthLeft : budget};
  Step(r, "[path]", [&]() -> const std::string& { return folderPath; });
  Step(r, "[numfile]", [&] { return Number(fileCount); });
  Step(r, "[fileid]", [&] { return Number(fileId); });
  Step(r, "[numfile-]", [&] { return Number(std::int64_t{fileCount} - 1); });
  Step(r, "[fileid-]", [&] { return Number(std::int64_t{fileId} - 1); });
  Step(r, "[filename]", [&]() -> const std::string& { return fileName; });
  // The file is read only when its size or time is shown, and then once.
  platform::FileStamp stamp;
  bool haveStamp = false;
  auto readStamp = [&]() {
    if (haveStamp) return true;
    std::string path = folderPath + fileName, reason;
    haveStamp = platform::GetFileStamp(path, stamp, reason);
    if (!haveStamp) failure = "cannot read the size and time of " + path + ": " + reason;
    return haveStamp;
  };
  if (size_t at = r.text.find("[filesize]"); at != std::string::npos) {
    if (!readStamp()) return false;
    Replace(r, "[filesize]", at, Number(stamp.size));
  }
  if (size_t at = r.text.find("[filedate]"); at != std::string::npos) {
    if (!readStamp()) return false;
    Replace(r, "[filedate]", at, platform::LocalDateTimeText(stamp.modified));
  }
  Step(r, "[path\\]", [&] { return DoubleBackslashes(folderPath); });
  Step(r, "[filename\\]", [&] { return DoubleBackslashes(fileName); });
  Step(r, "[path%]", [&] { return UrlForm(folderPath); });
  Step(r, "[filename%]", [&] { return UrlForm(fileName); });
  Step(r, "[path&]", [&] { return HtmlForm(folderPath); });
  Step(
      r, "[filename&]", [&] { return HtmlForm(fileName); }, false);
  result = std::move(r.text);
  return true;
}

std::string ExpandPage(const std::string& text, const std::string& folderPath,
                       std::int32_t fileCount, std::int32_t folderCount, const std::string& dirList,
                       const std::string& fileList, const std::string& up, size_t* growthLeft) {
  // Pages whose template holds none of [name] [up] and their forms stay as
  // they were, even where the path inserted above holds such text.
  bool nameOrUp = false;
  for (const char* p :
       {"[name]", "[name\\]", "[name%]", "[name&]", "[up]", "[up\\]", "[up%]", "[up&]"}) {
    nameOrUp = nameOrUp || text.find(p) != std::string::npos;
  }
  size_t budget = kMaxGrowthBytes;
  Expansion r{text, text, growthLeft ? *growthLeft : budget};
  Step(r, "[path]", [&]() -> const std::string& { return folderPath; });
  Step(r, "[path\\]", [&] { return DoubleBackslashes(folderPath); });
  Step(r, "[path%]", [&] { return UrlForm(folderPath); });
  Step(r, "[path&]", [&] { return HtmlForm(folderPath); });
  Step(r, "[numfile]", [&] { return Number(fileCount); });
  Step(r, "[numdir]", [&] { return Number(folderCount); });
  Step(r, "[numfile-]", [&] { return Number(std::int64_t{fileCount} - 1); });
  Step(r, "[numdir-]", [&] { return Number(std::int64_t{folderCount} - 1); });
  if (nameOrUp) {
    std::string name = FolderOwnName(folderPath);
    Step(r, "[name]", [&]() -> const std::string& { return name; });
    Step(r, "[name\\]", [&] { return DoubleBackslashes(name); });
    Step(r, "[name%]", [&] { return UrlForm(name); });
    Step(r, "[name&]", [&] { return HtmlForm(name); });
    Step(r, "[up]", [&]() -> const std::string& { return up; });
    Step(r, "[up\\]", [&] { return DoubleBackslashes(up); });
    Step(r, "[up%]", [&] { return UrlForm(up); });
    Step(r, "[up&]", [&] { return HtmlForm(up); });
  }
  Step(r, "[dirlist]", [&]() -> const std::string& { return dirList; });
  Step(
      r, "[filelist]", [&]() -> const std::string& { return fileList; }, false);
  return std::move(r.text);
}

bool BuildPage(const TemplateSet& set, const std::string& folder, bool isTop,
               std::string& pageFileName, std::string& failure) {
  std::vector<std::string> notices;
  bool cancelled = false;
  return BuildPage(set, folder, isTop, pageFileName, failure, notices, cancelled);
}

bool BuildPage(const TemplateSet& set, const std::string& folder, bool isTop,
               std::string& pageFileName, std::string& failure, std::vector<std::string>& notices,
               bool& cancelled) {
  Ancestors ancestors;
  platform::FolderId id;
  if (platform::GetFolderId(folder, id)) ancestors.push_back(id);
  ThumbnailWants wants = WantsOf(set.fileItemText, set.thumbSize);
  if (!wants.Any()) {
    return BuildPageAt(set, folder, isTop, "", ancestors, nullptr, pageFileName, failure);
  }
  ThumbnailWork work(wants);
  bool ok = BuildPageAt(set, folder, isTop, "", ancestors, &work, pageFileName, failure);
  notices = EndThumbnailWork(work);
  cancelled = ThumbnailWorkCancelled(work);
  if (cancelled) failure.clear();
  return ok && !cancelled;
}
