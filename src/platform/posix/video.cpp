// Poster frames of clips on POSIX systems, decoded with FFmpeg's libraries.
//
//   1. Set-up: FFmpeg's libraries loaded on the first clip (ffmpeg_calls.h),
//      their log silenced (a damaged clip is reported through the result).
//   2. Reading: the clip opened here (paths of any length) and handed to
//      libavformat through an AVIOContext over the descriptor; only MP4,
//      QuickTime, Matroska, WebM, AVI and MPEG-TS demuxed; probing bounded (and skipped
//      where the header names the codec and the size); the best video
//      stream found, every other stream discarded; its decoder opened with
//      one thread (the caller runs one clip per core), an absurd frame size
//      refused before anything is decoded.
//   3. Frames: for each poster time a seek to the key frame before it and
//      decoding on to the first frame at or after it (bounded), the last
//      frame when the clip ends sooner; converted to RGB by swscale.
//   4. The poster: the first frame that is not nearly black, else the
//      brightest of those tried.
#include "platform/posix/video.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/posix/ffmpeg_calls.h"
#include "platform/posix/files.h"
#include "platform/posters.h"

namespace platform {
namespace {

// ---- 1. Set-up ----------------------------------------------------------------

using ffmpeg::Calls;

std::string AvReason(const Calls& av, int error) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av.av_strerror(error, text, sizeof text);
  return text;
}

// A tried time gives up after this many packets of its stream: a clip's key
// frames are seconds apart, never hundreds of frames.
constexpr int kMaxPackets = 600;

// ---- 2. Reading ---------------------------------------------------------------

int ReadPacket(void* opaque, std::uint8_t* buffer, int size) {
  const int fd = *static_cast<int*>(opaque);
  for (;;) {
    ssize_t got = read(fd, buffer, static_cast<size_t>(size));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return AVERROR(errno);
    return got == 0 ? AVERROR_EOF : static_cast<int>(got);
  }
}

std::int64_t SeekFile(void* opaque, std::int64_t offset, int whence) {
  const int fd = *static_cast<int*>(opaque);
  if (whence & AVSEEK_SIZE) {
    struct stat st;
    return fstat(fd, &st) == 0 ? static_cast<std::int64_t>(st.st_size) : AVERROR(errno);
  }
  off_t at = lseek(fd, static_cast<off_t>(offset), whence & ~AVSEEK_FORCE);
  return at < 0 ? AVERROR(errno) : static_cast<std::int64_t>(at);
}

// Everything one clip's decode holds, released in the right order.
struct Clip {
  const Calls& av;
  int fd = -1;
  AVIOContext* io = nullptr;
  AVFormatContext* format = nullptr;
  AVCodecContext* codec = nullptr;
  AVPacket* packet = nullptr;
  AVFrame* frame = nullptr;  // the last frame decoded
  AVFrame* next = nullptr;
  SwsContext* scale = nullptr;
  int stream = -1;
  explicit Clip(const Calls& calls) : av(calls) {}
  Clip(const Clip&) = delete;
  Clip& operator=(const Clip&) = delete;
  ~Clip() {
    av.sws_freeContext(scale);
    av.av_frame_free(&next);
    av.av_frame_free(&frame);
    av.av_packet_free(&packet);
    av.avcodec_free_context(&codec);
    av.avformat_close_input(&format);
    if (io) av.av_freep(&io->buffer);
    av.avio_context_free(&io);
    if (fd >= 0) close(fd);
  }
};

bool Open(const std::string& path, Clip& clip, std::string& reason) {
  clip.fd = OpenAnyPath(path, O_RDONLY);
  if (clip.fd < 0) return reason = std::strerror(errno), false;
  constexpr int kBuffer = 1 << 16;
  auto* buffer = static_cast<std::uint8_t*>(clip.av.av_malloc(kBuffer));
  if (buffer)
    clip.io =
        clip.av.avio_alloc_context(buffer, kBuffer, 0, &clip.fd, ReadPacket, nullptr, SeekFile);
  if (!clip.io) clip.av.av_free(buffer);
  clip.format = clip.av.avformat_alloc_context();
  clip.packet = clip.av.av_packet_alloc();
  clip.frame = clip.av.av_frame_alloc();
  clip.next = clip.av.av_frame_alloc();
  // Only the containers the gallery lists clips of (MP4 and QuickTime,
  // Matroska and WebM, AVI, and MPEG-TS as camcorders write .mts): a
  // picture or anything else named like a clip is refused, never decoded by
  // whichever demuxer its bytes resemble.
  if (clip.format) clip.format->format_whitelist = clip.av.av_strdup("mov,matroska,avi,mpegts");
  if (!clip.io || !clip.format || !clip.packet || !clip.frame || !clip.next ||
      !clip.format->format_whitelist)
    return reason = "out of memory", false;
  clip.format->pb = clip.io;
  clip.format->probesize = 5 << 20;
  clip.format->max_analyze_duration = 5 * AV_TIME_BASE;
  int status = clip.av.avformat_open_input(&clip.format, nullptr, nullptr, nullptr);
  // Open answers EINVAL for a container that is not on the list.
  if (status == AVERROR(EINVAL))
    return reason = "the file is not an MP4, QuickTime, Matroska or WebM clip", false;
  if (status < 0) return reason = "the clip cannot be decoded: " + AvReason(clip.av, status), false;
  // MP4 and Matroska headers name the codec and the frame size; the
  // stream-info probe, which decodes a frame of its own, is only needed
  // when they do not.
  bool described = false;
  for (unsigned i = 0; i < clip.format->nb_streams; ++i) {
    const AVCodecParameters* p = clip.format->streams[i]->codecpar;
    described = described || (p->codec_type == AVMEDIA_TYPE_VIDEO &&
                              p->codec_id != AV_CODEC_ID_NONE && p->width > 0 && p->height > 0);
  }
  status = described ? 0 : clip.av.avformat_find_stream_info(clip.format, nullptr);
  if (status < 0) return reason = "the clip cannot be decoded: " + AvReason(clip.av, status), false;
  const AVCodec* decoder = nullptr;
  clip.stream = clip.av.av_find_best_stream(clip.format, AVMEDIA_TYPE_VIDEO, -1, -1, &decoder, 0);
  if (clip.stream == AVERROR_DECODER_NOT_FOUND) {
    int any = clip.av.av_find_best_stream(clip.format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    const char* name = any >= 0
                           ? clip.av.avcodec_get_name(clip.format->streams[any]->codecpar->codec_id)
                           : "unknown";
    return reason = std::string("no decoder for the clip's video (") + name + ")", false;
  }
  if (clip.stream < 0) return reason = "the clip has no video track", false;
  for (unsigned i = 0; i < clip.format->nb_streams; ++i)
    if (static_cast<int>(i) != clip.stream) clip.format->streams[i]->discard = AVDISCARD_ALL;
  const AVCodecParameters* stored = clip.format->streams[clip.stream]->codecpar;
  if (FrameTooLarge(stored->width, stored->height))
    return reason = FrameTooLargeReason(stored->width, stored->height), false;
  clip.codec = clip.av.avcodec_alloc_context3(decoder);
  if (!clip.codec) return reason = "out of memory", false;
  status = clip.av.avcodec_parameters_to_context(clip.codec, stored);
  clip.codec->thread_count = 1;
  clip.codec->max_pixels = kMaxFramePixels;
  if (status >= 0) status = clip.av.avcodec_open2(clip.codec, decoder, nullptr);
  if (status < 0) return reason = "the clip cannot be decoded: " + AvReason(clip.av, status), false;
  return true;
}

// ---- 3. Frames ----------------------------------------------------------------

// Decodes on from where the demuxer stands to the first frame whose time is
// at or after target (stream units), or the last frame when the clip ends
// sooner; the frame is left in clip.frame. error keeps the last failure.
bool DecodeFrom(Clip& clip, std::int64_t target, int& error) {
  bool have = false;
  bool draining = false;
  for (int packets = 0; packets < kMaxPackets;) {
    if (!draining) {
      int status = clip.av.av_read_frame(clip.format, clip.packet);
      ++packets;
      if (status < 0) {
        draining = true;
        clip.av.avcodec_send_packet(clip.codec, nullptr);
      } else {
        if (clip.packet->stream_index == clip.stream) {
          // A frame shown before the time asked that no other frame refers
          // to is not needed: skipped, not decoded.
          const std::int64_t shown = clip.packet->pts;
          clip.codec->skip_frame =
              shown != AV_NOPTS_VALUE && shown < target ? AVDISCARD_NONREF : AVDISCARD_DEFAULT;
          status = clip.av.avcodec_send_packet(clip.codec, clip.packet);
          if (status < 0 && status != AVERROR(EAGAIN)) error = status;
        }
        clip.av.av_packet_unref(clip.packet);
      }
    }
    for (;;) {
      int status = clip.av.avcodec_receive_frame(clip.codec, clip.next);
      if (status < 0) {
        if (status == AVERROR_EOF) return have;
        if (status != AVERROR(EAGAIN)) error = status;
        if (status != AVERROR(EAGAIN) && draining) return have;
        break;
      }
      clip.av.av_frame_unref(clip.frame);
      clip.av.av_frame_move_ref(clip.frame, clip.next);
      have = true;
      std::int64_t at = clip.frame->best_effort_timestamp;
      if (at == AV_NOPTS_VALUE || at >= target) return true;
    }
  }
  return have;
}

// Seeks to the key frame at or before target and decodes on from there.
bool FrameAt(Clip& clip, std::int64_t target, int& error) {
  clip.av.av_seek_frame(clip.format, clip.stream, target, AVSEEK_FLAG_BACKWARD);
  clip.av.avcodec_flush_buffers(clip.codec);
  return DecodeFrom(clip, target, error);
}

// clip.frame as RGB rows without padding, in pixels (resized as needed).
bool ToRgb(Clip& clip, std::vector<unsigned char>& pixels, std::string& reason) {
  const AVFrame* f = clip.frame;
  if (f->width <= 0 || f->height <= 0) return reason = "the clip cannot be decoded", false;
  if (FrameTooLarge(f->width, f->height))
    return reason = FrameTooLargeReason(f->width, f->height), false;
  const auto format = static_cast<AVPixelFormat>(f->format);
  clip.scale =
      clip.av.sws_getCachedContext(clip.scale, f->width, f->height, format, f->width, f->height,
                                   AV_PIX_FMT_RGB24, SWS_BILINEAR, nullptr, nullptr, nullptr);
  if (!clip.scale) return reason = "the clip's pixel format cannot be converted", false;
  // The frame's own matrix (HD clips that name none are BT.709) and range.
  int space = f->colorspace;
  if (space == AVCOL_SPC_UNSPECIFIED) space = f->height >= 720 ? SWS_CS_ITU709 : SWS_CS_DEFAULT;
  const bool full = f->color_range == AVCOL_RANGE_JPEG || format == AV_PIX_FMT_YUVJ420P ||
                    format == AV_PIX_FMT_YUVJ422P || format == AV_PIX_FMT_YUVJ444P;
  clip.av.sws_setColorspaceDetails(clip.scale, clip.av.sws_getCoefficients(space), full ? 1 : 0,
                                   clip.av.sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16,
                                   1 << 16);
  pixels.resize(static_cast<size_t>(f->width) * f->height * 3);
  std::uint8_t* rows[4] = {pixels.data(), nullptr, nullptr, nullptr};
  int strides[4] = {f->width * 3, 0, 0, 0};
  if (clip.av.sws_scale(clip.scale, f->data, f->linesize, 0, f->height, rows, strides) != f->height)
    return reason = "the clip's frame cannot be converted", false;
  return true;
}

// The clip's first frame: a seek to its start time, else (MPEG-TS, whose
// seek by time lands past the key frame where no index tells where it is)
// to its first byte.
bool FirstFrame(Clip& clip, std::int64_t start, int& error) {
  if (FrameAt(clip, start, error)) return true;
  if (clip.av.av_seek_frame(clip.format, -1, 0, AVSEEK_FLAG_BYTE) < 0) return false;
  clip.av.avcodec_flush_buffers(clip.codec);
  return DecodeFrom(clip, start, error);
}

}  // namespace

// ---- 4. The poster --------------------------------------------------------------

bool DecodePosterFrame(const std::string& path, const MediaSource& source, JpegPixels& frame,
                       MediaResult& stats, std::string& reason) {
  const Calls* calls = ffmpeg::Load(reason);
  if (!calls) return false;
  Clip clip(*calls);
  if (!Open(path, clip, reason)) return false;
  const AVStream* stream = clip.format->streams[clip.stream];
  const AVRational ms{1, 1000};
  std::int64_t duration = source.durationMs;
  if (duration <= 0 && clip.format->duration > 0)
    duration = clip.av.av_rescale_q(clip.format->duration, AV_TIME_BASE_Q, ms);
  if (duration <= 0 && stream->duration > 0)
    duration = clip.av.av_rescale_q(stream->duration, stream->time_base, ms);
  stats.durationMs = duration > 0 ? duration : 0;
  const std::int64_t start = stream->start_time == AV_NOPTS_VALUE ? 0 : stream->start_time;
  std::vector<unsigned char> rgb;
  double brightest = -1;
  int error = 0;
  for (std::int64_t at : PosterTimes(stats.durationMs)) {
    std::int64_t target = start + clip.av.av_rescale_q(at, ms, stream->time_base);
    // A clip shorter than it says (or one whose seek lands past its end)
    // still gives its first frame.
    if (!FrameAt(clip, target, error) && !FirstFrame(clip, start, error)) break;
    // A later frame that cannot be converted leaves the one already taken.
    if (!ToRgb(clip, rgb, reason)) {
      if (brightest < 0) return false;
      break;
    }
    ++stats.framesTried;
    const int width = clip.frame->width, height = clip.frame->height;
    const double luma = MeanLuma(rgb.data(), width, height, width * 3, 3, false);
    if (luma > brightest) {
      brightest = luma;
      frame.samples.swap(rgb);
      frame.width = width, frame.height = height;
      // The time of the frame taken, which may lie after the time asked.
      std::int64_t shown = clip.frame->best_effort_timestamp;
      stats.posterMs = shown == AV_NOPTS_VALUE
                           ? at
                           : std::max<std::int64_t>(
                                 0, clip.av.av_rescale_q(shown - start, stream->time_base, ms));
    }
    if (!NearlyBlack(luma)) break;
  }
  if (brightest < 0) {
    reason = error < 0 ? "the clip cannot be decoded: " + AvReason(clip.av, error)
                       : "the clip holds no decodable frame";
    return false;
  }
  stats.decodes = 1;
  stats.decodedWidth = frame.width, stats.decodedHeight = frame.height;
  frame.bands = 3;
  frame.orientation = source.orientation;
  return true;
}

}  // namespace platform
