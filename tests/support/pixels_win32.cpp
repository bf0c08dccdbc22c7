// Pixels of a picture on Windows, read with the Windows Imaging Component.
#include <windows.h>
// windows.h first: the COM headers rely on its definitions.
#include <objbase.h>
#include <wincodec.h>

#include <utility>

#include "support/pixels.h"
#include "support/test_support.h"

namespace testing_support {

bool ReadPixels(const std::string& path, Pixels& pixels, std::string& reason) {
  HRESULT joined = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  IWICImagingFactory* factory = nullptr;
  IWICBitmapDecoder* decoder = nullptr;
  IWICBitmapFrameDecode* frame = nullptr;
  IWICFormatConverter* converter = nullptr;
  std::wstring wide = PathOf(path).wstring();
  HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(&factory));
  if (SUCCEEDED(hr)) {
    hr = factory->CreateDecoderFromFilename(wide.c_str(), nullptr, GENERIC_READ,
                                            WICDecodeMetadataCacheOnDemand, &decoder);
  }
  if (SUCCEEDED(hr)) hr = decoder->GetFrame(0, &frame);
  if (SUCCEEDED(hr)) hr = factory->CreateFormatConverter(&converter);
  if (SUCCEEDED(hr)) {
    hr = converter->Initialize(frame, GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone,
                               nullptr, 0, WICBitmapPaletteTypeMedianCut);
  }
  UINT w = 0, h = 0;
  if (SUCCEEDED(hr)) hr = converter->GetSize(&w, &h);
  if (SUCCEEDED(hr)) {
    pixels.width = static_cast<int>(w);
    pixels.height = static_cast<int>(h);
    pixels.rgba.resize(static_cast<size_t>(w) * h * 4);
    hr = converter->CopyPixels(nullptr, w * 4, static_cast<UINT>(pixels.rgba.size()),
                               pixels.rgba.data());
    for (size_t i = 0; i + 3 < pixels.rgba.size(); i += 4)
      std::swap(pixels.rgba[i], pixels.rgba[i + 2]);
  }
  if (converter) converter->Release();
  if (frame) frame->Release();
  if (decoder) decoder->Release();
  if (factory) factory->Release();
  if (SUCCEEDED(joined)) CoUninitialize();
  if (FAILED(hr)) reason = "WIC error " + std::to_string(static_cast<unsigned long>(hr));
  return SUCCEEDED(hr);
}

}  // namespace testing_support
