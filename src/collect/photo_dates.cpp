#include "collect/photo_dates.h"

#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

using Bytes = std::string_view;

bool IsDigits(Bytes text, std::size_t at, std::size_t count) {
  if (at > text.size() || text.size() - at < count) return false;
  for (std::size_t i = at; i < at + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
  }
  return true;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

Bytes Trim(Bytes text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// ---- XMP ----

struct XmpProperty {
  const char* namespaceUri;
  const char* usualPrefix;
  const char* name;
  DateSource source;
};

constexpr XmpProperty kXmpDates[] = {
    {"http://ns.adobe.com/exif/1.0/", "exif", "DateTimeOriginal", DateSource::kXmpOriginal},
    {"http://ns.adobe.com/photoshop/1.0/", "photoshop", "DateCreated", DateSource::kXmpCreated},
    {"http://ns.adobe.com/xap/1.0/", "xmp", "CreateDate", DateSource::kXmpCreate},
};

bool IsNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '-' || c == '.' || static_cast<unsigned char>(c) >= 0x80;
}

}  // namespace

std::string XmpPrefix(std::string_view xml, std::string_view uri, const char* usualPrefix) {
  for (std::size_t at = xml.find(uri); at != Bytes::npos; at = xml.find(uri, at + 1)) {
    std::size_t end = at + uri.size();
    if (at == 0 || end >= xml.size() || (xml[at - 1] != '"' && xml[at - 1] != '\'') ||
        xml[end] != xml[at - 1]) {
      continue;
    }
    std::size_t pos = at - 1;
    while (pos > 0 && IsBlank(xml[pos - 1])) --pos;
    if (pos == 0 || xml[pos - 1] != '=') continue;
    --pos;
    while (pos > 0 && IsBlank(xml[pos - 1])) --pos;
    std::size_t nameEnd = pos;
    while (pos > 0 && IsNameChar(xml[pos - 1])) --pos;
    if (pos < 6 || nameEnd == pos || xml.substr(pos - 6, 6) != "xmlns:") continue;
    return std::string(xml.substr(pos, nameEnd - pos));
  }
  return usualPrefix;
}

namespace {

// The value of the first occurrence of qualified name as an attribute
// (name="value") or a simple element (<name>value</name>) that holds a date.
void NoteXmpProperty(Bytes xml, const std::string& qualified, DateSource source,
                     PhotoDates& dates) {
  for (std::size_t at = xml.find(qualified); at != Bytes::npos; at = xml.find(qualified, at + 1)) {
    std::size_t pos = at + qualified.size();
    if (at == 0 || pos >= xml.size() || IsNameChar(xml[pos]) || xml[pos] == ':') continue;
    Bytes value;
    if (xml[at - 1] == '<') {
      std::size_t close = xml.find('>', pos);
      if (close == Bytes::npos || xml[close - 1] == '/') continue;
      std::size_t end = xml.find('<', close + 1);
      if (end == Bytes::npos) continue;
      value = xml.substr(close + 1, end - close - 1);
    } else if (IsBlank(xml[at - 1])) {
      while (pos < xml.size() && IsBlank(xml[pos])) ++pos;
      if (pos >= xml.size() || xml[pos] != '=') continue;
      ++pos;
      while (pos < xml.size() && IsBlank(xml[pos])) ++pos;
      if (pos >= xml.size() || (xml[pos] != '"' && xml[pos] != '\'')) continue;
      std::size_t end = xml.find(xml[pos], pos + 1);
      if (end == Bytes::npos) continue;
      value = xml.substr(pos + 1, end - pos - 1);
    } else {
      continue;
    }
    CivilTime time;
    if (ParseXmpDate(value, time)) {
      NoteDate(dates, source, time);
      return;
    }
  }
}

// ---- IPTC ----

std::uint32_t BigEndian(Bytes b, std::size_t at, int size) {
  std::uint32_t value = 0;
  for (int i = 0; i < size; ++i) value = value << 8 | static_cast<unsigned char>(b[at + i]);
  return value;
}

void ReadIptc(Bytes iptc, PhotoDates& dates) {
  Bytes date, clock;
  for (const IptcDataset& d : IptcDatasets(iptc)) {
    if (d.record == 2 && d.number == 55 && date.empty()) date = d.value;
    if (d.record == 2 && d.number == 60 && clock.empty()) clock = d.value;
  }
  if (date.size() != 8 || !IsDigits(date, 0, 8)) return;
  std::string text = std::string(date.substr(0, 4)) + ":" + std::string(date.substr(4, 2)) + ":" +
                     std::string(date.substr(6, 2));
  if (clock.size() >= 6 && IsDigits(clock, 0, 6)) {
    text += " " + std::string(clock.substr(0, 2)) + ":" + std::string(clock.substr(2, 2)) + ":" +
            std::string(clock.substr(4, 2));
  } else {
    text += " 00:00:00";
  }
  CivilTime time;
  if (ParseExifDate(text, time)) NoteDate(dates, DateSource::kIptc, time);
}

}  // namespace

void NoteDate(PhotoDates& dates, DateSource source, const CivilTime& time) {
  int i = static_cast<int>(source);
  if (dates.has[i]) return;
  dates.has[i] = true;
  dates.time[i] = time;
}

bool BestDate(const PhotoDates& dates, CivilTime& time) {
  for (int i = 0; i < static_cast<int>(DateSource::kCount); ++i) {
    if (dates.has[i]) {
      time = dates.time[i];
      return true;
    }
  }
  return false;
}

bool ParseExifDate(std::string_view text, CivilTime& time) {
  static constexpr char kShape[] = "dddd:dd:dd dd:dd:dd";
  if (text.size() != 19) return false;
  int values[6] = {};
  int field = 0;
  for (std::size_t i = 0; i < 19; ++i) {
    char c = text[i];
    if (kShape[i] != 'd') {
      if (c != kShape[i]) return false;
      ++field;
    } else if (c < '0' || c > '9') {
      return false;
    } else {
      values[field] = values[field] * 10 + (c - '0');
    }
  }
  CivilTime t{values[0], values[1], values[2], values[3], values[4], values[5]};
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (t.year < 1 || t.month < 1 || t.month > 12 || t.day < 1) return false;
  bool leap = (t.year % 4 == 0 && t.year % 100 != 0) || t.year % 400 == 0;
  int days = kDays[t.month - 1] + (t.month == 2 && leap ? 1 : 0);
  if (t.day > days || t.hour > 23 || t.minute > 59 || t.second > 59) return false;
  time = t;
  return true;
}

std::string ExifDateText(const CivilTime& t) {
  char text[64];
  std::snprintf(text, sizeof text, "%04d:%02d:%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                t.minute, t.second);
  return text;
}

bool ParseXmpDate(std::string_view value, CivilTime& time) {
  Bytes t = Trim(value);
  if (!IsDigits(t, 0, 4) || t.size() < 10 || t[4] != '-' || !IsDigits(t, 5, 2) || t[7] != '-' ||
      !IsDigits(t, 8, 2)) {
    return false;
  }
  std::string text = std::string(t.substr(0, 4)) + ":" + std::string(t.substr(5, 2)) + ":" +
                     std::string(t.substr(8, 2));
  std::string clock = "00:00:00";
  std::size_t pos = 10;
  if (pos < t.size()) {
    if (t[pos] != 'T' || !IsDigits(t, pos + 1, 2) || t.size() < pos + 6 || t[pos + 3] != ':' ||
        !IsDigits(t, pos + 4, 2)) {
      return false;
    }
    clock = std::string(t.substr(pos + 1, 5)) + ":00";
    pos += 6;
    if (pos < t.size() && t[pos] == ':') {
      if (!IsDigits(t, pos + 1, 2)) return false;
      clock.replace(6, 2, t.substr(pos + 1, 2));
      pos += 3;
      if (pos < t.size() && t[pos] == '.') {
        do ++pos;
        while (pos < t.size() && t[pos] >= '0' && t[pos] <= '9');
      }
    }
    Bytes zone = t.substr(pos);
    bool offset = zone.size() == 6 && (zone[0] == '+' || zone[0] == '-') && IsDigits(zone, 1, 2) &&
                  zone[3] == ':' && IsDigits(zone, 4, 2);
    if (!zone.empty() && zone != "Z" && !offset) return false;
  }
  return ParseExifDate(text + " " + clock, time);
}

void ReadXmpDates(std::string_view xml, PhotoDates& dates) {
  for (const XmpProperty& property : kXmpDates) {
    if (dates.has[static_cast<int>(property.source)]) continue;
    NoteXmpProperty(
        xml, XmpPrefix(xml, property.namespaceUri, property.usualPrefix) + ":" + property.name,
        property.source, dates);
  }
}

std::vector<IptcDataset> IptcDatasets(std::string_view iptc) {
  std::vector<IptcDataset> datasets;
  std::size_t pos = 0;
  while (pos + 5 <= iptc.size() && iptc[pos] == 0x1C) {
    IptcDataset d;
    d.record = static_cast<unsigned char>(iptc[pos + 1]);
    d.number = static_cast<unsigned char>(iptc[pos + 2]);
    std::uint64_t length = BigEndian(iptc, pos + 3, 2);
    pos += 5;
    if (length & 0x8000) {  // an extended length: the count of its bytes
      std::size_t bytes = length & 0x7FFF;
      if (bytes > 4 || iptc.size() - pos < bytes) break;
      length = BigEndian(iptc, pos, static_cast<int>(bytes));
      pos += bytes;
    }
    if (iptc.size() - pos < length) break;
    d.value = iptc.substr(pos, static_cast<std::size_t>(length));
    datasets.push_back(d);
    pos += static_cast<std::size_t>(length);
  }
  return datasets;
}

std::string_view PhotoshopIptc(std::string_view resources) {
  std::size_t pos = 0;
  // Each resource: "8BIM", its number, a name padded to an even length, the
  // size of its data, the data padded to an even length.
  while (pos + 7 <= resources.size() && resources.substr(pos, 4) == "8BIM") {
    unsigned id = BigEndian(resources, pos + 4, 2);
    std::size_t nameLength = static_cast<unsigned char>(resources[pos + 6]);
    std::size_t at = pos + 6 + ((nameLength + 2) & ~std::size_t{1});
    if (at > resources.size() || resources.size() - at < 4) return {};
    std::uint64_t size = BigEndian(resources, at, 4);
    at += 4;
    if (resources.size() - at < size) return {};
    if (id == 0x0404) return resources.substr(at, static_cast<std::size_t>(size));
    pos = at + static_cast<std::size_t>((size + 1) & ~std::uint64_t{1});
  }
  return {};
}

void ReadPhotoshopDates(std::string_view resources, PhotoDates& dates) {
  ReadIptc(PhotoshopIptc(resources), dates);
}
