#include <gtest/gtest.h>

#include <array>

#include "graphics/pixel_rows.h"
#include "support.h"

namespace {

using TBlend = void (*)(const TmvColor*, TmvColor*, int32_t);

struct TBlendImpl {
  const char* Name;
  TBlend Blend;
  bool Mmx;
};

std::vector<TBlendImpl> BlendImpls() {
  std::vector<TBlendImpl> impls{{"portable", BlendRowPortable, false}};
#ifdef KRIBBEL_HAVE_MMX_BLEND
  impls.push_back({"mmx", BlendRowMMX, true});
#endif
  return impls;
}

// The two formulas written out per byte, independent of the implementations.
TmvColor ReferenceBlend(TmvColor s, TmvColor d, bool mmx) {
  const uint32_t a = s >> 24;
  if (a == 0) return d;
  if (a == 255) return s;
  TmvColor out = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    const uint32_t sc = (s >> shift) & 0xFF, dc = (d >> shift) & 0xFF;
    uint32_t c;
    if (mmx)
      c = (sc * a + dc * (256 - a)) / 256;
    else
      c = shift == 24 ? 255 : (sc * a + dc * (255 - a)) / 256;
    out |= c << shift;
  }
  return out;
}

TEST(BlendRow, KnownPixels) {
  struct {
    TmvColor Src, Dst, Portable, Mmx;
  } cases[] = {
      {0x80FFFFFF, 0xFF000000, 0xFF7F7F7F, 0xBF7F7F7F},  // white at 128 onto black
      {0x80FFFFFF, 0xFFFFFFFF, 0xFFFEFEFE, 0xBFFFFFFF},  // ... and onto white
      {0x01FFFFFF, 0x00000000, 0xFF000000, 0x00000000},  // alpha 1 onto transparent black
      {0x00123456, 0x89ABCDEF, 0x89ABCDEF, 0x89ABCDEF},  // alpha 0 leaves the destination
      {0xFF123456, 0x89ABCDEF, 0xFF123456, 0xFF123456},  // alpha 255 copies the source
  };
  for (const TBlendImpl& impl : BlendImpls())
    for (const auto& c : cases) {
      SCOPED_TRACE(testing::Message() << impl.Name << " src " << std::hex << c.Src);
      TmvColor d = c.Dst;
      impl.Blend(&c.Src, &d, 1);
      EXPECT_EQ(d, impl.Mmx ? c.Mmx : c.Portable);
    }
}

TEST(BlendRow, MatchesFormulaOnRandomRows) {
  TXorShift rng(12345);
  for (const TBlendImpl& impl : BlendImpls())
    for (int run = 0; run < 200; ++run) {
      const int32_t n = rng.Range(0, 70);
      std::vector<TmvColor> src(static_cast<size_t>(n)), dst(static_cast<size_t>(n));
      for (int32_t i = 0; i < n; ++i) {
        src[size_t(i)] = rng.Next();
        dst[size_t(i)] = rng.Next();
      }
      std::vector<TmvColor> expected = dst;
      for (int32_t i = 0; i < n; ++i)
        expected[size_t(i)] = ReferenceBlend(src[size_t(i)], dst[size_t(i)], impl.Mmx);
      impl.Blend(src.data(), dst.data(), n);
      ASSERT_EQ(dst, expected) << impl.Name << " run " << run;
    }
}

TEST(BlendRow, NonPositiveCountTouchesNothing) {
  for (const TBlendImpl& impl : BlendImpls()) {
    TmvColor s = 0x80FFFFFF, d = 0xFF000000;
    impl.Blend(&s, &d, 0);
    impl.Blend(&s, &d, -3);
    EXPECT_EQ(d, 0xFF000000u) << impl.Name;
  }
}

TEST(TransparentRow, SkipsKeyColourWhateverItsAlpha) {
  const std::array<TmvColor, 4> src{0x007F007F, 0xFF7F007F, 0x0012ABCD, 0x807F0080};
  std::array<TmvColor, 4> dst{1, 2, 3, 4};
  TransparentRow(src.data(), dst.data(), 4);
  EXPECT_EQ(dst, (std::array<TmvColor, 4>{1, 2, 0xFF12ABCD, 0xFF7F0080}));
}

TEST(MoveColors, CopiesInAscendingOrder) {
  // Overlapping forward: the leading pixels repeat, as an ascending copy does.
  std::vector<TmvColor> p{1, 2, 3, 4, 5, 6};
  MoveColors(p.data(), p.data() + 2, 4);
  EXPECT_EQ(p, (std::vector<TmvColor>{1, 2, 1, 2, 1, 2}));
  // Overlapping backward behaves like a plain move.
  p = {1, 2, 3, 4, 5, 6};
  MoveColors(p.data() + 2, p.data(), 4);
  EXPECT_EQ(p, (std::vector<TmvColor>{3, 4, 5, 6, 5, 6}));
  p = {1, 2, 3};
  MoveColors(p.data(), p.data(), 3);
  MoveColors(p.data(), p.data() + 1, -1);
  EXPECT_EQ(p, (std::vector<TmvColor>{1, 2, 3}));
}

TEST(FillColors, FillsRunsAndRectangles) {
  std::vector<TmvColor> p(5, 7);
  FillColors(p.data() + 1, 3, 9);
  FillColors(p.data(), 0, 1);
  EXPECT_EQ(p, (std::vector<TmvColor>{7, 9, 9, 9, 7}));

  TTestSurface s(4, 3, 0);
  FillColorsRect(s.Pixels.data(), 4, 5, 1, 1, 2, 2);  // last column and row included
  EXPECT_EQ(s.Pixels, (std::vector<TmvColor>{0, 0, 0, 0, 0, 5, 5, 0, 0, 5, 5, 0}));
}

TEST(SetAlphaBytes, ChangesOnlyAlpha) {
  std::vector<TmvColor> p{0x00123456, 0xFFABCDEF, 0x80000000};
  SetAlphaBytes(p.data(), 2, 0x40);
  EXPECT_EQ(p, (std::vector<TmvColor>{0x40123456, 0x40ABCDEF, 0x80000000}));
}

}  // namespace
