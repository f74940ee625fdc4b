#pragma once
// Half-open rectangles: Right and Bottom lie outside. Platform-free; the
// Windows layer converts from RECT at its edge.
#include <algorithm>
#include <cstdint>

struct TRect {
  int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
  friend bool operator==(const TRect&, const TRect&) = default;
};

constexpr TRect Rect(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  return TRect{left, top, right, bottom};
}

// Widths are formed in 64 bits: a rectangle spanning most of the 32-bit range
// must read as wide, not overflow into a negative width.
constexpr int64_t RectWidth64(const TRect& r) { return int64_t(r.Right) - r.Left; }
constexpr int64_t RectHeight64(const TRect& r) { return int64_t(r.Bottom) - r.Top; }
constexpr int32_t RectWidth(const TRect& r) { return int32_t(uint32_t(r.Right) - uint32_t(r.Left)); }
constexpr int32_t RectHeight(const TRect& r) { return int32_t(uint32_t(r.Bottom) - uint32_t(r.Top)); }
constexpr bool RectIsEmpty(const TRect& r) { return RectWidth64(r) < 1 || RectHeight64(r) < 1; }

// As the system's IntersectRect: an empty intersection is all zeros.
constexpr TRect IntersectRect(const TRect& a, const TRect& b) {
  TRect r{std::max(a.Left, b.Left), std::max(a.Top, b.Top),
          std::min(a.Right, b.Right), std::min(a.Bottom, b.Bottom)};
  if (r.Left >= r.Right || r.Top >= r.Bottom) return TRect{};
  return r;
}
