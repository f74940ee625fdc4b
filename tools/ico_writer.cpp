#include "tools/ico_writer.h"

#include <algorithm>
#include <string>

#include "platform/exceptions.h"

namespace {

void Put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(uint8_t(v));
  out.push_back(uint8_t(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

size_t MaskStride(int32_t size) { return size_t((size + 31) / 32) * 4; }

std::vector<uint8_t> Dib(const TIconImage& image) {
  const int32_t n = image.Size;
  std::vector<uint8_t> out;
  const size_t maskBytes = MaskStride(n) * size_t(n);
  Put32(out, 40);          // BITMAPINFOHEADER
  Put32(out, uint32_t(n));
  Put32(out, uint32_t(2 * n));  // colour rows and mask rows
  Put16(out, 1);           // planes
  Put16(out, 32);          // bits per pixel
  Put32(out, 0);           // BI_RGB
  Put32(out, uint32_t(size_t(n) * size_t(n) * 4 + maskBytes));
  Put32(out, 0);
  Put32(out, 0);
  Put32(out, 0);
  Put32(out, 0);
  for (int32_t y = n - 1; y >= 0; --y)  // bottom-up
    for (int32_t x = 0; x < n; ++x) Put32(out, image.Pixels[size_t(y) * size_t(n) + size_t(x)]);
  // AND mask: 1 where the pixel is fully transparent.
  for (int32_t y = n - 1; y >= 0; --y) {
    std::vector<uint8_t> row(MaskStride(n), 0);
    for (int32_t x = 0; x < n; ++x)
      if ((image.Pixels[size_t(y) * size_t(n) + size_t(x)] >> 24) == 0)
        row[size_t(x) / 8] |= uint8_t(0x80 >> (x % 8));
    out.insert(out.end(), row.begin(), row.end());
  }
  return out;
}

struct TPoint {
  double X, Y;
};

// Squared: no square root, so every compiler paints the same pixels.
double SegmentDistance2(TPoint p, TPoint a, TPoint b) {
  const double dx = b.X - a.X, dy = b.Y - a.Y;
  double t = ((p.X - a.X) * dx + (p.Y - a.Y) * dy) / (dx * dx + dy * dy);
  t = std::clamp(t, 0.0, 1.0);
  const double ex = a.X + t * dx - p.X, ey = a.Y + t * dy - p.Y;
  return ex * ex + ey * ey;
}

bool InRoundedSquare(TPoint p, double inset, double radius) {
  const double lo = inset + radius, hi = 1 - inset - radius;
  const double cx = std::clamp(p.X, lo, hi), cy = std::clamp(p.Y, lo, hi);
  const double dx = p.X - cx, dy = p.Y - cy;
  return p.X >= inset && p.X <= 1 - inset && p.Y >= inset && p.Y <= 1 - inset &&
         dx * dx + dy * dy <= radius * radius;
}

// Which paint covers a point of the unit square: 0 none, 1 the square,
// 2 the letter, 3..5 the stripes.
int Paint(TPoint p) {
  if (!InRoundedSquare(p, 0.02, 0.2)) return 0;
  const bool stem = p.X >= 0.24 && p.X <= 0.42 && p.Y >= 0.16 && p.Y <= 0.70;
  const bool inside = p.Y >= 0.16 && p.Y <= 0.70;
  const bool upper = SegmentDistance2(p, {0.40, 0.47}, {0.72, 0.16}) <= 0.085 * 0.085;
  const bool lower = SegmentDistance2(p, {0.46, 0.40}, {0.74, 0.70}) <= 0.085 * 0.085;
  if (stem || (inside && (upper || lower))) return 2;
  if (p.Y >= 0.76 && p.Y < 0.82) return 3;
  if (p.Y >= 0.82 && p.Y < 0.88) return 4;
  if (p.Y >= 0.88 && p.Y < 0.94) return 5;
  return 1;
}

}  // namespace

std::vector<uint8_t> IcoFile(const std::vector<TIconImage>& images) {
  std::vector<uint8_t> out;
  Put16(out, 0);
  Put16(out, 1);  // icon
  Put16(out, uint32_t(images.size()));
  std::vector<std::vector<uint8_t>> dibs;
  for (const TIconImage& image : images) {
    if (image.Size < 1 || image.Size > 256 || image.Pixels.size() != size_t(image.Size) * size_t(image.Size))
      throw Exception("Icon image of size " + std::to_string(image.Size) + " with " +
                      std::to_string(image.Pixels.size()) + " pixels");
    dibs.push_back(Dib(image));
  }
  uint32_t offset = uint32_t(6 + 16 * images.size());
  for (size_t i = 0; i < images.size(); ++i) {
    out.push_back(uint8_t(images[i].Size == 256 ? 0 : images[i].Size));
    out.push_back(uint8_t(images[i].Size == 256 ? 0 : images[i].Size));
    out.push_back(0);  // no palette
    out.push_back(0);
    Put16(out, 1);   // planes
    Put16(out, 32);  // bits per pixel
    Put32(out, uint32_t(dibs[i].size()));
    Put32(out, offset);
    offset += uint32_t(dibs[i].size());
  }
  for (const auto& dib : dibs) out.insert(out.end(), dib.begin(), dib.end());
  return out;
}

TIconImage KribbelIconImage(int32_t size) {
  static const uint32_t colors[] = {0, 0xFB8C00, 0xFFFFFF, 0xE53935, 0xFDD835, 0x1E88E5};
  TIconImage image{size, std::vector<uint32_t>(size_t(size) * size_t(size))};
  constexpr int Samples = 4;
  for (int32_t y = 0; y < size; ++y)
    for (int32_t x = 0; x < size; ++x) {
      int count[6] = {};
      for (int sy = 0; sy < Samples; ++sy)
        for (int sx = 0; sx < Samples; ++sx)
          ++count[Paint({(x + (sx + 0.5) / Samples) / size, (y + (sy + 0.5) / Samples) / size})];
      const int covered = Samples * Samples - count[0];
      if (covered == 0) continue;
      uint32_t r = 0, g = 0, b = 0;
      for (int k = 1; k < 6; ++k) {
        r += uint32_t(count[k]) * (colors[k] >> 16 & 0xFF);
        g += uint32_t(count[k]) * (colors[k] >> 8 & 0xFF);
        b += uint32_t(count[k]) * (colors[k] & 0xFF);
      }
      const uint32_t half = uint32_t(covered) / 2;
      const uint32_t alpha = (uint32_t(covered) * 255 + Samples * Samples / 2) / (Samples * Samples);
      image.Pixels[size_t(y) * size_t(size) + size_t(x)] =
          alpha << 24 | ((r + half) / uint32_t(covered)) << 16 | ((g + half) / uint32_t(covered)) << 8 |
          ((b + half) / uint32_t(covered));
    }
  return image;
}

std::vector<uint8_t> KribbelIcon() {
  return IcoFile({KribbelIconImage(16), KribbelIconImage(32), KribbelIconImage(48)});
}
