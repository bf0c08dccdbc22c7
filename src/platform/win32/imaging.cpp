// Thumbnails on Windows, made with the Windows Imaging Component (WIC), the
// codecs that Explorer itself uses.
//
//   1. Per-thread set-up: COM joined once per thread, one imaging factory per
//      thread, both released when the thread ends.
//   2. Decoding: first frame; JPEGs decoded at reduced scale through
//      IWICBitmapSourceTransform where the codec offers it; converted to
//      premultiplied BGRA, scaled (Fant), turned upright by the EXIF
//      orientation (IWICBitmapFlipRotator), and copied out as plain BGRA.
//   3. Encoding: JPEG (quality 0.85) unless some pixel is not opaque, then
//      PNG; encoded in memory, without metadata.
//   4. Writing: a temporary file beside the target, renamed over it only
//      when complete.
#include <windows.h>
// windows.h first: the COM headers rely on its definitions.
#include <objbase.h>
#include <objidl.h>
#include <wincodec.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/orientation.h"
#include "platform/platform.h"
#include "platform/win32/internal.h"

namespace platform {
namespace {

// The system's text for an error code (a Win32 error or an HRESULT), else
// fallback with the code.
std::string ErrorText(DWORD code, const char* fallback) {
  std::string text = win32::SystemText(code);
  if (!text.empty()) return text;
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%08lX", static_cast<unsigned long>(code));
  return std::string(fallback) + " (" + hex + ")";
}

// Owns one COM interface reference.
template <class T>
struct Com {
  T* p = nullptr;
  Com() = default;
  Com(const Com&) = delete;
  Com& operator=(const Com&) = delete;
  ~Com() {
    if (p) p->Release();
  }
  T** operator&() { return &p; }
  T* operator->() const { return p; }
};

// ---- 1. Per-thread set-up -----------------------------------------------------

struct ThreadImaging {
  bool joined = false;  // this thread's CoInitializeEx must be balanced
  IWICImagingFactory* factory = nullptr;
  ~ThreadImaging() {
    if (factory) factory->Release();
    if (joined) CoUninitialize();
  }
};

// The calling thread's factory; null with the reason when COM or WIC fails.
IWICImagingFactory* Factory(HRESULT& hr) {
  thread_local ThreadImaging imaging;
  if (imaging.factory) return imaging.factory;
  hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  if (SUCCEEDED(hr)) {
    imaging.joined = true;
  } else if (hr != RPC_E_CHANGED_MODE) {  // already joined otherwise: fine
    return nullptr;
  }
  hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                        IID_PPV_ARGS(&imaging.factory));
  return SUCCEEDED(hr) ? imaging.factory : nullptr;
}

// ---- 2. Decoding ----------------------------------------------------------------

bool IsKnownPicture(const unsigned char* head, DWORD size) {
  return (size >= 3 && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF) ||
         (size >= 8 && std::memcmp(head, "\x89PNG\r\n\x1a\n", 8) == 0) ||
         (size >= 6 &&
          (std::memcmp(head, "GIF87a", 6) == 0 || std::memcmp(head, "GIF89a", 6) == 0)) ||
         (size >= 2 && head[0] == 'B' && head[1] == 'M');
}

// The EXIF orientation of a JPEG, 1 when it has none: asked of the codec's
// metadata reader, else read from the file's first bytes (wine's JPEG codec
// has no metadata reader).
int Orientation(IWICBitmapFrameDecode* frame, IWICBitmapDecoder* decoder,
                const std::vector<unsigned char>& head) {
  GUID container{};
  if (FAILED(decoder->GetContainerFormat(&container)) || container != GUID_ContainerFormatJpeg)
    return 1;
  int orientation = 0;
  Com<IWICMetadataQueryReader> reader;
  if (SUCCEEDED(frame->GetMetadataQueryReader(&reader))) {
    PROPVARIANT value;
    PropVariantInit(&value);
    if (SUCCEEDED(reader->GetMetadataByName(L"/app1/ifd/{ushort=274}", &value)) &&
        value.vt == VT_UI2)
      orientation = value.uiVal;
    PropVariantClear(&value);
  }
  if (orientation == 0) orientation = JpegOrientation(head.data(), head.size());
  return orientation >= 1 && orientation <= 8 ? orientation : 1;
}

// The flip and rotation that turn a picture stored with EXIF orientation n
// upright (rotation first, then the flip).
WICBitmapTransformOptions Upright(int n) {
  switch (n) {
    case 2:
      return WICBitmapTransformFlipHorizontal;
    case 3:
      return WICBitmapTransformRotate180;
    case 4:
      return WICBitmapTransformFlipVertical;
    case 5:
      return static_cast<WICBitmapTransformOptions>(WICBitmapTransformRotate90 |
                                                    WICBitmapTransformFlipHorizontal);
    case 6:
      return WICBitmapTransformRotate90;
    case 7:
      return static_cast<WICBitmapTransformOptions>(WICBitmapTransformRotate270 |
                                                    WICBitmapTransformFlipHorizontal);
    case 8:
      return WICBitmapTransformRotate270;
    default:
      return WICBitmapTransformRotate0;
  }
}

// IWICBitmapSourceTransform, which mingw-w64's wincodec.h lacks: the
// decoder's own scaling (for JPEG, decoding at 1/2, 1/4 or 1/8 of the size).
struct BitmapSourceTransform : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE CopyPixels(const WICRect* rect, UINT width, UINT height,
                                               WICPixelFormatGUID* format,
                                               WICBitmapTransformOptions transform, UINT stride,
                                               UINT size, BYTE* buffer) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetClosestSize(UINT* width, UINT* height) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetClosestPixelFormat(WICPixelFormatGUID* format) = 0;
  virtual HRESULT STDMETHODCALLTYPE DoesSupportTransform(WICBitmapTransformOptions transform,
                                                         BOOL* supported) = 0;
};
constexpr IID kBitmapSourceTransformId = {
    0x3b16811b, 0x6a43, 0x4ec9, {0xb7, 0x13, 0x3d, 0x5a, 0x0c, 0x13, 0xb9, 0x40}};

// Bits per pixel of the formats a JPEG decodes to; 0 for any other.
UINT JpegBits(const GUID& format) {
  if (format == GUID_WICPixelFormat24bppBGR) return 24;
  if (format == GUID_WICPixelFormat8bppGray) return 8;
  if (format == GUID_WICPixelFormat32bppCMYK) return 32;
  return 0;
}

// Decodes the first frame at reduced scale when the codec can, to no less
// than want; the source is the frame itself otherwise.
HRESULT ReducedSource(IWICImagingFactory* factory, IWICBitmapFrameDecode* frame, UINT wantW,
                      UINT wantH, IWICBitmapSource** source) {
  *source = frame;
  frame->AddRef();
  Com<BitmapSourceTransform> transform;
  if (FAILED(frame->QueryInterface(kBitmapSourceTransformId, reinterpret_cast<void**>(&transform))))
    return S_OK;
  UINT w = wantW, h = wantH, fullW = 0, fullH = 0;
  GUID format{};
  if (FAILED(frame->GetSize(&fullW, &fullH)) || FAILED(transform->GetClosestSize(&w, &h)) ||
      w < wantW || h < wantH || w >= fullW || FAILED(frame->GetPixelFormat(&format)) ||
      FAILED(transform->GetClosestPixelFormat(&format)) || JpegBits(format) == 0) {
    return S_OK;
  }
  UINT stride = (w * JpegBits(format) + 7) / 8;
  stride = (stride + 3) & ~3u;
  std::vector<BYTE> pixels(static_cast<size_t>(stride) * h);
  HRESULT hr = transform->CopyPixels(nullptr, w, h, &format, WICBitmapTransformRotate0, stride,
                                     static_cast<UINT>(pixels.size()), pixels.data());
  if (FAILED(hr)) return hr;
  IWICBitmap* bitmap = nullptr;
  hr = factory->CreateBitmapFromMemory(w, h, format, stride, static_cast<UINT>(pixels.size()),
                                       pixels.data(), &bitmap);
  if (FAILED(hr)) return hr;
  (*source)->Release();
  *source = bitmap;
  return S_OK;
}

struct Decoded {
  UINT width = 0, height = 0;
  std::vector<BYTE> bgra;  // top row first, 4 bytes a pixel, straight alpha
};

// The scaled bitmap as straight BGRA, turned upright through the flip
// rotator (or left as stored when useRotator is false).
HRESULT CopyOut(IWICImagingFactory* factory, IWICBitmapSource* scaled, int orientation,
                bool useRotator, Decoded& out) {
  IWICBitmapSource* source = scaled;
  Com<IWICBitmapFlipRotator> rotator;
  HRESULT hr = S_OK;
  if (useRotator && orientation != 1) {
    hr = factory->CreateBitmapFlipRotator(&rotator);
    if (SUCCEEDED(hr)) hr = rotator->Initialize(scaled, Upright(orientation));
    source = rotator.p;
  }
  Com<IWICFormatConverter> straight;
  if (SUCCEEDED(hr)) hr = factory->CreateFormatConverter(&straight);
  if (SUCCEEDED(hr)) {
    hr = straight->Initialize(source, GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone,
                              nullptr, 0, WICBitmapPaletteTypeMedianCut);
  }
  if (SUCCEEDED(hr)) hr = straight->GetSize(&out.width, &out.height);
  if (FAILED(hr)) return hr;
  out.bgra.resize(static_cast<size_t>(out.width) * out.height * 4);
  return straight->CopyPixels(nullptr, out.width * 4, static_cast<UINT>(out.bgra.size()),
                              out.bgra.data());
}

// Decodes the open picture file, whose first bytes are head.
HRESULT Decode(IWICImagingFactory* factory, HANDLE file, const std::vector<unsigned char>& head,
               int maxSide, Decoded& out) {
  Com<IWICBitmapDecoder> decoder;
  LARGE_INTEGER start{};
  HRESULT hr = SetFilePointerEx(file, start, nullptr, FILE_BEGIN)
                   ? S_OK
                   : HRESULT_FROM_WIN32(GetLastError());
  if (SUCCEEDED(hr)) {
    hr = factory->CreateDecoderFromFileHandle(reinterpret_cast<ULONG_PTR>(file), nullptr,
                                              WICDecodeMetadataCacheOnDemand, &decoder);
  }
  Com<IWICBitmapFrameDecode> frame;
  if (SUCCEEDED(hr)) hr = decoder->GetFrame(0, &frame);
  UINT w = 0, h = 0;
  if (SUCCEEDED(hr)) hr = frame->GetSize(&w, &h);
  if (FAILED(hr)) return hr;
  if (w == 0 || h == 0) return WINCODEC_ERR_BADIMAGE;
  int orientation = Orientation(frame.p, decoder.p, head);
  bool turned = orientation >= 5;
  // The size as displayed, shrunk to fit maxSide, then back to stored axes.
  UINT shownW = turned ? h : w, shownH = turned ? w : h;
  UINT longest = shownW > shownH ? shownW : shownH, side = static_cast<UINT>(maxSide);
  UINT outW = shownW, outH = shownH;
  if (longest > side) {
    outW = static_cast<UINT>((static_cast<std::uint64_t>(shownW) * side + longest / 2) / longest);
    outH = static_cast<UINT>((static_cast<std::uint64_t>(shownH) * side + longest / 2) / longest);
    outW = outW ? outW : 1, outH = outH ? outH : 1;
  }
  UINT storedW = turned ? outH : outW, storedH = turned ? outW : outH;

  Com<IWICBitmapSource> source;
  hr = ReducedSource(factory, frame.p, storedW, storedH, &source);
  Com<IWICFormatConverter> premultiplied;
  if (SUCCEEDED(hr)) hr = factory->CreateFormatConverter(&premultiplied);
  if (SUCCEEDED(hr)) {
    hr = premultiplied->Initialize(source.p, GUID_WICPixelFormat32bppPBGRA, WICBitmapDitherTypeNone,
                                   nullptr, 0, WICBitmapPaletteTypeMedianCut);
  }
  Com<IWICBitmapScaler> scaler;
  if (SUCCEEDED(hr)) hr = factory->CreateBitmapScaler(&scaler);
  if (SUCCEEDED(hr))
    hr = scaler->Initialize(premultiplied.p, storedW, storedH, WICBitmapInterpolationModeFant);
  // Decoded and scaled once, here: the rotation reads it in any order.
  Com<IWICBitmap> scaled;
  if (SUCCEEDED(hr)) hr = factory->CreateBitmapFromSource(scaler.p, WICBitmapCacheOnLoad, &scaled);
  if (FAILED(hr)) return hr;
  hr = CopyOut(factory, scaled.p, orientation, true, out);
  // wine's flip rotator only flips vertically: turn the pixels here instead.
  if (hr == E_NOTIMPL) {
    hr = CopyOut(factory, scaled.p, 1, false, out);
    if (SUCCEEDED(hr)) TurnUpright(out.bgra, out.width, out.height, orientation);
  }
  return hr;
}

// ---- 3. Encoding --------------------------------------------------------------

HRESULT Encode(IWICImagingFactory* factory, const Decoded& picture, bool alpha,
               std::string& bytes) {
  Com<IStream> stream;
  HRESULT hr = CreateStreamOnHGlobal(nullptr, TRUE, &stream);
  Com<IWICBitmapEncoder> encoder;
  if (SUCCEEDED(hr)) {
    hr = factory->CreateEncoder(alpha ? GUID_ContainerFormatPng : GUID_ContainerFormatJpeg, nullptr,
                                &encoder);
  }
  if (SUCCEEDED(hr)) hr = encoder->Initialize(stream.p, WICBitmapEncoderNoCache);
  Com<IWICBitmapFrameEncode> frame;
  Com<IPropertyBag2> options;
  if (SUCCEEDED(hr)) hr = encoder->CreateNewFrame(&frame, &options);
  if (SUCCEEDED(hr) && !alpha && options.p) {
    PROPBAG2 option{};
    option.pstrName = const_cast<wchar_t*>(L"ImageQuality");
    VARIANT quality{};
    quality.vt = VT_R4;
    quality.fltVal = 0.85f;
    options->Write(1, &option, &quality);  // a codec without the option keeps its default
  }
  if (SUCCEEDED(hr)) hr = frame->Initialize(options.p);
  if (SUCCEEDED(hr)) hr = frame->SetSize(picture.width, picture.height);
  // JPEG: the alpha byte dropped here.
  std::vector<BYTE> rows;
  UINT stride = picture.width * (alpha ? 4 : 3);
  if (alpha) {
    rows = picture.bgra;
  } else {
    rows.resize(static_cast<size_t>(stride) * picture.height);
    for (size_t i = 0, o = 0; i < picture.bgra.size(); i += 4, o += 3) {
      rows[o] = picture.bgra[i], rows[o + 1] = picture.bgra[i + 1],
      rows[o + 2] = picture.bgra[i + 2];
    }
  }
  GUID want = alpha ? GUID_WICPixelFormat32bppBGRA : GUID_WICPixelFormat24bppBGR;
  GUID format = want;
  if (SUCCEEDED(hr)) hr = frame->SetPixelFormat(&format);
  if (SUCCEEDED(hr) && format != want) hr = WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT;
  if (SUCCEEDED(hr)) {
    hr = frame->WritePixels(picture.height, stride, static_cast<UINT>(rows.size()), rows.data());
  }
  if (SUCCEEDED(hr)) hr = frame->Commit();
  if (SUCCEEDED(hr)) hr = encoder->Commit();
  HGLOBAL memory = nullptr;
  if (SUCCEEDED(hr)) hr = GetHGlobalFromStream(stream.p, &memory);
  STATSTG stat{};
  if (SUCCEEDED(hr)) hr = stream->Stat(&stat, STATFLAG_NONAME);
  if (FAILED(hr)) return hr;
  const void* data = GlobalLock(memory);
  if (data == nullptr) return E_OUTOFMEMORY;
  bytes.assign(static_cast<const char*>(data), static_cast<size_t>(stat.cbSize.QuadPart));
  GlobalUnlock(memory);
  return S_OK;
}

// ---- 4. Writing ---------------------------------------------------------------

// Writes bytes to a temporary file beside target (in the long form), then
// renames it over target: a reader sees the old thumbnail or the new one.
bool WriteAtomically(const std::wstring& target, const std::string& bytes, std::string& reason) {
  std::wstring temp;
  win32::UniqueHandle file =
      win32::CreateTemporaryFile(target.substr(0, target.find_last_of(L'\\') + 1), temp);
  if (!file.Valid()) {
    reason = ErrorText(GetLastError(), "the thumbnail cannot be written");
    return false;
  }
  DWORD error =
      win32::WriteAll(file.handle, bytes.data(), bytes.size()) ? ERROR_SUCCESS : GetLastError();
  if (!file.Close() && error == ERROR_SUCCESS) error = GetLastError();
  if (error == ERROR_SUCCESS &&
      !MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING))
    error = GetLastError();
  if (error != ERROR_SUCCESS) {
    DeleteFileW(temp.c_str());
    reason = ErrorText(error, "the thumbnail cannot be written");
  }
  return error == ERROR_SUCCESS;
}

}  // namespace

bool MakeThumbnail(const std::string& picture, int maxSide, const std::string& targetStem,
                   ThumbnailMade& made, ThumbnailFailure& failure, std::string& reason) {
  failure = ThumbnailFailure::kPicture;
  if (maxSide < 1) maxSide = 1;
  // One handle serves the check of the first bytes and the codec; the long
  // form of the path reaches pictures past 260 characters.
  win32::UniqueHandle file(CreateFileW(win32::Long(picture).c_str(), GENERIC_READ,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) {
    reason = ErrorText(GetLastError(), "the picture cannot be opened");
    return false;
  }
  // Enough for the kind of file and a JPEG's EXIF segment (at most 64 KiB).
  std::vector<unsigned char> head(65536 + 4);
  DWORD got = 0;
  BOOL read = ReadFile(file.handle, head.data(), static_cast<DWORD>(head.size()), &got, nullptr);
  head.resize(read ? got : 0);
  // Only GIF, JPEG, PNG and BMP files are given to the codecs.
  if (!read || !IsKnownPicture(head.data(), got)) {
    reason = got == 0 ? "the file is empty" : "the file is not a GIF, JPEG, PNG or BMP picture";
    return false;
  }
  HRESULT hr = S_OK;
  IWICImagingFactory* factory = Factory(hr);
  if (factory == nullptr) {
    reason = ErrorText(static_cast<DWORD>(hr), "the imaging component cannot start");
    return false;
  }
  Decoded decoded;
  hr = Decode(factory, file.handle, head, maxSide, decoded);
  if (FAILED(hr)) {
    reason = ErrorText(static_cast<DWORD>(hr), "the picture cannot be decoded");
    return false;
  }
  bool alpha = false;
  for (size_t i = 3; i < decoded.bgra.size() && !alpha; i += 4) alpha = decoded.bgra[i] != 255;
  std::string bytes;
  hr = Encode(factory, decoded, alpha, bytes);
  if (FAILED(hr)) {
    reason = ErrorText(static_cast<DWORD>(hr), "the thumbnail cannot be encoded");
    return false;
  }
  if (!WriteAtomically(win32::Long(targetStem + (alpha ? ".png" : ".jpg")), bytes, reason)) {
    failure = ThumbnailFailure::kTarget;
    return false;
  }
  failure = ThumbnailFailure::kNone;
  made.width = static_cast<std::int32_t>(decoded.width);
  made.height = static_cast<std::int32_t>(decoded.height);
  made.format = alpha ? ThumbnailFormat::kPng : ThumbnailFormat::kJpeg;
  return true;
}

bool MakeThumbnailFolder(const std::string& path, std::string& reason) {
  std::wstring folder = win32::Long(path);
  if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
    reason = ErrorText(GetLastError(), "the folder cannot be made");
    return false;
  }
  DWORD attributes = GetFileAttributesW(folder.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    reason = ErrorText(attributes == INVALID_FILE_ATTRIBUTES ? GetLastError() : ERROR_DIRECTORY,
                       "the folder cannot be made");
    return false;
  }
  if ((attributes & FILE_ATTRIBUTE_HIDDEN) == 0)
    SetFileAttributesW(folder.c_str(), attributes | FILE_ATTRIBUTE_HIDDEN);
  return true;
}

}  // namespace platform
