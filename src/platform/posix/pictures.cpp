// Display copies of pictures on POSIX systems, made with libvips.
//
//   1. Engine set-up: vips loaded (vips_calls.h) and started once for the
//      process on its first picture, its cache off and its own threads at
//      one, since the caller runs one picture per core.
//   2. Decoding: the picture is opened here (paths of any length). JPEGs are
//      decoded at reduced scale by libjpeg-turbo (jpeg.cpp) and BMPs by
//      bmp.cpp, both then shrunk by vips from memory; PNGs, GIFs, WebPs,
//      HEIFs and AVIFs are read by vips_thumbnail through the descriptor
//      (first frame only). All at the size of the largest copy; EXIF
//      orientation applied (to HEIF and AVIF libheif applies their own
//      rotation and mirroring, and vips no EXIF tag on top). A clip's poster
//      frame comes from video.cpp as RGB pixels and is shrunk and turned
//      upright (by the clip's display turn) as a decoded JPEG is.
//   3. The copies: an embedded profile other than sRGB converted to sRGB
//      (lcms, through vips), colour made sRGB 8-bit, alpha kept only where
//      some pixel is not opaque; each smaller copy shrunk from the one just
//      larger.
//   4. Writing: JPEG (quality 85) or, when the copy has transparency, PNG,
//      without metadata, written atomically (files.cpp).
//   5. The seam: MakeDisplayCopies.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/copies.h"
#include "platform/icc_profile.h"
#include "platform/picture_kinds.h"
#include "platform/platform.h"
#include "platform/posix/bmp.h"
#include "platform/posix/files.h"
#include "platform/posix/jpeg.h"
#include "platform/posix/video.h"
#include "platform/posix/vips_calls.h"

namespace platform {
namespace {

// ---- 1. Engine set-up -------------------------------------------------------

std::once_flag g_vipsOnce;
const vips_library::Calls* g_vips = nullptr;  // set by StartVips once vips has started
std::string g_vipsFailure;                    // why vips cannot start, when it cannot
mode_t g_fileMode = 0644;                     // new copies: 0666 less the umask

void StartVips() {
  std::call_once(g_vipsOnce, [] {
    const vips_library::Calls* vips = vips_library::Load(g_vipsFailure);
    if (vips && vips->vips_init("pagrimo") != 0) g_vipsFailure = "the image library cannot start";
    if (vips && g_vipsFailure.empty()) {
      vips->vips_concurrency_set(1);
      vips->vips_cache_set_max(0);
      vips->vips_cache_set_max_mem(0);
      vips->vips_cache_set_max_files(0);
      // Loaders that vips marks as unsafe on hostile input (ImageMagick and
      // the like) are never used.
      vips->vips_block_untrusted_set(TRUE);
      // A damaged picture is reported through the result; vips' warnings
      // would only clutter standard error, which belongs to the program.
      vips->g_log_set_handler(
          "VIPS", G_LOG_LEVEL_WARNING, [](const gchar*, GLogLevelFlags, const gchar*, gpointer) {},
          nullptr);
      g_vips = vips;
    }
    mode_t mask = umask(0);
    umask(mask);
    g_fileMode = 0666 & ~mask;
  });
}

// vips' last error, taken off its (process-wide) list.
std::string VipsReason() {
  std::string text = g_vips->vips_error_buffer();
  g_vips->vips_error_clear();
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  size_t newline = text.find('\n');
  if (newline != std::string::npos) text.resize(newline);
  return text.empty() ? "the picture cannot be decoded" : text;
}

// Owns one VipsImage reference.
struct ImageRef {
  VipsImage* image = nullptr;
  ImageRef() = default;
  ImageRef(const ImageRef&) = delete;
  ImageRef& operator=(const ImageRef&) = delete;
  ~ImageRef() {
    if (image) g_vips->g_object_unref(image);
  }
  void Reset(VipsImage* next) {
    if (image) g_vips->g_object_unref(image);
    image = next;
  }
};

bool ReadAll(int fd, std::string& bytes) {
  struct stat st;
  if (fstat(fd, &st) == 0 && st.st_size > 0) bytes.reserve(static_cast<size_t>(st.st_size) + 1);
  char buffer[65536];
  for (;;) {
    ssize_t got = read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return false;
    if (got == 0) return true;
    bytes.append(buffer, static_cast<size_t>(got));
  }
}

// ---- 2. Decoding ------------------------------------------------------------

// Shrinks decoded pixels (kept alive by the caller) to the thumbnail, turned
// upright by their orientation and with their colour profile, if any.
bool ShrinkPixels(const JpegPixels& pixels, VipsInterpretation space, int maxSide,
                  ImageRef& thumb) {
  ImageRef raw;
  raw.image =
      g_vips->vips_image_new_from_memory(pixels.samples.data(), pixels.samples.size(), pixels.width,
                                         pixels.height, pixels.bands, VIPS_FORMAT_UCHAR);
  ImageRef tagged;
  if (!raw.image ||
      g_vips->vips_copy(raw.image, &tagged.image, "interpretation", space, nullptr) != 0)
    return false;
  g_vips->vips_image_set_int(tagged.image, VIPS_META_ORIENTATION, pixels.orientation);
  if (!pixels.icc.empty()) {
    g_vips->vips_image_set_blob_copy(tagged.image, VIPS_META_ICC_NAME, pixels.icc.data(),
                                     pixels.icc.size());
  }
  if (g_vips->vips_thumbnail_image(tagged.image, &thumb.image, maxSide, "height", maxSide, "size",
                                   VIPS_SIZE_DOWN, nullptr) != 0) {
    thumb.Reset(nullptr);
    return false;
  }
  // The pixels belong to the caller: compute the thumbnail now.
  thumb.Reset(g_vips->vips_image_copy_memory(thumb.image));
  return thumb.image != nullptr;
}

// The picture shrunk to fit maxSide and turned upright (settled by the
// caller), or false with the reason. Counts the decode in stats.
bool Decode(const std::string& picture, int maxSide, bool anyEighth, ImageRef& result,
            MediaResult& stats, std::string& reason) {
  int fd = OpenAnyPath(picture, O_RDONLY);
  if (fd < 0) return reason = std::strerror(errno), false;
  unsigned char head[kSniffBytes];
  ssize_t got = pread(fd, head, sizeof head, 0);
  if (got < 0) {
    reason = std::strerror(errno);
    close(fd);
    return false;
  }
  PictureKind kind = SniffPicture(head, static_cast<size_t>(got));
  ImageRef thumb;
  if (kind == PictureKind::kUnknown) {
    reason = NotAPictureReason(static_cast<size_t>(got));
  } else if (kind == PictureKind::kBmp || kind == PictureKind::kJpeg) {
    // Decoded here, then shrunk by vips from memory.
    std::string bytes;
    JpegPixels pixels;
    VipsInterpretation space = VIPS_INTERPRETATION_sRGB;
    bool decoded = false;
    if (!ReadAll(fd, bytes)) {
      reason = std::strerror(errno);
    } else if (kind == PictureKind::kBmp) {
      ++stats.decodes;
      decoded = DecodeBmp(bytes, pixels.samples, pixels.width, pixels.height, pixels.bands, reason);
    } else if (++stats.decodes,
               (decoded = DecodeJpegScaled(bytes, maxSide, anyEighth, pixels, reason))) {
      space = pixels.bands == 1   ? VIPS_INTERPRETATION_B_W
              : pixels.bands == 4 ? VIPS_INTERPRETATION_CMYK
                                  : VIPS_INTERPRETATION_sRGB;
    }
    stats.decodedWidth = pixels.width, stats.decodedHeight = pixels.height;
    if (decoded && !ShrinkPixels(pixels, space, maxSide, thumb)) reason = VipsReason();
  } else {
    // vips reads the file already open here through its /proc name, so a path
    // of any length works and the file sniffed is the file decoded.
    std::string name = "/proc/self/fd/" + std::to_string(fd);
    ++stats.decodes;
    if (g_vips->vips_thumbnail(name.c_str(), &thumb.image, maxSide, "height", maxSide, "size",
                               VIPS_SIZE_DOWN, "fail_on", VIPS_FAIL_ON_TRUNCATED, nullptr) != 0) {
      thumb.Reset(nullptr);
    } else {
      // Decode now, while the descriptor is open; a damaged picture fails here.
      thumb.Reset(g_vips->vips_image_copy_memory(thumb.image));
    }
    if (!thumb.image) reason = VipsReason();
    if (thumb.image) {
      stats.decodedWidth = g_vips->vips_image_get_width(thumb.image);
      stats.decodedHeight = g_vips->vips_image_get_height(thumb.image);
    }
  }
  close(fd);
  if (!thumb.image) return false;
  result.Reset(thumb.image);
  thumb.image = nullptr;
  return true;
}

// A clip's poster frame, shrunk to fit maxSide and turned upright (settled by
// the caller), or false with the reason.
bool DecodeClip(const std::string& clip, const MediaSource& source, int maxSide, ImageRef& result,
                MediaResult& stats, std::string& reason) {
  JpegPixels frame;
  if (!DecodePosterFrame(clip, source, frame, stats, reason)) return false;
  if (!ShrinkPixels(frame, VIPS_INTERPRETATION_sRGB, maxSide, result))
    return reason = VipsReason(), false;
  return true;
}

// ---- 3. The copies ----------------------------------------------------------

// Converts a picture whose embedded profile is not sRGB to sRGB, so that its
// copies (which carry no profile) look as the original does in a
// colour-managed viewer. Untagged and sRGB pictures are left exactly as they
// are; a profile that cannot be applied leaves the values unchanged too.
void ToSrgb(ImageRef& thumb, bool& converted) {
  const void* data = nullptr;
  size_t size = 0;
  if (g_vips->vips_image_get_typeof(thumb.image, VIPS_META_ICC_NAME) == 0 ||
      g_vips->vips_image_get_blob(thumb.image, VIPS_META_ICC_NAME, &data, &size) != 0 ||
      IsSrgbProfile(std::string_view(static_cast<const char*>(data), size))) {
    g_vips->vips_error_clear();
    return;
  }
  VipsImage* next = nullptr;
  if (g_vips->vips_icc_transform(thumb.image, &next, "srgb", "embedded", TRUE, "intent",
                                 VIPS_INTENT_RELATIVE, "depth", 8, nullptr) != 0) {
    g_vips->vips_error_clear();
    return;
  }
  g_vips->vips_image_remove(next, VIPS_META_ICC_NAME);
  thumb.Reset(next);
  converted = true;
}

// Makes a shrunken picture sRGB, 8 bits per channel (greyscale, CMYK and
// 16-bit pictures converted), with alpha only when it carries something (a
// GIF always decodes with alpha).
bool Settle(ImageRef& thumb, std::string& reason) {
  VipsImage* next = nullptr;
  if (g_vips->vips_image_get_interpretation(thumb.image) != VIPS_INTERPRETATION_sRGB ||
      g_vips->vips_image_get_bands(thumb.image) < 3) {
    if (g_vips->vips_colourspace(thumb.image, &next, VIPS_INTERPRETATION_sRGB, nullptr) != 0)
      return reason = VipsReason(), false;
    thumb.Reset(next);
  }
  if (g_vips->vips_image_get_format(thumb.image) != VIPS_FORMAT_UCHAR) {
    if (g_vips->vips_cast(thumb.image, &next, VIPS_FORMAT_UCHAR, nullptr) != 0)
      return reason = VipsReason(), false;
    thumb.Reset(next);
  }
  // Alpha only when it carries something (a GIF always decodes with alpha).
  if (g_vips->vips_image_get_bands(thumb.image) > 3) {
    bool transparent = false;
    if (g_vips->vips_image_hasalpha(thumb.image)) {
      VipsImage* alpha = nullptr;
      double least = 255;
      if (g_vips->vips_extract_band(thumb.image, &alpha, 3, nullptr) == 0) {
        if (g_vips->vips_min(alpha, &least, nullptr) != 0) least = 0;
        g_vips->g_object_unref(alpha);
      }
      transparent = least < 255;
    }
    if (g_vips->vips_extract_band(thumb.image, &next, 0, "n", transparent ? 4 : 3, nullptr) != 0)
      return reason = VipsReason(), false;
    thumb.Reset(next);
  }
  return true;
}

// The copy of larger (upright, settled) whose longest side is maxSide,
// settled in turn.
bool ShrinkCopy(VipsImage* larger, int maxSide, ImageRef& copy, std::string& reason) {
  // Already upright and sRGB: neither its orientation nor a profile applies.
  ImageRef plain;
  if (g_vips->vips_copy(larger, &plain.image, nullptr) != 0) return reason = VipsReason(), false;
  g_vips->vips_image_remove(plain.image, VIPS_META_ORIENTATION);
  g_vips->vips_image_remove(plain.image, VIPS_META_ICC_NAME);
  if (g_vips->vips_thumbnail_image(plain.image, &copy.image, maxSide, "height", maxSide, "size",
                                   VIPS_SIZE_DOWN, "no_rotate", TRUE, nullptr) != 0) {
    copy.Reset(nullptr);
    return reason = VipsReason(), false;
  }
  copy.Reset(g_vips->vips_image_copy_memory(copy.image));
  if (!copy.image) return reason = VipsReason(), false;
  return Settle(copy, reason);
}

// ---- 4. Writing -------------------------------------------------------------

// Encodes one settled copy and writes it to stem plus its extension. A
// preview's JPEG keeps libjpeg's standard Huffman tables: optimising them is
// a second pass over every coefficient of a large picture, which costs more
// time than the few per cent of bytes it saves (thumbnails keep theirs).
void WriteCopy(VipsImage* image, const std::string& stem, bool optimise, CopyResult& copy) {
  bool alpha = g_vips->vips_image_get_bands(image) == 4;
  void* bytes = nullptr;
  size_t size = 0;
  int status =
      alpha ? g_vips->vips_pngsave_buffer(image, &bytes, &size, "compression", 6, "strip", TRUE,
                                          nullptr)
            : g_vips->vips_jpegsave_buffer(image, &bytes, &size, "Q", 85, "strip", TRUE,
                                           "optimize_coding", optimise ? TRUE : FALSE, nullptr);
  if (status != 0) {
    copy.failure = CopyFailure::kPicture;
    copy.reason = VipsReason();
    return;
  }
  bool written =
      WriteFileAtomically(stem + (alpha ? ".png" : ".jpg"), bytes, size, g_fileMode, copy.reason);
  g_vips->g_free(bytes);
  if (!written) {
    copy.failure = CopyFailure::kTarget;
    return;
  }
  copy.width = g_vips->vips_image_get_width(image);
  copy.height = g_vips->vips_image_get_height(image);
  copy.format = alpha ? CopyFormat::kPng : CopyFormat::kJpeg;
}

}  // namespace

// ---- 5. The seam ----------------------------------------------------------------

bool MakeDisplayCopies(const std::string& picture, const std::vector<WantedCopy>& wanted,
                       MediaResult& result, const MediaSource& source) {
  result = MediaResult{};
  result.copies.assign(wanted.size(), CopyResult{});
  if (wanted.empty()) return true;
  auto side = [&](size_t i) { return CopySide(wanted[i]); };
  // Largest first: the decode covers it.
  const std::vector<size_t> order = LargestFirst(wanted);
  StartVips();
  ImageRef larger;
  std::string reason = g_vipsFailure;
  bool anyEighth = false;
  for (const WantedCopy& copy : wanted) anyEighth = anyEighth || copy.preview;
  if (!g_vips ||
      !(source.video ? DecodeClip(picture, source, side(order[0]), larger, result, reason)
                     : Decode(picture, side(order[0]), anyEighth, larger, result, reason)) ||
      (ToSrgb(larger, result.colourConverted), !Settle(larger, reason))) {
    for (CopyResult& copy : result.copies)
      copy.failure = CopyFailure::kPicture, copy.reason = reason;
    return false;
  }
  bool all = true;
  for (size_t at = 0; at < order.size(); ++at) {
    CopyResult& copy = result.copies[order[at]];
    if (at > 0) {
      ImageRef smaller;
      if (!ShrinkCopy(larger.image, side(order[at]), smaller, copy.reason)) {
        copy.failure = CopyFailure::kPicture;
        all = false;
        continue;
      }
      larger.Reset(smaller.image);
      smaller.image = nullptr;
    }
    const WantedCopy& want = wanted[order[at]];
    WriteCopy(larger.image, want.targetStem, !want.preview, copy);
    all = all && copy.failure == CopyFailure::kNone;
    // A smaller copy follows: it reads these pixels computed once.
    if (at + 1 < order.size()) {
      VipsImage* computed = g_vips->vips_image_copy_memory(larger.image);
      if (computed) larger.Reset(computed);
    }
  }
  return all;
}

}  // namespace platform
