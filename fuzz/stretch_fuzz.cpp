// Any rectangles, any sizes: the stretch family must stay inside both buffers
// (the sanitizers watch) and never touch a pixel outside the clip.
#include <cstdint>
#include <cstring>
#include <vector>

#include "graphics/pixel_routines.h"

namespace {

struct TReader {
  const uint8_t* P;
  size_t N;
  int32_t Int() {
    int32_t v = 0;
    const size_t n = N < 4 ? N : 4;
    std::memcpy(&v, P, n);
    P += n;
    N -= n;
    return v;
  }
  int32_t Small(int32_t limit) { return int32_t(uint32_t(Int()) % uint32_t(limit)); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool once = (SetupPixelRoutines(true), true);
  (void)once;
  TReader in{data, size};
  const int32_t sw = in.Small(40), sh = in.Small(40), dw = in.Small(40) + 1,
                dh = in.Small(40) + 1;
  const int kind = in.Small(3);
  // Rectangles mix small values and the extremes of the 32-bit range.
  auto coord = [&] {
    const int32_t v = in.Int();
    return (v & 0x100) ? v : (v % 64) - 16;
  };
  const TRect srcRect{coord(), coord(), coord(), coord()};
  const TRect dstRect{coord(), coord(), coord(), coord()};
  const TRect clipRect{coord(), coord(), coord(), coord()};

  std::vector<TmvColor> src(size_t(sw) * size_t(sh), 0x80402010u);
  std::vector<TmvColor> dst(size_t(dw) * size_t(dh), 0x11223344u);
  const TPixelSurface s{src.empty() ? nullptr : src.data(), sw, sh};
  const TPixelSurface d{dst.data(), dw, dh};
  const TStretchRoutine routines[] = {StretchOpaque, StretchTransparent, StretchBlend};
  routines[kind](d, dstRect, clipRect, s, srcRect);

  const TRect allowed = IntersectRect(IntersectRect(clipRect, dstRect), Rect(0, 0, dw, dh));
  for (int32_t y = 0; y < dh; ++y)
    for (int32_t x = 0; x < dw; ++x)
      if ((x < allowed.Left || x >= allowed.Right || y < allowed.Top || y >= allowed.Bottom) &&
          dst[size_t(y) * size_t(dw) + size_t(x)] != 0x11223344u)
        __builtin_trap();
  return 0;
}
