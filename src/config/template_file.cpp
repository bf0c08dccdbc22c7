#include "config/template_file.h"

#include <algorithm>

#include "config/settings.h"
#include "config/settings_folder.h"
#include "platform/plain_text.h"
#include "text/paths.h"

namespace {

// An optionally signed decimal integer with blanks around it, within the
// 32-bit signed range; nothing else.
bool ParseNumber(const std::string& field, std::int32_t& value) {
  std::string_view text = platform::TrimBlanks(field);
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  if (i == text.size()) return false;
  std::int64_t magnitude = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    magnitude = magnitude * 10 + (text[i] - '0');
    if (magnitude > 2147483648LL) return false;
  }
  std::int64_t signedValue = negative ? -magnitude : magnitude;
  if (signedValue > 2147483647LL) return false;
  value = static_cast<std::int32_t>(signedValue);
  return true;
}

bool AtEnd(const TemplateReader& reader) { return reader.pos >= reader.text->size(); }

}  // namespace

bool ReadLine(TemplateReader& reader, std::string& line) {
  const std::string& text = *reader.text;
  if (reader.pos >= text.size()) return false;
  size_t end = text.find_first_of("\r\n", reader.pos);
  if (end == std::string::npos) end = text.size();
  line.assign(text, reader.pos, end - reader.pos);
  reader.pos = end;
  if (reader.pos < text.size()) {
    bool crlf =
        text[reader.pos] == '\r' && reader.pos + 1 < text.size() && text[reader.pos + 1] == '\n';
    reader.pos += crlf ? 2 : 1;
  }
  return true;
}

bool ReadSection(TemplateReader& reader, std::string& section) {
  std::string gathered, line;
  if (!ReadLine(reader, line)) return false;
  while (!AtEnd(reader) && line != "*") {
    if (!gathered.empty()) gathered += "\r\n";
    gathered += line;
    ReadLine(reader, line);
  }
  section = gathered + "\r\n";
  return true;
}

bool ParseTemplate(const std::string& text, TemplateSet& set) {
  TemplateReader reader{&text, 0};
  std::string line;
  if (!ReadLine(reader, line)) return false;
  size_t comma = line.find(',');
  std::string first = comma == std::string::npos ? line : line.substr(0, comma);
  std::string second;
  if (comma != std::string::npos) {
    second = line.substr(comma + 1);
  } else if (!ReadLine(reader, second)) {
    return false;
  }
  if (!ParseNumber(first, set.listingMode) || !ParseNumber(second, set.pageNaming)) {
    return false;
  }
  return ReadSection(reader, set.pageText) && ReadSection(reader, set.folderItemText) &&
         ReadSection(reader, set.fileItemText);
}

bool ParseThumbSize(const std::string& text, std::int32_t& size) {
  std::int32_t value = 0;
  if (!ParseNumber(text, value) || value < kMinThumbSize || value > kMaxThumbSize) return false;
  size = value;
  return true;
}

bool ParsePreviewSize(const std::string& text, std::int32_t& size) {
  std::int32_t value = 0;
  if (!ParseNumber(text, value) ||
      (value != 0 && (value < kMinPreviewSize || value > kMaxPreviewSize)))
    return false;
  size = value;
  return true;
}

TemplateLoad LoadTemplateSet(TemplateSet& set) {
  TemplateLoad load;
  std::string folder = SettingsFolder();
  load.name = ChooseTemplateName(folder);
  std::string path = WithTrailingSeparator(folder) + load.name;
  {
    platform::Enumeration found;
    platform::DirEntry entry;
    if (!platform::StartEnumeration(found, path, platform::Listing::kFiles, entry)) {
      load.status = TemplateLoad::Status::kNotFound;
      return load;
    }
  }
  std::string text;
  std::string settings = WithTrailingSeparator(folder) + "pagrimo.ini";
  std::string size = ReadProfileString("Pagrimo", "thumbsize", "", settings);
  std::string preview = ReadProfileString("Pagrimo", "previewsize", "", settings);
  // No line of the file holds a line end: the default tells an absent key.
  std::string pictures = ReadProfileString("Pagrimo", "pictures", "\n", settings);
  // A blank list of videos names none, as an absent one does.
  if (!ParsePictureTypes(ReadProfileString("Pagrimo", "videos", "", settings), set.videos)) {
    set.videos.clear();
  }
  if (!platform::ReadTextFile(path, text, set.encoding, load.reason)) {
    load.status = TemplateLoad::Status::kUnreadable;
  } else if (!ParseTemplate(text, set) || (!size.empty() && !ParseThumbSize(size, set.thumbSize)) ||
             (!preview.empty() && !ParsePreviewSize(preview, set.previewSize)) ||
             (pictures != "\n" && !ParsePictureTypes(pictures, set.pictures))) {
    // A thumbnail or preview size that is no size, or a list of pictures
    // that names none, counts like a template that is none.
    load.status = TemplateLoad::Status::kMalformed;
  } else if (!ParseSortOrder(ReadSortSetting(folder), set.sort)) {
    load.status = TemplateLoad::Status::kBadSort;
  }
  std::erase_if(set.videos, [&](const std::string& type) {
    return std::find(set.pictures.begin(), set.pictures.end(), type) != set.pictures.end();
  });
  return load;
}

PictureTypes ListedTypes(const TemplateSet& set) { return JoinedTypes(set.pictures, set.videos); }
