// Pixels of a picture on POSIX, read with libvips.
#include <vips/vips.h>

#include "support/pixels.h"

namespace testing_support {

bool ReadPixels(const std::string& path, Pixels& pixels, std::string& reason) {
  if (vips_init("pagrimo-tests") != 0) return reason = "vips cannot start", false;
  VipsImage* image =
      vips_image_new_from_file(path.c_str(), "access", VIPS_ACCESS_SEQUENTIAL, nullptr);
  VipsImage* next = nullptr;
  auto step = [&](int status) {
    if (status == 0) {
      g_object_unref(image);
      image = next;
    }
    return status == 0;
  };
  bool ok = image != nullptr &&
            step(vips_colourspace(image, &next, VIPS_INTERPRETATION_sRGB, nullptr)) &&
            step(vips_cast(image, &next, VIPS_FORMAT_UCHAR, nullptr)) &&
            (vips_image_hasalpha(image) || step(vips_addalpha(image, &next, nullptr)));
  size_t size = 0;
  void* memory = ok ? vips_image_write_to_memory(image, &size) : nullptr;
  if (memory) {
    pixels.width = vips_image_get_width(image);
    pixels.height = vips_image_get_height(image);
    auto* bytes = static_cast<unsigned char*>(memory);
    pixels.rgba.assign(bytes, bytes + size);
    g_free(memory);
  } else {
    reason = vips_error_buffer();
    vips_error_clear();
  }
  if (image) g_object_unref(image);
  return memory != nullptr;
}

}  // namespace testing_support
