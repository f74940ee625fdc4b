#include <gtest/gtest.h>

#include "golden.h"
#include "platform/exceptions.h"
#include "support.h"

namespace {

std::vector<int32_t> SampleMap(int32_t srcFirst, int32_t srcCount, int32_t dstCount,
                               int32_t offset = 0, int32_t count = -1) {
  if (count < 0) count = dstCount;
  std::vector<int32_t> map(static_cast<size_t>(count));
  BuildSampleMap(srcFirst, srcCount, dstCount, offset, count, map.data());
  return map;
}

TEST(SampleMap, KnownScalings) {
  EXPECT_EQ(SampleMap(0, 4, 7), (std::vector<int32_t>{0, 0, 1, 1, 2, 2, 3}));
  // 10/3 as a float lies just below 10/3: the last column truncates to 9.
  EXPECT_EQ(SampleMap(0, 11, 4), (std::vector<int32_t>{0, 3, 6, 9}));
  EXPECT_EQ(SampleMap(0, 640, 480).back(), 638);
  // 479/639 rounds down as a float: upscaling can stop one short of the edge.
  EXPECT_EQ(SampleMap(0, 480, 640).back(), 478);
  // A destination of one samples the middle, in integer division.
  EXPECT_EQ(SampleMap(2, 5, 1), (std::vector<int32_t>{4}));
  EXPECT_EQ(SampleMap(3, 4, 1), (std::vector<int32_t>{4}));
  // An offset into the destination run samples as the uncut run does.
  EXPECT_EQ(SampleMap(0, 4, 7, 3, 3), (std::vector<int32_t>{1, 2, 2}));
}

TEST(SampleMap, SameOnEveryBuild) { EXPECT_EQ(SampleMapChecksum(), GoldenSampleMapChecksum); }

enum class TKind { Opaque, Transparent, Blend };

TStretchRoutine Routine(TKind kind) {
  switch (kind) {
    case TKind::Opaque: return PixelRoutines.StretchOpaque;
    case TKind::Transparent: return PixelRoutines.StretchTransparent;
    case TKind::Blend: return PixelRoutines.StretchBlend;
  }
  return nullptr;
}

// Per pixel, straight from the definitions: which destination pixels are
// touched and which source pixel each samples.
void ReferenceStretch(TKind kind, TTestSurface& dst, const TRect& dstRect, const TRect& clipRect,
                      TTestSurface& src, const TRect& srcRect) {
  if (RectIsEmpty(srcRect)) return;
  if (srcRect.Left < 0 || srcRect.Top < 0 || srcRect.Right > src.Width ||
      srcRect.Bottom > src.Height)
    return;
  const int64_t sw = RectWidth64(srcRect), sh = RectHeight64(srcRect);
  const int64_t dw = RectWidth64(dstRect), dh = RectHeight64(dstRect);
  for (int32_t y = 0; y < dst.Height; ++y)
    for (int32_t x = 0; x < dst.Width; ++x) {
      if (x < clipRect.Left || x >= clipRect.Right || y < clipRect.Top || y >= clipRect.Bottom)
        continue;
      if (x < dstRect.Left || x >= dstRect.Right || y < dstRect.Top || y >= dstRect.Bottom)
        continue;
      int32_t sx, sy;
      BuildSampleMap(srcRect.Left, sw, dw, x - dstRect.Left, 1, &sx);
      BuildSampleMap(srcRect.Top, sh, dh, y - dstRect.Top, 1, &sy);
      const TmvColor s = src.At(sx, sy);
      TmvColor& d = dst.At(x, y);
      if (kind == TKind::Opaque)
        d = s;
      else if (kind == TKind::Transparent)
        PixelRoutines.TransparentRow(&s, &d, 1);
      else
        PixelRoutines.BlendRow(&s, &d, 1);
    }
}

// One draw per statement: the order in which function arguments are
// evaluated differs between compilers, and the sequence must not.
TRect RandomRect(TXorShift& rng, int32_t w, int32_t h) {
  const int32_t l = rng.Range(-5, w + 2);
  const int32_t t = rng.Range(-5, h + 2);
  const int32_t r = l + rng.Range(-1, w + 6);
  return Rect(l, t, r, t + rng.Range(-1, h + 6));
}

TTestSurface RandomSurface(TXorShift& rng, int32_t maxWidth, int32_t maxHeight) {
  const int32_t w = rng.Range(1, maxWidth);
  return TTestSurface(w, rng.Range(1, maxHeight));
}

TmvColor RandomPixel(TXorShift& rng) {
  // Key colours and the alphas 0 and 255 often enough to exercise every branch.
  switch (rng.Range(0, 5)) {
    case 0: return TransparentKeyColor | (rng.Next() & 0xFF000000);
    case 1: return rng.Next() & 0x00FFFFFF;
    case 2: return rng.Next() | 0xFF000000;
    default: return rng.Next();
  }
}

// Random sizes, odd offsets, both directions of scaling, all three kinds and
// both blends, against the per-pixel reference; the checksum of the whole run
// guards against changes that keep the two in step.
TEST(Stretch, MatchesReferenceOnRandomCases) {
  for (bool mmx : {false, true}) {
    TRoutineScope routines(mmx);
    TXorShift rng(777);
    uint32_t hash = ChecksumSeed;
    for (int run = 0; run < 1500; ++run) {
      const TKind kind = TKind(rng.Range(0, 2));
      TTestSurface src = RandomSurface(rng, 40, 24);
      TTestSurface dst = RandomSurface(rng, 70, 24);
      for (TmvColor& p : src.Pixels) p = RandomPixel(rng);
      for (TmvColor& p : dst.Pixels) p = RandomPixel(rng);
      TRect srcRect = RandomRect(rng, src.Width, src.Height);
      if (rng.Range(0, 3) != 0)  // mostly a source rectangle that lies inside
        srcRect = IntersectRect(srcRect, Rect(0, 0, src.Width, src.Height));
      TRect dstRect = RandomRect(rng, dst.Width, dst.Height);
      if (rng.Range(0, 4) == 0) {  // same size: the unscaled path
        dstRect.Right = dstRect.Left + RectWidth(srcRect);
        dstRect.Bottom = dstRect.Top + RectHeight(srcRect);
      }
      const TRect clipRect = rng.Range(0, 1) ? dstRect : RandomRect(rng, dst.Width, dst.Height);

      TTestSurface expected = dst;
      ReferenceStretch(kind, expected, dstRect, clipRect, src, srcRect);
      Routine(kind)(dst.View(), dstRect, clipRect, src.View(), srcRect);
      ASSERT_EQ(dst.Pixels, expected.Pixels) << "run " << run << " mmx " << mmx;
      hash = Checksum(hash, dst.Pixels.data(), dst.Pixels.size());
    }
    EXPECT_EQ(hash, mmx ? GoldenStretchChecksumMmx : GoldenStretchChecksumPortable);
  }
}

TEST(Stretch, CutAtDestinationEdgesSamplesAsUncut) {
  TRoutineScope routines(false);
  TTestSurface src(4, 1);
  src.Pixels = {10, 11, 12, 13};
  TTestSurface dst(5, 1, 0);
  // The 7-wide destination starts 2 pixels left of the surface.
  StretchOpaque(dst.View(), Rect(-2, 0, 5, 1), Rect(-2, 0, 5, 1), src.View(), Rect(0, 0, 4, 1));
  EXPECT_EQ(dst.Pixels, (std::vector<TmvColor>{11, 11, 12, 12, 13}));
}

TEST(Stretch, SourceOutsideOrEmptyDrawsNothing) {
  TRoutineScope routines(false);
  TTestSurface src(4, 4, 0xFF00FF00);
  const TRect wholeDst = Rect(0, 0, 8, 8);
  struct {
    const char* Name;
    TRect SrcRect, DstRect, Clip;
  } cases[] = {
      {"source one pixel wider than the surface", Rect(0, 0, 5, 4), wholeDst, wholeDst},
      {"source starting left of the surface", Rect(-1, 0, 3, 4), wholeDst, wholeDst},
      {"empty source", Rect(2, 2, 2, 4), wholeDst, wholeDst},
      {"empty clip", Rect(0, 0, 4, 4), wholeDst, Rect(3, 3, 3, 3)},
      {"destination off the surface", Rect(0, 0, 4, 4), Rect(8, 8, 12, 12), Rect(8, 8, 12, 12)},
  };
  for (const auto& c : cases)
    for (TKind kind : {TKind::Opaque, TKind::Transparent, TKind::Blend}) {
      SCOPED_TRACE(c.Name);
      TTestSurface dst(8, 8, 0x12345678);
      Routine(kind)(dst.View(), c.DstRect, c.Clip, src.View(), c.SrcRect);
      EXPECT_EQ(dst.Pixels, std::vector<TmvColor>(64, 0x12345678));
    }
}

TEST(Stretch, SameSizeOpaqueCopiesAlphaToo) {
  TRoutineScope routines(true);
  TTestSurface src(3, 2);
  src.Pixels = {0x00000001, 0x80000002, 0xFF000003, 0x7F7F007F, 0x01FFFFFF, 0x12345678};
  TTestSurface dst(3, 2, 0xDEADBEEF);
  StretchOpaque(dst.View(), Rect(0, 0, 3, 2), Rect(0, 0, 3, 2), src.View(), Rect(0, 0, 3, 2));
  EXPECT_EQ(dst.Pixels, src.Pixels);
}

TEST(Stretch, TransparentLeavesOnlyKeyPixels) {
  TRoutineScope routines(false);
  TTestSurface src(4, 1);
  src.Pixels = {0x007F007F, 0x00123456, 0xFF7F007F, 0x80ABCDEF};
  TTestSurface dst(7, 2, 0x11111111);
  StretchTransparent(dst.View(), Rect(0, 0, 7, 2), Rect(0, 0, 7, 2), src.View(),
                     Rect(0, 0, 4, 1));
  const std::vector<TmvColor> row{0x11111111, 0x11111111, 0xFF123456, 0xFF123456,
                                  0x11111111, 0x11111111, 0xFFABCDEF};
  std::vector<TmvColor> expected = row;
  expected.insert(expected.end(), row.begin(), row.end());
  EXPECT_EQ(dst.Pixels, expected);
}

TEST(CopyRect, MissingPixelsRaiseAssertion) {
  TTestSurface dst(2, 2);
  try {
    CopyRectOpaque(dst.View(), Rect(0, 0, 1, 1), TPixelSurface{}, 0, 0);
    FAIL() << "no exception";
  } catch (const EAssertionFailed& e) {
    EXPECT_EQ(e.Message().rfind("Assertion failure (mv_bitmap, line ", 0), 0u) << e.Message();
  }
}

}  // namespace
