#include <gtest/gtest.h>

#include <algorithm>

#include "graphics/mv_bitmap.h"
#include "platform/exceptions.h"

namespace {

int ListCount(const TmvBitmap* b) {
  return BitmapList ? int(std::count(BitmapList->begin(), BitmapList->end(), b)) : 0;
}

TEST(BitmapSize, NewSurfaceIsEmpty) {
  TmvBitmap b;
  EXPECT_TRUE(b.Empty());
  EXPECT_EQ(b.Bits(), nullptr);
  EXPECT_EQ(b.DC(), nullptr);
  EXPECT_EQ(b.Width(), 0);
  EXPECT_FALSE(b.FAlphaBlend || b.FTransparent);
  const BITMAPINFOHEADER& h = b.BitmapInfo().bmiHeader;
  EXPECT_EQ(h.biSize, 40u);
  EXPECT_EQ(h.biBitCount, 32);
  EXPECT_EQ(h.biCompression, DWORD(BI_RGB));
}

TEST(BitmapSize, SizesTable) {
  struct {
    int32_t W, H, ExpectW, ExpectH;
    bool Empty;
  } cases[] = {
      {-10, 5, 10, 5, false},  // negative sizes count as positive
      {10, -5, 10, 5, false},
      {0, 5, 0, 0, true},  // a zero size changes nothing, even on an empty surface
      {5, 0, 0, 0, true},
      {1, 1, 1, 1, false},
  };
  for (const auto& c : cases) {
    TmvBitmap b;
    b.SetSize(c.W, c.H);
    EXPECT_EQ(b.Width(), c.ExpectW) << c.W << "x" << c.H;
    EXPECT_EQ(b.Height(), c.ExpectH) << c.W << "x" << c.H;
    EXPECT_EQ(b.Empty(), c.Empty);
    if (!c.Empty) {
      EXPECT_EQ(b.BitmapInfo().bmiHeader.biHeight, -c.ExpectH);  // top-down
      EXPECT_EQ(ListCount(&b), 1);
    }
  }
}

TEST(BitmapSize, SameSizeKeepsPixelsAndOtherSizeReallocates) {
  TmvBitmap b, other;
  b.SetSize(4, 3);
  other.SetSize(2, 2);
  b.Fill(0x12345678);
  TmvColor* bits = b.Bits();
  HDC dc = b.DC();
  b.SetSize(-4, 3);
  b.SetSize(4, 0);
  EXPECT_EQ(b.Bits(), bits);
  EXPECT_EQ(b.DC(), dc);
  EXPECT_EQ(*b.PixelPtr(3, 2), 0x12345678u);
  ASSERT_EQ(BitmapList->back(), &other);

  b.SetSize(5, 3);
  EXPECT_EQ(b.Width(), 5);
  EXPECT_EQ(ListCount(&b), 1);
  EXPECT_EQ(BitmapList->back(), &b);  // left the list and came back at its end
  EXPECT_EQ(FindBitmapByDC(b.DC()), &b);
}

TEST(BitmapSize, DestroyLeavesTheList) {
  HDC dc;
  {
    TmvBitmap b;
    b.SetSize(2, 2);
    dc = b.DC();
    EXPECT_NE(FindBitmapByDC(dc), nullptr);
  }
  EXPECT_EQ(FindBitmapByDC(dc), nullptr);
}

TEST(BitmapSize, RefusedSizeLeavesNoPixelsAndAllocatesAgainLater) {
  struct {
    int32_t W, H;
  } cases[] = {{30000, 30000}, {65536, 65536}, {INT32_MIN, 2}, {2, INT32_MIN}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.W << "x" << c.H);
    TmvBitmap b;
    b.SetSize(8, 6);
    try {
      b.SetSize(c.W, c.H);
      FAIL() << "no exception";
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message(), "Can't allocate the DIB handle");
    }
    EXPECT_TRUE(b.Empty());
    EXPECT_EQ(b.Bits(), nullptr);
    EXPECT_EQ(b.DC(), nullptr);
    EXPECT_EQ(ListCount(&b), 0);
    EXPECT_EQ(b.Width(), 8);  // the old size is still reported ...
    EXPECT_EQ(b.Height(), 6);
    // ... but nothing addresses pixels that are not there,
    b.Fill(1);
    b.FillRect(Rect(0, 0, 8, 6), 1);
    b.SetPixel(1, 1, 1);
    b.CheckAlpha();
    TmvBitmap source;
    source.SetSize(8, 6);
    source.DrawToBitmap(&b, 0, 0);
    b.DrawToBitmap(&source, 0, 0);
    // ... and the same size really allocates again.
    b.SetSize(8, 6);
    EXPECT_FALSE(b.Empty());
    EXPECT_EQ(ListCount(&b), 1);
  }
}

TEST(BitmapPixels, LayoutIsTopDownWithWidthStride) {
  TmvBitmap b;
  b.SetSize(5, 4);
  EXPECT_EQ(b.ScanLine(2), b.Bits() + 10);
  EXPECT_EQ(b.PixelPtr(3, 2), b.Bits() + 13);
  // GDI draws on the very same pixels: row 0 is the top row.
  HBRUSH brush = CreateSolidBrush(RGB(10, 20, 30));
  RECT r{1, 0, 2, 1};
  ::FillRect(b.DC(), &r, brush);
  DeleteObject(brush);
  GdiFlush();
  EXPECT_EQ(*b.PixelPtr(1, 0) & 0x00FFFFFF, 0x0A141Eu);
}

TEST(BitmapPixels, SetPixelOnlyInside) {
  TmvBitmap b;
  b.SetSize(3, 2);
  b.Fill(0);
  const struct {
    int32_t X, Y;
  } outside[] = {{3, 0}, {0, 2}, {-1, 0}, {0, -1}};
  for (const auto& p : outside) b.SetPixel(p.X, p.Y, 9);
  for (int32_t i = 0; i < 6; ++i) EXPECT_EQ(b.Bits()[i], 0u);
  b.SetPixel(2, 1, 9);
  EXPECT_EQ(*b.PixelPtr(2, 1), 9u);
}

TEST(BitmapPixels, FillSetAlphaAndCheckAlpha) {
  TmvBitmap b;
  b.Fill(5);  // empty: nothing happens
  b.SetAlpha(5);
  b.CheckAlpha();
  EXPECT_FALSE(b.FAlphaBlend);
  b.SetSize(4, 4);
  b.Fill(0x00ABCDEF);
  EXPECT_TRUE(std::all_of(b.Bits(), b.Bits() + 16, [](TmvColor c) { return c == 0x00ABCDEF; }));
  b.SetAlpha(0x80);
  EXPECT_EQ(*b.PixelPtr(3, 3), 0x80ABCDEFu);

  struct {
    TmvColor Pixel;
    bool Blend;
  } cases[] = {{0x00000000, false}, {0xFF000000, false}, {0x01000000, true}, {0xFE123456, true}};
  for (const auto& c : cases) {
    b.Fill(0xFF000000);
    b.SetPixel(1, 0, 0);
    b.SetPixel(2, 3, c.Pixel);
    b.CheckAlpha();
    EXPECT_EQ(b.FAlphaBlend, c.Blend) << std::hex << c.Pixel;
  }
}

TEST(BitmapPixels, FillRectClipsAndBlends) {
  struct {
    const char* Name;
    TRect R;
    TmvColor Color;
    bool Blend;
    int Changed;  // pixels that change from the background
  } cases[] = {
      {"cut at the top left", Rect(-5, -5, 3, 3), 0xFF112233, false, 9},
      {"entirely outside", Rect(10, 0, 20, 10), 0xFF112233, false, 0},
      {"empty", Rect(4, 4, 4, 8), 0xFF112233, false, 0},
      {"whole surface and beyond", Rect(-1, -1, 11, 11), 0x00112233, false, 100},
      {"blended with alpha 0", Rect(0, 0, 10, 10), 0x00FFFFFF, true, 0},
      {"blended with alpha 128", Rect(2, 2, 4, 5), 0x80FFFFFF, true, 6},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TmvBitmap b;
    b.SetSize(10, 10);
    b.Fill(0xFF000000);
    b.FAlphaBlend = c.Blend;
    b.FillRect(c.R, c.Color);
    int changed = 0;
    for (int32_t y = 0; y < 10; ++y)
      for (int32_t x = 0; x < 10; ++x) {
        const TmvColor p = *b.PixelPtr(x, y);
        if (p == 0xFF000000) continue;
        ++changed;
        EXPECT_TRUE(x >= c.R.Left && x < c.R.Right && y >= c.R.Top && y < c.R.Bottom);
        TmvColor expected = c.Color;
        if (c.Blend) {
          expected = 0xFF000000;
          PixelRoutines.BlendRow(&c.Color, &expected, 1);
        }
        EXPECT_EQ(p, expected);
      }
    EXPECT_EQ(changed, c.Changed);
  }
}

TEST(BitmapColors, MakeColorAndColorRef) {
  EXPECT_EQ(MakeColor(clRed, 128), 0x80FF0000u);
  EXPECT_EQ(MakeColor(clRed, 255), 0xFFFF0000u);
  EXPECT_EQ(MakeColor(clBlack, 0), 0u);
  EXPECT_EQ(MakeColor(clBlue, 1), 0x010000FFu);
  const COLORREF window = GetSysColor(COLOR_WINDOW);
  EXPECT_EQ(MakeColor(clWindow, 0x40),
            0x40000000u | (GetRValue(window) << 16) | (GetGValue(window) << 8) | GetBValue(window));
  EXPECT_EQ(ColorRefToColor(RGB(1, 2, 3)), 0xFF010203u);
}

TEST(BitmapUnit, RoutineTableChoosesForThisMachine) {
  // This processor has MMX, the screen 24 bits or more and msimg32 TransparentBlt.
  EXPECT_EQ(PixelRoutines.BlendRow, BlendRowMMX);
  EXPECT_GE(ScreenColorDepth(), 24);
  EXPECT_EQ(DCRoutines.BltTransparent, BltTransparentGdi);
  EXPECT_EQ(DCRoutines.BltOpaque, BltOpaque);
  EXPECT_EQ(DCRoutines.BltBlend, BltThroughSurface);
  EXPECT_EQ(PixelRoutines.StretchOpaque, StretchOpaque);
}

}  // namespace
