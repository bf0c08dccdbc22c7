#include "collect/captions.h"

#include <cstdint>

#include "collect/photo_dates.h"
#include "platform/plain_text.h"
#include "platform/wildcard.h"

// Sections: UTF-8; one line of text; the cameras' boilerplate; XMP; IPTC.

namespace {

using Bytes = std::string_view;
constexpr char32_t kReplacement = 0xFFFD;

// ---- UTF-8 ----

// The length a lead byte announces, and the range its second byte must lie
// in (which rules out overlong forms, surrogates and values past U+10FFFF);
// 0 for a byte that cannot lead.
struct Lead {
  int length;
  unsigned low, high;
};

Lead LeadOf(unsigned byte) {
  if (byte < 0x80) return {1, 0, 0};
  if (byte >= 0xC2 && byte <= 0xDF) return {2, 0x80, 0xBF};
  if (byte == 0xE0) return {3, 0xA0, 0xBF};
  if (byte == 0xED) return {3, 0x80, 0x9F};
  if (byte >= 0xE1 && byte <= 0xEF) return {3, 0x80, 0xBF};
  if (byte == 0xF0) return {4, 0x90, 0xBF};
  if (byte >= 0xF1 && byte <= 0xF3) return {4, 0x80, 0xBF};
  if (byte == 0xF4) return {4, 0x80, 0x8F};
  return {0, 0, 0};
}

// How many bytes of a valid character start at t[i], as far as t goes
// (fewer than the lead announces when t ends); 0 when t[i] starts none.
int ValidPrefix(Bytes t, std::size_t i, Lead& lead) {
  lead = LeadOf(static_cast<unsigned char>(t[i]));
  if (lead.length <= 1) return lead.length;
  int n = 1;
  for (; n < lead.length && i + n < t.size(); ++n) {
    unsigned byte = static_cast<unsigned char>(t[i + n]);
    unsigned low = n == 1 ? lead.low : 0x80, high = n == 1 ? lead.high : 0xBF;
    if (byte < low || byte > high) return 0;
  }
  return n;
}

// The character at t[i] and its length in bytes: U+FFFD of one byte where
// no valid character starts.
char32_t Decode(Bytes t, std::size_t i, std::size_t& length) {
  Lead lead;
  int n = ValidPrefix(t, i, lead);
  if (n == 0 || n < lead.length) {
    length = 1;
    return kReplacement;
  }
  length = static_cast<std::size_t>(n);
  if (n == 1) return static_cast<unsigned char>(t[i]);
  char32_t c = static_cast<unsigned char>(t[i]) & (0x7F >> n);
  for (int k = 1; k < n; ++k) c = c << 6 | (static_cast<unsigned char>(t[i + k]) & 0x3F);
  return c;
}

void Append(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | c >> 6);
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | c >> 12);
    out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | c >> 18);
    out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

bool IsSpace(char32_t c) {
  return c == ' ' || (c >= 0x09 && c <= 0x0D) || c == 0x85 || c == 0x2028 || c == 0x2029;
}

// C0 and C1 controls, DEL, and the byte order mark inside a text.
bool IsControl(char32_t c) { return c < 0x20 || (c >= 0x7F && c < 0xA0) || c == 0xFEFF; }

// ---- The cameras' boilerplate ----

// What cameras and their software write into ImageDescription of every
// photo (and tools then copy to XMP and IPTC): no caption. Compared without
// letter case; "*" stands for any text, as in Samsung's
// "<Digimax S500 / Kenox S500>".
constexpr const char* kCameraBoilerplate[] = {
    "OLYMPUS DIGITAL CAMERA",
    "SONY DSC",
    "DCIM",
    "SAMSUNG",
    "SAMSUNG DIGITAL CAMERA",
    "KODAK Digital Still Camera",
    "MINOLTA DIGITAL CAMERA",
    "KONICA MINOLTA DIGITAL CAMERA",
    "LEICA DIGITAL CAMERA",
    "DIGITAL CAMERA",
    "<* / *>",
    "default",
    "Exif_JPEG_PICTURE",
};

std::string AsciiUpper(Bytes text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  }
  return out;
}

// ---- XMP ----

// text with the XML character references decoded (&amp; &lt; &gt; &quot;
// &apos; &#N; &#xH;); an unknown or broken one stays as it is.
std::string XmlText(Bytes text) {
  static constexpr std::pair<const char*, char> kNamed[] = {
      {"amp;", '&'}, {"lt;", '<'}, {"gt;", '>'}, {"quot;", '"'}, {"apos;", '\''}};
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '&') {
      out += text[i];
      continue;
    }
    Bytes rest = text.substr(i + 1, 12);
    bool done = false;
    for (const auto& [name, c] : kNamed) {
      if (!done && rest.substr(0, Bytes(name).size()) == name) {
        out += c;
        i += Bytes(name).size();
        done = true;
      }
    }
    std::size_t semicolon = rest.find(';');
    if (!done && rest.size() > 2 && rest[0] == '#' && semicolon != Bytes::npos) {
      bool hex = rest[1] == 'x' || rest[1] == 'X';
      std::uint32_t value = 0;
      std::size_t k = hex ? 2 : 1;
      for (; k < semicolon && value <= 0x10FFFF; ++k) {
        char d = rest[k];
        int digit = d >= '0' && d <= '9'          ? d - '0'
                    : hex && d >= 'a' && d <= 'f' ? d - 'a' + 10
                    : hex && d >= 'A' && d <= 'F' ? d - 'A' + 10
                                                  : -1;
        if (digit < 0) break;
        value = value * (hex ? 16 : 10) + static_cast<std::uint32_t>(digit);
      }
      if (k == semicolon && k > (hex ? 2u : 1u)) {
        bool valid = value != 0 && value <= 0x10FFFF && (value < 0xD800 || value > 0xDFFF);
        Append(out, valid ? value : kReplacement);
        i += semicolon + 1;
        done = true;
      }
    }
    if (!done) out += '&';
  }
  return out;
}

bool IsNameByte(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '-' || c == '.' || c == ':' || static_cast<unsigned char>(c) >= 0x80;
}

// The value of the element qualified (a language alternative or a simple
// text): of its "li" items the one with xml:lang="x-default", else the first.
bool XmpText(Bytes xml, const std::string& qualified, std::string& value) {
  for (std::size_t at = xml.find("<" + qualified); at != Bytes::npos;
       at = xml.find("<" + qualified, at + 1)) {
    std::size_t pos = at + 1 + qualified.size();
    if (pos >= xml.size() || IsNameByte(xml[pos])) continue;
    std::size_t open = xml.find('>', pos);
    if (open == Bytes::npos || xml[open - 1] == '/') return false;
    std::size_t close = xml.find("</" + qualified, open);
    if (close == Bytes::npos) return false;
    Bytes body = xml.substr(open + 1, close - open - 1);
    if (body.find('<') == Bytes::npos) {
      value = XmlText(body);
      return true;
    }
    bool found = false;
    for (std::size_t tag = body.find('<'); tag != Bytes::npos; tag = body.find('<', tag + 1)) {
      std::size_t nameEnd = tag + 1;
      while (nameEnd < body.size() && IsNameByte(body[nameEnd])) ++nameEnd;
      Bytes name = body.substr(tag + 1, nameEnd - tag - 1);
      if (name != "li" && (name.size() < 3 || name.substr(name.size() - 3) != ":li")) continue;
      std::size_t end = body.find('>', nameEnd);
      if (end == Bytes::npos || body[end - 1] == '/') continue;
      Bytes attributes = body.substr(nameEnd, end - nameEnd);
      bool preferred = attributes.find("x-default") != Bytes::npos;
      if (found && !preferred) continue;
      value = XmlText(body.substr(end + 1, body.find('<', end + 1) - end - 1));
      found = true;
      if (preferred) return true;
    }
    return found;
  }
  return false;
}

}  // namespace

bool IsUtf8(std::string_view text, bool cutEnd) {
  for (std::size_t i = 0; i < text.size();) {
    Lead lead;
    int n = ValidPrefix(text, i, lead);
    if (n == 0 || (n < lead.length && !cutEnd)) return false;
    i += static_cast<std::size_t>(n);
  }
  return true;
}

std::string CaptionLine(std::string_view text) {
  std::string out;
  std::size_t chars = 0;
  bool space = false;
  for (std::size_t i = 0, length = 0; i < text.size() && chars < kMaxCaptionChars; i += length) {
    char32_t c = Decode(text, i, length);
    if (IsSpace(c)) {
      space = !out.empty();
      continue;
    }
    if (IsControl(c)) continue;
    if (space) {
      out += ' ';
      ++chars;
      space = false;
      if (chars == kMaxCaptionChars) break;
    }
    Append(out, c);
    ++chars;
  }
  if (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

bool IsCameraBoilerplate(std::string_view line) {
  std::string upper = AsciiUpper(platform::TrimBlanks(line));
  for (const char* entry : kCameraBoilerplate) {
    if (platform::MatchesWildcard(upper, AsciiUpper(entry))) return true;
  }
  return false;
}

void NoteCaption(PhotoCaptions& captions, CaptionSource source, std::string_view text) {
  std::string& kept = captions.text[static_cast<std::size_t>(source)];
  if (!kept.empty()) return;
  std::string line = CaptionLine(text);
  if (!IsCameraBoilerplate(line)) kept = std::move(line);
}

std::string BestCaption(const PhotoCaptions& captions) {
  for (const std::string& text : captions.text) {
    if (!text.empty()) return text;
  }
  return "";
}

std::string Latin1ToUtf8(std::string_view bytes) {
  std::string out;
  for (char c : bytes) Append(out, static_cast<unsigned char>(c));
  return out;
}

std::string Utf16LeToUtf8(std::string_view bytes) {
  std::string out;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    auto unit = [&](std::size_t at) -> char32_t {
      return static_cast<unsigned char>(bytes[at]) | static_cast<unsigned char>(bytes[at + 1]) << 8;
    };
    char32_t c = unit(i);
    if (c == 0) break;
    if (c >= 0xD800 && c <= 0xDBFF && i + 3 < bytes.size() && unit(i + 2) >= 0xDC00 &&
        unit(i + 2) <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
      i += 2;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = kReplacement;
    }
    Append(out, c);
  }
  return out;
}

void ReadXmpCaptions(std::string_view xml, PhotoCaptions& captions) {
  std::string dc = XmpPrefix(xml, "http://purl.org/dc/elements/1.1/", "dc");
  std::string value;
  if (XmpText(xml, dc + ":title", value)) NoteCaption(captions, CaptionSource::kXmpTitle, value);
  if (XmpText(xml, dc + ":description", value)) {
    NoteCaption(captions, CaptionSource::kXmpDescription, value);
  }
}

void ReadIptcCaptions(std::string_view iptc, PhotoCaptions& captions) {
  std::vector<IptcDataset> datasets = IptcDatasets(iptc);
  bool utf8 = false;
  for (const IptcDataset& d : datasets) {
    if (d.record == 1 && d.number == 90) utf8 = d.value == "\x1B%G";
  }
  for (const IptcDataset& d : datasets) {
    if (d.record != 2 || (d.number != 5 && d.number != 120)) continue;
    std::string text = utf8 || IsUtf8(d.value) ? std::string(d.value) : Latin1ToUtf8(d.value);
    NoteCaption(captions,
                d.number == 5 ? CaptionSource::kIptcObjectName : CaptionSource::kIptcCaption, text);
  }
}

std::string_view FirstParagraph(std::string_view text) {
  std::size_t start = std::string_view::npos;
  for (std::size_t pos = 0; pos < text.size();) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    Bytes line = text.substr(pos, end - pos);
    bool blank = platform::TrimBlanks(line).empty() || platform::TrimBlanks(line) == "\r";
    if (blank && start != std::string_view::npos) return text.substr(start, pos - start);
    if (!blank && start == std::string_view::npos) start = pos;
    pos = end + 1;
  }
  return start == std::string_view::npos ? std::string_view() : text.substr(start);
}
