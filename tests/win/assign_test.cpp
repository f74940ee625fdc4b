#include <gtest/gtest.h>

#include "framework/exceptions.h"
#include "framework/graphics_objects_win.h"
#include "graphics/mv_bitmap.h"

namespace {

// A 32-bit DIB bitmap whose pixels are given row by row.
void Fill32(TBitmap& b, int32_t w, int32_t h, std::initializer_list<TmvColor> pixels) {
  b.SetPixelFormat(TPixelFormat::pf32bit);
  b.SetSize(w, h);
  GdiFlush();
  auto it = pixels.begin();
  for (int32_t y = 0; y < h; ++y) {
    auto* row = static_cast<TmvColor*>(b.ScanLine(y));
    for (int32_t x = 0; x < w; ++x) row[x] = *it++;
  }
}

TEST(BitmapAssign, FromAnotherSurfaceCopiesPixelsFlagsAndText) {
  TmvBitmap src, dst;
  src.SetSize(2, 1);
  src.Bits()[0] = 0x80123456;
  src.Bits()[1] = 0x00ABCDEF;
  src.FText = "title";
  src.FTransparent = true;
  src.FAlphaBlend = true;
  dst.Assign(&src);
  ASSERT_EQ(dst.Width(), 2);
  EXPECT_EQ(dst.Bits()[0], 0x80123456u);
  EXPECT_EQ(dst.Bits()[1], 0x00ABCDEFu);
  EXPECT_EQ(dst.FText, "title");
  EXPECT_TRUE(dst.FTransparent && dst.FAlphaBlend);
}

// A source without pixels must not be read: the copy has none either.
TEST(BitmapAssign, FromSourcesWithoutPixelsGivesAnEmptySurface) {
  TmvBitmap empty;
  TPicture nothing;
  TBitmap noBitmap;
  for (TPersistent* source : std::initializer_list<TPersistent*>{&empty, &nothing, &noBitmap}) {
    SCOPED_TRACE(source->ClassName());
    TmvBitmap dst;
    dst.SetSize(4, 4);
    dst.Assign(source);
    EXPECT_TRUE(dst.Empty());
    EXPECT_EQ(dst.Width(), 0);
    EXPECT_EQ(FindBitmapByDC(dst.DC()), nullptr);
    dst.SetSize(4, 4);  // and it can hold pixels again
    EXPECT_FALSE(dst.Empty());
  }
}

TEST(BitmapAssign, From32BitDibKeepsAlphaAndSetsBlending) {
  struct {
    const char* Name;
    TmvColor Pixel;
    bool Blend;
  } cases[] = {{"alpha 128", 0x80102030, true}, {"alpha 255", 0xFF102030, false},
               {"alpha 0", 0x00102030, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TBitmap source;
    Fill32(source, 2, 2, {0xFF000000, c.Pixel, 0xFF0000FF, 0x00FFFFFF});
    TmvBitmap dst;
    dst.Assign(&source);
    ASSERT_EQ(dst.Width(), 2);
    EXPECT_EQ(*dst.PixelPtr(1, 0), c.Pixel);
    EXPECT_EQ(*dst.PixelPtr(1, 1), 0x00FFFFFFu);
    EXPECT_EQ(dst.FAlphaBlend, c.Blend);
  }
}

TEST(BitmapAssign, From24BitBitmapIsOpaque) {
  TBitmap source;
  source.SetPixelFormat(TPixelFormat::pf24bit);
  source.SetSize(3, 2);
  source.Canvas().Brush().SetColor(TColor(RGB(10, 20, 30)));
  source.Canvas().FillRect(Rect(0, 0, 3, 2));
  TmvBitmap dst;
  dst.Assign(&source);
  ASSERT_EQ(dst.Width(), 3);
  for (int32_t i = 0; i < 6; ++i) EXPECT_EQ(dst.Bits()[i], 0xFF0A141Eu) << i;
}

TEST(BitmapAssign, ImportGraphicLeavesUncoveredPixels) {
  TBitmap graphic;
  graphic.SetPixelFormat(TPixelFormat::pf24bit);
  graphic.SetSize(2, 2);
  graphic.Canvas().Brush().SetColor(clLime);
  graphic.Canvas().FillRect(Rect(0, 0, 2, 2));
  TmvBitmap dst;
  dst.SetSize(4, 4);
  dst.Fill(0x11223344);
  dst.ImportGraphic(&graphic, Rect(1, 1, 3, 3));
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 4; ++x) {
      const bool inside = x >= 1 && x < 3 && y >= 1 && y < 3;
      EXPECT_EQ(*dst.PixelPtr(x, y) & 0x00FFFFFF, inside ? 0x00FF00u : 0x223344u) << x << "," << y;
    }
}

TEST(BitmapAssign, ToBitmapAndPicture) {
  TmvBitmap src;
  src.SetSize(2, 1);
  src.Bits()[0] = 0xFF0000FF;
  src.Bits()[1] = 0xFF00FF00;
  TBitmap bitmap;
  bitmap.Assign(&src);
  EXPECT_EQ(bitmap.PixelFormat(), TPixelFormat::pf32bit);
  ASSERT_EQ(bitmap.Width(), 2);
  GdiFlush();
  EXPECT_EQ(static_cast<TmvColor*>(bitmap.ScanLine(0))[1] & 0x00FFFFFF, 0x00FF00u);
  TPicture picture;
  picture.Assign(&src);
  ASSERT_NE(dynamic_cast<TBitmap*>(picture.Graphic()), nullptr);
  EXPECT_EQ(picture.Width(), 2);
}

TEST(BitmapAssign, UnrelatedClassesAreRefused) {
  TmvBitmap dst;
  TFont font;
  try {
    dst.Assign(&font);
    FAIL() << "no exception";
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "Cannot assign a TFont to a TmvBitmap");
  }
}

}  // namespace
