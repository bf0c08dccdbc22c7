// FFmpeg's libraries for the poster engine (video.cpp), loaded on the first
// clip rather than linked: a run without clips never maps them (with their
// own dependencies they are about 27 MB resident, and some run code at load
// that not every tool can follow). Not part of the seam.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

#include <string>

namespace platform::ffmpeg {

// Every FFmpeg call the engine makes, with the library that exports it.
// clang-format off
#define PAGRIMO_FFMPEG_CALLS(X)                                                                \
  X(avutil, av_frame_alloc) X(avutil, av_frame_free) X(avutil, av_frame_move_ref)              \
  X(avutil, av_frame_unref) X(avutil, av_free) X(avutil, av_freep) X(avutil, av_malloc)        \
  X(avutil, av_log_set_level) X(avutil, av_rescale_q) X(avutil, av_strdup)                     \
  X(avutil, av_strerror)                                                                       \
  X(avcodec, av_packet_alloc) X(avcodec, av_packet_free) X(avcodec, av_packet_unref)          \
  X(avcodec, avcodec_alloc_context3) X(avcodec, avcodec_flush_buffers)                         \
  X(avcodec, avcodec_free_context) X(avcodec, avcodec_get_name) X(avcodec, avcodec_open2)      \
  X(avcodec, avcodec_parameters_to_context) X(avcodec, avcodec_receive_frame)                  \
  X(avcodec, avcodec_send_packet)                                                              \
  X(avformat, av_find_best_stream) X(avformat, av_read_frame) X(avformat, av_seek_frame)       \
  X(avformat, avformat_alloc_context) X(avformat, avformat_close_input)                        \
  X(avformat, avformat_find_stream_info) X(avformat, avformat_open_input)                      \
  X(avformat, avio_alloc_context) X(avformat, avio_context_free)                               \
  X(swscale, sws_freeContext) X(swscale, sws_getCachedContext) X(swscale, sws_getCoefficients) \
  X(swscale, sws_scale) X(swscale, sws_setColorspaceDetails)
// clang-format on

/// The calls, each of the type its header declares.
struct Calls {
// NOLINTNEXTLINE(bugprone-macro-parentheses): name is a declarator, not an expression
#define PAGRIMO_FFMPEG_MEMBER(library, name) decltype(&::name) name = nullptr;
  PAGRIMO_FFMPEG_CALLS(PAGRIMO_FFMPEG_MEMBER)
#undef PAGRIMO_FFMPEG_MEMBER
};

/// The libraries of the major versions the program was built against
/// (libavutil.so.57 and so on), loaded once for the process on the first
/// call, from any thread. Null, with a reason naming the library or call that
/// is missing, when they cannot be loaded; every later call answers the same.
const Calls* Load(std::string& reason);

/// Loads the calls from the libraries named (avutil, swscale, avcodec and
/// avformat, in that order) into calls; false with the reason otherwise.
/// For Load and its tests.
bool LoadFrom(const std::string (&libraries)[4], Calls& calls, std::string& reason);

}  // namespace platform::ffmpeg
