// What the parts of the Windows picture engine share: imaging.cpp decodes
// and scales with WIC, video.cpp decodes a clip's poster frame with Media
// Foundation, pictures.cpp encodes, writes and holds the seam. Only the
// files of src/platform/win32 include it.
#pragma once

#include <windows.h>
// windows.h first: the COM headers rely on its definitions.
#include <objbase.h>
#include <objidl.h>
#include <wincodec.h>

#include <string>
#include <vector>

#include "platform/win32/internal.h"

namespace platform::win32 {

/// The system's text for an error code (a Win32 error or an HRESULT), else
/// fallback with the code in hexadecimal.
std::string ErrorText(DWORD code, const char* fallback);

/// Owns one COM interface reference.
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

/// The calling thread's imaging factory (COM joined for the thread, both
/// released when it ends); null, with hr saying why, when COM or WIC fails.
IWICImagingFactory* Factory(HRESULT& hr);

/// A picture decoded and scaled for one copy, upright.
struct Decoded {
  UINT width = 0, height = 0;
  std::vector<BYTE> bgra;           // top row first, 4 bytes a pixel, straight alpha
  UINT shownW = 0, shownH = 0;      // the whole picture's size as displayed
  UINT decodedW = 0, decodedH = 0;  // the size the codec decoded it at (as stored)
  bool colourConverted = false;     // its profile, not sRGB, was converted to sRGB
};

/// Decodes the open picture file, whose first bytes are head (enough for a
/// JPEG's EXIF segment), for a copy whose longest side is maxSide (never
/// enlarged; the sides rounded from the displayed size), its colours
/// converted to sRGB when it carries another profile. The codec's error
/// when the picture cannot be decoded.
HRESULT Decode(IWICImagingFactory* factory, HANDLE file, const std::vector<unsigned char>& head,
               int maxSide, Decoded& out);

/// The copy of larger whose longest side is maxSide (no larger than larger),
/// sized from the picture's displayed size as Decode would size it.
HRESULT ShrinkDecoded(IWICImagingFactory* factory, const Decoded& larger, int maxSide,
                      Decoded& out);

/// The poster frame of the clip at path, chosen as MediaSource says, at its
/// full size and turned upright by source.orientation (opaque; decodedW and
/// decodedH its stored size). Sets the result's posterMs, framesTried and
/// durationMs, and its missingDecoder when no decoder takes the clip. False
/// with the reason when no frame can be decoded. The calling thread has
/// joined COM (Factory).
bool DecodePoster(const std::string& path, const MediaSource& source, Decoded& out,
                  MediaResult& result, std::string& reason);

}  // namespace platform::win32
