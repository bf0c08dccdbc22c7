# FFmpeg's libraries for the POSIX poster engine (src/platform/posix/video.cpp),
# found with pkg-config and checked for the calls the engine makes, so that a
# missing or too old FFmpeg stops the configure with the packages to install
# instead of failing somewhere in the build.
set(PAGRIMO_FFMPEG_HINT
    "Install FFmpeg's development packages (Debian: libavformat-dev libavcodec-dev libavutil-dev libswscale-dev, FFmpeg 5.1 or later)")
pkg_check_modules(FFMPEG IMPORTED_TARGET libavformat>=59 libavcodec>=59 libavutil>=57 libswscale>=6)
if(NOT FFMPEG_FOUND)
  message(FATAL_ERROR "FFmpeg's libraries were not found. ${PAGRIMO_FFMPEG_HINT}.")
endif()
include(CheckCXXSourceCompiles)
set(CMAKE_REQUIRED_LIBRARIES PkgConfig::FFMPEG)
check_cxx_source_compiles([[
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}
int main() {
  AVFormatContext* format = avformat_alloc_context();
  const AVCodec* codec = nullptr;
  int stream = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
  AVCodecContext* context = avcodec_alloc_context3(codec);
  context->thread_count = 1;
  AVPacket* packet = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  avcodec_send_packet(context, packet);
  avcodec_receive_frame(context, frame);
  av_seek_frame(format, stream, 0, AVSEEK_FLAG_BACKWARD);
  avcodec_flush_buffers(context);
  SwsContext* scale = sws_getContext(16, 16, AV_PIX_FMT_YUV420P, 16, 16, AV_PIX_FMT_RGB24,
                                     SWS_BILINEAR, nullptr, nullptr, nullptr);
  AVIOContext* io = avio_alloc_context(nullptr, 0, 0, nullptr, nullptr, nullptr, nullptr);
  av_log_set_level(AV_LOG_QUIET);
  int late = frame->best_effort_timestamp > 0 ? 1 : 0;
  sws_freeContext(scale);
  avio_context_free(&io);
  av_frame_free(&frame);
  av_packet_free(&packet);
  avcodec_free_context(&context);
  avformat_close_input(&format);
  return late + stream;
}
]] PAGRIMO_FFMPEG_API)
unset(CMAKE_REQUIRED_LIBRARIES)
if(NOT PAGRIMO_FFMPEG_API)
  message(FATAL_ERROR "FFmpeg's libraries lack the calls the poster engine makes. "
                      "${PAGRIMO_FFMPEG_HINT}.")
endif()
