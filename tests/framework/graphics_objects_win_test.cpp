// Drawing objects, canvas selection and the bitmap and picture classes.
#include <gtest/gtest.h>

#include "framework/graphics_objects_win.h"
#include "graphics/mv_bitmap.h"

namespace {

COLORREF PixelOf(const TmvBitmap& b, int x, int y) {
  TmvColor c = *b.PixelPtr(x, y);  // 0xAARRGGBB
  return RGB((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF);
}

TEST(ColorIdentsWin, MapBothWays) {
  struct Row { const char* Ident; TColor Value; };
  const Row rows[] = {{"clBlack", clBlack}, {"clWhite", clWhite}, {"clRed", clRed},
                      {"clBtnFace", clBtnFace}, {"clWindow", clWindow},
                      {"clWindowText", clWindowText}, {"clFuchsia", clFuchsia},
                      {"clHighlight", TColor(clSystemColor | COLOR_HIGHLIGHT)}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.Ident);
    TColor c = 0;
    ASSERT_TRUE(ColorFromIdent(r.Ident, c));
    EXPECT_EQ(c, r.Value);
    std::string back;
    ASSERT_TRUE(ColorToIdent(r.Value, back));
    EXPECT_EQ(back, r.Ident);
  }
  TColor c = 0;
  EXPECT_TRUE(ColorFromIdent("CLBTNFACE", c));
  EXPECT_EQ(c, clBtnFace);
  EXPECT_FALSE(ColorFromIdent("clNoSuchColour", c));
  std::string ident;
  EXPECT_FALSE(ColorToIdent(0x123456, ident));
  int32_t charset = 0;
  ASSERT_TRUE(CharsetFromIdent("DEFAULT_CHARSET", charset));
  EXPECT_EQ(charset, DEFAULT_CHARSET);
}

TEST(FontWin, SizeAndHeightFollowPixelsPerInch) {
  struct Row { int Ppi; int Size; int Height; };
  const Row rows[] = {{96, 8, -11}, {96, 12, -16}, {120, 8, -13}, {72, 10, -10}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.Ppi * 100 + r.Size);
    TFont f;
    f.SetPixelsPerInch(r.Ppi);
    f.SetSize(r.Size);
    EXPECT_EQ(f.Height(), r.Height);
    EXPECT_EQ(f.Size(), r.Size);
  }
}

TEST(FontWin, HandleIsCachedUntilChangedAndChangeIsReported) {
  TFont f;
  int changes = 0;
  f.OnChange = [&](TGraphicsObject*) { ++changes; };
  HFONT first = f.Handle();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(f.Handle(), first);
  f.SetStyle(FontStyleBit(fsBold));
  EXPECT_EQ(changes, 1);
  LOGFONTA lf{};
  ASSERT_NE(GetObjectA(f.Handle(), sizeof(lf), &lf), 0);
  EXPECT_EQ(lf.lfWeight, FW_BOLD);
  EXPECT_STREQ(lf.lfFaceName, "MS Sans Serif");
  f.SetStyle(FontStyleBit(fsBold));  // same value: no change
  EXPECT_EQ(changes, 1);
}

TEST(CanvasWin, SelectsItsObjectsAndRestoresTheOriginals) {
  HDC dc = CreateCompatibleDC(nullptr);
  ASSERT_NE(dc, nullptr);
  HGDIOBJ pen0 = GetCurrentObject(dc, OBJ_PEN);
  HGDIOBJ brush0 = GetCurrentObject(dc, OBJ_BRUSH);
  HGDIOBJ font0 = GetCurrentObject(dc, OBJ_FONT);
  {
    TCanvas canvas;
    canvas.SetHandle(dc);
    EXPECT_EQ(GetCurrentObject(dc, OBJ_PEN), canvas.Pen().Handle());
    EXPECT_EQ(GetCurrentObject(dc, OBJ_BRUSH), canvas.Brush().Handle());
    EXPECT_EQ(GetCurrentObject(dc, OBJ_FONT), canvas.Font().Handle());
    // A changed object is swapped in while selected.
    canvas.Pen().SetColor(clRed);
    canvas.Brush().SetColor(clLime);
    canvas.Font().SetHeight(-20);
    EXPECT_EQ(GetCurrentObject(dc, OBJ_PEN), canvas.Pen().Handle());
    EXPECT_EQ(GetCurrentObject(dc, OBJ_BRUSH), canvas.Brush().Handle());
    EXPECT_EQ(GetCurrentObject(dc, OBJ_FONT), canvas.Font().Handle());
    canvas.SetHandle(nullptr);
    EXPECT_EQ(GetCurrentObject(dc, OBJ_PEN), pen0);
    EXPECT_EQ(GetCurrentObject(dc, OBJ_BRUSH), brush0);
    EXPECT_EQ(GetCurrentObject(dc, OBJ_FONT), font0);
    canvas.SetHandle(dc);  // the destructor puts them back as well
  }
  EXPECT_EQ(GetCurrentObject(dc, OBJ_PEN), pen0);
  EXPECT_EQ(GetCurrentObject(dc, OBJ_BRUSH), brush0);
  EXPECT_EQ(GetCurrentObject(dc, OBJ_FONT), font0);
  DeleteDC(dc);
}

TEST(CanvasWin, DrawsWithItsBrushAndPen) {
  TmvBitmap surface;
  surface.SetSize(20, 20);
  surface.Fill(MakeColor(clWhite, 255));
  TCanvas canvas;
  canvas.SetHandle(surface.DC());
  canvas.Brush().SetColor(clBlue);
  canvas.FillRect(Rect(2, 2, 6, 6));
  canvas.Pen().SetColor(clRed);
  canvas.MoveTo(0, 10);
  canvas.LineTo(20, 10);
  canvas.SetHandle(nullptr);
  GdiFlush();
  EXPECT_EQ(PixelOf(surface, 2, 2), RGB(0, 0, 255));
  EXPECT_EQ(PixelOf(surface, 5, 5), RGB(0, 0, 255));
  EXPECT_EQ(PixelOf(surface, 6, 6), RGB(255, 255, 255));
  EXPECT_EQ(PixelOf(surface, 15, 10), RGB(255, 0, 0));
}

TEST(CanvasWin, WithoutHandleRaises) {
  TCanvas canvas;
  EXPECT_THROW(canvas.FillRect(Rect(0, 0, 1, 1)), EInvalidGraphicOperation);
}

TEST(BitmapWin, FormatsHandleTypesAndScanLines) {
  struct Row { TPixelFormat Format; TBitmapHandleType Type; bool HasScanLines; };
  const Row rows[] = {{TPixelFormat::pf32bit, TBitmapHandleType::bmDIB, true},
                      {TPixelFormat::pf24bit, TBitmapHandleType::bmDIB, true},
                      {TPixelFormat::pfDevice, TBitmapHandleType::bmDDB, false}};
  for (const Row& r : rows) {
    SCOPED_TRACE(int(r.Format));
    TBitmap b;
    b.SetPixelFormat(r.Format);
    b.SetSize(7, 5);
    EXPECT_EQ(b.HandleType(), r.Type);
    EXPECT_FALSE(b.Empty());
    ASSERT_NE(b.Handle(), nullptr);
    if (r.HasScanLines) {
      auto* row0 = static_cast<uint8_t*>(b.ScanLine(0));
      auto* row1 = static_cast<uint8_t*>(b.ScanLine(1));
      int bpp = r.Format == TPixelFormat::pf32bit ? 4 : 3;
      EXPECT_EQ(row1 - row0, ((7 * bpp + 3) / 4) * 4);  // rows are 4-byte aligned
      EXPECT_THROW(b.ScanLine(5), EInvalidGraphicOperation);
      EXPECT_THROW(b.ScanLine(-1), EInvalidGraphicOperation);
    } else {
      EXPECT_THROW(b.ScanLine(0), EInvalidGraphicOperation);
    }
  }
}

TEST(BitmapWin, HandleTypeSwitchesFormat) {
  TBitmap b;
  b.SetHandleType(TBitmapHandleType::bmDIB);
  EXPECT_EQ(b.PixelFormat(), TPixelFormat::pf32bit);
  b.SetHandleType(TBitmapHandleType::bmDDB);
  EXPECT_EQ(b.PixelFormat(), TPixelFormat::pfDevice);
}

TEST(BitmapWin, BadSizesRaiseAndLeaveTheBitmapAlone) {
  TBitmap b;
  b.SetPixelFormat(TPixelFormat::pf32bit);
  b.SetSize(4, 4);
  EXPECT_THROW(b.SetWidth(-1), EInvalidGraphicOperation);
  EXPECT_THROW(b.SetSize(100000, 100000), EOutOfResources);
  EXPECT_EQ(b.Width(), 4);
  EXPECT_EQ(b.Height(), 4);
  EXPECT_NE(b.Handle(), nullptr);
}

TEST(BitmapWin, CanvasPixelsSurviveResizeAndReachScanLines) {
  TBitmap b;
  b.SetPixelFormat(TPixelFormat::pf32bit);
  b.SetSize(4, 3);
  b.Canvas().Brush().SetColor(TColor(RGB(10, 20, 30)));
  b.Canvas().FillRect(Rect(0, 0, 4, 3));
  b.SetSize(6, 5);  // keeps the overlap, new pixels are white
  auto* row = static_cast<uint32_t*>(b.ScanLine(2));
  EXPECT_EQ(row[3] & 0xFFFFFF, 0x0A141Eu);
  EXPECT_EQ(row[5] & 0xFFFFFF, 0xFFFFFFu);
  auto* last = static_cast<uint32_t*>(b.ScanLine(4));
  EXPECT_EQ(last[0] & 0xFFFFFF, 0xFFFFFFu);
}

TEST(BitmapWin, DrawStretchesOntoACanvasAndAssignCopies) {
  TBitmap b;
  b.SetPixelFormat(TPixelFormat::pf24bit);
  b.SetSize(2, 2);
  b.Canvas().Brush().SetColor(clRed);
  b.Canvas().FillRect(Rect(0, 0, 2, 2));

  TmvBitmap surface;
  surface.SetSize(10, 10);
  surface.Fill(MakeColor(clWhite, 255));
  TCanvas canvas;
  canvas.SetHandle(surface.DC());
  canvas.StretchDraw(Rect(1, 1, 5, 5), b);
  canvas.Draw(8, 8, b);
  canvas.SetHandle(nullptr);
  GdiFlush();
  EXPECT_EQ(PixelOf(surface, 1, 1), RGB(255, 0, 0));
  EXPECT_EQ(PixelOf(surface, 4, 4), RGB(255, 0, 0));
  EXPECT_EQ(PixelOf(surface, 5, 5), RGB(255, 255, 255));
  EXPECT_EQ(PixelOf(surface, 9, 9), RGB(255, 0, 0));

  TBitmap copy;
  copy.Assign(&b);
  EXPECT_EQ(copy.PixelFormat(), TPixelFormat::pf24bit);
  EXPECT_EQ(copy.Width(), 2);
  b.Canvas().Brush().SetColor(clBlue);
  b.Canvas().FillRect(Rect(0, 0, 2, 2));  // the copy is independent
  auto* px = static_cast<uint8_t*>(copy.ScanLine(1));
  EXPECT_EQ(px[3 + 2], 255);  // red byte of pixel (1, 1)
  EXPECT_EQ(px[3 + 0], 0);
}

TEST(PictureWin, HoldsCopiesAndMakesBitmapsOnRequest) {
  TPicture picture;
  EXPECT_EQ(picture.Graphic(), nullptr);
  EXPECT_EQ(picture.Width(), 0);
  TBitmap& held = picture.Bitmap();
  EXPECT_EQ(picture.Graphic(), &held);
  held.SetSize(3, 2);
  EXPECT_EQ(picture.Width(), 3);

  TPicture other;
  other.Assign(&picture);
  ASSERT_NE(other.Graphic(), nullptr);
  EXPECT_NE(other.Graphic(), picture.Graphic());
  EXPECT_EQ(other.Height(), 2);

  TBitmap loose;
  loose.SetSize(5, 5);
  other.Assign(&loose);
  EXPECT_EQ(other.Width(), 5);

  TBitmap target;
  target.Assign(&picture);  // through the picture's AssignTo
  EXPECT_EQ(target.Width(), 3);
  other.Assign(nullptr);
  EXPECT_EQ(other.Graphic(), nullptr);
  TFont font;
  EXPECT_THROW(other.Assign(&font), EConvertError);
}

}  // namespace
