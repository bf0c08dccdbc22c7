// Captions: the title or description a photo carries (XMP, IPTC, EXIF and
// the tags Windows' Explorer writes) or a text file beside it holds, made
// one line of plain text for the pages.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

/// Where a caption comes from, in the order in which they count. A text file
/// beside the picture counts before all of them (SidecarCaptions).
enum class CaptionSource {
  kXmpTitle,         // XMP dc:title
  kXmpDescription,   // XMP dc:description
  kIptcObjectName,   // IPTC 2:05
  kIptcCaption,      // IPTC 2:120 Caption-Abstract
  kExifDescription,  // EXIF ImageDescription
  kXpTitle,          // EXIF XPTitle (UTF-16LE)
  kXpComment,        // EXIF XPComment (UTF-16LE)
  kCount
};

/// The captions found so far, one per source; the first found of a source stays.
struct PhotoCaptions {
  std::array<std::string, static_cast<std::size_t>(CaptionSource::kCount)> text;
};

/// The most characters (code points) a caption keeps.
inline constexpr std::size_t kMaxCaptionChars = 1000;

/// text as one line for a page: line breaks, tabs and other blanks become
/// spaces, other control characters are dropped, runs of spaces collapse,
/// the ends are trimmed; a byte that is no part of valid UTF-8 becomes
/// U+FFFD; at most kMaxCaptionChars characters, cut at a character.
std::string CaptionLine(std::string_view text);

/// True for the text cameras write into every photo (ImageDescription's
/// "OLYMPUS DIGITAL CAMERA" and the like): no caption. Letter case does not
/// count. One list, in captions.cpp.
bool IsCameraBoilerplate(std::string_view line);

/// Keeps CaptionLine(text) as the caption of source unless that source has
/// one already or the line is empty or a camera's boilerplate.
void NoteCaption(PhotoCaptions& captions, CaptionSource source, std::string_view text);

/// The caption that counts: the first source in order that has one; "" when none.
std::string BestCaption(const PhotoCaptions& captions);

/// True when text is valid UTF-8; with cutEnd, a character cut short at
/// the very end still counts as valid (the text is the head of a longer one).
bool IsUtf8(std::string_view text, bool cutEnd = false);

/// Latin-1 bytes as UTF-8.
std::string Latin1ToUtf8(std::string_view bytes);

/// UTF-16LE bytes as UTF-8, up to the first NUL; an unpaired surrogate
/// becomes U+FFFD.
std::string Utf16LeToUtf8(std::string_view bytes);

/// Notes dc:title and dc:description of an XMP packet (language
/// alternatives: x-default, else the first), whatever prefix the packet
/// binds to Dublin Core; XML character references are decoded.
void ReadXmpCaptions(std::string_view xml, PhotoCaptions& captions);

/// Notes Object Name (2:05) and Caption-Abstract (2:120) of IPTC-NAA bytes.
/// Their coded character set (1:90) ESC % G says UTF-8; otherwise a value
/// that is not valid UTF-8 is read as Latin-1.
void ReadIptcCaptions(std::string_view iptc, PhotoCaptions& captions);

/// The first paragraph of a text (up to its first blank line; blank lines
/// before it are passed by).
std::string_view FirstParagraph(std::string_view text);

/// The caption each of the pictures (bare names) of folder (ending in the
/// separator) has from a text file beside it: "NAME.txt", else the name
/// without its extension and ".txt", in any ASCII letter case (the exact
/// one first); its first paragraph as a CaptionLine. UTF-8 with or without
/// a byte order mark, else the system's code page. "" where none is found.
/// One listing of the folder; only the text files found are read.
std::vector<std::string> SidecarCaptions(const std::string& folder,
                                         const std::vector<std::string>& names);
