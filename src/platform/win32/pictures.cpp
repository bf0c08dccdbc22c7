// Display copies of pictures on Windows, made with the Windows Imaging
// Component (WIC), the codecs that Explorer itself uses. Decoding and scaling
// are in imaging.cpp.
//
//   1. Encoding: JPEG (quality 0.85) unless some pixel is not opaque, then
//      PNG; encoded in memory, without metadata.
//   2. Writing: a temporary file beside the target, renamed over it only
//      when complete.
//   3. The seam: MakeDisplayCopies (one decode for the largest copy, each
//      smaller one scaled from the one just larger; a clip's copies from its
//      poster frame, which video.cpp decodes) and the thumbnail folder.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/copies.h"
#include "platform/picture_kinds.h"
#include "platform/platform.h"
#include "platform/win32/imaging.h"

namespace platform {
namespace {

using win32::Com;
using win32::Decoded;
using win32::ErrorText;

// ---- 1. Encoding --------------------------------------------------------------

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

// ---- 2. Writing ---------------------------------------------------------------

// Writes bytes to a temporary file beside target (in the long form), then
// renames it over target: a reader sees the old copy or the new one.
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

// Encodes one copy and writes it to stem plus its extension.
void WriteCopy(IWICImagingFactory* factory, const Decoded& decoded, const std::string& stem,
               CopyResult& copy) {
  bool alpha = false;
  for (size_t i = 3; i < decoded.bgra.size() && !alpha; i += 4) alpha = decoded.bgra[i] != 255;
  std::string bytes;
  HRESULT hr = Encode(factory, decoded, alpha, bytes);
  if (FAILED(hr)) {
    copy.failure = CopyFailure::kPicture;
    copy.reason = ErrorText(static_cast<DWORD>(hr), "the thumbnail cannot be encoded");
    return;
  }
  if (!WriteAtomically(win32::Long(stem + (alpha ? ".png" : ".jpg")), bytes, copy.reason)) {
    copy.failure = CopyFailure::kTarget;
    return;
  }
  copy.width = static_cast<std::int32_t>(decoded.width);
  copy.height = static_cast<std::int32_t>(decoded.height);
  copy.format = alpha ? CopyFormat::kPng : CopyFormat::kJpeg;
}

// The decoder a picture of the kind needs when WIC has none: those that
// come as extensions (WebP is built into Windows 10 since 1809).
MissingDecoder NeededDecoder(PictureKind kind) {
  switch (kind) {
    case PictureKind::kHeif:
      return MissingDecoder::kHeif;
    case PictureKind::kAvif:
      return MissingDecoder::kAvif;
    case PictureKind::kWebp:
      return MissingDecoder::kWebp;
    default:
      return MissingDecoder::kNone;
  }
}

// Decodes the picture for a copy whose longest side is maxSide; false with
// the reason when it cannot be read or decoded, and with the decoder that is
// missing when WIC has none for its kind.
bool DecodePicture(const std::string& picture, int maxSide, IWICImagingFactory*& factory,
                   Decoded& decoded, MissingDecoder& missing, std::string& reason) {
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
  PictureKind kind = SniffPicture(head.data(), head.size());
  if (!read || kind == PictureKind::kUnknown) {
    reason = NotAPictureReason(head.size());
    return false;
  }
  HRESULT hr = S_OK;
  factory = win32::Factory(hr);
  if (factory == nullptr) {
    reason = ErrorText(static_cast<DWORD>(hr), "the imaging component cannot start");
    return false;
  }
  hr = win32::Decode(factory, file.handle, head, maxSide, decoded);
  if (hr == WINCODEC_ERR_COMPONENTNOTFOUND) missing = NeededDecoder(kind);
  if (FAILED(hr)) {
    reason = ErrorText(static_cast<DWORD>(hr), "the picture cannot be decoded");
    return false;
  }
  return true;
}

// The poster frame of a clip, for its largest copy.
bool DecodeClip(const std::string& clip, const MediaSource& source, IWICImagingFactory*& factory,
                Decoded& decoded, MediaResult& result, std::string& reason) {
  HRESULT hr = S_OK;
  factory = win32::Factory(hr);  // joins COM for the thread, which Media Foundation needs too
  if (factory == nullptr) {
    reason = ErrorText(static_cast<DWORD>(hr), "the imaging component cannot start");
    return false;
  }
  return win32::DecodePoster(clip, source, decoded, result, reason);
}

}  // namespace

// ---- 3. The seam --------------------------------------------------------------------

bool MakeDisplayCopies(const std::string& picture, const std::vector<WantedCopy>& wanted,
                       MediaResult& result, const MediaSource& source) {
  result = MediaResult{};
  result.copies.assign(wanted.size(), CopyResult{});
  if (wanted.empty()) return true;
  auto side = [&](size_t i) { return CopySide(wanted[i]); };
  // Largest first: the decode covers it.
  const std::vector<size_t> order = LargestFirst(wanted);
  IWICImagingFactory* factory = nullptr;
  Decoded larger;
  std::string reason;
  // WIC's JPEG codec offers 1/2, 1/4 and 1/8 only: a preview's decode
  // takes the closest of those, whatever WantedCopy::preview allows. A
  // poster frame comes at its full size: the largest copy is scaled too.
  bool decoded = source.video ? DecodeClip(picture, source, factory, larger, result, reason)
                              : DecodePicture(picture, side(order[0]), factory, larger,
                                              result.missingDecoder, reason);
  result.decodes = larger.decodedW > 0 ? 1 : 0;
  result.decodedWidth = static_cast<std::int32_t>(larger.decodedW);
  result.decodedHeight = static_cast<std::int32_t>(larger.decodedH);
  result.colourConverted = larger.colourConverted;
  if (!decoded) {
    for (CopyResult& copy : result.copies)
      copy.failure = CopyFailure::kPicture, copy.reason = reason;
    return false;
  }
  bool all = true;
  for (size_t at = 0; at < order.size(); ++at) {
    CopyResult& copy = result.copies[order[at]];
    if (at > 0 || source.video) {
      Decoded smaller;
      HRESULT hr = win32::ShrinkDecoded(factory, larger, side(order[at]), smaller);
      if (FAILED(hr)) {
        copy.failure = CopyFailure::kPicture;
        copy.reason = ErrorText(static_cast<DWORD>(hr), "the picture cannot be scaled");
        all = false;
        continue;
      }
      larger = std::move(smaller);
    }
    WriteCopy(factory, larger, wanted[order[at]].targetStem, copy);
    all = all && copy.failure == CopyFailure::kNone;
  }
  return all;
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
