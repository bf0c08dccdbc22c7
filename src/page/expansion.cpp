#include "page/expansion.h"

#include <cstring>

#include "platform/platform.h"
#include "text/forms.h"
#include "text/paths.h"
#include "text/replace.h"
#include "text/sizes.h"

namespace {

std::string Number(std::int64_t value) { return std::to_string(value); }

// One expansion in progress. What the template's own placeholders bring is
// the page's real content and has no limit; what placeholders that arrived
// inside values add is taken from the page's growth budget, and an expansion
// that would overdraw it stops.
struct Expansion {
  const std::string& section;  // the text as the template holds it
  std::string text;            // the text being expanded
  size_t& growthLeft;
  // Set once a value with "[" was inserted. Until then every placeholder
  // found needs one of the section's own "[", each used up when replaced, so
  // the section's size bounds what the steps insert.
  bool mayGrow = false;
  bool overdrawn = false;  // the budget would not do: no later step runs
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
  if (e.overdrawn) return;
  if (e.mayGrow) {
    size_t length = std::strlen(placeholder);
    size_t found = Occurrences(e.text, placeholder, at, length);
    size_t own = Occurrences(e.section, placeholder, 0, length);
    if (found > own && !value.empty()) {
      if (found - own > e.growthLeft / value.size()) {
        e.overdrawn = true;
        return;
      }
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
  if (e.overdrawn) return;
  size_t at = e.text.find(placeholder);
  if (at == std::string::npos) return;
  Replace(e, placeholder, at, make(), searchedAgain);
}

std::optional<std::string> Result(Expansion& e) {
  if (e.overdrawn) return std::nullopt;
  return std::move(e.text);
}

}  // namespace

std::optional<std::string> ExpandFolderItem(const std::string& text, const std::string& folderPath,
                                            const std::string& name, const std::string& link,
                                            size_t* growthLeft) {
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
  return Result(r);
}

ItemResult ExpandFileItem(const std::string& text, const std::string& folderPath,
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
  if (size_t at = r.text.find("[filesize]"); !r.overdrawn && at != std::string::npos) {
    if (!readStamp()) return ItemResult::kUnreadable;
    Replace(r, "[filesize]", at, Number(stamp.size));
  }
  if (size_t at = r.text.find("[filedate]"); !r.overdrawn && at != std::string::npos) {
    if (!readStamp()) return ItemResult::kUnreadable;
    Replace(r, "[filedate]", at, platform::LocalDateTimeText(stamp.modified));
  }
  if (size_t at = r.text.find("[filesizetext]"); !r.overdrawn && at != std::string::npos) {
    if (!readStamp()) return ItemResult::kUnreadable;
    Replace(r, "[filesizetext]", at, SizeText(static_cast<std::uint64_t>(stamp.size)));
  }
  Step(r, "[path\\]", [&] { return DoubleBackslashes(folderPath); });
  Step(r, "[filename\\]", [&] { return DoubleBackslashes(fileName); });
  Step(r, "[path%]", [&] { return UrlForm(folderPath); });
  Step(r, "[filename%]", [&] { return UrlForm(fileName); });
  Step(r, "[path&]", [&] { return HtmlForm(folderPath); });
  Step(
      r, "[filename&]", [&] { return HtmlForm(fileName); }, false);
  if (r.overdrawn) return ItemResult::kTooLarge;
  result = std::move(r.text);
  return ItemResult::kDone;
}

std::optional<std::string> ExpandPage(const std::string& text, const std::string& folderPath,
                                      std::int32_t fileCount, std::int32_t folderCount,
                                      const std::string& dirList, const std::string& fileList,
                                      const std::string& up, size_t* growthLeft) {
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
  return Result(r);
}
