// HEIF and AVIF: ISO base media boxes. The top-level boxes are passed by up to
// "meta", which is read whole: the primary item (pitm), its properties (iprp:
// ipco and ipma: ispe, irot, imir, clap), the items' types (iinf), references
// (iref: auxl for alpha, cdsc for metadata) and places (iloc). The Exif and
// XMP items of the primary image are read afterwards, wherever they lie.
#include <algorithm>
#include <initializer_list>
#include <vector>

#include "collect/picture_reading.h"
#include "platform/picture_kinds.h"

namespace picture_reading {
namespace {

constexpr std::uint64_t kMaxMetaBytes = 8 << 20;  // the meta box is read whole
constexpr std::uint32_t kMaxItemBytes = 1 << 18;  // the part of an Exif or XMP item read
constexpr std::size_t kMaxProperties = 32767;     // the most ipma can refer to
constexpr std::size_t kMaxCandidates = 16;        // Exif, XMP and alpha items looked at

struct Box {
  Bytes type;
  std::uint64_t start = 0, body = 0, end = 0;  // positions in the bytes read
};

// The box at b[pos] within b[..limit]; false when its header is not all
// there or its size is impossible. A box of size 0 runs to limit.
bool ReadBox(Bytes b, std::uint64_t pos, std::uint64_t limit, Box& box, bool mustFit = true) {
  std::uint64_t size = 0;
  if (!GetNumber(b, pos, 4, true, size) || pos + 8 > b.size()) return false;
  box.type = b.substr(static_cast<std::size_t>(pos) + 4, 4);
  box.start = pos;
  box.body = pos + 8;
  if (size == 1) {
    if (!GetNumber(b, pos + 8, 8, true, size)) return false;
    box.body += 8;
  } else if (size == 0) {
    size = limit - pos;
  }
  if (box.type == "uuid") box.body += 16;
  if (size < box.body - pos || size > (std::uint64_t{1} << 62)) return false;
  box.end = pos + size;
  return !mustFit || box.end <= limit;
}

// Calls visit(box) for each box of b[from..to]; stops at a broken one.
template <typename Visit>
void ForEachBox(Bytes b, std::uint64_t from, std::uint64_t to, Visit visit) {
  Box box;
  for (std::uint64_t pos = from; pos < to && ReadBox(b, pos, to, box); pos = box.end) visit(box);
}

bool GetId(Bytes b, std::uint64_t& pos, bool wide, std::uint32_t& id) {
  std::uint64_t value = 0;
  if (!GetNumber(b, pos, wide ? 4 : 2, true, value)) return false;
  pos += wide ? 4 : 2;
  id = static_cast<std::uint32_t>(value);
  return true;
}

bool Has(const std::vector<std::uint32_t>& ids, std::uint32_t id) {
  return std::find(ids.begin(), ids.end(), id) != ids.end();
}

void Keep(std::vector<std::uint32_t>& ids, std::uint32_t id) {
  if (ids.size() < kMaxCandidates && !Has(ids, id)) ids.push_back(id);
}

struct Place {
  std::uint32_t id = 0;
  std::uint32_t method = 0;
  std::uint64_t offset = 0, length = 0;
  bool found = false;
};

struct Meta {
  std::uint32_t primary = 0;
  Bytes primaryType;
  std::vector<std::uint32_t> exif, xmp, described, alpha;  // item ids
  std::vector<Box> properties;                             // ipco, index 1 first
  std::vector<std::uint16_t> primaryProperties;
  std::vector<std::vector<std::uint16_t>> alphaProperties;  // in the order of alpha
  Box idat;
  bool hasIdat = false;
};

void ReadItemInfo(Bytes b, const Box& iinf, Meta& meta) {
  unsigned version = Byte(b, static_cast<std::size_t>(iinf.body));
  ForEachBox(b, iinf.body + (version == 0 ? 6 : 8), iinf.end, [&](const Box& infe) {
    if (infe.type != "infe" || infe.end - infe.body < 4) return;
    unsigned v = Byte(b, static_cast<std::size_t>(infe.body));
    if (v < 2) return;  // no item type in the oldest forms
    std::uint64_t pos = infe.body + 4;
    std::uint32_t id = 0;
    if (!GetId(b, pos, v >= 3, id) || pos + 6 > infe.end) return;
    Bytes type = b.substr(static_cast<std::size_t>(pos) + 2, 4);
    Bytes rest = b.substr(static_cast<std::size_t>(pos) + 6,
                          static_cast<std::size_t>(infe.end - pos - 6));  // name, content type
    if (id == meta.primary) meta.primaryType = type;
    if (type == "Exif") Keep(meta.exif, id);
    std::size_t nameEnd = rest.find('\0');
    if (type == "mime" && nameEnd != Bytes::npos &&
        rest.substr(nameEnd + 1, 20) == Bytes("application/rdf+xml\0", 20)) {
      Keep(meta.xmp, id);
    }
  });
}

void ReadReferences(Bytes b, const Box& iref, Meta& meta) {
  bool wide = Byte(b, static_cast<std::size_t>(iref.body)) != 0;
  ForEachBox(b, iref.body + 4, iref.end, [&](const Box& ref) {
    std::uint64_t pos = ref.body;
    std::uint32_t from = 0, count = 0, to = 0;
    if (!GetId(b, pos, wide, from) || !GetId(b, pos, false, count)) return;
    for (std::uint32_t i = 0; i < count && pos < ref.end && GetId(b, pos, wide, to); ++i) {
      if (to != meta.primary) continue;
      if (ref.type == "auxl") Keep(meta.alpha, from);
      if (ref.type == "cdsc") Keep(meta.described, from);
    }
  });
}

void ReadAssociations(Bytes b, const Box& ipma, Meta& meta) {
  if (ipma.end - ipma.body < 8) return;
  unsigned version = Byte(b, static_cast<std::size_t>(ipma.body));
  bool wideIndex = (Byte(b, static_cast<std::size_t>(ipma.body) + 3) & 1) != 0;
  std::uint32_t entries = 0;
  Get32(b, ipma.body + 4, true, entries);
  std::uint64_t pos = ipma.body + 8;
  for (std::uint32_t e = 0; e < entries && pos < ipma.end; ++e) {
    std::uint32_t id = 0;
    if (!GetId(b, pos, version >= 1, id) || pos >= ipma.end) return;
    unsigned count = Byte(b, static_cast<std::size_t>(pos++));
    std::uint64_t size = wideIndex ? 2 : 1;
    if (pos + count * size > ipma.end) return;
    std::vector<std::uint16_t>* list = nullptr;
    if (id == meta.primary) list = &meta.primaryProperties;
    auto alpha = std::find(meta.alpha.begin(), meta.alpha.end(), id);
    if (alpha != meta.alpha.end()) list = &meta.alphaProperties[alpha - meta.alpha.begin()];
    for (unsigned i = 0; list != nullptr && i < count; ++i) {
      std::uint64_t index = 0;
      GetNumber(b, pos + i * size, static_cast<int>(size), true, index);
      list->push_back(static_cast<std::uint16_t>(index & (wideIndex ? 0x7FFF : 0x7F)));
    }
    pos += count * size;
  }
}

// Where each wanted item lies: its construction method and first extent.
void ReadLocations(Bytes b, const Box& iloc, std::vector<Place>& places) {
  unsigned version = Byte(b, static_cast<std::size_t>(iloc.body));
  if (version > 2 || iloc.end - iloc.body < 8) return;
  unsigned sizes = Byte(b, static_cast<std::size_t>(iloc.body) + 4);
  unsigned more = Byte(b, static_cast<std::size_t>(iloc.body) + 5);
  unsigned offsetSize = sizes >> 4, lengthSize = sizes & 15, baseSize = more >> 4;
  unsigned indexSize = version >= 1 ? more & 15 : 0;
  for (unsigned s : {offsetSize, lengthSize, baseSize, indexSize}) {
    if (s != 0 && s != 4 && s != 8) return;
  }
  std::uint64_t pos = iloc.body + 6;
  std::uint32_t items = 0;
  if (!GetId(b, pos, version >= 2, items)) return;
  std::uint64_t extentSize = std::uint64_t{indexSize} + offsetSize + lengthSize;
  for (std::uint32_t i = 0; i < items && pos < iloc.end; ++i) {
    Place place;
    std::uint32_t method = 0, reference = 0, extents = 0;
    if (!GetId(b, pos, version >= 2, place.id)) return;
    if (version >= 1 && !GetId(b, pos, false, method)) return;
    std::uint64_t base = 0, offset = 0, length = 0;
    if (!GetId(b, pos, false, reference) ||
        !GetNumber(b, pos, static_cast<int>(baseSize), true, base))
      return;
    pos += baseSize;
    if (!GetId(b, pos, false, extents)) return;
    std::uint64_t first = pos + indexSize;
    pos += extents * extentSize;
    if (pos > iloc.end) return;
    auto wanted = std::find_if(places.begin(), places.end(),
                               [&](const Place& p) { return p.id == place.id && !p.found; });
    if (wanted == places.end() || extents == 0 || reference != 0) continue;
    GetNumber(b, first, static_cast<int>(offsetSize), true, offset);
    GetNumber(b, first + offsetSize, static_cast<int>(lengthSize), true, length);
    if (base > (std::uint64_t{1} << 60) || offset > (std::uint64_t{1} << 60)) continue;
    *wanted = {place.id, method & 15, base + offset, length, true};
  }
}

// The EXIF orientations as linear maps of the stored picture's coordinates
// (x to the right, y down) onto the displayed one's: x' = a x + b y,
// y' = c x + d y. Index 0 is orientation 1.
struct Turn {
  int a, b, c, d;
};
constexpr Turn kOrientations[8] = {{1, 0, 0, 1}, {-1, 0, 0, 1}, {-1, 0, 0, -1}, {1, 0, 0, -1},
                                   {0, 1, 1, 0}, {0, -1, 1, 0}, {0, -1, -1, 0}, {0, 1, -1, 0}};

Turn Then(const Turn& first, const Turn& second) {  // second applied after first
  return {second.a * first.a + second.b * first.c, second.a * first.b + second.b * first.d,
          second.c * first.a + second.d * first.c, second.c * first.b + second.d * first.d};
}

int OrientationOf(const Turn& t) {
  for (int i = 0; i < 8; ++i) {
    const Turn& o = kOrientations[i];
    if (o.a == t.a && o.b == t.b && o.c == t.c && o.d == t.d) return i + 1;
  }
  return 1;
}

bool IsAlpha(Bytes b, const Box& auxC) {
  Bytes type = b.substr(static_cast<std::size_t>(auxC.body) + 4,
                        static_cast<std::size_t>(auxC.end - auxC.body) - 4);
  type = type.substr(0, type.find('\0'));
  return type == "urn:mpeg:mpegB:cicp:systems:auxiliary:alpha" ||
         type == "urn:mpeg:hevc:2015:auxid:1";
}

// The size and orientation of the primary image from its properties, in the
// order they are associated: a crop (clap), quarter turns anticlockwise
// (irot) and mirrors (imir) act on the picture as the steps before left it.
bool ApplyProperties(Bytes b, const Meta& meta, Bytes grid, PictureFacts& facts) {
  std::uint64_t width = 0, height = 0;
  auto property = [&](std::uint16_t index) -> const Box* {
    return index >= 1 && index <= meta.properties.size() ? &meta.properties[index - 1] : nullptr;
  };
  for (std::uint16_t index : meta.primaryProperties) {
    const Box* p = property(index);
    if (p != nullptr && p->type == "ispe" && width == 0 && p->end >= p->body + 12) {
      GetNumber(b, p->body + 4, 4, true, width);  // after the version and flags
      GetNumber(b, p->body + 8, 4, true, height);
    }
  }
  if ((width == 0 || height == 0) && meta.primaryType == "grid" && grid.size() >= 8) {
    // The grid's own record: version, flags, rows and columns - 1, the size.
    int size = (Byte(grid, 1) & 1) != 0 ? 4 : 2;
    GetNumber(grid, 4, size, true, width);
    GetNumber(grid, 4 + size, size, true, height);
  }
  if (width == 0 || height == 0) return false;
  Turn turn = kOrientations[0];
  for (std::uint16_t index : meta.primaryProperties) {
    const Box* p = property(index);
    if (p == nullptr || p->end <= p->body) continue;
    unsigned first = Byte(b, static_cast<std::size_t>(p->body));
    if (p->type == "irot") {
      for (unsigned q = 0; q < (first & 3); ++q) turn = Then(turn, kOrientations[7]);
      if ((first & 1) != 0) std::swap(width, height);
    } else if (p->type == "imir") {
      turn = Then(turn, kOrientations[(first & 1) != 0 ? 3 : 1]);  // about a horizontal axis
    } else if (p->type == "clap" && p->end - p->body >= 16) {
      std::uint32_t wN = 0, wD = 0, hN = 0, hD = 0;
      Get32(b, p->body, true, wN);
      Get32(b, p->body + 4, true, wD);
      Get32(b, p->body + 8, true, hN);
      Get32(b, p->body + 12, true, hD);
      if (wD == 0 || hD == 0) continue;
      std::uint64_t w = (std::uint64_t{wN} + wD / 2) / wD, h = (std::uint64_t{hN} + hD / 2) / hD;
      if (w >= 1 && w <= width && h >= 1 && h <= height) width = w, height = h;
    }
  }
  if (width > 0xFFFFFFFF || height > 0xFFFFFFFF) return false;
  facts.orientation = OrientationOf(turn);
  bool turned = facts.orientation >= 5;
  facts.storedWidth = static_cast<std::uint32_t>(turned ? height : width);
  facts.storedHeight = static_cast<std::uint32_t>(turned ? width : height);
  for (std::size_t i = 0; i < meta.alphaProperties.size() && !facts.transparency; ++i) {
    for (std::uint16_t index : meta.alphaProperties[i]) {
      const Box* p = property(index);
      if (p != nullptr && p->type == "auxC" && p->end - p->body > 4 && IsAlpha(b, *p)) {
        facts.transparency = true;
      }
    }
  }
  return true;
}

// The first of the candidates that describes the primary image, else the
// first at all.
std::uint32_t Choose(const std::vector<std::uint32_t>& candidates, const Meta& meta) {
  for (std::uint32_t id : candidates) {
    if (Has(meta.described, id)) return id;
  }
  return candidates.empty() ? 0 : candidates.front();
}

// Reads the meta box b[box] (b begins at file offset `offset`).
bool ReadMeta(Bytes b, const Box& box, std::int64_t offset, PictureFacts& facts) {
  Meta meta;
  Box pitm, iinf, iref, iloc, iprp;
  bool has[5] = {};
  ForEachBox(b, box.body + 4, box.end, [&](const Box& child) {
    static constexpr const char* kTypes[] = {"pitm", "iinf", "iref", "iloc", "iprp"};
    Box* slots[] = {&pitm, &iinf, &iref, &iloc, &iprp};
    for (int i = 0; i < 5; ++i) {
      if (child.type == kTypes[i] && !has[i] && child.end - child.body >= 6) {
        *slots[i] = child;
        has[i] = true;
      }
    }
    if (child.type == "idat" && !meta.hasIdat) meta.idat = child, meta.hasIdat = true;
  });
  if (!has[0] || !has[4]) return false;
  std::uint64_t pos = pitm.body + 4;
  if (!GetId(b, pos, Byte(b, static_cast<std::size_t>(pitm.body)) != 0, meta.primary)) return false;
  if (has[1]) ReadItemInfo(b, iinf, meta);
  if (has[2]) ReadReferences(b, iref, meta);
  meta.alphaProperties.resize(meta.alpha.size());
  ForEachBox(b, iprp.body, iprp.end, [&](const Box& child) {
    if (child.type == "ipco" && meta.properties.empty()) {
      ForEachBox(b, child.body, child.end, [&](const Box& p) {
        if (meta.properties.size() < kMaxProperties) meta.properties.push_back(p);
      });
    } else if (child.type == "ipma") {
      ReadAssociations(b, child, meta);
    }
  });
  std::vector<Place> places = {{Choose(meta.exif, meta)}, {Choose(meta.xmp, meta)}, {meta.primary}};
  if (has[3]) ReadLocations(b, iloc, places);
  // A place in idat (method 1) lies in the meta box; method 0 in the file.
  auto fileOffset = [&](const Place& p) -> std::int64_t {
    if (!p.found || p.id == 0 || (p.method != 0 && (p.method != 1 || !meta.hasIdat))) return -1;
    std::uint64_t at = p.offset + (p.method == 1 ? meta.idat.body : 0);
    if (p.method == 1 && at + p.length > meta.idat.end) return -1;
    return p.method == 1 ? offset + static_cast<std::int64_t>(at) : static_cast<std::int64_t>(at);
  };
  Bytes grid;
  if (places[2].found && places[2].method == 1 && fileOffset(places[2]) >= 0) {
    grid = b.substr(static_cast<std::size_t>(places[2].offset + meta.idat.body),
                    static_cast<std::size_t>(places[2].length));
  }
  if (!ApplyProperties(b, meta, grid, facts)) return false;
  for (int i = 0; i < 2; ++i) {
    PictureRead& read = i == 0 ? facts.exifItem : facts.xmpItem;
    read.at = fileOffset(places[i]);
    std::uint64_t length = places[i].length == 0 ? kMaxItemBytes : places[i].length;
    read.length = static_cast<std::uint32_t>(std::min<std::uint64_t>(length, kMaxItemBytes));
  }
  return true;
}

}  // namespace

bool IsHeif(Bytes b, PictureFacts& facts) {
  // The engines' own rule tells the brands apart, so a file the header reader
  // takes for HEIF is one the engines decode as HEIF, and the same for AVIF.
  platform::PictureKind kind =
      platform::SniffPicture(reinterpret_cast<const unsigned char*>(b.data()), b.size());
  if (kind != platform::PictureKind::kHeif && kind != platform::PictureKind::kAvif) return false;
  facts.format = kind == platform::PictureKind::kAvif ? PictureFormat::kAvif : PictureFormat::kHeif;
  return true;
}

PictureScan WalkHeif(Bytes b, std::int64_t offset, PictureFacts& facts) {
  if (facts.storedWidth != 0) return ReadHeifItems(b, offset, facts);
  // The top-level boxes up to meta; each box passed by moves the walk on.
  std::size_t pos = 0;
  for (;;) {
    Box box;
    if (!ReadBox(b, pos, ~std::uint64_t{0} >> 2, box, false)) {
      return pos + 16 <= b.size() ? Unknown() : More(offset, pos, 16, false);
    }
    if (box.end > (std::uint64_t{1} << 48)) return Unknown();  // past any real file
    if (box.type == "meta") {
      if (box.end - box.start > kMaxMetaBytes) return Unknown();
      if (box.end > b.size())
        return More(offset, pos, static_cast<std::size_t>(box.end - pos), false);
      if (!ReadMeta(b, box, offset, facts)) return Unknown();
      return ReadHeifItems(b, offset, facts);
    }
    if (box.end > b.size()) return More(offset, static_cast<std::size_t>(box.end), 16, false);
    pos = static_cast<std::size_t>(box.end);
  }
}

}  // namespace picture_reading
