// Pixel routines beside a memcpy of the same bytes, in one run, so the figures
// read as ratios. Run: build/native/bench/pixel_bench (see docs/performance.md).
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "graphics/pixel_routines.h"

namespace {

struct TSize {
  int32_t W, H;
};
constexpr TSize Sizes[] = {{1507, 939}, {640, 480}, {64, 64}};

struct TBuffers {
  std::vector<TmvColor> Src, Dst;
  explicit TBuffers(size_t n) : Src(n), Dst(n) {
    uint32_t x = 1;
    for (TmvColor& p : Src) p = (x = x * 1664525u + 1013904223u);
    for (TmvColor& p : Dst) p = (x = x * 1664525u + 1013904223u) | 0xFF000000u;
  }
};

void SetPixels(benchmark::State& state, int64_t pixels) {
  state.SetItemsProcessed(state.iterations() * pixels);
  state.SetBytesProcessed(state.iterations() * pixels * 4);
}

template <class F>
void RowBench(benchmark::State& state, F step) {
  const TSize s = Sizes[state.range(0)];
  TBuffers b(size_t(s.W) * size_t(s.H));
  for (auto _ : state) {
    for (int32_t y = 0; y < s.H; ++y)
      step(b.Src.data() + size_t(y) * size_t(s.W), b.Dst.data() + size_t(y) * size_t(s.W), s.W);
    benchmark::DoNotOptimize(b.Dst.data());
    benchmark::ClobberMemory();
  }
  SetPixels(state, int64_t(s.W) * s.H);
  state.SetLabel(std::to_string(s.W) + "x" + std::to_string(s.H));
}

void BM_Memcpy(benchmark::State& state) {
  RowBench(state, [](const TmvColor* s, TmvColor* d, int32_t n) {
    std::memcpy(d, s, size_t(n) * sizeof(TmvColor));
  });
}
void BM_MoveColors(benchmark::State& state) { RowBench(state, MoveColors); }
void BM_FillColors(benchmark::State& state) {
  RowBench(state, [](const TmvColor*, TmvColor* d, int32_t n) { FillColors(d, n, 0x80FF00FF); });
}
void BM_BlendRowPortable(benchmark::State& state) { RowBench(state, BlendRowPortable); }
#ifdef KRIBBEL_HAVE_MMX_BLEND
void BM_BlendRowMMX(benchmark::State& state) { RowBench(state, BlendRowMMX); }
BENCHMARK(BM_BlendRowMMX)->DenseRange(0, 2);
#endif
void BM_TransparentRow(benchmark::State& state) { RowBench(state, TransparentRow); }

BENCHMARK(BM_Memcpy)->DenseRange(0, 2);
BENCHMARK(BM_MoveColors)->DenseRange(0, 2);
BENCHMARK(BM_FillColors)->DenseRange(0, 2);
BENCHMARK(BM_BlendRowPortable)->DenseRange(0, 2);
BENCHMARK(BM_TransparentRow)->DenseRange(0, 2);

// Stretch between 640x480 and 1507x939; the memcpy reference copies the
// destination's bytes.
void StretchBench(benchmark::State& state, TSize from, TSize to, bool copyOnly) {
  SetupPixelRoutines(true);
  TBuffers src(size_t(from.W) * size_t(from.H));
  TBuffers dst(size_t(to.W) * size_t(to.H));
  const TPixelSurface s{src.Src.data(), from.W, from.H};
  const TPixelSurface d{dst.Dst.data(), to.W, to.H};
  const TRect dstRect = Rect(0, 0, to.W, to.H);
  for (auto _ : state) {
    if (copyOnly)
      std::memcpy(dst.Dst.data(), dst.Src.data(), dst.Dst.size() * sizeof(TmvColor));
    else
      StretchOpaque(d, dstRect, dstRect, s, Rect(0, 0, from.W, from.H));
    benchmark::DoNotOptimize(dst.Dst.data());
    benchmark::ClobberMemory();
  }
  SetPixels(state, int64_t(to.W) * to.H);
}
void BM_StretchOpaqueUp(benchmark::State& st) { StretchBench(st, {640, 480}, {1507, 939}, false); }
void BM_StretchOpaqueDown(benchmark::State& st) { StretchBench(st, {1507, 939}, {640, 480}, false); }
void BM_MemcpyUp(benchmark::State& st) { StretchBench(st, {640, 480}, {1507, 939}, true); }
void BM_MemcpyDown(benchmark::State& st) { StretchBench(st, {1507, 939}, {640, 480}, true); }
BENCHMARK(BM_MemcpyUp);
BENCHMARK(BM_StretchOpaqueUp);
BENCHMARK(BM_MemcpyDown);
BENCHMARK(BM_StretchOpaqueDown);

}  // namespace

BENCHMARK_MAIN();
