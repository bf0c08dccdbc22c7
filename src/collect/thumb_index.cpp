#include "collect/thumb_index.h"

#include <cstdint>
#include <vector>

namespace {

const char kFirstLine[] = "pagrimo thumbnails 1";
// Older versions looked for no caption; they leave this line out (as one they
// cannot read) when they write the index again.
const char kCaptionsLine[] = "captions";

std::string Escaped(const std::string& text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || c == '%') {
      out += '%';
      out += kHex[byte >> 4];
      out += kHex[byte & 15];
    } else {
      out += c;
    }
  }
  return out;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool Unescaped(const std::string& text, std::string& out) {
  out.clear();
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out += text[i];
      continue;
    }
    int high = i + 1 < text.size() ? HexValue(text[i + 1]) : -1;
    int low = i + 2 < text.size() ? HexValue(text[i + 2]) : -1;
    if (high < 0 || low < 0) return false;
    out += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return true;
}

// A decimal number, optionally negative, within [low, high].
template <typename T>
bool Whole(const std::string& text, T low, T high, T& value) {
  size_t i = !text.empty() && text[0] == '-' ? 1 : 0;
  if (i == text.size() || text.size() > 20) return false;
  std::int64_t magnitude = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9' || magnitude > (INT64_MAX - 9) / 10) return false;
    magnitude = magnitude * 10 + (text[i] - '0');
  }
  std::int64_t signedValue = text[0] == '-' ? -magnitude : magnitude;
  if (signedValue < low || signedValue > high) return false;
  value = static_cast<T>(signedValue);
  return true;
}

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (;;) {
    size_t tab = line.find('\t', start);
    fields.push_back(
        line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
    if (tab == std::string::npos) return fields;
    start = tab + 1;
  }
}

bool ParseRecord(const std::string& line, std::string& name, PictureRecord& r) {
  std::vector<std::string> f = Fields(line);
  if ((f.size() != 10 && f.size() < 14) || f[0].empty() || f[4].size() != 1) return false;
  constexpr std::int32_t kMax = INT32_MAX;
  r.thumbKind = f[4][0];
  if (r.thumbKind != 'j' && r.thumbKind != 'p' && r.thumbKind != 'b' && r.thumbKind != '-') {
    return false;
  }
  // Tagged fields follow the preview's: "v" and a length in milliseconds
  // marks a video, "c" and a text is the caption. A record of tags this
  // reader does not know, or of one twice, is read again.
  for (size_t i = 14; i < f.size(); ++i) {
    char tag = f[i].empty() ? '?' : f[i][0];
    if (tag == 'v' && !r.video && Whole<std::int64_t>(f[i].substr(1), 0, INT64_MAX, r.durationMs)) {
      r.video = true;
    } else if (tag != 'c' || !r.caption.empty() || !Unescaped(f[i].substr(1), r.caption) ||
               r.caption.empty()) {
      return false;
    }
  }
  if (f.size() >= 14) {
    r.previewKind = f[11].size() == 1 ? f[11][0] : '?';
    bool none = r.previewKind == '-' && f.size() > 14;  // a record with tags, without a preview
    if ((r.previewKind != 'j' && r.previewKind != 'p' && r.previewKind != 'o' && !none) ||
        !Whole<std::int32_t>(f[10], none ? 0 : 1, kMax, r.previewSize) ||
        !Whole<std::int32_t>(f[12], 0, kMax, r.previewWidth) ||
        !Whole<std::int32_t>(f[13], 0, kMax, r.previewHeight)) {
      return false;
    }
  }
  return Unescaped(f[0], name) && Whole<std::int64_t>(f[1], 0, INT64_MAX, r.size) &&
         Whole<std::int64_t>(f[2], INT64_MIN + 1, INT64_MAX, r.modified) &&
         Whole<std::int32_t>(f[3], 0, kMax, r.thumbSize) &&
         Whole<std::int32_t>(f[5], 0, kMax, r.thumbWidth) &&
         Whole<std::int32_t>(f[6], 0, kMax, r.thumbHeight) &&
         Whole<std::int32_t>(f[7], -1, kMax, r.width) &&
         Whole<std::int32_t>(f[8], -1, kMax, r.height) && Unescaped(f[9], r.taken);
}

}  // namespace

std::string FormatPictureIndex(const PictureIndex& index) {
  // A record kept from an older index (its caption never looked for) keeps
  // the line away, so that it is still read again when captions are wanted.
  bool known = true;
  for (const auto& [name, r] : index) known = known && r.captionKnown;
  std::string text =
      std::string(kFirstLine) + "\n" + (known ? kCaptionsLine + std::string("\n") : "");
  for (const auto& [name, r] : index) {
    text += Escaped(name) + '\t' + std::to_string(r.size) + '\t' + std::to_string(r.modified) +
            '\t' + std::to_string(r.thumbSize) + '\t' + r.thumbKind + '\t' +
            std::to_string(r.thumbWidth) + '\t' + std::to_string(r.thumbHeight) + '\t' +
            std::to_string(r.width) + '\t' + std::to_string(r.height) + '\t' + Escaped(r.taken);
    if (r.previewKind != '-' || r.video || !r.caption.empty()) {
      text += '\t' + std::to_string(r.previewSize) + '\t' + r.previewKind + '\t' +
              std::to_string(r.previewWidth) + '\t' + std::to_string(r.previewHeight);
    }
    if (r.video) text += "\tv" + std::to_string(r.durationMs);
    if (!r.caption.empty()) text += "\tc" + Escaped(r.caption);
    text += '\n';
  }
  return text;
}

PictureIndex ParsePictureIndex(const std::string& text) {
  PictureIndex index;
  size_t pos = 0;
  bool first = true, captionsKnown = false;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(pos, end - pos);
    pos = end + 1;
    if (first) {
      if (line != kFirstLine) return index;
      first = false;
      continue;
    }
    if (line == kCaptionsLine) {
      captionsKnown = true;
      continue;
    }
    std::string name;
    PictureRecord record;
    if (ParseRecord(line, name, record)) index[name] = record;
  }
  for (auto& [name, record] : index) {
    record.captionKnown = captionsKnown || !record.caption.empty() || record.video;
  }
  return index;
}

bool IsThumbnailFolderName(const std::string& name) {
  const std::string own = kThumbnailFolderName;
  if (name.size() != own.size()) return false;
  for (size_t i = 0; i < name.size(); ++i) {
    char c = name[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    if (c != own[i]) return false;
  }
  return true;
}

std::string ThumbnailFileName(const std::string& pictureName, char thumbKind) {
  return pictureName + (thumbKind == 'p' ? ".png" : ".jpg");
}

std::string PreviewFileName(const std::string& pictureName, char previewKind) {
  return pictureName + (previewKind == 'p' ? ".preview.png" : ".preview.jpg");
}
