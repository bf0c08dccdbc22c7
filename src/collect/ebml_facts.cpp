// WebM and Matroska: the EBML header's DocType, then the Segment's Info and
// Tracks. Clusters are passed by seeking (or, with no size, by their block
// headers) and only when Info or Tracks is still missing; a SeekHead that
// points past them is followed within the Segment.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "collect/video_parts.h"

namespace video_parts {

namespace {

constexpr std::uint32_t kEbml = 0x1A45DFA3, kDocType = 0x4282, kSegment = 0x18538067;
constexpr std::uint32_t kSeekHead = 0x114D9B74, kSeek = 0x4DBB, kSeekId = 0x53AB,
                        kSeekPosition = 0x53AC;
constexpr std::uint32_t kInfo = 0x1549A966, kTimecodeScale = 0x2AD7B1, kDuration = 0x4489,
                        kDateUtc = 0x4461;
constexpr std::uint32_t kTracks = 0x1654AE6B, kTrackEntry = 0xAE, kTrackType = 0x83, kVideo = 0xE0,
                        kPixelWidth = 0xB0, kPixelHeight = 0xBA;
constexpr std::uint32_t kCluster = 0x1F43B675;
// The elements of the Segment's first level: one of them ends an element of
// unknown size (a live recording's Cluster).
constexpr std::uint32_t kTopLevel[] = {kSeekHead,  kInfo,      kTracks,    kCluster, 0x1C53BB6B,
                                       0x1254C367, 0x1043A770, 0x1941A469, kSegment, kEbml};
// Seconds from 2001-01-01 (Matroska's epoch) to 1970-01-01, both UTC.
constexpr std::int64_t kEpoch2001 = 978307200;

bool IsTopLevel(std::uint32_t id) {
  for (std::uint32_t top : kTopLevel)
    if (id == top) return true;
  return false;
}

struct Element {
  std::uint32_t id = 0;
  std::int64_t content = 0, end = 0;
  bool unknownSize = false;
};

// An element header from b at at: its ID (1 to 4 bytes, marker kept) and
// size (1 to 8 bytes; all ones is unknown). headerSize is what it took.
bool ParseHeader(std::string_view b, std::size_t at, std::uint32_t& id, std::uint64_t& size,
                 bool& unknown, std::size_t& headerSize) {
  if (at >= b.size()) return false;
  unsigned first = static_cast<unsigned char>(b[at]);
  std::size_t idLength = first >= 0x80   ? 1
                         : first >= 0x40 ? 2
                         : first >= 0x20 ? 3
                         : first >= 0x10 ? 4
                                         : 0;
  if (idLength == 0 || b.size() - at < idLength + 1) return false;
  id = static_cast<std::uint32_t>(BigEndian(b, at, idLength));
  unsigned lead = static_cast<unsigned char>(b[at + idLength]);
  std::size_t sizeLength = 1;
  while (sizeLength <= 8 && (lead & (0x100u >> sizeLength)) == 0) ++sizeLength;
  if (sizeLength > 8 || b.size() - at - idLength < sizeLength) return false;
  std::uint64_t raw = BigEndian(b, at + idLength, sizeLength);
  std::uint64_t bits = 7 * sizeLength;
  std::uint64_t mask = bits >= 64 ? ~0ull : (1ull << bits) - 1;
  size = raw & mask;
  unknown = size == mask;
  headerSize = idLength + sizeLength;
  return true;
}

// Calls each(id, content) for the elements inside b, until it returns false
// or an element is damaged; one of unknown size runs to the end of b.
template <typename Each>
void Children(std::string_view b, Each each) {
  for (std::size_t at = 0; at < b.size();) {
    std::uint32_t id = 0;
    std::uint64_t size = 0;
    bool unknown = false;
    std::size_t header = 0;
    if (!ParseHeader(b, at, id, size, unknown, header)) return;
    std::size_t left = b.size() - at - header;
    if (unknown) size = left;
    if (size > left) return;
    if (!each(id, b.substr(at + header, static_cast<std::size_t>(size)))) return;
    at += header + static_cast<std::size_t>(size);
  }
}

std::uint64_t Unsigned(std::string_view b) { return b.size() <= 8 ? BigEndian(b, 0, b.size()) : 0; }

// The element whose header starts at pos in the file, inside a parent that
// ends at limit. One of unknown size ends at its parent's end.
bool ReadElement(Source& s, std::int64_t pos, std::int64_t limit, Element& element) {
  std::string_view b;
  std::uint64_t size = 0;
  std::size_t header = 0;
  if (!s.Visit() || pos >= limit || !s.Get(pos, 12, b) ||
      !ParseHeader(b, 0, element.id, size, element.unknownSize, header)) {
    return false;
  }
  element.content = pos + static_cast<std::int64_t>(header);
  if (element.content > limit) return false;
  if (element.unknownSize) size = static_cast<std::uint64_t>(limit - element.content);
  if (size > static_cast<std::uint64_t>(limit - element.content)) return false;
  element.end = element.content + static_cast<std::int64_t>(size);
  return true;
}

// Where an element of unknown size ends: at its first child that belongs to
// the first level, found by walking the children's headers.
std::int64_t UnknownEnd(Source& s, const Element& element) {
  for (std::int64_t pos = element.content; pos < element.end;) {
    Element child;
    if (!ReadElement(s, pos, element.end, child)) return element.end;
    if (IsTopLevel(child.id)) return pos;
    if (child.unknownSize) return element.end;
    pos = child.end;
  }
  return element.end;
}

struct Findings {
  bool info = false, tracks = false;
  std::int64_t infoAt = -1, tracksAt = -1;  // from the SeekHead, in the file
};

void ReadInfo(std::string_view b, VideoFacts& facts) {
  std::uint64_t scale = 1000000;
  double duration = 0;
  Children(b, [&](std::uint32_t id, std::string_view v) {
    if (id == kTimecodeScale && Unsigned(v) != 0) scale = Unsigned(v);
    if (id == kDuration && (v.size() == 4 || v.size() == 8)) {
      std::uint64_t bits = BigEndian(v, 0, v.size());
      if (v.size() == 4) {
        float f = 0;
        std::uint32_t narrow = static_cast<std::uint32_t>(bits);
        std::memcpy(&f, &narrow, 4);
        duration = f;
      } else {
        std::memcpy(&duration, &bits, 8);
      }
    }
    if (id == kDateUtc && !v.empty() && v.size() <= 8) {
      std::uint64_t raw = BigEndian(v, 0, v.size());
      if (v.size() < 8 && (raw >> (8 * v.size() - 1)) != 0) raw |= ~0ull << (8 * v.size());
      std::int64_t nanoseconds = static_cast<std::int64_t>(raw);
      std::int64_t seconds = nanoseconds / 1000000000;
      if (nanoseconds % 1000000000 < 0) --seconds;  // whole seconds before, not after
      SetUtcDate(kEpoch2001 + seconds, facts);
    }
    return true;
  });
  double ms = duration * static_cast<double>(scale) / 1e6;
  if (std::isfinite(ms) && ms >= 0 && ms < 3.6e12) facts.durationMs = std::llround(ms);
}

void ReadTracks(std::string_view b, VideoFacts& facts) {
  Children(b, [&](std::uint32_t id, std::string_view entry) {
    if (id != kTrackEntry) return true;
    std::uint64_t type = 0, width = 0, height = 0;
    Children(entry, [&](std::uint32_t field, std::string_view v) {
      if (field == kTrackType) type = Unsigned(v);
      if (field == kVideo) {
        Children(v, [&](std::uint32_t inner, std::string_view n) {
          if (inner == kPixelWidth) width = Unsigned(n);
          if (inner == kPixelHeight) height = Unsigned(n);
          return true;
        });
      }
      return true;
    });
    if (type != 1 || width == 0 || height == 0 || width > 0xFFFFFFFF || height > 0xFFFFFFFF)
      return true;
    facts.storedWidth = static_cast<std::uint32_t>(width);
    facts.storedHeight = static_cast<std::uint32_t>(height);
    return false;
  });
}

void ReadSeekHead(std::string_view b, std::int64_t segment, std::int64_t end, Findings& found) {
  Children(b, [&](std::uint32_t id, std::string_view seek) {
    if (id != kSeek) return true;
    std::uint64_t target = 0, position = 0;
    bool havePosition = false;
    Children(seek, [&](std::uint32_t field, std::string_view v) {
      if (field == kSeekId) target = Unsigned(v);
      if (field == kSeekPosition && v.size() <= 8) {
        position = Unsigned(v);
        havePosition = true;
      }
      return true;
    });
    if (!havePosition || position >= static_cast<std::uint64_t>(end - segment)) return true;
    std::int64_t at = segment + static_cast<std::int64_t>(position);
    if (target == kInfo && found.infoAt < 0) found.infoAt = at;
    if (target == kTracks && found.tracksAt < 0) found.tracksAt = at;
    return true;
  });
}

// Reads one first-level element that holds facts (Info, Tracks, SeekHead).
bool ReadPart(Source& s, const Element& element, std::int64_t segment, std::int64_t segmentEnd,
              VideoFacts& facts, Findings& found) {
  std::int64_t end = element.unknownSize ? UnknownEnd(s, element) : element.end;
  std::string_view b;
  if (end - element.content > static_cast<std::int64_t>(kMaxPartBytes) ||
      !s.Get(element.content, static_cast<std::size_t>(end - element.content), b) ||
      b.size() != static_cast<std::size_t>(end - element.content)) {
    return false;
  }
  if (element.id == kInfo) {
    ReadInfo(b, facts);
    found.info = true;
  } else if (element.id == kTracks) {
    ReadTracks(b, facts);
    found.tracks = true;
  } else if (element.id == kSeekHead) {
    ReadSeekHead(b, segment, segmentEnd, found);
  }
  return true;
}

}  // namespace

bool LooksLikeEbml(std::string_view head) {
  return head.size() >= 4 && BigEndian(head, 0, 4) == kEbml;
}

bool ParseEbml(Source& s, VideoFacts& facts, std::string& reason) {
  reason = "its header is damaged or cut short";
  Element header;
  std::string_view b;
  if (!ReadElement(s, 0, s.size, header) || header.end - header.content > 4096 ||
      !s.Get(header.content, static_cast<std::size_t>(header.end - header.content), b)) {
    return false;
  }
  std::string docType;
  Children(b, [&](std::uint32_t id, std::string_view v) {
    if (id == kDocType) docType = std::string(v.substr(0, v.find('\0')));
    return id != kDocType;
  });
  if (docType == "webm") {
    facts.format = VideoFormat::kWebm;
  } else if (docType == "matroska") {
    facts.format = VideoFormat::kMatroska;
  } else {
    reason = "not a WebM or Matroska video";
    return false;
  }
  Element segment;
  if (!ReadElement(s, header.end, s.size, segment) || segment.id != kSegment) return false;
  Findings found;
  for (std::int64_t pos = segment.content; pos < segment.end && !(found.info && found.tracks);) {
    Element element;
    if (!ReadElement(s, pos, segment.end, element)) break;
    bool wanted = element.id == kInfo || element.id == kTracks || element.id == kSeekHead;
    if (wanted && !ReadPart(s, element, segment.content, segment.end, facts, found)) break;
    if (element.id == kCluster && (found.infoAt >= 0 || found.tracksAt >= 0)) break;
    pos = element.unknownSize ? UnknownEnd(s, element) : element.end;
  }
  // Info or Tracks after the clusters, where the SeekHead says they are.
  for (std::int64_t at : {found.info ? -1 : found.infoAt, found.tracks ? -1 : found.tracksAt}) {
    Element element;
    if (at >= 0 && ReadElement(s, at, segment.end, element) &&
        (element.id == kInfo || element.id == kTracks)) {
      ReadPart(s, element, segment.content, segment.end, facts, found);
    }
  }
  if (!found.tracks) {
    reason = "it has no track list, or it is cut short";
    return false;
  }
  return true;
}

}  // namespace video_parts
