#include "graphics/pixel_rows.h"

#include <cstddef>
#include <cstring>

void MoveColors(const TmvColor* src, TmvColor* dst, int32_t count) {
  if (count <= 0 || src == dst) return;
  // Ascending order: an overlapping forward copy repeats the leading pixels,
  // which memmove would not.
  if (dst < src || dst >= src + count) {
    std::memmove(dst, src, size_t(count) * sizeof(TmvColor));
    return;
  }
  for (int32_t i = 0; i < count; ++i) dst[i] = src[i];
}

void FillColors(TmvColor* p, int32_t count, TmvColor color) {
  for (int32_t i = 0; i < count; ++i) p[i] = color;
}

void FillColorsRect(TmvColor* bits, int32_t width, TmvColor color, int32_t left, int32_t top,
                    int32_t lastColumn, int32_t lastRow) {
  const int32_t count = lastColumn - left + 1;
  for (int32_t y = top; y <= lastRow; ++y)
    FillColors(bits + ptrdiff_t(y) * width + left, count, color);
}

void SetAlphaBytes(TmvColor* p, int32_t count, uint8_t alpha) {
  const TmvColor a = TmvColor(alpha) << 24;
  for (int32_t i = 0; i < count; ++i) p[i] = (p[i] & 0x00FFFFFF) | a;
}

void TransparentRow(const TmvColor* src, TmvColor* dst, int32_t count) {
  for (int32_t i = 0; i < count; ++i) {
    const TmvColor s = src[i];
    if ((s & 0x00FFFFFF) != TransparentKeyColor) dst[i] = s | 0xFF000000;
  }
}

void BlendRowPortable(const TmvColor* src, TmvColor* dst, int32_t count) {
  for (int32_t i = 0; i < count; ++i) {
    const TmvColor s = src[i];
    const uint32_t a = s >> 24;
    if (a == 0) continue;
    if (a == 255) {
      dst[i] = s;
      continue;
    }
    const TmvColor d = dst[i];
    TmvColor out = 0xFF000000;
    for (int shift = 0; shift <= 16; shift += 8) {
      const uint32_t sc = (s >> shift) & 0xFF, dc = (d >> shift) & 0xFF;
      out |= ((sc * a + dc * (255 - a)) >> 8) << shift;
    }
    dst[i] = out;
  }
}
