#pragma once
// Row routines on 32-bit pixels (0xAARRGGBB; in memory blue, green, red,
// alpha; colour not multiplied by alpha). They never clip: callers pass runs
// that lie inside their buffers. A count of 0 or less does nothing.
#include <cstdint>

using TmvColor = uint32_t;

// Colour-keyed transfers skip pixels whose low 24 bits are this colour.
constexpr TmvColor TransparentKeyColor = 0x7F007F;

void MoveColors(const TmvColor* src, TmvColor* dst, int32_t count);
void FillColors(TmvColor* p, int32_t count, TmvColor color);
// Fills columns left..lastColumn and rows top..lastRow, both ends included, of
// a buffer whose rows are width pixels apart.
void FillColorsRect(TmvColor* bits, int32_t width, TmvColor color, int32_t left, int32_t top,
                    int32_t lastColumn, int32_t lastRow);
void SetAlphaBytes(TmvColor* p, int32_t count, uint8_t alpha);
void TransparentRow(const TmvColor* src, TmvColor* dst, int32_t count);

// Both blends leave the destination alone at alpha 0 and copy the source at
// alpha 255. In between, the portable one mixes by a/256 and (255-a)/256 and
// makes the result opaque; the MMX one mixes every byte, alpha included, by
// a/256 and (256-a)/256.
void BlendRowPortable(const TmvColor* src, TmvColor* dst, int32_t count);
#if defined(__i386__) || defined(__x86_64__)
#define KRIBBEL_HAVE_MMX_BLEND 1
void BlendRowMMX(const TmvColor* src, TmvColor* dst, int32_t count);
#endif
