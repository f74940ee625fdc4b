// The only file built with -mmmx: nothing else may emit MMX instructions
// before the processor test has said they exist.
#include <mmintrin.h>

#include "graphics/pixel_rows.h"

void BlendRowMMX(const TmvColor* src, TmvColor* dst, int32_t count) {
  const __m64 zero = _mm_setzero_si64();
  for (int32_t i = 0; i < count; ++i) {
    const TmvColor s = src[i];
    const uint32_t a = s >> 24;
    if (a == 0) continue;
    if (a == 255) {
      dst[i] = s;
      continue;
    }
    // Per byte in 16-bit lanes: (d*256 + (s-d)*a) mod 65536, then >> 8. The
    // alpha lane blends the source alpha with itself as the colour.
    const __m64 s16 = _mm_unpacklo_pi8(_mm_cvtsi32_si64(int(s)), zero);
    const __m64 d16 = _mm_unpacklo_pi8(_mm_cvtsi32_si64(int(dst[i])), zero);
    const __m64 a16 = _mm_set1_pi16(short(a));
    __m64 r = _mm_add_pi16(_mm_slli_pi16(d16, 8), _mm_mullo_pi16(_mm_sub_pi16(s16, d16), a16));
    r = _mm_srli_pi16(r, 8);
    dst[i] = TmvColor(_mm_cvtsi64_si32(_mm_packs_pu16(r, zero)));
  }
  _mm_empty();
}
