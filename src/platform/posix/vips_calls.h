// libvips (with GLib and GObject, whose calls it needs) for the picture
// engine (pictures.cpp), loaded on the first copy a run makes rather than
// linked: with the libraries it pulls in (over a hundred) it costs a plain
// run of names, sizes and dates some 20 MB and tens of milliseconds at
// start. Not part of the seam.
#pragma once

#include <vips/vips.h>

#include <string>

namespace platform::vips_library {

// Every libvips, GObject and GLib call the engine makes, with its library.
// clang-format off
#define PAGRIMO_VIPS_CALLS(X)                                                                \
  X(vips, vips_init) X(vips, vips_concurrency_set) X(vips, vips_cache_set_max)               \
  X(vips, vips_cache_set_max_mem) X(vips, vips_cache_set_max_files)                          \
  X(vips, vips_block_untrusted_set) X(vips, vips_error_buffer) X(vips, vips_error_clear)     \
  X(vips, vips_image_new_from_file) X(vips, vips_image_new_from_memory)                      \
  X(vips, vips_image_copy_memory) X(vips, vips_image_write_to_memory)                        \
  X(vips, vips_image_get_width) X(vips, vips_image_get_height) X(vips, vips_image_get_bands) \
  X(vips, vips_image_get_format) X(vips, vips_image_get_interpretation)                      \
  X(vips, vips_image_get_typeof) X(vips, vips_image_get_blob) X(vips, vips_image_set_int)    \
  X(vips, vips_image_set_blob_copy) X(vips, vips_image_remove) X(vips, vips_image_hasalpha)  \
  X(vips, vips_thumbnail) X(vips, vips_thumbnail_image) X(vips, vips_extract_band)           \
  X(vips, vips_addalpha) X(vips, vips_copy) X(vips, vips_colourspace) X(vips, vips_cast)     \
  X(vips, vips_min) X(vips, vips_icc_transform) X(vips, vips_jpegsave_buffer)                \
  X(vips, vips_pngsave_buffer) X(gobject, g_object_unref) X(glib, g_free)                    \
  X(glib, g_log_set_handler)
// clang-format on

/// The calls, each of the type its header declares.
struct Calls {
// NOLINTNEXTLINE(bugprone-macro-parentheses): name is a declarator, not an expression
#define PAGRIMO_VIPS_MEMBER(library, name) decltype(&::name) name = nullptr;
  PAGRIMO_VIPS_CALLS(PAGRIMO_VIPS_MEMBER)
#undef PAGRIMO_VIPS_MEMBER
};

/// libvips of the interface the program was built against (libvips.so.42),
/// libgobject-2.0.so.0 and libglib-2.0.so.0, loaded once for the process on
/// the first call, from any thread. Null, with a reason naming the library
/// or call that is missing, when they cannot be loaded; every later call
/// answers the same.
const Calls* Load(std::string& reason);

/// Loads the calls from the libraries named (libvips, GObject and GLib, in
/// that order) into calls; false with the reason otherwise. For Load and
/// its tests.
bool LoadFrom(const std::string (&libraries)[3], Calls& calls, std::string& reason);

}  // namespace platform::vips_library
