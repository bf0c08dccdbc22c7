// The Windows Imaging Component (WIC) side of the Windows picture engine:
// decoding and scaling. Encoding, writing and the seam are in pictures.cpp.
//
//   1. Errors: the system's text for an HRESULT.
//   2. Per-thread set-up: COM joined once per thread, one imaging factory per
//      thread, both released when the thread ends.
//   3. Decoding: first frame; JPEGs decoded at reduced scale through
//      IWICBitmapSourceTransform where the codec offers it, to no less than
//      the largest copy; an embedded profile other than sRGB converted to
//      sRGB (IWICColorTransform); converted to premultiplied BGRA, scaled (Fant),
//      turned upright by the EXIF orientation (IWICBitmapFlipRotator), and
//      copied out as plain BGRA.
//   4. Smaller copies: scaled (Fant) from the larger copy's pixels.
#include "platform/win32/imaging.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/icc_profile.h"
#include "platform/orientation.h"

namespace platform::win32 {

// ---- 1. Errors -------------------------------------------------------------------

std::string ErrorText(DWORD code, const char* fallback) {
  std::string text = SystemText(code);
  if (!text.empty()) return text;
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%08lX", static_cast<unsigned long>(code));
  return std::string(fallback) + " (" + hex + ")";
}

// ---- 2. Per-thread set-up -----------------------------------------------------

namespace {

struct ThreadImaging {
  bool joined = false;  // this thread's CoInitializeEx must be balanced
  IWICImagingFactory* factory = nullptr;
  ~ThreadImaging() {
    if (factory) factory->Release();
    if (joined) CoUninitialize();
  }
};

}  // namespace

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

// ---- 3. Decoding ----------------------------------------------------------------

namespace {

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

// The frame's embedded colour profile, when it is one other than sRGB, as a
// transform of source to sRGB in *out; source itself otherwise, also when
// the codec or the transform cannot do it (the values then stay as stored).
void ToSrgb(IWICImagingFactory* factory, IWICBitmapFrameDecode* frame, IWICBitmapSource* source,
            IWICBitmapSource** out, bool& converted) {
  *out = source;
  source->AddRef();
  UINT count = 0;
  if (FAILED(frame->GetColorContexts(0, nullptr, &count)) || count == 0 || count > 16) return;
  std::vector<IWICColorContext*> contexts(count, nullptr);
  for (auto& context : contexts)
    if (FAILED(factory->CreateColorContext(&context))) context = nullptr;
  IWICColorContext* profile = nullptr;
  UINT got = 0;
  bool all = true;
  for (auto* context : contexts) all = all && context != nullptr;
  if (all && SUCCEEDED(frame->GetColorContexts(count, contexts.data(), &got))) {
    for (UINT i = 0; i < got && !profile; ++i) {
      WICColorContextType type{};
      if (SUCCEEDED(contexts[i]->GetType(&type)) && type == WICColorContextProfile)
        profile = contexts[i];
    }
  }
  UINT size = 0;
  std::string bytes;
  if (profile && SUCCEEDED(profile->GetProfileBytes(0, nullptr, &size)) && size > 0 &&
      size < (64u << 20)) {
    bytes.resize(size);
    if (FAILED(profile->GetProfileBytes(size, reinterpret_cast<BYTE*>(bytes.data()), &size)))
      bytes.clear();
  }
  Com<IWICColorContext> srgb;
  Com<IWICColorTransform> transform;
  if (!bytes.empty() && !IsSrgbProfile(bytes) && SUCCEEDED(factory->CreateColorContext(&srgb)) &&
      SUCCEEDED(srgb->InitializeFromExifColorSpace(1)) &&
      SUCCEEDED(factory->CreateColorTransformer(&transform)) &&
      SUCCEEDED(transform->Initialize(source, profile, srgb.p, GUID_WICPixelFormat32bppBGRA))) {
    source->Release();
    *out = transform.p;
    transform.p = nullptr;
    converted = true;
  }
  for (auto* context : contexts)
    if (context) context->Release();
}

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

// The size of a shown x shown picture shrunk to fit side (never enlarged;
// rounded, at least 1).
void Fit(UINT shownW, UINT shownH, int maxSide, UINT& outW, UINT& outH) {
  UINT longest = shownW > shownH ? shownW : shownH, side = static_cast<UINT>(maxSide);
  outW = shownW, outH = shownH;
  if (longest > side) {
    outW = static_cast<UINT>((static_cast<std::uint64_t>(shownW) * side + longest / 2) / longest);
    outH = static_cast<UINT>((static_cast<std::uint64_t>(shownH) * side + longest / 2) / longest);
    outW = outW ? outW : 1, outH = outH ? outH : 1;
  }
}

// The source premultiplied (as WIC's scaler wants it) and scaled to width x
// height with the Fant filter; the caller keeps both stages alive.
HRESULT Scaled(IWICImagingFactory* factory, IWICBitmapSource* source, UINT width, UINT height,
               Com<IWICFormatConverter>& premultiplied, Com<IWICBitmapScaler>& scaler) {
  HRESULT hr = factory->CreateFormatConverter(&premultiplied);
  if (SUCCEEDED(hr)) {
    hr = premultiplied->Initialize(source, GUID_WICPixelFormat32bppPBGRA, WICBitmapDitherTypeNone,
                                   nullptr, 0, WICBitmapPaletteTypeMedianCut);
  }
  if (SUCCEEDED(hr)) hr = factory->CreateBitmapScaler(&scaler);
  if (SUCCEEDED(hr))
    hr = scaler->Initialize(premultiplied.p, width, height, WICBitmapInterpolationModeFant);
  return hr;
}

}  // namespace

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
  out.shownW = turned ? h : w, out.shownH = turned ? w : h;
  UINT outW = 0, outH = 0;
  Fit(out.shownW, out.shownH, maxSide, outW, outH);
  UINT storedW = turned ? outH : outW, storedH = turned ? outW : outH;

  Com<IWICBitmapSource> reduced, source;
  hr = ReducedSource(factory, frame.p, storedW, storedH, &reduced);
  if (SUCCEEDED(hr)) hr = reduced->GetSize(&out.decodedW, &out.decodedH);
  if (SUCCEEDED(hr)) ToSrgb(factory, frame.p, reduced.p, &source, out.colourConverted);
  Com<IWICFormatConverter> premultiplied;
  Com<IWICBitmapScaler> scaler;
  if (SUCCEEDED(hr)) hr = Scaled(factory, source.p, storedW, storedH, premultiplied, scaler);
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

// ---- 4. Smaller copies ------------------------------------------------------------

HRESULT ShrinkDecoded(IWICImagingFactory* factory, const Decoded& larger, int maxSide,
                      Decoded& out) {
  UINT outW = 0, outH = 0;
  Fit(larger.shownW, larger.shownH, maxSide, outW, outH);
  out.shownW = larger.shownW, out.shownH = larger.shownH;
  // The larger copy as a bitmap (WIC only reads it), premultiplied for the
  // scaler as in Decode.
  Com<IWICBitmap> bitmap;
  HRESULT hr = factory->CreateBitmapFromMemory(
      larger.width, larger.height, GUID_WICPixelFormat32bppBGRA, larger.width * 4,
      static_cast<UINT>(larger.bgra.size()), const_cast<BYTE*>(larger.bgra.data()), &bitmap);
  Com<IWICFormatConverter> premultiplied;
  Com<IWICBitmapScaler> scaler;
  if (SUCCEEDED(hr)) hr = Scaled(factory, bitmap.p, outW, outH, premultiplied, scaler);
  if (FAILED(hr)) return hr;
  return CopyOut(factory, scaler.p, 1, false, out);
}

}  // namespace platform::win32
