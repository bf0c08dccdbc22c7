#include "page/picture_steps.h"

#include <map>

#include "collect/thumb_index.h"
#include "platform/platform.h"
#include "text/durations.h"
#include "text/forms.h"
#include "text/replace.h"

namespace {

// The placeholders that need each kind of work.
const char* const kThumbnailPlaceholders[] = {"[thumb]",  "[thumb\\]",    "[thumb%]",
                                              "[thumb&]", "[thumbwidth]", "[thumbheight]"};
const char* const kPreviewPlaceholders[] = {"[preview]",  "[preview\\]",    "[preview%]",
                                            "[preview&]", "[previewwidth]", "[previewheight]"};
const char* const kCaptionPlaceholders[] = {"[caption]", "[caption\\]", "[caption%]", "[caption&]"};
const char* const kFactPlaceholders[] = {"[width]", "[height]", "[exifdate]", "[duration]"};

template <size_t N>
bool HoldsAny(const std::string& text, const char* const (&placeholders)[N]) {
  for (const char* placeholder : placeholders) {
    if (text.find(placeholder) != std::string::npos) return true;
  }
  return false;
}

template <typename Make>
void Step(std::string& text, const char* placeholder, Make make) {
  if (text.find(placeholder) == std::string::npos) return;
  text = ReplaceText(text, placeholder, make());
}

// The four forms of a path placeholder (plain, "\\", "%", "&", the first four
// of forms) with the path's value.
template <size_t N>
void PathSteps(std::string& text, const char* const (&forms)[N], const std::string& path) {
  static_assert(N >= 4);
  Step(text, forms[0], [&]() -> const std::string& { return path; });
  Step(text, forms[1], [&] { return DoubleBackslashes(path); });
  Step(text, forms[2], [&] { return UrlForm(path); });
  Step(text, forms[3], [&] { return HtmlForm(path); });
}

std::string SizeText(std::int32_t value) { return value > 0 ? std::to_string(value) : ""; }

// "YYYY:MM:DD HH:MM:SS" as seconds, read as local time.
bool TakenSeconds(const std::string& taken, std::int64_t& seconds) {
  if (taken.size() != 19) return false;
  int parts[6];
  for (int i = 0; i < 6; ++i) {
    size_t at = i == 0 ? 0 : 2 + 3 * static_cast<size_t>(i);
    size_t digits = i == 0 ? 4 : 2;
    int value = 0;
    for (size_t d = 0; d < digits; ++d) {
      char c = taken[at + d];
      if (c < '0' || c > '9') return false;
      value = value * 10 + (c - '0');
    }
    parts[i] = value;
  }
  if (parts[0] == 0 || parts[1] < 1 || parts[1] > 12 || parts[2] < 1 || parts[2] > 31 ||
      parts[3] > 23 || parts[4] > 59 || parts[5] > 60) {
    return false;
  }
  return platform::LocalTimeSeconds(parts[0], parts[1], parts[2], parts[3], parts[4], parts[5],
                                    seconds);
}

// Whether the folder path prefix (relative to folderPath, ending in the
// separator) passes through a link; remembered per folder.
bool ThroughLink(const std::string& folderPath, const std::string& prefix,
                 std::map<std::string, bool>& known) {
  for (size_t end = prefix.find(platform::kSeparator); end != std::string::npos;
       end = prefix.find(platform::kSeparator, end + 1)) {
    std::string part = prefix.substr(0, end);
    auto [it, fresh] = known.try_emplace(part, false);
    if (fresh) {
      it->second = platform::KindOfPath(folderPath + part).isLink;
    }
    if (it->second) return true;
  }
  return false;
}

}  // namespace

ThumbnailWants PictureWantsOf(const std::string& fileItemText, std::int32_t thumbSize,
                              std::int32_t previewSize) {
  ThumbnailWants wants;
  wants.thumbnails = HoldsAny(fileItemText, kThumbnailPlaceholders);
  bool preview = HoldsAny(fileItemText, kPreviewPlaceholders);
  wants.previews = preview && previewSize > 0;
  // With previews off, the picture is shown itself: its size is a fact.
  wants.facts = HoldsAny(fileItemText, kFactPlaceholders) || (preview && !wants.previews);
  wants.captions = HoldsAny(fileItemText, kCaptionPlaceholders);
  wants.thumbSize = thumbSize;
  wants.previewSize = previewSize;
  return wants;
}

void PreparePagePictures(ThumbnailWork& work, const std::string& folderPath,
                         const ImageList& images, PagePictures& pictures) {
  int count = static_cast<int>(images.size());
  pictures.refs.assign(static_cast<size_t>(count), {-1, -1});
  pictures.folders.clear();
  std::map<std::string, bool> linked;
  // The images of one folder follow each other in the list.
  for (int j = 0; j < count;) {
    size_t slash = images[j].rfind(platform::kSeparator);
    std::string prefix = slash == std::string::npos ? "" : images[j].substr(0, slash + 1);
    std::vector<std::string> names;
    int first = j;
    for (; j < count && images[j].size() > prefix.size() &&
           images[j].compare(0, prefix.size(), prefix) == 0 &&
           images[j].find(platform::kSeparator, prefix.size()) == std::string::npos;
         ++j) {
      names.push_back(images[j].substr(prefix.size()));
    }
    bool writable = !ThroughLink(folderPath, prefix, linked);
    int folder = PrepareThumbnailFolder(work, folderPath + prefix, names, writable);
    pictures.folders.push_back(folder);
    for (int i = first; i < j; ++i) pictures.refs[static_cast<size_t>(i)] = {folder, i - first};
  }
  // A folder whose own pictures have all gone has its thumbnails of them
  // removed all the same: it is prepared with no names.
  bool own = false;
  for (const std::string& image : images)
    own = own || image.find(platform::kSeparator) == std::string::npos;
  if (work.wants.Copies() && !own) {
    pictures.folders.push_back(PrepareThumbnailFolder(work, folderPath, {}, true));
  }
}

bool FinishPagePictures(ThumbnailWork& work, const PagePictures& pictures) {
  for (int folder : pictures.folders) {
    if (!FinishThumbnailFolder(work, folder)) return false;
  }
  return true;
}

void ExpandKind(std::string& item, bool video) {
  Step(item, "[kind]", [&] { return video ? "video" : "picture"; });
}

static std::string CopiesFolder(const std::string& fileName) {
  size_t slash = fileName.rfind(platform::kSeparator);
  return (slash == std::string::npos ? "" : fileName.substr(0, slash + 1)) + kThumbnailFolderName +
         platform::kSeparator;
}

std::string ThumbPath(const std::string& fileName, const PictureNotes& notes) {
  // A video without a poster has no picture to show but the template's own.
  return !notes.thumbnail.empty() ? CopiesFolder(fileName) + notes.thumbnail
         : notes.video            ? ""
                                  : fileName;
}

bool ExpandPictureItem(std::string& item, const std::string& folderPath,
                       const std::string& fileName, const PictureNotes& notes,
                       std::string& failure) {
  const std::string copies = CopiesFolder(fileName);
  const std::string thumb = ThumbPath(fileName, notes);
  PathSteps(item, kThumbnailPlaceholders, thumb);
  Step(item, "[thumbwidth]", [&] { return SizeText(notes.thumbWidth); });
  Step(item, "[thumbheight]", [&] { return SizeText(notes.thumbHeight); });
  const std::string preview = !notes.preview.empty() ? copies + notes.preview
                              : notes.video          ? thumb
                                                     : fileName;
  PathSteps(item, kPreviewPlaceholders, preview);
  Step(item, "[previewwidth]", [&] { return SizeText(notes.previewWidth); });
  Step(item, "[previewheight]", [&] { return SizeText(notes.previewHeight); });
  Step(item, "[width]", [&] { return SizeText(notes.width); });
  Step(item, "[height]", [&] { return SizeText(notes.height); });
  Step(item, "[duration]", [&] { return DurationText(notes.durationMs); });
  if (item.find("[exifdate]") != std::string::npos) {
    std::int64_t seconds = 0;
    if (!TakenSeconds(notes.taken, seconds)) {
      if (!notes.stamped) {
        failure = "cannot read the size and time of " + folderPath + fileName;
        return false;
      }
      seconds = notes.modified;
    }
    item = ReplaceText(item, "[exifdate]", platform::LocalDateTimeText(seconds));
  }
  // Last: a caption is the photographer's text, where no placeholder counts.
  PathSteps(item, kCaptionPlaceholders, CaptionOf(notes));
  return true;
}
