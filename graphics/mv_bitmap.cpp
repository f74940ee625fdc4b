#include "graphics/mv_bitmap.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "platform/exceptions.h"
#include "platform/mv_utils.h"
#include "platform/mv_winapi.h"

TDCRoutines DCRoutines;
std::vector<TmvBitmap*>* BitmapList = nullptr;

void RegisterBitmap(TmvBitmap* b) {
  if (!BitmapList) BitmapList = new std::vector<TmvBitmap*>;
  BitmapList->push_back(b);
}

void UnregisterBitmap(TmvBitmap* b) {
  if (!BitmapList) return;
  auto it = std::find(BitmapList->begin(), BitmapList->end(), b);
  if (it != BitmapList->end()) BitmapList->erase(it);
}

TmvBitmap* FindBitmapByDC(HDC dc) {
  if (!BitmapList) return nullptr;
  for (TmvBitmap* b : *BitmapList)
    if (b->DC() == dc) return b;
  return nullptr;
}

TmvColor ColorRefToColor(COLORREF c) {
  return 0xFF000000u | (TmvColor(GetRValue(c)) << 16) | (TmvColor(GetGValue(c)) << 8) |
         TmvColor(GetBValue(c));
}

TmvColor MakeColor(TColor color, uint8_t alpha) {
  return (ColorRefToColor(ColorToRGB(color)) & 0x00FFFFFF) | (TmvColor(alpha) << 24);
}

TmvBitmap::TmvBitmap() {
  BITMAPINFOHEADER& h = FBitmapInfo.bmiHeader;
  h.biSize = sizeof(BITMAPINFOHEADER);
  h.biPlanes = 1;
  h.biBitCount = 32;
  h.biCompression = BI_RGB;
}

TmvBitmap::~TmvBitmap() {
  UnregisterBitmap(this);
  ReleaseHandles();
}

// The device context goes first: the DIB section is selected into it.
void TmvBitmap::ReleaseHandles() {
  if (FDC) DeleteDC(std::exchange(FDC, nullptr));
  if (FHandle) DeleteObject(std::exchange(FHandle, nullptr));
  FBits = nullptr;
}

void TmvBitmap::Clear() {
  if (FDC) UnregisterBitmap(this);
  ReleaseHandles();
  FWidth = 0;
  FHeight = 0;
}

TPixelSurface TmvBitmap::Surface() const {
  if (!FBits) return TPixelSurface{};
  return TPixelSurface{FBits, FWidth, FHeight};
}

void TmvBitmap::SetSize(int32_t width, int32_t height) {
  const int64_t w = std::llabs(int64_t(width)), h = std::llabs(int64_t(height));
  if (w == 0 || h == 0) return;
  // A surface that failed to allocate keeps its old size but no pixels: the
  // same size must allocate again rather than be taken as unchanged.
  if (w == FWidth && h == FHeight && FBits) return;

  if (FDC) UnregisterBitmap(this);
  ReleaseHandles();

  // Sizes whose byte count leaves the 32-bit range are refused before GDI
  // could wrap them into a small section.
  if (w * h > INT32_MAX / 4) throw Exception("Can't allocate the DIB handle");
  FBitmapInfo.bmiHeader.biWidth = LONG(w);
  FBitmapInfo.bmiHeader.biHeight = -LONG(h);  // top-down rows

  void* bits = nullptr;
  FHandle = CreateDIBSection(nullptr, &FBitmapInfo, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!bits) {
    if (FHandle) DeleteObject(std::exchange(FHandle, nullptr));
    throw Exception("Can't allocate the DIB handle");
  }
  FDC = CreateCompatibleDC(nullptr);
  if (!FDC) {
    ReleaseHandles();
    throw Exception("Can't create compatible DC");
  }
  if (!SelectObject(FDC, FHandle)) {
    ReleaseHandles();
    throw Exception("Can't select an object into DC");
  }
  FBits = static_cast<TmvColor*>(bits);
  RegisterBitmap(this);
  FWidth = int32_t(w);
  FHeight = int32_t(h);
}

void TmvBitmap::SetPixel(int32_t x, int32_t y, TmvColor color) {
  if (FBits && x >= 0 && x < FWidth && y >= 0 && y < FHeight) *PixelPtr(x, y) = color;
}

void TmvBitmap::Fill(TmvColor color) {
  if (!Empty()) PixelRoutines.FillColors(FBits, FWidth * FHeight, color);
}

void TmvBitmap::SetAlpha(uint8_t alpha) {
  if (!Empty()) PixelRoutines.SetAlphaBytes(FBits, FWidth * FHeight, alpha);
}

void TmvBitmap::CheckAlpha() {
  FAlphaBlend = false;
  if (Empty()) return;
  const TmvColor* end = FBits + ptrdiff_t(FWidth) * FHeight;
  for (const TmvColor* p = FBits; p != end; ++p) {
    const uint32_t a = *p >> 24;
    if (a != 0 && a != 255) {
      FAlphaBlend = true;
      return;
    }
  }
}

void TmvBitmap::FillRect(const TRect& rect, TmvColor color) {
  const TPixelSurface s = Surface();
  const TRect r{std::max(rect.Left, 0), std::max(rect.Top, 0), std::min(rect.Right, s.Width),
                std::min(rect.Bottom, s.Height)};
  if (RectIsEmpty(r)) return;
  const int32_t count = RectWidth(r);
  if (!FAlphaBlend) {
    PixelRoutines.FillColorsRect(s.Bits, s.Width, color, r.Left, r.Top, r.Right - 1,
                                 r.Bottom - 1);
    return;
  }
  struct TEndMMXGuard {
    ~TEndMMXGuard() { EndMMX(); }
  } endMMX;
  std::vector<TmvColor> row(static_cast<size_t>(count));
  PixelRoutines.FillColors(row.data(), count, color);
  for (int32_t y = r.Top; y < r.Bottom; ++y)
    PixelRoutines.BlendRow(row.data(), s.PixelPtr(r.Left, y), count);
}

void TmvBitmap::DrawToDC(HDC dc, int32_t x, int32_t y) {
  DrawRectToDC(dc, x, y, Rect(0, 0, FWidth, FHeight));
}

void TmvBitmap::DrawRectToDC(HDC dc, int32_t x, int32_t y, const TRect& srcRect) {
  StretchToDC(dc, Rect(x, y, x + RectWidth(srcRect), y + RectHeight(srcRect)), srcRect);
}

void TmvBitmap::StretchToDC(HDC dc, const TRect& dstRect, const TRect& srcRect) {
  if (TmvBitmap* target = FindBitmapByDC(dc)) {
    // Another surface's device context, for instance a parent window painted
    // into a surface: its window origin shifts the drawing.
    POINT origin{};
    GetWindowOrgEx(dc, &origin);
    StretchToBitmap(target,
                    Rect(dstRect.Left - origin.x, dstRect.Top - origin.y,
                         dstRect.Right - origin.x, dstRect.Bottom - origin.y),
                    srcRect);
    return;
  }
  const TBltRoutine blt = FAlphaBlend    ? DCRoutines.BltBlend
                          : FTransparent ? DCRoutines.BltTransparent
                                         : DCRoutines.BltOpaque;
  blt(dc, dstRect.Left, dstRect.Top, RectWidth(dstRect), RectHeight(dstRect), this,
      srcRect.Left, srcRect.Top, RectWidth(srcRect), RectHeight(srcRect));
}

void TmvBitmap::DrawToBitmap(TmvBitmap* dst, int32_t x, int32_t y) {
  DrawRectToBitmap(dst, x, y, Rect(0, 0, FWidth, FHeight));
}

void TmvBitmap::DrawRectToBitmap(TmvBitmap* dst, int32_t x, int32_t y, const TRect& srcRect) {
  StretchToBitmap(dst, Rect(x, y, x + RectWidth(srcRect), y + RectHeight(srcRect)), srcRect);
}

void TmvBitmap::StretchToBitmap(TmvBitmap* dst, const TRect& dstRect, const TRect& srcRect) {
  const TStretchRoutine stretch = FAlphaBlend    ? PixelRoutines.StretchBlend
                                  : FTransparent ? PixelRoutines.StretchTransparent
                                                 : PixelRoutines.StretchOpaque;
  stretch(dst->Surface(), dstRect, dstRect, Surface(), srcRect);
}

void BltOpaque(HDC dc, int32_t dstX, int32_t dstY, int32_t dstW, int32_t dstH, TmvBitmap* src,
               int32_t srcX, int32_t srcY, int32_t srcW, int32_t srcH) {
  SetStretchBltMode(dc, COLORONCOLOR);
  StretchBlt(dc, dstX, dstY, dstW, dstH, src->DC(), srcX, srcY, srcW, srcH, SRCCOPY);
}

// Reads back what the device context shows, draws the source onto that copy
// with the source's own flags, and puts the result back.
void BltThroughSurface(HDC dc, int32_t dstX, int32_t dstY, int32_t dstW, int32_t dstH,
                       TmvBitmap* src, int32_t srcX, int32_t srcY, int32_t srcW,
                       int32_t srcH) {
  TmvBitmap temp;
  temp.SetSize(dstW, dstH);
  if (temp.Empty()) return;
  BitBlt(temp.DC(), 0, 0, dstW, dstH, dc, dstX, dstY, SRCCOPY);
  GdiFlush();  // GDI may batch the copy; the pixels are read directly next
  src->StretchToBitmap(&temp, Rect(0, 0, dstW, dstH),
                       Rect(srcX, srcY, srcX + srcW, srcY + srcH));
  BitBlt(dc, dstX, dstY, dstW, dstH, temp.DC(), 0, 0, SRCCOPY);
}

void BltTransparentGdi(HDC dc, int32_t dstX, int32_t dstY, int32_t dstW, int32_t dstH,
                       TmvBitmap* src, int32_t srcX, int32_t srcY, int32_t srcW,
                       int32_t srcH) {
  TransparentBltProc(dc, dstX, dstY, dstW, dstH, src->DC(), srcX, srcY, srcW, srcH,
                     TransparentKeyColor);
}

int32_t ScreenColorDepth() {
  HDC screen = GetDC(nullptr);
  const int32_t depth = GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES);
  ReleaseDC(nullptr, screen);
  return depth;
}

void InitializeBitmapUnit() {
  SetupPixelRoutines(ProcessorHasMMX());
  DCRoutines.BltOpaque = BltOpaque;
  DCRoutines.BltBlend = BltThroughSurface;
  DCRoutines.BltTransparent = TransparentBltAvailable && ScreenColorDepth() >= 24
                                  ? BltTransparentGdi
                                  : BltThroughSurface;
}

void FinalizeBitmapUnit() {
  // Surfaces that still exist are not touched; they find no list to leave.
  delete std::exchange(BitmapList, nullptr);
}
