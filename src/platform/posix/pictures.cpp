// Thumbnails on POSIX systems, made with libvips.
//
//   1. Engine set-up: vips started once for the process, its cache off and
//      its own threads at one, since the caller runs one picture per core.
//   2. BMP reader: vips has no BMP loader of its own, so BMPs (1, 4, 8, 16,
//      24 and 32 bits per pixel, uncompressed or bit fields) are decoded here
//      into memory and handed to vips as plain pixels.
//   3. Decoding: the picture is opened here (paths of any length). JPEGs are
//      decoded at reduced scale by libjpeg-turbo (jpeg.cpp) and BMPs
//      here, both then shrunk by vips from memory; PNGs and GIFs are read by
//      vips_thumbnail through the descriptor (first frame only). EXIF
//      orientation applied; colour made sRGB 8-bit.
//   4. Writing: JPEG (quality 85) or, when the picture has transparency,
//      PNG, without metadata, into a temporary file beside the target that is
//      renamed over it only when complete.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vips/vips.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/files.h"
#include "platform/posix/jpeg.h"

namespace platform {
namespace {

// ---- 1. Engine set-up -------------------------------------------------------

std::once_flag g_vipsOnce;
bool g_vipsReady = false;
mode_t g_fileMode = 0644;  // new thumbnails: 0666 less the umask

void StartVips() {
  std::call_once(g_vipsOnce, [] {
    g_vipsReady = vips_init("pagrimo") == 0;
    if (g_vipsReady) {
      vips_concurrency_set(1);
      vips_cache_set_max(0);
      vips_cache_set_max_mem(0);
      vips_cache_set_max_files(0);
      // Loaders that vips marks as unsafe on hostile input (ImageMagick and
      // the like) are never used.
      vips_block_untrusted_set(TRUE);
      // A damaged picture is reported through the result; vips' warnings
      // would only clutter standard error, which belongs to the program.
      g_log_set_handler(
          "VIPS", G_LOG_LEVEL_WARNING, [](const gchar*, GLogLevelFlags, const gchar*, gpointer) {},
          nullptr);
    }
    mode_t mask = umask(0);
    umask(mask);
    g_fileMode = 0666 & ~mask;
  });
}

// vips' last error, taken off its (process-wide) list.
std::string VipsReason() {
  std::string text = vips_error_buffer();
  vips_error_clear();
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
    if (image) g_object_unref(image);
  }
  void Reset(VipsImage* next) {
    if (image) g_object_unref(image);
    image = next;
  }
};

// ---- 2. BMP reader ----------------------------------------------------------

std::uint32_t Le32(const unsigned char* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::uint16_t Le16(const unsigned char* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

// One channel through a bit-field mask, scaled to 0..255.
unsigned char Channel(std::uint32_t pixel, std::uint32_t mask) {
  if (mask == 0) return 0;
  int shift = 0;
  while (((mask >> shift) & 1) == 0) ++shift;
  std::uint32_t max = mask >> shift;
  return static_cast<unsigned char>(((pixel & mask) >> shift) * 255u / max);
}

// Decodes an uncompressed or bit-field BMP into 8-bit RGB or RGBA rows, top
// row first. Alpha is taken only where the file declares an alpha mask.
bool DecodeBmp(const std::string& bytes, std::vector<unsigned char>& pixels, int& width,
               int& height, int& bands, std::string& reason) {
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  size_t size = bytes.size();
  if (size < 26) return reason = "the BMP file is truncated", false;
  std::uint32_t offset = Le32(data + 10);
  std::uint32_t header = Le32(data + 14);
  std::int64_t w = 0, h = 0;
  unsigned bpp = 0, compression = 0, colours = 0;
  size_t paletteEntry = 4;
  if (header == 12) {
    w = Le16(data + 18);
    h = static_cast<std::int16_t>(Le16(data + 20));
    bpp = Le16(data + 24);
    paletteEntry = 3;
  } else if (header >= 40 && size >= 14 + static_cast<size_t>(header)) {
    w = static_cast<std::int32_t>(Le32(data + 18));
    h = static_cast<std::int32_t>(Le32(data + 22));
    bpp = Le16(data + 28);
    compression = Le32(data + 30);
    colours = Le32(data + 46);
  } else {
    return reason = "the BMP header is damaged", false;
  }
  bool topDown = h < 0;
  if (topDown) h = -h;
  if (w <= 0 || h <= 0 || w > 65535 || h > 65535)
    return reason = "the BMP has an impossible size", false;
  // Bit fields: in the header from version 3 on, else right after it.
  std::uint32_t masks[4] = {0, 0, 0, 0};
  bool fields = compression == 3 || compression == 6;
  if (compression != 0 && !fields) return reason = "compressed BMPs are not supported", false;
  if (bpp == 16) {
    masks[0] = 0x7C00, masks[1] = 0x03E0, masks[2] = 0x001F;
  } else if (bpp == 24 || bpp == 32) {
    masks[0] = 0xFF0000, masks[1] = 0xFF00, masks[2] = 0xFF;
  }
  if (fields) {
    size_t at = 14 + 40;
    size_t count = compression == 6 || header >= 56 ? 4 : 3;
    if (at + 4 * count > size) return reason = "the BMP file is truncated", false;
    for (size_t i = 0; i < count; ++i) masks[i] = Le32(data + at + 4 * i);
  } else if (header >= 56 && bpp == 32) {
    masks[3] = Le32(data + 14 + 52);
  }
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
    return reason = "the BMP has an unknown pixel depth", false;
  if (fields && bpp != 16 && bpp != 32) return reason = "the BMP header is damaged", false;
  std::vector<unsigned char> palette;  // RGB triples
  if (bpp <= 8) {
    size_t entries = colours == 0 || colours > (1u << bpp) ? (1u << bpp) : colours;
    size_t at = 14 + header;
    if (at + entries * paletteEntry > size) return reason = "the BMP file is truncated", false;
    palette.assign(3 * (1u << bpp), 0);
    for (size_t i = 0; i < entries; ++i) {
      const unsigned char* e = data + at + i * paletteEntry;
      palette[3 * i] = e[2], palette[3 * i + 1] = e[1], palette[3 * i + 2] = e[0];
    }
  }
  size_t stride = ((static_cast<size_t>(w) * bpp + 31) / 32) * 4;
  if (offset > size || (size - offset) / stride < static_cast<size_t>(h))
    return reason = "the BMP file is truncated", false;
  width = static_cast<int>(w);
  height = static_cast<int>(h);
  bands = masks[3] != 0 ? 4 : 3;
  pixels.assign(static_cast<size_t>(width) * height * bands, 0);
  for (int y = 0; y < height; ++y) {
    const unsigned char* row = data + offset + stride * (topDown ? y : height - 1 - y);
    unsigned char* out = pixels.data() + static_cast<size_t>(y) * width * bands;
    for (int x = 0; x < width; ++x, out += bands) {
      if (bpp <= 8) {
        unsigned bit = static_cast<unsigned>(x) * bpp;
        unsigned index = (row[bit / 8] >> (8 - bpp - bit % 8)) & ((1u << bpp) - 1);
        std::memcpy(out, &palette[3 * index], 3);
        continue;
      }
      std::uint32_t pixel = 0;
      if (bpp == 16) pixel = Le16(row + 2 * x);
      if (bpp == 24) pixel = row[3 * x] | (row[3 * x + 1] << 8) | (row[3 * x + 2] << 16);
      if (bpp == 32) pixel = Le32(row + 4 * x);
      for (int c = 0; c < bands; ++c) out[c] = Channel(pixel, masks[c]);
    }
  }
  return true;
}

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

// ---- 3. Decoding ------------------------------------------------------------

enum class Kind { kUnknown, kJpeg, kPng, kGif, kBmp };

Kind Sniff(const unsigned char* head, size_t size) {
  if (size >= 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF) return Kind::kJpeg;
  if (size >= 8 && std::memcmp(head, "\x89PNG\r\n\x1a\n", 8) == 0) return Kind::kPng;
  if (size >= 6 && (std::memcmp(head, "GIF87a", 6) == 0 || std::memcmp(head, "GIF89a", 6) == 0))
    return Kind::kGif;
  if (size >= 2 && head[0] == 'B' && head[1] == 'M') return Kind::kBmp;
  return Kind::kUnknown;
}

// Shrinks decoded pixels (kept alive by the caller) to the thumbnail, turned
// upright by their orientation and with their colour profile, if any.
bool ShrinkPixels(const JpegPixels& pixels, VipsInterpretation space, int maxSide,
                  ImageRef& thumb) {
  ImageRef raw;
  raw.image = vips_image_new_from_memory(pixels.samples.data(), pixels.samples.size(), pixels.width,
                                         pixels.height, pixels.bands, VIPS_FORMAT_UCHAR);
  ImageRef tagged;
  if (!raw.image || vips_copy(raw.image, &tagged.image, "interpretation", space, nullptr) != 0)
    return false;
  vips_image_set_int(tagged.image, VIPS_META_ORIENTATION, pixels.orientation);
  if (!pixels.icc.empty()) {
    vips_image_set_blob_copy(tagged.image, VIPS_META_ICC_NAME, pixels.icc.data(),
                             pixels.icc.size());
  }
  if (vips_thumbnail_image(tagged.image, &thumb.image, maxSide, "height", maxSide, "size",
                           VIPS_SIZE_DOWN, nullptr) != 0) {
    thumb.Reset(nullptr);
    return false;
  }
  // The pixels belong to the caller: compute the thumbnail now.
  thumb.Reset(vips_image_copy_memory(thumb.image));
  return thumb.image != nullptr;
}

// The shrunken, upright picture in sRGB 8-bit (with alpha only when some
// pixel is not fully opaque), or false with the reason.
bool Decode(const std::string& picture, int maxSide, ImageRef& result, std::string& reason) {
  int fd = OpenAnyPath(picture, O_RDONLY);
  if (fd < 0) return reason = std::strerror(errno), false;
  unsigned char head[8];
  ssize_t got = pread(fd, head, sizeof head, 0);
  if (got < 0) {
    reason = std::strerror(errno);
    close(fd);
    return false;
  }
  Kind kind = Sniff(head, static_cast<size_t>(got));
  ImageRef thumb;
  if (kind == Kind::kUnknown) {
    reason = got == 0 ? "the file is empty" : "the file is not a GIF, JPEG, PNG or BMP picture";
  } else if (kind == Kind::kBmp || kind == Kind::kJpeg) {
    // Decoded here, then shrunk by vips from memory.
    std::string bytes;
    JpegPixels pixels;
    VipsInterpretation space = VIPS_INTERPRETATION_sRGB;
    bool decoded = false;
    if (!ReadAll(fd, bytes)) {
      reason = std::strerror(errno);
    } else if (kind == Kind::kBmp) {
      decoded = DecodeBmp(bytes, pixels.samples, pixels.width, pixels.height, pixels.bands, reason);
    } else if ((decoded = DecodeJpegScaled(bytes, maxSide, pixels, reason))) {
      space = pixels.bands == 1   ? VIPS_INTERPRETATION_B_W
              : pixels.bands == 4 ? VIPS_INTERPRETATION_CMYK
                                  : VIPS_INTERPRETATION_sRGB;
    }
    if (decoded && !ShrinkPixels(pixels, space, maxSide, thumb)) reason = VipsReason();
  } else {
    // vips reads the file already open here through its /proc name, so a path
    // of any length works and the file sniffed is the file decoded.
    std::string name = "/proc/self/fd/" + std::to_string(fd);
    if (vips_thumbnail(name.c_str(), &thumb.image, maxSide, "height", maxSide, "size",
                       VIPS_SIZE_DOWN, "fail_on", VIPS_FAIL_ON_TRUNCATED, nullptr) != 0) {
      thumb.Reset(nullptr);
    } else {
      // Decode now, while the descriptor is open; a damaged picture fails here.
      thumb.Reset(vips_image_copy_memory(thumb.image));
    }
    if (!thumb.image) reason = VipsReason();
  }
  close(fd);
  if (!thumb.image) return false;

  // sRGB, 8 bits per channel: greyscale, CMYK and 16-bit pictures converted.
  VipsImage* next = nullptr;
  if (vips_image_get_interpretation(thumb.image) != VIPS_INTERPRETATION_sRGB ||
      vips_image_get_bands(thumb.image) < 3) {
    if (vips_colourspace(thumb.image, &next, VIPS_INTERPRETATION_sRGB, nullptr) != 0)
      return reason = VipsReason(), false;
    thumb.Reset(next);
  }
  if (vips_image_get_format(thumb.image) != VIPS_FORMAT_UCHAR) {
    if (vips_cast(thumb.image, &next, VIPS_FORMAT_UCHAR, nullptr) != 0)
      return reason = VipsReason(), false;
    thumb.Reset(next);
  }
  // Alpha only when it carries something (a GIF always decodes with alpha).
  if (vips_image_get_bands(thumb.image) > 3) {
    bool transparent = false;
    if (vips_image_hasalpha(thumb.image)) {
      VipsImage* alpha = nullptr;
      double least = 255;
      if (vips_extract_band(thumb.image, &alpha, 3, nullptr) == 0) {
        if (vips_min(alpha, &least, nullptr) != 0) least = 0;
        g_object_unref(alpha);
      }
      transparent = least < 255;
    }
    if (vips_extract_band(thumb.image, &next, 0, "n", transparent ? 4 : 3, nullptr) != 0)
      return reason = VipsReason(), false;
    thumb.Reset(next);
  }
  result.Reset(thumb.image);
  thumb.image = nullptr;
  return true;
}

// ---- 4. Writing -------------------------------------------------------------

// Writes bytes to folder/name through a new temporary file in that folder.
bool WriteAtomically(const std::string& target, const void* bytes, size_t size,
                     std::string& reason) {
  size_t slash = target.rfind('/');
  std::string folder = slash == std::string::npos ? "." : target.substr(0, slash + 1);
  std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
  int dir = OpenAnyPath(folder, O_RDONLY | O_DIRECTORY);
  if (dir < 0) return reason = std::strerror(errno), false;
  std::string temp;
  posix::UniqueFd file = CreateTemporary(dir, temp, g_fileMode);
  if (!file.Valid()) {
    reason = std::strerror(errno);
    close(dir);
    return false;
  }
  int error = 0;
  if (!WriteWhole(file.fd, static_cast<const char*>(bytes), size)) error = errno ? errno : EIO;
  if (fchmod(file.fd, g_fileMode) != 0 && error == 0) error = errno;
  if (file.Close() != 0 && error == 0) error = errno;
  if (error == 0 && renameat(dir, temp.c_str(), dir, name.c_str()) != 0) error = errno;
  if (error != 0) {
    unlinkat(dir, temp.c_str(), 0);
    reason = std::strerror(error);
  }
  close(dir);
  return error == 0;
}

}  // namespace

bool MakeThumbnail(const std::string& picture, int maxSide, const std::string& targetStem,
                   ThumbnailMade& made, ThumbnailFailure& failure, std::string& reason) {
  failure = ThumbnailFailure::kNone;
  StartVips();
  if (!g_vipsReady) {
    failure = ThumbnailFailure::kPicture;
    reason = "the image library cannot start";
    return false;
  }
  ImageRef thumb;
  if (maxSide < 1) maxSide = 1;
  if (!Decode(picture, maxSide, thumb, reason)) {
    failure = ThumbnailFailure::kPicture;
    return false;
  }
  bool alpha = vips_image_get_bands(thumb.image) == 4;
  void* bytes = nullptr;
  size_t size = 0;
  int status = alpha ? vips_pngsave_buffer(thumb.image, &bytes, &size, "compression", 6, "strip",
                                           TRUE, nullptr)
                     : vips_jpegsave_buffer(thumb.image, &bytes, &size, "Q", 85, "strip", TRUE,
                                            "optimize_coding", TRUE, nullptr);
  if (status != 0) {
    failure = ThumbnailFailure::kPicture;
    reason = VipsReason();
    return false;
  }
  std::string target = targetStem + (alpha ? ".png" : ".jpg");
  bool written = WriteAtomically(target, bytes, size, reason);
  g_free(bytes);
  if (!written) {
    failure = ThumbnailFailure::kTarget;
    return false;
  }
  made.width = vips_image_get_width(thumb.image);
  made.height = vips_image_get_height(thumb.image);
  made.format = alpha ? ThumbnailFormat::kPng : ThumbnailFormat::kJpeg;
  return true;
}

bool MakeThumbnailFolder(const std::string& path, std::string& reason) {
  size_t slash = path.find_last_not_of('/');
  std::string trimmed = slash == std::string::npos ? path : path.substr(0, slash + 1);
  size_t cut = trimmed.rfind('/');
  std::string parent = cut == std::string::npos ? "." : trimmed.substr(0, cut + 1);
  std::string name = cut == std::string::npos ? trimmed : trimmed.substr(cut + 1);
  int dir = OpenAnyPath(parent, O_RDONLY | O_DIRECTORY);
  if (dir < 0) return reason = std::strerror(errno), false;
  bool ok = mkdirat(dir, name.c_str(), 0777) == 0 || errno == EEXIST;
  int error = errno;
  struct stat st;
  if (ok && (fstatat(dir, name.c_str(), &st, 0) != 0 || !S_ISDIR(st.st_mode))) {
    ok = false;
    error = ENOTDIR;
  }
  close(dir);
  if (!ok) reason = std::strerror(error);
  return ok;
}

}  // namespace platform
