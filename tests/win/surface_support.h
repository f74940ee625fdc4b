#pragma once
// A DIB section with its own device context that is not a TmvBitmap, so that
// drawing into it takes the device-context route rather than the surface one.
#include <windows.h>

#include <cstdint>

#include "graphics/pixel_rows.h"

class TForeignSurface {
  HDC FDC = nullptr;
  HBITMAP FBitmap = nullptr;
  HGDIOBJ FOld = nullptr;
  TmvColor* FBits = nullptr;
  int32_t FWidth;

public:
  TForeignSurface(int32_t width, int32_t height, TmvColor fill) : FWidth(width) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    FBitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    FBits = static_cast<TmvColor*>(bits);
    FDC = CreateCompatibleDC(nullptr);
    FOld = SelectObject(FDC, FBitmap);
    for (int32_t i = 0; i < width * height; ++i) FBits[i] = fill;
  }
  ~TForeignSurface() {
    SelectObject(FDC, FOld);
    DeleteDC(FDC);
    DeleteObject(FBitmap);
  }
  TForeignSurface(const TForeignSurface&) = delete;
  TForeignSurface& operator=(const TForeignSurface&) = delete;

  HDC DC() const { return FDC; }
  TmvColor At(int32_t x, int32_t y) const {
    GdiFlush();
    return FBits[y * FWidth + x];
  }
  TmvColor Rgb(int32_t x, int32_t y) const { return At(x, y) & 0x00FFFFFF; }
};
