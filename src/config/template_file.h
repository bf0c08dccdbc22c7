// The template file: two numbers and three text sections, loaded once into the
// run's one TemplateSet.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"
#include "text/picture_types.h"
#include "text/sort_order.h"

/// The thumbnail size without a "thumbsize" setting, and the sizes allowed.
inline constexpr std::int32_t kDefaultThumbSize = 400;
inline constexpr std::int32_t kMinThumbSize = 16;
inline constexpr std::int32_t kMaxThumbSize = 4096;

/// The preview size without a "previewsize" setting, and the sizes allowed
/// besides 0, which turns previews off.
inline constexpr std::int32_t kDefaultPreviewSize = 2048;
inline constexpr std::int32_t kMinPreviewSize = 256;
inline constexpr std::int32_t kMaxPreviewSize = 8192;

/// What a run builds its pages from. Each section ends in CR LF.
struct TemplateSet {
  std::int32_t listingMode = 0;  // 0 own images, 1 whole tree, 2 page per folder
  std::int32_t pageNaming = 0;   // 0 index.html, 1 folder name, else top index
  std::string pageText;
  std::string folderItemText;
  std::string fileItemText;
  // Pages are written in the template's encoding: a template that starts with
  // the UTF-8 byte order mark gives UTF-8 pages with the mark.
  platform::TextEncoding encoding = platform::TextEncoding::kSystem;
  // The order of pictures and subfolders: the sort setting.
  SortOrder sort;
  // The longest side of a thumbnail: "thumbsize" of the settings file.
  std::int32_t thumbSize = kDefaultThumbSize;
  // The longest side of a preview: "previewsize"; 0 means no previews.
  std::int32_t previewSize = kDefaultPreviewSize;
  // The extensions of the files listed as pictures: "pictures" of the
  // settings file.
  PictureTypes pictures = DefaultPictureTypes();
  // The extensions of the files listed as videos: "videos" of the settings
  // file; none without it. An extension that is also a picture's counts as
  // a picture's.
  PictureTypes videos;
};

/// What the pages list: the pictures' extensions, then the videos'.
PictureTypes ListedTypes(const TemplateSet& set);

/// Reads a template's text line by line. Lines end at CR LF, a lone CR or a
/// lone LF; a final line end does not start another line.
struct TemplateReader {
  const std::string* text = nullptr;
  size_t pos = 0;
};

/// The next line without its terminator; false when none is left.
bool ReadLine(TemplateReader& reader, std::string& line);

/// The next section: its lines joined by CR LF, plus a final CR LF; empty lines
/// before the first content line vanish. A line that is exactly "*", or the
/// last line of the file, ends it and is consumed but not kept. False when no
/// line is left to start it.
bool ReadSection(TemplateReader& reader, std::string& section);

/// Fills set from the template's text (byte order mark already removed):
/// "listingMode,pageNaming" (or one number per line), then three sections.
/// False for a missing or non-numeric first record, a number outside the
/// 32-bit range, or a section without a first line.
bool ParseTemplate(const std::string& text, TemplateSet& set);

/// The "thumbsize" setting: a whole number from kMinThumbSize to
/// kMaxThumbSize, blanks around it allowed; false for anything else.
bool ParseThumbSize(const std::string& text, std::int32_t& size);

/// The "previewsize" setting: 0, or a whole number from kMinPreviewSize to
/// kMaxPreviewSize, blanks around it allowed; false for anything else.
bool ParsePreviewSize(const std::string& text, std::int32_t& size);

/// How loading the template ended.
struct TemplateLoad {
  enum class Status {
    kLoaded,
    kNotFound,    // no plain file matches the name
    kUnreadable,  // the file cannot be read; reason says why
    kMalformed,   // ParseTemplate refused its text, "thumbsize" or "previewsize" is no
                  // size, or "pictures" names no extension
    kBadSort      // the settings' sort value is none of the known orders
  };
  Status status = Status::kLoaded;
  std::string name;    // the template's name as the settings give it
  std::string reason;  // the system's reason when unreadable
};

/// Chooses the template by the settings file and loads it into set from the
/// folder that holds that file (see SettingsFolder()). Shows nothing: the
/// caller tells the user.
TemplateLoad LoadTemplateSet(TemplateSet& set);
