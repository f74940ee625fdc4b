#pragma once
// TmvBitmap: an off-screen 32-bit surface, a top-down DIB section selected into
// a memory device context of its own, so that GDI can draw on the same pixels
// that the pixel routines read and write as 32-bit words.
#include <windows.h>

#include <string>
#include <vector>

#include "framework/persistent.h"
#include "graphics/pixel_routines.h"
#include "platform/colors.h"

class TCanvas;
class TGraphic;

class TmvBitmap;
using TBltRoutine = void (*)(HDC dc, int32_t dstX, int32_t dstY, int32_t dstW, int32_t dstH,
                             TmvBitmap* src, int32_t srcX, int32_t srcY, int32_t srcW,
                             int32_t srcH);

// Transfers from a surface to a device context; filled at unit start.
struct TDCRoutines {
  TBltRoutine BltOpaque = nullptr;
  TBltRoutine BltBlend = nullptr;
  TBltRoutine BltTransparent = nullptr;
};
extern TDCRoutines DCRoutines;

class TmvBitmap : public TPersistent {
  TmvColor* FBits = nullptr;  // first pixel of the top row; owned by FHandle
  int32_t FWidth = 0;
  int32_t FHeight = 0;
  BITMAPINFO FBitmapInfo{};
  HBITMAP FHandle = nullptr;
  HDC FDC = nullptr;  // FBits, FHandle and FDC are all set or all empty

  void ReleaseHandles();
  // No pixels and no size: what a copy of a surface without pixels is.
  void Clear();
  void AssignThroughGdi(class TBitmap& bitmap);

protected:
  void AssignTo(TPersistent* dest) override;

public:
  MV_CLASS_NAME(TmvBitmap)
  std::string FText;          // carried with the pixels, read by nobody here
  bool FAlphaBlend = false;   // transfers out of the surface blend (wins over FTransparent)
  bool FTransparent = false;  // transfers out of the surface skip TransparentKeyColor

  TmvBitmap();
  ~TmvBitmap() override;
  TmvBitmap(const TmvBitmap&) = delete;
  TmvBitmap& operator=(const TmvBitmap&) = delete;

  // Negative sizes count as positive; a zero one changes nothing. Raises
  // Exception when the system gives no DIB section or device context; the
  // surface then holds no pixels, keeps its old Width and Height, and a later
  // SetSize to that size allocates again.
  void SetSize(int32_t width, int32_t height);
  bool Empty() const { return FHandle == nullptr; }

  TmvColor* Bits() const { return FBits; }
  int32_t Width() const { return FWidth; }
  int32_t Height() const { return FHeight; }
  HDC DC() const { return FDC; }
  HBITMAP Handle() const { return FHandle; }
  const BITMAPINFO& BitmapInfo() const { return FBitmapInfo; }
  // The pixels as the routines see them: 0 x 0 while the surface holds none.
  TPixelSurface Surface() const;

  // No bounds checks; nil while the surface holds no pixels.
  TmvColor* ScanLine(int32_t row) const { return Surface().ScanLine(row); }
  TmvColor* PixelPtr(int32_t x, int32_t y) const { return Surface().PixelPtr(x, y); }
  void SetPixel(int32_t x, int32_t y, TmvColor color);

  void Fill(TmvColor color);
  void SetAlpha(uint8_t alpha);
  void CheckAlpha();
  void FillRect(const TRect& rect, TmvColor color);

  // Copies another surface, a bitmap, a picture or any graphic. A source
  // without pixels leaves this surface without pixels too.
  void Assign(TPersistent* source) override;
  // Renders graphic into rect; what the graphic leaves uncovered keeps its pixels.
  void ImportGraphic(TGraphic* graphic, const TRect& rect);
  void DrawToCanvas(TCanvas& canvas, int32_t x, int32_t y);

  void DrawToDC(HDC dc, int32_t x, int32_t y);
  void DrawRectToDC(HDC dc, int32_t x, int32_t y, const TRect& srcRect);
  void StretchToDC(HDC dc, const TRect& dstRect, const TRect& srcRect);
  void DrawToBitmap(TmvBitmap* dst, int32_t x, int32_t y);
  void DrawRectToBitmap(TmvBitmap* dst, int32_t x, int32_t y, const TRect& srcRect);
  void StretchToBitmap(TmvBitmap* dst, const TRect& dstRect, const TRect& srcRect);
};

TmvColor ColorRefToColor(COLORREF c);
TmvColor MakeColor(TColor color, uint8_t alpha);

// Every surface that owns a device context, in the order it acquired one.
// Created at the first registration; nil before.
extern std::vector<TmvBitmap*>* BitmapList;
void RegisterBitmap(TmvBitmap* b);
void UnregisterBitmap(TmvBitmap* b);
TmvBitmap* FindBitmapByDC(HDC dc);

// The device-context transfers that the table chooses from.
void BltOpaque(HDC dc, int32_t dstX, int32_t dstY, int32_t dstW, int32_t dstH, TmvBitmap* src,
               int32_t srcX, int32_t srcY, int32_t srcW, int32_t srcH);
void BltThroughSurface(HDC dc, int32_t dstX, int32_t dstY, int32_t dstW, int32_t dstH,
                       TmvBitmap* src, int32_t srcX, int32_t srcY, int32_t srcW, int32_t srcH);
void BltTransparentGdi(HDC dc, int32_t dstX, int32_t dstY, int32_t dstW, int32_t dstH,
                       TmvBitmap* src, int32_t srcX, int32_t srcY, int32_t srcW, int32_t srcH);
int32_t ScreenColorDepth();

void InitializeBitmapUnit();
void FinalizeBitmapUnit();
