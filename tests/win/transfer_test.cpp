#include <gtest/gtest.h>

#include "graphics/mv_bitmap.h"
#include "win/surface_support.h"

namespace {

// A surface of the given pixels, row by row.
void Load(TmvBitmap& b, int32_t w, int32_t h, std::initializer_list<TmvColor> pixels) {
  b.SetSize(w, h);
  std::copy(pixels.begin(), pixels.end(), b.Bits());
}

TEST(SurfaceToSurface, OpaqueSameSizeCopiesAlphaBytes) {
  TmvBitmap src, dst;
  Load(src, 2, 2, {0x00000001, 0x80000002, 0xFF7F007F, 0x01FFFFFF});
  dst.SetSize(2, 2);
  dst.Fill(0xDEADBEEF);
  src.DrawToBitmap(&dst, 0, 0);
  EXPECT_TRUE(std::equal(src.Bits(), src.Bits() + 4, dst.Bits()));
}

TEST(SurfaceToSurface, FlagsChooseTheTransfer) {
  struct {
    const char* Name;
    bool AlphaBlend, Transparent;
    TmvColor Expected[2];
  } cases[] = {
      {"opaque", false, false, {0x807F007F, 0x80FFFFFF}},
      {"colour-keyed", false, true, {0xFF000000, 0xFFFFFFFF}},
      {"blended wins over colour-keyed", true, true, {0xFF3F003F, 0xFF7F7F7F}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TmvBitmap src, dst;
    Load(src, 2, 1, {0x807F007F, 0x80FFFFFF});
    src.FAlphaBlend = c.AlphaBlend;
    src.FTransparent = c.Transparent;
    dst.SetSize(2, 1);
    dst.Fill(0xFF000000);
    src.DrawToBitmap(&dst, 0, 0);
    TmvColor expected[2] = {c.Expected[0], c.Expected[1]};
    if (c.AlphaBlend) {  // whichever blend this machine's table holds
      TmvColor s[2] = {0x807F007F, 0x80FFFFFF};
      expected[0] = expected[1] = 0xFF000000;
      PixelRoutines.BlendRow(s, expected, 2);
    }
    EXPECT_EQ(*dst.PixelPtr(0, 0), expected[0]);
    EXPECT_EQ(*dst.PixelPtr(1, 0), expected[1]);
  }
}

TEST(SurfaceToSurface, DrawRectToBitmapPlacesTheSourceRect) {
  TmvBitmap src, dst;
  Load(src, 3, 2, {1, 2, 3, 4, 5, 6});
  dst.SetSize(4, 3);
  dst.Fill(0);
  src.DrawRectToBitmap(&dst, 2, 1, Rect(1, 0, 3, 2));
  EXPECT_EQ(*dst.PixelPtr(2, 1), 2u);
  EXPECT_EQ(*dst.PixelPtr(3, 1), 3u);
  EXPECT_EQ(*dst.PixelPtr(2, 2), 5u);
  EXPECT_EQ(*dst.PixelPtr(3, 2), 6u);
  EXPECT_EQ(*dst.PixelPtr(1, 1), 0u);
}

// Drawing into a surface's device context goes to that surface directly,
// shifted by the context's window origin.
TEST(SurfaceToDC, AnotherSurfacesContextHonoursWindowOrigin) {
  TmvBitmap src, dst;
  Load(src, 1, 1, {0xFF00FF00});
  dst.SetSize(40, 40);
  for (const POINT origin : {POINT{0, 0}, POINT{10, 20}}) {
    dst.Fill(0);
    SetWindowOrgEx(dst.DC(), origin.x, origin.y, nullptr);
    src.DrawToDC(dst.DC(), 15, 25);
    EXPECT_EQ(*dst.PixelPtr(15 - origin.x, 25 - origin.y), 0xFF00FF00u);
  }
  SetWindowOrgEx(dst.DC(), 0, 0, nullptr);
}

TEST(SurfaceToDC, OpaqueStretchesThroughGdi) {
  TmvBitmap src;
  Load(src, 2, 1, {0xFFFF0000, 0xFF0000FF});
  TForeignSurface dc(4, 2, 0);
  src.StretchToDC(dc.DC(), Rect(0, 0, 4, 2), Rect(0, 0, 2, 1));
  EXPECT_EQ(dc.Rgb(0, 0), 0xFF0000u);
  EXPECT_EQ(dc.Rgb(1, 1), 0xFF0000u);
  EXPECT_EQ(dc.Rgb(2, 0), 0x0000FFu);
  EXPECT_EQ(dc.Rgb(3, 1), 0x0000FFu);
}

// Both colour-keyed routes leave key pixels alone and draw the others.
TEST(SurfaceToDC, ColourKeyedBothRoutes) {
  for (TBltRoutine blt : {BltTransparentGdi, BltThroughSurface}) {
    SCOPED_TRACE(blt == BltTransparentGdi ? "TransparentBlt" : "through a surface");
    TmvBitmap src;
    // Wine's TransparentBlt compares all 32 bits, so the key pixel has alpha 0.
    Load(src, 2, 1, {0x007F007F, 0xFF123456});
    src.FTransparent = true;
    TForeignSurface dc(4, 1, 0x00445566);
    blt(dc.DC(), 1, 0, 2, 1, &src, 0, 0, 2, 1);
    EXPECT_EQ(dc.Rgb(0, 0), 0x445566u);
    EXPECT_EQ(dc.Rgb(1, 0), 0x445566u);
    EXPECT_EQ(dc.Rgb(2, 0), 0x123456u);
    EXPECT_EQ(dc.Rgb(3, 0), 0x445566u);
  }
}

TEST(SurfaceToDC, BlendedThroughATemporarySurface) {
  TmvBitmap src;
  Load(src, 1, 1, {0x80FFFFFF});
  src.FAlphaBlend = true;
  TForeignSurface dc(3, 1, 0xFF000000);
  src.StretchToDC(dc.DC(), Rect(1, 0, 2, 1), Rect(0, 0, 1, 1));
  EXPECT_EQ(dc.Rgb(0, 0), 0u);
  EXPECT_EQ(dc.Rgb(1, 0), 0x7F7F7Fu);  // both blends give 0x7F on black
  EXPECT_EQ(dc.Rgb(2, 0), 0u);
}

}  // namespace
