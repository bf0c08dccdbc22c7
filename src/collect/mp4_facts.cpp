// MP4 and QuickTime: a walk over the boxes, by their headers, down to the few
// that hold the facts. Top-level boxes are passed by seeking, so a moov after
// gigabytes of mdat costs one read; inside moov only the small leaf boxes are
// read, and the sample tables are passed over too.
#include <cstdint>
#include <string>
#include <string_view>

#include "collect/video_parts.h"

namespace video_parts {

namespace {

constexpr std::uint32_t Type(const char (&name)[5]) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(name[0])) << 24 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(name[1])) << 16 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(name[2])) << 8 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(name[3]));
}

// Seconds from 1904-01-01 (the MP4 epoch) to 1970-01-01, both UTC.
constexpr std::int64_t kEpoch1904 = 2082844800;
constexpr std::string_view kAppleDateKey = "com.apple.quicktime.creationdate";

struct Box {
  std::uint32_t type = 0;
  std::int64_t content = 0, end = 0;
};

// The box whose header starts at pos, inside a parent that ends at limit.
// False when the header is cut short, smaller than itself, or the box
// reaches past its parent (damage, or a file cut short).
bool ReadBox(Source& s, std::int64_t pos, std::int64_t limit, Box& box) {
  std::string_view b;
  if (!s.Visit() || limit - pos < 8 || !s.Get(pos, 16, b) || b.size() < 8) return false;
  std::uint64_t size = BigEndian(b, 0, 4);
  box.type = static_cast<std::uint32_t>(BigEndian(b, 4, 4));
  std::int64_t header = 8;
  if (size == 1) {  // a 64-bit size follows the type
    if (b.size() < 16 || limit - pos < 16) return false;
    size = BigEndian(b, 8, 8);
    header = 16;
  } else if (size == 0) {  // the box runs to the end of its parent (the file)
    size = static_cast<std::uint64_t>(limit - pos);
  }
  if (size < static_cast<std::uint64_t>(header) || size > static_cast<std::uint64_t>(limit - pos))
    return false;
  if (box.type == Type("uuid")) header += 16;
  if (static_cast<std::uint64_t>(header) > size) return false;
  box.content = pos + header;
  box.end = pos + static_cast<std::int64_t>(size);
  return true;
}

// A leaf box's content, at most `most` bytes of it.
bool Content(Source& s, const Box& box, std::size_t most, std::string_view& b) {
  std::int64_t length = box.end - box.content;
  std::size_t want =
      static_cast<std::uint64_t>(length) < most ? static_cast<std::size_t>(length) : most;
  return s.Get(box.content, want, b) && b.size() == want;
}

// Calls each(child) for the boxes inside parent, in order, until each
// returns false. False when a child is damaged or the walk is too long; less
// than a header at the end is padding (QuickTime ends lists with 4 zeros).
template <typename Each>
bool Children(Source& s, std::int64_t from, std::int64_t end, Each each) {
  for (std::int64_t pos = from; end - pos >= 8;) {
    Box child;
    if (!ReadBox(s, pos, end, child)) return false;
    if (!each(child)) return true;
    pos = child.end;
  }
  return true;
}

// Milliseconds of duration time units at timescale units a second, rounded;
// 0 for none, "unknown" (all ones) or beyond a million hours.
std::int64_t Milliseconds(std::uint64_t duration, std::uint64_t timescale, bool wide) {
  if (timescale == 0 || duration == 0 || duration == (wide ? ~0ull : 0xFFFFFFFFull)) return 0;
  std::uint64_t whole = duration / timescale, rest = duration % timescale;
  if (whole > 3600ull * 1000000) return 0;
  return static_cast<std::int64_t>(whole * 1000 + (rest * 1000 + timescale / 2) / timescale);
}

// Movie and media headers: version 0 with 32-bit times, 1 with 64-bit.
struct Header {
  std::uint64_t created = 0;
  std::int64_t durationMs = 0;
};
bool ReadHeader(Source& s, const Box& box, Header& header) {
  std::string_view b;
  if (!Content(s, box, 32, b) || b.size() < 20) return false;
  bool wide = b[0] == 1;
  std::size_t n = wide ? 8 : 4;
  if (b.size() < 4 + 3 * n + 4) return false;
  header.created = BigEndian(b, 4, n);
  std::uint64_t timescale = BigEndian(b, 4 + 2 * n, 4);
  header.durationMs = Milliseconds(BigEndian(b, 8 + 2 * n, n), timescale, wide);
  return true;
}

struct Track {
  bool video = false;
  std::uint32_t width = 0, height = 0;
  int rotation = 0;
  bool mirrored = false;
  std::int64_t durationMs = 0;
};

// The 16.16 fixed-point value rounded to whole pixels.
std::uint32_t Pixels(std::uint64_t fixed) {
  return static_cast<std::uint32_t>((fixed + 0x8000) >> 16);
}

// tkhd: the display matrix {a b u / c d v / x y w} and the size. A point
// (x, y) is shown at (a x + c y, b x + d y); with y downwards, a = d = 0,
// b = 1, c = -1 turns the picture 90 degrees clockwise. A negative
// determinant mirrors: the matrix is then a left-right mirror followed by a
// turn, and the turn is what remains once the mirror is taken out.
void ReadTrackHeader(Source& s, const Box& box, Track& track) {
  std::string_view b;
  if (!Content(s, box, 104, b) || b.empty()) return;
  std::size_t matrix = b[0] == 1 ? 52 : 40;
  if (b.size() < matrix + 44) return;
  auto at = [&](std::size_t i) {
    return static_cast<std::int64_t>(static_cast<std::int32_t>(BigEndian(b, matrix + 4 * i, 4)));
  };
  std::int64_t a = at(0), bb = at(1), c = at(3), d = at(4);
  track.mirrored = a * d - bb * c < 0;
  if (track.mirrored) {
    a = -a;
    bb = -bb;
  }
  if ((a < 0 ? -a : a) >= (bb < 0 ? -bb : bb))
    track.rotation = a >= 0 ? 0 : 180;
  else
    track.rotation = bb > 0 ? 90 : 270;
  track.width = Pixels(BigEndian(b, matrix + 36, 4));
  track.height = Pixels(BigEndian(b, matrix + 40, 4));
}

// The coded size in the first visual sample entry (minf/stbl/stsd), for a
// track header that gives none.
void ReadSampleSize(Source& s, const Box& minf, Track& track) {
  Children(s, minf.content, minf.end, [&](const Box& stbl) {
    if (stbl.type != Type("stbl")) return true;
    Children(s, stbl.content, stbl.end, [&](const Box& stsd) {
      std::string_view b;
      if (stsd.type != Type("stsd") || !Content(s, stsd, 44, b) || b.size() < 44) return true;
      track.width = static_cast<std::uint32_t>(BigEndian(b, 40, 2));
      track.height = static_cast<std::uint32_t>(BigEndian(b, 42, 2));
      return false;
    });
    return false;
  });
}

void ReadTrack(Source& s, const Box& trak, Track& track) {
  Children(s, trak.content, trak.end, [&](const Box& box) {
    if (box.type == Type("tkhd")) ReadTrackHeader(s, box, track);
    if (box.type != Type("mdia")) return true;
    Children(s, box.content, box.end, [&](const Box& inner) {
      std::string_view b;
      Header header;
      if (inner.type == Type("mdhd") && ReadHeader(s, inner, header))
        track.durationMs = header.durationMs;
      if (inner.type == Type("hdlr") && Content(s, inner, 12, b) && b.size() == 12)
        track.video = b.substr(8, 4) == "vide";
      if (inner.type == Type("minf") && track.width == 0) ReadSampleSize(s, inner, track);
      return true;
    });
    return true;
  });
}

// Apple's metadata: keys names the items, ilst holds them by key number;
// the creation date is an item of UTF-8 text in a data box.
void ReadMeta(Source& s, const Box& meta, VideoFacts& facts) {
  std::string_view b;
  if (!s.Get(meta.content, 4, b) || b.size() < 4) return;
  // ISO meta boxes carry a version and flags first, QuickTime's do not.
  std::int64_t from = meta.content + (BigEndian(b, 0, 4) == 0 ? 4 : 0);
  std::uint64_t wanted = 0;
  Children(s, from, meta.end, [&](const Box& box) {
    if (box.type == Type("keys") && Content(s, box, kMaxPartBytes, b) && b.size() >= 8) {
      std::uint64_t count = BigEndian(b, 4, 4);
      std::size_t at = 8;
      for (std::uint64_t key = 1; key <= count && b.size() - at >= 8; ++key) {
        std::uint64_t size = BigEndian(b, at, 4);
        if (size < 8 || size > b.size() - at) break;
        if (b.substr(at + 8, size - 8) == kAppleDateKey) wanted = key;
        at += size;
      }
    }
    if (box.type != Type("ilst") || wanted == 0) return true;
    Children(s, box.content, box.end, [&](const Box& item) {
      if (item.type != wanted) return true;
      Children(s, item.content, item.end, [&](const Box& data) {
        if (data.type == Type("data") && Content(s, data, 80, b) && b.size() > 8 &&
            BigEndian(b, 0, 4) == 1) {
          SetRecordedDate(b.substr(8), facts);
        }
        return data.type != Type("data");
      });
      return false;
    });
    return false;
  });
}

bool ReadMovie(Source& s, const Box& moov, VideoFacts& facts, std::string& reason) {
  Header movie;
  bool haveMovie = false;
  Track video;
  bool complete = Children(s, moov.content, moov.end, [&](const Box& box) {
    if (box.type == Type("mvhd")) haveMovie = ReadHeader(s, box, movie);
    if (box.type == Type("trak") && (!video.video || video.width == 0 || video.height == 0)) {
      Track track;
      ReadTrack(s, box, track);
      if (track.video) video = track;
    }
    if (box.type == Type("meta") && facts.takenFrom == VideoDate::kNone) ReadMeta(s, box, facts);
    if (box.type == Type("udta") && facts.takenFrom == VideoDate::kNone) {
      Children(s, box.content, box.end, [&](const Box& inner) {
        if (inner.type == Type("meta")) ReadMeta(s, inner, facts);
        return true;
      });
    }
    return true;
  });
  if (!complete || !haveMovie) {
    reason = "its movie header is damaged or cut short";
    return false;
  }
  facts.durationMs = movie.durationMs != 0 ? movie.durationMs : video.durationMs;
  if (facts.takenFrom == VideoDate::kNone && movie.created != 0 &&
      movie.created < static_cast<std::uint64_t>(INT64_MAX / 2)) {
    SetUtcDate(static_cast<std::int64_t>(movie.created) - kEpoch1904, facts);
  }
  if (video.video) {
    facts.storedWidth = video.width;
    facts.storedHeight = video.height;
    facts.rotation = video.rotation;
    facts.mirrored = video.mirrored;
  }
  return true;
}

bool FirstBoxType(std::string_view head, std::uint32_t& type) {
  if (head.size() < 8) return false;
  type = static_cast<std::uint32_t>(BigEndian(head, 4, 4));
  return true;
}

}  // namespace

bool LooksLikeMp4(std::string_view head) {
  std::uint32_t type = 0;
  if (!FirstBoxType(head, type)) return false;
  for (std::uint32_t known : {Type("ftyp"), Type("moov"), Type("mdat"), Type("free"), Type("skip"),
                              Type("wide"), Type("pnot")}) {
    if (type == known) return true;
  }
  return false;
}

bool ParseMp4(Source& s, VideoFacts& facts, std::string& reason) {
  std::string_view head;
  std::uint32_t type = 0;
  if (!s.Get(0, 12, head) || !FirstBoxType(head, type)) return false;
  bool quickTime = type != Type("ftyp") || (head.size() >= 12 && head.substr(8, 4) == "qt  ");
  facts.format = quickTime ? VideoFormat::kQuickTime : VideoFormat::kMp4;
  for (std::int64_t pos = 0; pos < s.size;) {
    Box box;
    if (!ReadBox(s, pos, s.size, box)) break;  // the file is cut short or damaged here
    if (box.type == Type("moov")) return ReadMovie(s, box, facts, reason);
    pos = box.end;
  }
  reason = "it has no movie header (moov), or it is cut short";
  return false;
}

}  // namespace video_parts
