#include "page/album_steps.h"

#include "platform/plain_text.h"
#include "text/forms.h"
#include "text/paths.h"
#include "text/replace.h"

namespace {

const char* const kCoverPlaceholders[] = {"[cover]",  "[cover\\]",    "[cover%]",
                                          "[cover&]", "[coverwidth]", "[coverheight]"};

template <typename Make>
void Step(std::string& text, const char* placeholder, Make make) {
  if (text.find(placeholder) == std::string::npos) return;
  text = ReplaceText(text, placeholder, make());
}

std::string SizeText(std::int32_t value) { return value > 0 ? std::to_string(value) : ""; }

// "folder.jpg", "COVER.heic": the stem alone, ASCII letter case ignored.
bool NamedAs(const std::string& name, const char* stem) {
  size_t dot = name.rfind('.');
  if (dot == std::string::npos) return false;
  return platform::EqualIgnoringAsciiCase(name.substr(0, dot), stem);
}

}  // namespace

AlbumWants AlbumWantsOf(const std::string& folderItemText) {
  AlbumWants wants;
  for (const char* placeholder : kCoverPlaceholders)
    wants.covers = wants.covers || folderItemText.find(placeholder) != std::string::npos;
  wants.counts = folderItemText.find("[count]") != std::string::npos;
  return wants;
}

void ChooseCover(const ImageList& images, const std::function<ThumbOf(size_t)>& thumb,
                 const std::vector<std::string>& subfolderNames,
                 const std::vector<AlbumFacts>& subfolders, AlbumFacts& facts) {
  auto take = [&](size_t k) {
    ThumbOf t = thumb(k);
    if (t.path.empty()) return false;
    facts.cover = t.path;
    facts.coverWidth = t.width;
    facts.coverHeight = t.height;
    return true;
  };
  for (const char* stem : {"folder", "cover"}) {
    for (size_t k = 0; k < images.size(); ++k)
      if (NamedAs(images[k], stem) && take(k)) return;
  }
  for (size_t k = 0; k < images.size(); ++k)
    if (take(k)) return;
  for (size_t k = 0; k < subfolders.size(); ++k) {
    if (subfolders[k].cover.empty()) continue;
    facts.cover = WithTrailingSeparator(subfolderNames[k]) + subfolders[k].cover;
    facts.coverWidth = subfolders[k].coverWidth;
    facts.coverHeight = subfolders[k].coverHeight;
    return;
  }
}

void ExpandAlbumItem(std::string& item, const std::string& name, const AlbumFacts& facts) {
  Step(item, "[count]", [&] { return std::to_string(facts.count); });
  Step(item, "[coverwidth]", [&] { return SizeText(facts.coverWidth); });
  Step(item, "[coverheight]", [&] { return SizeText(facts.coverHeight); });
  const std::string cover = facts.cover.empty() ? "" : WithTrailingSeparator(name) + facts.cover;
  Step(item, "[cover]", [&]() -> const std::string& { return cover; });
  Step(item, "[cover\\]", [&] { return DoubleBackslashes(cover); });
  Step(item, "[cover%]", [&] { return UrlForm(cover); });
  Step(item, "[cover&]", [&] { return HtmlForm(cover); });
}
