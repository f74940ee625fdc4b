#pragma once
// Helpers shared by the core tests, which run natively and under Wine alike.
#include <cstdint>
#include <vector>

#include "graphics/pixel_routines.h"

// A small generator whose sequence is the same on every build (the standard
// distributions are not), so checksums can be compared across builds.
class TXorShift {
  uint32_t FState;

public:
  explicit TXorShift(uint32_t seed) : FState(seed ? seed : 1) {}
  uint32_t Next() {
    FState ^= FState << 13;
    FState ^= FState >> 17;
    FState ^= FState << 5;
    return FState;
  }
  int32_t Range(int32_t lo, int32_t hi) { return lo + int32_t(Next() % uint32_t(hi - lo + 1)); }
};

// FNV-1a over 32-bit words.
inline uint32_t Checksum(uint32_t hash, const void* data, size_t words) {
  const uint32_t* p = static_cast<const uint32_t*>(data);
  for (size_t i = 0; i < words; ++i) {
    hash ^= p[i];
    hash *= 16777619u;
  }
  return hash;
}
constexpr uint32_t ChecksumSeed = 2166136261u;

// A buffer of pixels with a surface view over it.
struct TTestSurface {
  std::vector<TmvColor> Pixels;
  int32_t Width, Height;
  TTestSurface(int32_t width, int32_t height, TmvColor fill = 0)
      : Pixels(size_t(width) * size_t(height), fill), Width(width), Height(height) {}
  TPixelSurface View() { return TPixelSurface{Pixels.data(), Width, Height}; }
  TmvColor& At(int32_t x, int32_t y) { return Pixels[size_t(y) * size_t(Width) + size_t(x)]; }
};

// Installs a routine table for the life of a test and restores the old one.
class TRoutineScope {
  TPixelRoutines FSaved = PixelRoutines;

public:
  explicit TRoutineScope(bool useMMX) { SetupPixelRoutines(useMMX); }
  ~TRoutineScope() { PixelRoutines = FSaved; }
};

// Checksums the column maps of many size pairs; the Windows and the native
// build must agree on it (the ratio is a 32-bit float on both).
inline uint32_t SampleMapChecksum() {
  uint32_t hash = ChecksumSeed;
  std::vector<int32_t> map;
  for (int32_t src = 1; src <= 96; ++src)
    for (int32_t dst = 1; dst <= 96; ++dst) {
      map.resize(size_t(dst));
      BuildSampleMap(src % 7, src, dst, 0, dst, map.data());
      hash = Checksum(hash, map.data(), map.size());
    }
  for (int32_t dst : {479, 480, 481, 939, 1507, 4000}) {
    map.resize(size_t(dst));
    BuildSampleMap(0, 640, dst, 0, dst, map.data());
    hash = Checksum(hash, map.data(), map.size());
    BuildSampleMap(3, 1507, dst, 0, dst, map.data());
    hash = Checksum(hash, map.data(), map.size());
  }
  return hash;
}
