#include "collect/video_facts.h"

#include <cstdio>

#include "collect/video_parts.h"
#include "platform/platform.h"

namespace video_parts {

bool Source::Get(std::int64_t offset, std::size_t count, std::string_view& out) {
  out = {};
  if (count > kMaxPartBytes) count = kMaxPartBytes;
  if (offset < 0 || offset >= size) return true;
  std::int64_t left = size - offset;
  if (static_cast<std::uint64_t>(left) < count) count = static_cast<std::size_t>(left);
  bool inside = windowStart >= 0 && offset >= windowStart &&
                offset - windowStart <= static_cast<std::int64_t>(window.size()) &&
                window.size() - static_cast<std::size_t>(offset - windowStart) >= count;
  if (!inside) {
    if (++reads > kMaxReads) return false;
    std::size_t want = count < kWindowBytes ? kWindowBytes : count;
    if (!read(offset, want, window)) return false;
    windowStart = offset;
  }
  std::size_t at = static_cast<std::size_t>(offset - windowStart);
  out = std::string_view(window).substr(at, count);
  return true;
}

std::uint64_t BigEndian(std::string_view bytes, std::size_t at, std::size_t n) {
  std::uint64_t value = 0;
  for (std::size_t i = 0; i < n; ++i)
    value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

namespace {

// Fills taken and takenTime when the fields make a real date.
bool SetDate(const CivilTime& t, VideoDate from, VideoFacts& facts) {
  if (t.year < 1 || t.year > 9999) return false;
  char text[32];
  std::snprintf(text, sizeof text, "%04d:%02d:%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                t.minute, t.second);
  CivilTime checked;
  if (!ParseExifDate(text, checked)) return false;
  facts.taken = text;
  facts.takenTime = checked;
  facts.takenFrom = from;
  return true;
}

// The number of the digits at text[at, at + n), or -1.
int Digits(std::string_view text, std::size_t at, std::size_t n) {
  if (at + n > text.size()) return -1;
  int value = 0;
  for (std::size_t i = at; i < at + n; ++i) {
    if (text[i] < '0' || text[i] > '9') return -1;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

}  // namespace

bool SetUtcDate(std::int64_t seconds, VideoFacts& facts) {
  platform::LocalTime local;
  if (!platform::ToLocalTime(seconds, local)) return false;
  return SetDate({local.year, local.month, local.day, local.hour, local.minute, local.second},
                 VideoDate::kUtc, facts);
}

bool SetRecordedDate(std::string_view text, VideoFacts& facts) {
  while (!text.empty() && (text.back() == '\0' || text.back() == ' ')) text.remove_suffix(1);
  if (text.size() < 16 || text[4] != '-' || text[7] != '-' ||
      (text[10] != 'T' && text[10] != ' ') || text[13] != ':') {
    return false;
  }
  CivilTime t{Digits(text, 0, 4),  Digits(text, 5, 2),  Digits(text, 8, 2),
              Digits(text, 11, 2), Digits(text, 14, 2), 0};
  std::size_t rest = 16;
  if (text.size() > rest && text[rest] == ':') {
    t.second = Digits(text, rest + 1, 2);
    if (t.second < 0) return false;
    rest += 3;
  }
  if (text.size() > rest && text[rest] == '.') {  // fractions of a second
    ++rest;
    while (rest < text.size() && text[rest] >= '0' && text[rest] <= '9') ++rest;
  }
  std::string_view zone = text.substr(rest);
  bool zoneOk = zone.empty() || zone == "Z" ||
                ((zone[0] == '+' || zone[0] == '-') &&
                 ((zone.size() == 5 && Digits(zone, 1, 4) >= 0) ||
                  (zone.size() == 6 && zone[3] == ':' && Digits(zone, 1, 2) >= 0 &&
                   Digits(zone, 4, 2) >= 0) ||
                  (zone.size() == 3 && Digits(zone, 1, 2) >= 0)));
  if (!zoneOk) return false;
  return SetDate(t, VideoDate::kRecorded, facts);
}

}  // namespace video_parts

namespace {

// The displayed size and the EXIF orientation from the rotation and mirror.
void Finish(VideoFacts& facts) {
  bool turned = facts.rotation == 90 || facts.rotation == 270;
  facts.width = turned ? facts.storedHeight : facts.storedWidth;
  facts.height = turned ? facts.storedWidth : facts.storedHeight;
  // EXIF: 1 upright, 6 turned 90 clockwise, 3 by 180, 8 by 270; mirrored
  // first and then turned: 2, 7, 4, 5.
  static constexpr int kOrientation[2][4] = {{1, 6, 3, 8}, {2, 7, 4, 5}};
  facts.orientation = kOrientation[facts.mirrored ? 1 : 0][(facts.rotation / 90) & 3];
}

}  // namespace

bool ParseVideoFacts(const VideoBytes& read, std::int64_t fileSize, VideoFacts& facts,
                     std::string& reason) {
  facts = VideoFacts();
  video_parts::Source source(read, fileSize < 0 ? 0 : fileSize);
  std::string_view head;
  if (!source.Get(0, 16, head)) {
    reason = "it cannot be read";
    return false;
  }
  bool found = false;
  if (video_parts::LooksLikeMp4(head)) {
    found = video_parts::ParseMp4(source, facts, reason);
  } else if (video_parts::LooksLikeEbml(head)) {
    found = video_parts::ParseEbml(source, facts, reason);
  } else {
    reason = "not an MP4, QuickTime, WebM or Matroska video";
    return false;
  }
  if (found && (facts.storedWidth == 0 || facts.storedHeight == 0)) {
    reason = "it holds no video track with a size";
    found = false;
  }
  if (!found) {
    VideoFormat format = facts.format;
    facts = VideoFacts();
    facts.format = format;
    return false;
  }
  Finish(facts);
  return true;
}

bool ReadVideoFacts(const std::string& path, VideoFacts& facts, std::string& reason) {
  facts = VideoFacts();
  platform::FileStamp stamp;
  if (!platform::GetFileStamp(path, stamp, reason)) return false;
  std::string failure;
  VideoBytes read = [&](std::int64_t offset, std::size_t count, std::string& bytes) {
    return platform::ReadFileBytes(path, offset, count, bytes, failure);
  };
  if (ParseVideoFacts(read, stamp.size, facts, reason)) return true;
  if (!failure.empty()) reason = failure;
  return false;
}
