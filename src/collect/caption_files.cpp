// Captions from text files beside the pictures.
//
// They are found anew on every run, by one listing of the folder, and the
// few that exist are read (their head only): no size or time of a text file
// is kept in the thumbnail index, so a text file written, changed or removed
// since the last run always shows, and the index holds only what the
// picture itself told.
#include <map>

#include "collect/captions.h"
#include "platform/plain_text.h"
#include "platform/platform.h"

namespace {

// The head of a text file read: its first paragraph lies in it, and a
// caption is far shorter.
constexpr std::size_t kSidecarHeadBytes = 64 * 1024;

std::string Lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  return text;
}

bool EndsWithTxt(const std::string& name) {
  return name.size() > 4 && Lower(name.substr(name.size() - 4)) == ".txt";
}

std::string SidecarCaption(const std::string& path) {
  std::string bytes, reason;
  if (!platform::ReadFileBytes(path, 0, kSidecarHeadBytes, bytes, reason)) return "";
  bool cut = bytes.size() == kSidecarHeadBytes;
  if (!platform::StripByteOrderMark(bytes) && !IsUtf8(FirstParagraph(bytes), cut)) {
    // Neither UTF-8 form: the system's code page, which ReadTextFile converts.
    platform::TextEncoding encoding;
    if (!platform::ReadTextFile(path, bytes, encoding, reason)) return "";
  }
  return CaptionLine(FirstParagraph(bytes));
}

}  // namespace

std::vector<std::string> SidecarCaptions(const std::string& folder,
                                         const std::vector<std::string>& names) {
  std::vector<std::string> captions(names.size());
  if (names.empty()) return captions;
  // The text files of the folder, by their name and by it in lower case.
  std::map<std::string, std::string> exact, folded;
  platform::Enumeration scan;
  platform::DirEntry entry;
  for (bool more = platform::StartEnumeration(scan, folder + "*", platform::Listing::kFiles, entry);
       more; more = platform::NextEntry(scan, entry)) {
    if (!EndsWithTxt(entry.name)) continue;
    folded.emplace(Lower(entry.name), entry.name);
    exact.emplace(entry.name, entry.name);
  }
  if (exact.empty()) return captions;
  auto find = [&](const std::string& name) -> const std::string* {
    auto it = exact.find(name);
    if (it != exact.end()) return &it->second;
    auto other = folded.find(Lower(name));
    return other != folded.end() ? &other->second : nullptr;
  };
  for (std::size_t k = 0; k < names.size(); ++k) {
    std::size_t dot = names[k].rfind('.');
    const std::string* file = find(names[k] + ".txt");
    if (file == nullptr && dot != std::string::npos && dot > 0) {
      file = find(names[k].substr(0, dot) + ".txt");
    }
    if (file != nullptr) captions[k] = SidecarCaption(folder + *file);
  }
  return captions;
}
