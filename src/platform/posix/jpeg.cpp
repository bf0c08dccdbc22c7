// JPEG decoding at reduced scale with libjpeg-turbo: the DCT scaling decodes
// a 12-megapixel photo for a 400-pixel thumbnail at 1/8 of its size, which
// costs a fraction of a full decode. The EXIF orientation and the colour
// profile are read from the saved APP1 and APP2 segments.
#include "platform/posix/jpeg.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>
// jerror.h after jpeglib.h: it names the warning codes.
#include <jerror.h>

#include "platform/orientation.h"

namespace platform {
namespace {

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

}  // namespace

bool DecodeJpegScaled(const std::string& bytes, int maxSide, JpegPixels& out, std::string& reason) {
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
  // The thumbnail's size (a quarter turn swaps both sides alike), then the
  // smallest scale that covers it.
  double w = info.image_width, h = info.image_height;
  double longest = w > h ? w : h;
  double factor = longest > maxSide ? maxSide / longest : 1.0;
  double needW = w * factor, needH = h * factor;
  info.scale_num = 1;
  info.scale_denom = 1;
  for (unsigned denom : {8u, 4u, 2u}) {
    if (w / denom >= needW && h / denom >= needH) {
      info.scale_denom = denom;
      break;
    }
  }
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
