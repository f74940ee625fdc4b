#include "graphics/pixel_routines.h"

#include <vector>

#include "platform/exceptions.h"
#include "platform/mv_utils.h"

TPixelRoutines PixelRoutines;

void SetupPixelRoutines(bool useMMX) {
  TPixelRoutines table;
#ifdef KRIBBEL_HAVE_MMX_BLEND
  if (useMMX) table.BlendRow = BlendRowMMX;
#else
  (void)useMMX;
#endif
  table.CopyRectOpaque = CopyRectOpaque;
  table.CopyRectTransparent = CopyRectTransparent;
  table.CopyRectBlend = CopyRectBlend;
  table.StretchOpaque = StretchOpaque;
  table.StretchTransparent = StretchTransparent;
  table.StretchBlend = StretchBlend;
  PixelRoutines = table;
}

namespace {

enum class TTransferKind { Opaque, Transparent, Blend };

template <TTransferKind Kind>
void RowStep(const TmvColor* s, TmvColor* d, int32_t count) {
  if constexpr (Kind == TTransferKind::Opaque)
    PixelRoutines.MoveColors(s, d, count);
  else if constexpr (Kind == TTransferKind::Transparent)
    PixelRoutines.TransparentRow(s, d, count);
  else
    PixelRoutines.BlendRow(s, d, count);
}

template <TTransferKind Kind>
void CopyRect(const TPixelSurface& dst, const TRect& clip, const TPixelSurface& src,
              int32_t srcX, int32_t srcY) {
  const TmvColor* s = src.PixelPtr(srcX, srcY);
  TmvColor* d = dst.PixelPtr(clip.Left, clip.Top);
  MV_ASSERT(s != nullptr && d != nullptr, "mv_bitmap");
  const int32_t cw = RectWidth(clip), ch = RectHeight(clip);
  for (int32_t row = 0; row < ch; ++row) {
    RowStep<Kind>(s, d, cw);
    s += src.Width;
    d += dst.Width;
  }
}

// EndMMX also when an exception passes: the caller may go on to float work.
struct TEndMMXGuard {
  ~TEndMMXGuard() { EndMMX(); }
};

template <TTransferKind Kind>
void Stretch(const TPixelSurface& dst, const TRect& dstRect, const TRect& clipRect,
             const TPixelSurface& src, const TRect& srcRect) {
  if (RectIsEmpty(srcRect)) return;
  const TRect clip =
      IntersectRect(IntersectRect(clipRect, Rect(0, 0, dst.Width, dst.Height)), dstRect);
  if (RectIsEmpty(clip)) return;
  if (srcRect.Left < 0 || srcRect.Top < 0 || srcRect.Right > src.Width ||
      srcRect.Bottom > src.Height)
    return;

  const int64_t sw = RectWidth64(srcRect), sh = RectHeight64(srcRect);
  const int64_t dw = RectWidth64(dstRect), dh = RectHeight64(dstRect);
  const int32_t cw = RectWidth(clip), ch = RectHeight(clip);
  if (dw == sw && dh == sh) {
    CopyRect<Kind>(dst, clip, src, int32_t(srcRect.Left + (int64_t(clip.Left) - dstRect.Left)),
                   int32_t(srcRect.Top + (int64_t(clip.Top) - dstRect.Top)));
    return;
  }

  TEndMMXGuard endMMX;
  std::vector<int32_t> columns(static_cast<size_t>(cw)), rows(static_cast<size_t>(ch));
  BuildSampleMap(srcRect.Left, sw, dw, int64_t(clip.Left) - dstRect.Left, cw, columns.data());
  BuildSampleMap(srcRect.Top, sh, dh, int64_t(clip.Top) - dstRect.Top, ch, rows.data());

  std::vector<TmvColor> buffer;
  if constexpr (Kind != TTransferKind::Opaque) buffer.resize(size_t(cw));
  TmvColor* d = dst.PixelPtr(clip.Left, clip.Top);
  int32_t previous = -1;
  for (int32_t j = 0; j < ch; ++j, d += dst.Width) {
    const int32_t r = rows[size_t(j)];
    if constexpr (Kind == TTransferKind::Opaque) {
      if (r == previous) {
        PixelRoutines.MoveColors(d - dst.Width, d, cw);
        continue;
      }
      const TmvColor* line = src.ScanLine(r);
      for (int32_t i = 0; i < cw; ++i) d[i] = line[columns[size_t(i)]];
    } else {
      if (r != previous) {
        const TmvColor* line = src.ScanLine(r);
        for (int32_t i = 0; i < cw; ++i) buffer[size_t(i)] = line[columns[size_t(i)]];
      }
      RowStep<Kind>(buffer.data(), d, cw);
    }
    previous = r;
  }
}

}  // namespace

void BuildSampleMap(int32_t srcFirst, int64_t srcCount, int64_t dstCount, int64_t offset,
                    int32_t count, int32_t* out) {
  const int64_t srcLast = srcFirst + srcCount - 1;
  if (dstCount < 2) {
    const int32_t middle = int32_t((srcFirst + srcLast) / 2);
    for (int32_t i = 0; i < count; ++i) out[i] = middle;
    return;
  }
  // The ratio is rounded to a 32-bit float (volatile keeps x87 excess
  // precision out of it); the product with an integer below 2^29 is exact in
  // a double, so truncating it gives the same index on every build.
  volatile float ratio = float(double(srcCount - 1) / double(dstCount - 1));
  const double f = ratio;
  for (int32_t i = 0; i < count; ++i) {
    int64_t index = srcFirst + int64_t(double(offset + i) * f);
    // Only a destination run far beyond any real surface could leave the
    // source through rounding; never read outside it.
    if (index > srcLast) index = srcLast;
    if (index < srcFirst) index = srcFirst;
    out[i] = int32_t(index);
  }
}

void CopyRectOpaque(const TPixelSurface& dst, const TRect& clip, const TPixelSurface& src,
                    int32_t srcX, int32_t srcY) {
  CopyRect<TTransferKind::Opaque>(dst, clip, src, srcX, srcY);
}
void CopyRectTransparent(const TPixelSurface& dst, const TRect& clip, const TPixelSurface& src,
                         int32_t srcX, int32_t srcY) {
  CopyRect<TTransferKind::Transparent>(dst, clip, src, srcX, srcY);
}
void CopyRectBlend(const TPixelSurface& dst, const TRect& clip, const TPixelSurface& src,
                   int32_t srcX, int32_t srcY) {
  CopyRect<TTransferKind::Blend>(dst, clip, src, srcX, srcY);
}

void StretchOpaque(const TPixelSurface& dst, const TRect& dstRect, const TRect& clipRect,
                   const TPixelSurface& src, const TRect& srcRect) {
  Stretch<TTransferKind::Opaque>(dst, dstRect, clipRect, src, srcRect);
}
void StretchTransparent(const TPixelSurface& dst, const TRect& dstRect, const TRect& clipRect,
                        const TPixelSurface& src, const TRect& srcRect) {
  Stretch<TTransferKind::Transparent>(dst, dstRect, clipRect, src, srcRect);
}
void StretchBlend(const TPixelSurface& dst, const TRect& dstRect, const TRect& clipRect,
                  const TPixelSurface& src, const TRect& srcRect) {
  Stretch<TTransferKind::Blend>(dst, dstRect, clipRect, src, srcRect);
}
