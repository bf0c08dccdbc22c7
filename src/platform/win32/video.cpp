// Poster frames of video clips on Windows, decoded with Media Foundation's
// source reader (the decoders that the system's own players use). The frame
// becomes a Decoded picture; pictures.cpp makes the copies from it.
//
//   1. Start-up: Media Foundation started once per process.
//   2. What a clip is: the containers told by their first bytes, and the
//      decoder a clip lacks when none takes it.
//   3. Opening: the source reader on the file, its first video stream only,
//      delivering RGB32 (the reader's video processing converts), else NV12
//      converted here; absurd frame sizes refused before any sample is read.
//   4. Frames: a seek (to the key frame before), samples read on to the
//      time, copied out as BGRA.
//   5. The poster: the times PosterTimes gives, the first frame that is not
//      nearly black (else the brightest), turned upright.
#include <mfapi.h>
#include <mferror.h>
#include <mfidl.h>
#include <mfreadwrite.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/orientation.h"
#include "platform/posters.h"
#include "platform/win32/imaging.h"

namespace platform::win32 {
namespace {

// ---- 1. Start-up ------------------------------------------------------------------

// Media Foundation is started once, by the first thread that needs it, and
// stays started until the process ends (MFShutdown is never due).
HRESULT StartMediaFoundation() {
  static const HRESULT started = MFStartup(MF_VERSION, MFSTARTUP_NOSOCKET);
  return started;
}

// ---- 2. What a clip is ------------------------------------------------------------

bool IsEbml(const std::string& head) { return head.compare(0, 4, "\x1A\x45\xDF\xA3") == 0; }

// An ISO media file (MP4) or a QuickTime movie: its first box is one of
// those these files start with.
bool IsIsoMedia(const std::string& head) {
  if (head.size() < 8) return false;
  for (const char* type : {"ftyp", "moov", "mdat", "free", "skip", "wide", "pnot"})
    if (head.compare(4, 4, type) == 0) return true;
  return false;
}

std::uint64_t BigEndian(const std::string& bytes, size_t at, int count) {
  std::uint64_t value = 0;
  for (int i = 0; i < count; ++i) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

// Whether an ISO media file's top-level boxes lead, within its size, to a
// whole movie box (moov), which says where the frames are: a clip cut short
// before it or inside it has none to give. wine's Media Foundation may hang
// on the next clip after one it could not open: what can be told here never
// reaches it.
bool HasMovieBox(const std::string& path, std::int64_t size) {
  std::int64_t at = 0;
  for (int boxes = 0; boxes < 256 && size - at >= 8; ++boxes) {
    std::string box, why;
    if (!ReadFileBytes(path, at, 16, box, why) || box.size() < 8) return false;
    std::uint64_t length = BigEndian(box, 0, 4);
    if (length == 1 && box.size() == 16) length = BigEndian(box, 8, 8);
    if (length < 8 || length > static_cast<std::uint64_t>(size - at)) return false;
    if (box.compare(4, 4, "moov") == 0) return true;
    at += static_cast<std::int64_t>(length);
  }
  return false;
}

// Whether a WebM or Matroska file's EBML header is whole and followed by
// its segment.
bool HasSegment(const std::string& head) {
  if (!IsEbml(head) || head.size() < 5) return false;
  const auto first = static_cast<unsigned char>(head[4]);
  int count = 1;
  while (count <= 8 && (first & (0x80 >> (count - 1))) == 0) ++count;
  if (count > 8 || head.size() < 4 + static_cast<size_t>(count)) return false;
  const std::uint64_t marker = std::uint64_t{0x80u >> (count - 1)} << 8 * (count - 1);
  std::uint64_t length = BigEndian(head, 4, count) & ~marker;
  if (length > head.size() || 4 + count + length + 4 > head.size()) return false;
  return head.compare(4 + count + length, 4, "\x18\x53\x80\x67") == 0;
}

}  // namespace

// What Media Foundation says where it cannot decode: Windows' MPEG-4 source
// names HEVC (or its WebM source VP9), and then no decoder takes it
// (MF_E_TOPO_CODEC_NOT_FOUND, MF_E_INVALIDMEDIATYPE); without a WebM source
// no source takes the file (MF_E_UNSUPPORTED_BYTESTREAM_TYPE). wine 8
// decodes H.264, HEVC and VP9 inside its source through GStreamer and
// offers only YUV (RGB32: MF_E_TOPO_CODEC_NOT_FOUND, as it has no
// converter); a clip it cannot read fails the source reader with E_FAIL.
// So wine never shows a missing decoder.
MissingDecoder MissingVideoDecoder(HRESULT hr, const GUID& subtype, const std::string& head) {
  if (hr != MF_E_TOPO_CODEC_NOT_FOUND && hr != MF_E_INVALIDMEDIATYPE &&
      hr != MF_E_UNSUPPORTED_BYTESTREAM_TYPE)
    return MissingDecoder::kNone;
  if (subtype == MFVideoFormat_HEVC || subtype == MFVideoFormat_HEVC_ES ||
      subtype == MFVideoFormat_H265)
    return MissingDecoder::kHevc;
  if (subtype == MFVideoFormat_VP80 || subtype == MFVideoFormat_VP90) return MissingDecoder::kWebm;
  if (subtype != GUID_NULL) return MissingDecoder::kNone;
  // No source took the file: the container tells.
  if (IsEbml(head)) return MissingDecoder::kWebm;
  if (IsIsoMedia(head) &&
      (head.find("hvc1") != std::string::npos || head.find("hev1") != std::string::npos))
    return MissingDecoder::kHevc;
  return MissingDecoder::kNone;
}

namespace {

// ---- 3. Opening -------------------------------------------------------------------

constexpr DWORD kVideo = static_cast<DWORD>(MF_SOURCE_READER_FIRST_VIDEO_STREAM);
// Refuses a frame size over FrameTooLarge's (or an empty one), before any
// allocation.
constexpr HRESULT kAbsurdSize = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, 0x0201);

// An open clip and the frames it delivers.
struct Clip {
  Com<IMFSourceReader> reader;
  GUID native = GUID_NULL;  // the stream's own subtype
  bool nv12 = false;        // RGB32 was refused: NV12, converted here
  UINT32 width = 0, height = 0;
  LONG stride = 0;  // of a contiguous buffer; negative: bottom row first
};

bool Absurd(UINT32 width, UINT32 height) {
  return width == 0 || height == 0 || FrameTooLarge(width, height);
}

// The frame size and stride of the stream's current output; an error for
// an absurd size.
HRESULT ReadFormat(Clip& clip) {
  Com<IMFMediaType> type;
  HRESULT hr = clip.reader.p->GetCurrentMediaType(kVideo, &type);
  if (SUCCEEDED(hr)) hr = MFGetAttributeSize(type.p, MF_MT_FRAME_SIZE, &clip.width, &clip.height);
  if (FAILED(hr)) return hr;
  if (Absurd(clip.width, clip.height)) return kAbsurdSize;
  UINT32 stride = 0;
  if (SUCCEEDED(type->GetUINT32(MF_MT_DEFAULT_STRIDE, &stride))) {
    clip.stride = static_cast<LONG>(stride);
  } else if (FAILED(MFGetStrideForBitmapInfoHeader(
                 clip.nv12 ? MAKEFOURCC('N', 'V', '1', '2') : MFVideoFormat_RGB32.Data1, clip.width,
                 &clip.stride))) {
    clip.stride = static_cast<LONG>(clip.width * (clip.nv12 ? 1 : 4));
  }
  return S_OK;
}

// Asks for the first video stream in subtype; the reader's error when it
// cannot deliver it.
HRESULT Deliver(IMFSourceReader* reader, const GUID& subtype) {
  Com<IMFMediaType> type;
  HRESULT hr = MFCreateMediaType(&type);
  if (SUCCEEDED(hr)) hr = type->SetGUID(MF_MT_MAJOR_TYPE, MFMediaType_Video);
  if (SUCCEEDED(hr)) hr = type->SetGUID(MF_MT_SUBTYPE, subtype);
  if (SUCCEEDED(hr)) hr = reader->SetCurrentMediaType(kVideo, nullptr, type.p);
  return hr;
}

// Opens the clip's first video stream for RGB32 (or NV12) frames; its
// duration in 100-ns units when the container states it.
HRESULT Open(const std::string& path, Clip& clip, LONGLONG& duration) {
  Com<IMFAttributes> attributes;
  Com<IMFByteStream> stream;
  HRESULT hr = MFCreateAttributes(&attributes, 1);
  if (SUCCEEDED(hr)) hr = attributes->SetUINT32(MF_SOURCE_READER_ENABLE_VIDEO_PROCESSING, TRUE);
  // The long form of the path reaches clips past 260 characters.
  if (SUCCEEDED(hr)) {
    hr = MFCreateFile(MF_ACCESSMODE_READ, MF_OPENMODE_FAIL_IF_NOT_EXIST, MF_FILEFLAGS_NONE,
                      Long(path).c_str(), &stream);
  }
  if (SUCCEEDED(hr)) hr = MFCreateSourceReaderFromByteStream(stream.p, attributes.p, &clip.reader);
  if (SUCCEEDED(hr)) {
    hr = clip.reader->SetStreamSelection(static_cast<DWORD>(MF_SOURCE_READER_ALL_STREAMS), FALSE);
  }
  if (SUCCEEDED(hr)) hr = clip.reader->SetStreamSelection(kVideo, TRUE);
  Com<IMFMediaType> native;
  if (SUCCEEDED(hr)) hr = clip.reader->GetNativeMediaType(kVideo, 0, &native);
  UINT32 width = 0, height = 0;
  if (SUCCEEDED(hr)) hr = native->GetGUID(MF_MT_SUBTYPE, &clip.native);
  if (SUCCEEDED(hr)) hr = MFGetAttributeSize(native.p, MF_MT_FRAME_SIZE, &width, &height);
  if (SUCCEEDED(hr) && Absurd(width, height)) {
    clip.width = width, clip.height = height;  // for the reason
    hr = kAbsurdSize;
  }
  if (FAILED(hr)) return hr;
  // wine's reader has no colour converter: it offers the decoder's YUV.
  hr = Deliver(clip.reader.p, MFVideoFormat_RGB32);
  if (FAILED(hr) && SUCCEEDED(Deliver(clip.reader.p, MFVideoFormat_NV12)))
    hr = S_OK, clip.nv12 = true;
  if (FAILED(hr)) return hr;
  PROPVARIANT value;
  PropVariantInit(&value);
  if (SUCCEEDED(clip.reader->GetPresentationAttribute(
          static_cast<DWORD>(MF_SOURCE_READER_MEDIASOURCE), MF_PD_DURATION, &value)) &&
      value.vt == VT_UI8)
    duration = static_cast<LONGLONG>(value.uhVal.QuadPart);
  PropVariantClear(&value);
  return ReadFormat(clip);
}

// ---- 4. Frames --------------------------------------------------------------------

BYTE Clamp(int value) { return static_cast<BYTE>(value < 0 ? 0 : value > 255 ? 255 : value); }

// One NV12 pixel (BT.601, video range) as blue, green, red.
void FromYuv(int y, int u, int v, BYTE* out) {
  int c = 298 * (y - 16) + 128, d = u - 128, e = v - 128;
  out[0] = Clamp((c + 516 * d) >> 8);
  out[1] = Clamp((c - 100 * d - 208 * e) >> 8);
  out[2] = Clamp((c + 409 * e) >> 8);
  out[3] = 255;
}

// The sample's frame as BGRA, top row first, every pixel opaque; an error
// when its buffer is smaller than the frame.
HRESULT CopyFrame(const Clip& clip, IMFSample* sample, std::vector<BYTE>& bgra) {
  Com<IMFMediaBuffer> buffer;
  HRESULT hr = sample->ConvertToContiguousBuffer(&buffer);
  if (FAILED(hr)) return hr;
  const size_t w = clip.width, h = clip.height;
  bgra.assign(w * h * 4, 255);
  Com<IMF2DBuffer> plane;
  BYTE* first = nullptr;
  LONG pitch = 0;
  // RGB32 rows where the buffer says they are (a negative pitch: bottom up).
  if (!clip.nv12 && SUCCEEDED(buffer->QueryInterface(IID_PPV_ARGS(&plane))) &&
      SUCCEEDED(plane->Lock2D(&first, &pitch))) {
    if (static_cast<size_t>(pitch < 0 ? -pitch : pitch) >= w * 4) {
      for (size_t y = 0; y < h; ++y)
        for (size_t x = 0; x < w; ++x)
          std::memcpy(&bgra[(y * w + x) * 4], first + static_cast<LONG>(y) * pitch + x * 4, 3);
    } else {
      hr = MF_E_BUFFERTOOSMALL;
    }
    plane->Unlock2D();
    return hr;
  }
  BYTE* data = nullptr;
  DWORD length = 0;
  if (FAILED(hr = buffer->Lock(&data, nullptr, &length))) return hr;
  const size_t step = static_cast<size_t>(clip.stride < 0 ? -clip.stride : clip.stride);
  // NV12: the chroma plane follows the rows of the luma plane, which a
  // decoder may pad beyond the frame's height.
  const size_t rows = clip.nv12 && step > 0 ? std::max(h, length * 2 / (3 * step)) : h;
  const size_t need = clip.nv12 ? step * rows + step * ((h + 1) / 2) : step * h;
  if (step < w * (clip.nv12 ? 1 : 4) || length < need) {
    buffer->Unlock();
    return MF_E_BUFFERTOOSMALL;
  }
  for (size_t y = 0; y < h; ++y) {
    const size_t row = clip.stride < 0 ? h - 1 - y : y;
    for (size_t x = 0; x < w; ++x) {
      BYTE* out = &bgra[(y * w + x) * 4];
      if (clip.nv12) {
        const BYTE* uv = data + step * rows + step * (row / 2) + (x & ~size_t{1});
        FromYuv(data[step * row + x], uv[0], uv[1], out);
      } else {
        std::memcpy(out, data + step * row + x * 4, 3);
      }
    }
  }
  buffer->Unlock();
  return S_OK;
}

// Samples read on after a seek before the frame wanted: a key frame every
// 10 s at 60 frames a second.
constexpr int kMaxReads = 600;

// The first frame at or after the time at (100-ns units), reached by a seek
// to the key frame before it and decoding on; S_FALSE when the clip ends
// before it.
HRESULT FrameAt(Clip& clip, LONGLONG at, std::vector<BYTE>& bgra) {
  PROPVARIANT position;
  PropVariantInit(&position);
  position.vt = VT_I8;
  position.hVal.QuadPart = at;
  // A clip that cannot seek is read on from where it is.
  clip.reader->SetCurrentPosition(GUID_NULL, position);
  for (int read = 0; read < kMaxReads; ++read) {
    DWORD flags = 0;
    LONGLONG time = 0;
    Com<IMFSample> sample;
    HRESULT hr = clip.reader->ReadSample(kVideo, 0, nullptr, &flags, &time, &sample);
    if (FAILED(hr)) return hr;
    if (flags & MF_SOURCE_READERF_ERROR) return E_FAIL;
    if (flags & MF_SOURCE_READERF_ENDOFSTREAM) return S_FALSE;
    if ((flags & MF_SOURCE_READERF_CURRENTMEDIATYPECHANGED) && FAILED(hr = ReadFormat(clip)))
      return hr;
    if (sample.p != nullptr && time >= at) return CopyFrame(clip, sample.p, bgra);
  }
  return S_FALSE;
}

}  // namespace

// ---- 5. The poster ----------------------------------------------------------------

bool DecodePoster(const std::string& path, const MediaSource& source, Decoded& out,
                  MediaResult& result, std::string& reason) {
  // Only clips of a known container reach Media Foundation: wine's crashes
  // on an empty file, and decodes a JPEG as a clip of one frame.
  std::string head;
  FileStamp stamp;
  if (!GetFileStamp(path, stamp, reason) || !ReadFileBytes(path, 0, 65536, head, reason))
    return false;
  if (!IsIsoMedia(head) && !IsEbml(head)) {
    reason = head.empty() ? "the file is empty"
                          : "the file is not an MP4, QuickTime, WebM or Matroska clip";
    return false;
  }
  if (IsIsoMedia(head) ? !HasMovieBox(path, stamp.size) : !HasSegment(head)) {
    reason = "the clip is cut short or damaged";
    return false;
  }
  HRESULT hr = StartMediaFoundation();
  Clip clip;
  LONGLONG duration = 0;
  if (SUCCEEDED(hr)) hr = Open(path, clip, duration);
  if (FAILED(hr)) {
    result.missingDecoder = MissingVideoDecoder(hr, clip.native, head);
    reason = hr == MF_E_INVALIDSTREAMNUMBER ? "the clip has no video"
             : hr == kAbsurdSize            ? FrameTooLargeReason(clip.width, clip.height)
                                 : ErrorText(static_cast<DWORD>(hr), "the clip cannot be decoded");
    return false;
  }
  result.durationMs = source.durationMs > 0 ? source.durationMs : duration / 10000;
  // The first frame that is not nearly black, else the brightest one.
  std::vector<BYTE> frame;
  double best = -1;
  UINT32 width = 0, height = 0;  // the best frame's (a stream may change its size)
  for (std::int64_t ms : PosterTimes(result.durationMs)) {
    hr = FrameAt(clip, ms * 10000, frame);
    if (hr != S_OK) break;  // the clip ended before: later times are later still
    ++result.framesTried;
    double luma = MeanLuma(frame.data(), static_cast<int>(clip.width),
                           static_cast<int>(clip.height), clip.width * 4, 4, true);
    if (luma > best) {
      best = luma, result.posterMs = ms, out.bgra.swap(frame);
      width = clip.width, height = clip.height;
    }
    if (!NearlyBlack(luma)) break;
  }
  // A clip shorter than the first time: its first frame.
  if (result.framesTried == 0 && SUCCEEDED(hr) && (hr = FrameAt(clip, 0, out.bgra)) == S_OK)
    result.framesTried = 1, result.posterMs = 0, width = clip.width, height = clip.height;
  if (result.framesTried == 0) {
    reason = SUCCEEDED(hr) ? "no frame of the clip can be decoded"
                           : ErrorText(static_cast<DWORD>(hr), "the clip cannot be decoded");
    return false;
  }
  out.decodedW = out.width = width, out.decodedH = out.height = height;
  TurnUpright(out.bgra, out.width, out.height, source.orientation);
  out.shownW = out.width, out.shownH = out.height;
  return true;
}

}  // namespace platform::win32
