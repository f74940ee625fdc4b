#pragma once
// The platform-free half of the surface code: pixel buffers, the routine
// table, and the copy and stretch family. Works on plain buffers so that it
// builds and is tested natively as well as for Windows.
#include <cstddef>
#include <cstdint>

#include "graphics/pixel_rows.h"
#include "platform/rect.h"

// A view of top-down 32-bit pixels with a stride of exactly Width pixels. A
// view without pixels has Width and Height 0.
struct TPixelSurface {
  TmvColor* Bits = nullptr;
  int32_t Width = 0;
  int32_t Height = 0;

  TmvColor* PixelPtr(int32_t x, int32_t y) const {
    return Bits ? Bits + (ptrdiff_t(y) * Width + x) : nullptr;
  }
  TmvColor* ScanLine(int32_t row) const { return PixelPtr(0, row); }
};

using TStretchRoutine = void (*)(const TPixelSurface& dst, const TRect& dstRect,
                                 const TRect& clipRect, const TPixelSurface& src,
                                 const TRect& srcRect);
using TCopyRectRoutine = void (*)(const TPixelSurface& dst, const TRect& clip,
                                  const TPixelSurface& src, int32_t srcX, int32_t srcY);

// Filled once at unit start (SetupPixelRoutines); read-only afterwards.
struct TPixelRoutines {
  void (*MoveColors)(const TmvColor*, TmvColor*, int32_t) = ::MoveColors;
  void (*FillColors)(TmvColor*, int32_t, TmvColor) = ::FillColors;
  void (*FillColorsRect)(TmvColor*, int32_t, TmvColor, int32_t, int32_t, int32_t,
                         int32_t) = ::FillColorsRect;
  void (*SetAlphaBytes)(TmvColor*, int32_t, uint8_t) = ::SetAlphaBytes;
  void (*BlendRow)(const TmvColor*, TmvColor*, int32_t) = BlendRowPortable;
  void (*TransparentRow)(const TmvColor*, TmvColor*, int32_t) = ::TransparentRow;
  TCopyRectRoutine CopyRectOpaque = nullptr, CopyRectTransparent = nullptr,
                   CopyRectBlend = nullptr;
  TStretchRoutine StretchOpaque = nullptr, StretchTransparent = nullptr, StretchBlend = nullptr;
};

extern TPixelRoutines PixelRoutines;

// Chooses the MMX blend when useMMX is set and this build has one.
void SetupPixelRoutines(bool useMMX);

// Unscaled transfers of a block the size of clip whose top-left source pixel is
// (srcX, srcY). Called after clipping; both start pixels must exist.
void CopyRectOpaque(const TPixelSurface& dst, const TRect& clip, const TPixelSurface& src,
                    int32_t srcX, int32_t srcY);
void CopyRectTransparent(const TPixelSurface& dst, const TRect& clip, const TPixelSurface& src,
                         int32_t srcX, int32_t srcY);
void CopyRectBlend(const TPixelSurface& dst, const TRect& clip, const TPixelSurface& src,
                   int32_t srcX, int32_t srcY);

// Nearest-neighbour scaling of srcRect into dstRect, touching only pixels in
// clipRect. The source rectangle is never clipped: one that does not lie
// inside the source draws nothing.
void StretchOpaque(const TPixelSurface& dst, const TRect& dstRect, const TRect& clipRect,
                   const TPixelSurface& src, const TRect& srcRect);
void StretchTransparent(const TPixelSurface& dst, const TRect& dstRect, const TRect& clipRect,
                        const TPixelSurface& src, const TRect& srcRect);
void StretchBlend(const TPixelSurface& dst, const TRect& dstRect, const TRect& clipRect,
                  const TPixelSurface& src, const TRect& srcRect);

// The source index for each of count destination positions starting offset
// positions into a destination run of dstCount, sampling a source run of
// srcCount starting at srcFirst. The first and last destination positions map
// onto the first and last source positions, up to truncation.
void BuildSampleMap(int32_t srcFirst, int64_t srcCount, int64_t dstCount, int64_t offset,
                    int32_t count, int32_t* out);
