// TmvBitmap in the framework's copy protocol: surfaces, bitmaps, pictures
// and other graphics.
#include <windows.h>

#include "framework/graphics_objects_win.h"
#include "graphics/mv_bitmap.h"

namespace {
constexpr TColor ImportBackground = clFuchsia;  // RGB(255, 0, 255)
}

void TmvBitmap::AssignThroughGdi(TBitmap& bitmap) {
  SetSize(bitmap.Width(), bitmap.Height());
  if (Empty()) return;
  BitBlt(FDC, 0, 0, FWidth, FHeight, bitmap.Canvas().Handle(), 0, 0, SRCCOPY);
  GdiFlush();
  SetAlpha(255);
}

void TmvBitmap::Assign(TPersistent* source) {
  if (auto* surface = dynamic_cast<TmvBitmap*>(source)) {
    if (surface == this) return;
    if (surface->Empty()) {
      Clear();
    } else {
      SetSize(surface->FWidth, surface->FHeight);
      if (Empty()) return;
      PixelRoutines.MoveColors(surface->FBits, FBits, FWidth * FHeight);
    }
    FText = surface->FText;
    FTransparent = surface->FTransparent;
    FAlphaBlend = surface->FAlphaBlend;
    return;
  }
  if (auto* bitmap = dynamic_cast<TBitmap*>(source)) {
    if (bitmap->Empty()) {
      Clear();
      return;
    }
    if (bitmap->PixelFormat() == TPixelFormat::pf32bit &&
        bitmap->HandleType() == TBitmapHandleType::bmDIB) {
      SetSize(bitmap->Width(), bitmap->Height());
      GdiFlush();
      for (int32_t y = 0; y < FHeight; ++y) {
        const auto* row = static_cast<const TmvColor*>(bitmap->ScanLine(y));
        PixelRoutines.MoveColors(row, ScanLine(y), FWidth);
      }
      CheckAlpha();
      return;
    }
    AssignThroughGdi(*bitmap);
    return;
  }
  if (auto* picture = dynamic_cast<TPicture*>(source)) {
    TGraphic* graphic = picture->Graphic();
    if (!graphic || graphic->Empty()) {
      Clear();  // nothing to copy from
    } else if (auto* pictureBitmap = dynamic_cast<TBitmap*>(graphic)) {
      AssignThroughGdi(*pictureBitmap);  // a picture's bitmap never takes the 32-bit path
    } else {
      SetSize(graphic->Width(), graphic->Height());
      if (Empty()) return;
      ImportGraphic(graphic, Rect(0, 0, FWidth, FHeight));
      SetAlpha(255);
    }
    return;
  }
  if (auto* graphic = dynamic_cast<TGraphic*>(source)) {
    if (graphic->Empty()) {
      Clear();
      return;
    }
    SetSize(graphic->Width(), graphic->Height());
    if (Empty()) return;
    ImportGraphic(graphic, Rect(0, 0, FWidth, FHeight));
    SetAlpha(255);
    return;
  }
  TPersistent::Assign(source);
}

void TmvBitmap::AssignTo(TPersistent* dest) {
  TBitmap* bitmap = dynamic_cast<TBitmap*>(dest);
  if (auto* picture = dynamic_cast<TPicture*>(dest)) bitmap = &picture->Bitmap();
  if (!bitmap) {
    TPersistent::AssignTo(dest);
    return;
  }
  bitmap->SetPixelFormat(TPixelFormat::pf32bit);
  bitmap->SetSize(FWidth, FHeight);
  if (Empty()) return;
  DrawToCanvas(bitmap->Canvas(), 0, 0);
}

void TmvBitmap::ImportGraphic(TGraphic* graphic, const TRect& rect) {
  if (Empty() || !graphic) return;
  TBitmap temp;
  temp.SetPixelFormat(TPixelFormat::pf32bit);
  temp.SetSize(FWidth, FHeight);
  TCanvas& canvas = temp.Canvas();
  canvas.Brush().SetColor(ImportBackground);
  canvas.Rectangle(-1, -1, FWidth + 1, FHeight + 1);  // the outline falls outside
  canvas.StretchDraw(rect, *graphic);
  GdiFlush();
  for (int32_t y = 0; y < FHeight; ++y) {
    const auto* row = static_cast<const TmvColor*>(temp.ScanLine(y));
    for (int32_t x = 0; x < FWidth; ++x)
      if ((row[x] & 0x00FFFFFF) != 0x00FF00FF) SetPixel(x, y, row[x]);
  }
}

void TmvBitmap::DrawToCanvas(TCanvas& canvas, int32_t x, int32_t y) {
  DrawToDC(canvas.Handle(), x, y);
}
