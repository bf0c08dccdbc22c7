// JPEG decoding at reduced scale with libjpeg-turbo: the DCT scaling decodes
// a 12-megapixel photo for a 400-pixel thumbnail at 1/8 of its size, which
// costs a fraction of a full decode.
//
//   1. Errors: libjpeg's failures jump back with its message; a file that
//      ends early fails too.
//   2. The scale: the smallest that covers the largest copy wanted.
//   3. Decoding: EXIF orientation and colour profile read from the saved
//      APP1 and APP2 segments, then the rows at the chosen scale.
#include "platform/posix/jpeg.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>
// jerror.h after jpeglib.h: it names the warning codes.
#include <jerror.h>

#include "platform/orientation.h"

namespace platform {
namespace {

// ---- 1. Errors ------------------------------------------------------------------

struct JpegError {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void Fail(j_common_ptr info) {
  auto* error = reinterpret_cast<JpegError*>(info->err);
  (*info->err->format_message)(info, error->message);
  std::longjmp(error->jump, 1);
}

// Warnings are ignored, except that the data ends early: a cut-off file is
// damaged, not a picture with a grey bottom.
void Warn(j_common_ptr info, int level) {
  if (level < 0 && info->err->msg_code == JWRN_JPEG_EOF) Fail(info);
}

void Quiet(j_common_ptr) {}

// ---- 2. The scale ---------------------------------------------------------------

// The scales thumbnails have always been made at, in eighths, smallest
// first; libjpeg-turbo decodes any n/8 (1 to 16) through its DCT scaling.
constexpr unsigned kEighths[] = {1, 2, 4, 8};

}  // namespace

void ChooseScale(double w, double h, int maxSide, bool anyEighth, unsigned& num, unsigned& denom) {
  // The largest copy's size (a quarter turn swaps both sides alike), then the
  // smallest scale that covers it.
  double longest = w > h ? w : h;
  double factor = longest > maxSide ? maxSide / longest : 1.0;
  double needW = w * factor, needH = h * factor;
  unsigned eighths = 8;
  for (unsigned n = 1; n < 8; ++n) {
    bool offered =
        anyEighth || std::find(std::begin(kEighths), std::end(kEighths), n) != std::end(kEighths);
    if (offered && w * n / 8 >= needW && h * n / 8 >= needH) {
      eighths = n;
      break;
    }
  }
  // In lowest terms, as libjpeg has always been asked (1/8, 1/4, 1/2, 1/1).
  num = eighths, denom = 8;
  while (num % 2 == 0 && denom % 2 == 0) num /= 2, denom /= 2;
}

// ---- 3. Decoding ---------------------------------------------------------------

bool DecodeJpegScaled(const std::string& bytes, int maxSide, bool anyEighth, JpegPixels& out,
                      std::string& reason) {
  jpeg_decompress_struct info;
  JpegError error;
  info.err = jpeg_std_error(&error.manager);
  error.manager.error_exit = Fail;
  error.manager.emit_message = Warn;
  error.manager.output_message = Quiet;
  // Everything that outlives a jump lives in out or in info, in memory.
  if (setjmp(error.jump)) {
    jpeg_destroy_decompress(&info);
    reason = error.message;
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
  jpeg_save_markers(&info, JPEG_APP0 + 1, 0xFFFF);
  jpeg_save_markers(&info, JPEG_APP0 + 2, 0xFFFF);
  jpeg_read_header(&info, TRUE);
  out.orientation = 1;
  for (jpeg_saved_marker_ptr m = info.marker_list; m; m = m->next) {
    if (m->marker == JPEG_APP0 + 1 && out.orientation == 1)
      out.orientation = ExifOrientation(m->data, m->data_length);
  }
  JOCTET* icc = nullptr;
  unsigned iccSize = 0;
  if (jpeg_read_icc_profile(&info, &icc, &iccSize)) {
    out.icc.assign(reinterpret_cast<const char*>(icc), iccSize);
    std::free(icc);
  }
  ChooseScale(info.image_width, info.image_height, maxSide, anyEighth, info.scale_num,
              info.scale_denom);
  if (info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK) {
    info.out_color_space = JCS_CMYK;
  } else if (info.jpeg_color_space == JCS_GRAYSCALE) {
    info.out_color_space = JCS_GRAYSCALE;
  } else {
    info.out_color_space = JCS_RGB;
  }
  jpeg_start_decompress(&info);
  out.width = static_cast<int>(info.output_width);
  out.height = static_cast<int>(info.output_height);
  out.bands = info.output_components;
  size_t stride = static_cast<size_t>(out.width) * out.bands;
  out.samples.resize(stride * out.height);
  while (info.output_scanline < info.output_height) {
    JSAMPROW rows[16];
    int count = 0;
    for (; count < 16 && info.output_scanline + count < info.output_height; ++count)
      rows[count] = out.samples.data() + stride * (info.output_scanline + count);
    jpeg_read_scanlines(&info, rows, static_cast<JDIMENSION>(count));
  }
  // Adobe's CMYK JPEGs store every sample inverted.
  if (out.bands == 4 && info.saw_Adobe_marker) {
    for (unsigned char& sample : out.samples) sample = static_cast<unsigned char>(255 - sample);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return true;
}

}  // namespace platform
