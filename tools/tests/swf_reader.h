#pragma once
// Reads back what the SWF writer writes, independently of it: the bit-level
// fields, the tags, the shapes as polygons and a plain raster of the frame.
#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

class TSwfBitReader {
  const std::vector<uint8_t>& FBytes;
  size_t FBit = 0;

public:
  TSwfBitReader(const std::vector<uint8_t>& bytes, size_t bytePos) : FBytes(bytes), FBit(bytePos * 8) {}
  void Seek(size_t bytePos) { FBit = bytePos * 8; }
  uint32_t UB(int bits) {
    uint32_t v = 0;
    for (int i = 0; i < bits; ++i, ++FBit) {
      if (FBit / 8 >= FBytes.size()) throw std::runtime_error("read past the end");
      v = (v << 1) | ((FBytes[FBit / 8] >> (7 - FBit % 8)) & 1);
    }
    return v;
  }
  int32_t SB(int bits) {
    const uint32_t v = UB(bits);
    if (bits == 0) return 0;
    return bits < 32 && (v >> (bits - 1)) ? int32_t(v | (~uint32_t(0) << bits)) : int32_t(v);
  }
  void Align() { FBit = (FBit + 7) / 8 * 8; }
  uint8_t U8() {
    Align();
    return uint8_t(UB(8));
  }
  uint16_t U16() {
    const uint16_t lo = U8();
    return uint16_t(lo | U8() << 8);
  }
  uint32_t U32() {
    const uint32_t lo = U16();
    return lo | uint32_t(U16()) << 16;
  }
  size_t BytePos() const { return FBit / 8; }
};

struct TReadRect {
  int32_t XMin, XMax, YMin, YMax;
  int Bits;
};

inline TReadRect ReadRect(TSwfBitReader& r) {
  TReadRect rect{};
  rect.Bits = int(r.UB(5));
  rect.XMin = r.SB(rect.Bits);
  rect.XMax = r.SB(rect.Bits);
  rect.YMin = r.SB(rect.Bits);
  rect.YMax = r.SB(rect.Bits);
  r.Align();
  return rect;
}

struct TReadTag {
  uint16_t Code;
  std::vector<uint8_t> Body;
};

struct TReadMovie {
  std::string Signature;
  uint8_t Version = 0;
  uint32_t FileLength = 0;
  TReadRect Frame{};
  uint16_t FrameRate = 0, FrameCount = 0;
  std::vector<TReadTag> Tags;
};

// An uncompressed ("FWS") movie; every tag must lie inside the file.
inline TReadMovie ReadMovie(const std::vector<uint8_t>& fws) {
  TReadMovie m;
  m.Signature.assign(fws.begin(), fws.begin() + 3);
  m.Version = fws[3];
  TSwfBitReader r(fws, 4);
  m.FileLength = r.U32();
  m.Frame = ReadRect(r);
  m.FrameRate = r.U16();
  m.FrameCount = r.U16();
  for (;;) {
    const uint16_t head = r.U16();
    TReadTag tag{uint16_t(head >> 6), {}};
    uint32_t length = head & 0x3F;
    if (length == 0x3F) length = r.U32();
    const size_t at = r.BytePos();
    if (at + length > fws.size()) throw std::runtime_error("tag past the end of the file");
    tag.Body.assign(fws.begin() + std::ptrdiff_t(at), fws.begin() + std::ptrdiff_t(at + length));
    m.Tags.push_back(tag);
    r.Seek(at + length);
    if (tag.Code == 0) break;
  }
  if (r.BytePos() != fws.size()) throw std::runtime_error("bytes after the End tag");
  return m;
}

struct TReadPoint {
  int32_t X, Y;
};
struct TReadShape {
  uint16_t Id = 0;
  TReadRect Bounds{};
  uint32_t Color = 0;  // 0xRRGGBB
  std::vector<std::vector<TReadPoint>> Polygons;
};

// A DefineShape of one solid fill and straight edges; each polygon must close.
inline TReadShape ReadShape(const std::vector<uint8_t>& body) {
  TReadShape s;
  TSwfBitReader r(body, 0);
  s.Id = r.U16();
  s.Bounds = ReadRect(r);
  EXPECT_EQ(r.U8(), 1) << "fill styles";
  EXPECT_EQ(r.U8(), 0) << "solid fill";
  s.Color = uint32_t(r.U8()) << 16;
  s.Color |= uint32_t(r.U8()) << 8;
  s.Color |= r.U8();
  EXPECT_EQ(r.U8(), 0) << "line styles";
  const int fillBits = int(r.UB(4)), lineBits = int(r.UB(4));
  TReadPoint pen{0, 0}, start{0, 0};
  bool fillSet = false;
  for (;;) {
    if (r.UB(1) == 0) {
      const uint32_t flags = r.UB(5);
      if (!s.Polygons.empty()) {
        EXPECT_TRUE(pen.X == start.X && pen.Y == start.Y) << "polygon left open";
      }
      if (flags == 0) break;
      EXPECT_EQ(flags & 0x10, 0u) << "new styles";
      if (flags & 0x01) {
        const int bits = int(r.UB(5));
        pen.X = r.SB(bits);
        pen.Y = r.SB(bits);
        start = pen;
        s.Polygons.push_back({pen});
      }
      if (flags & 0x02) r.UB(fillBits);
      if (flags & 0x04) {
        EXPECT_EQ(r.UB(fillBits), 1u);
        fillSet = true;
      }
      if (flags & 0x08) r.UB(lineBits);
    } else {
      EXPECT_EQ(r.UB(1), 1u) << "curved edge";
      const int bits = int(r.UB(4)) + 2;
      int32_t dx = 0, dy = 0;
      if (r.UB(1)) {
        dx = r.SB(bits);
        dy = r.SB(bits);
      } else if (r.UB(1)) {
        dy = r.SB(bits);
      } else {
        dx = r.SB(bits);
      }
      pen.X += dx;
      pen.Y += dy;
      s.Polygons.back().push_back(pen);
    }
  }
  EXPECT_TRUE(fillSet);
  r.Align();
  EXPECT_EQ(r.BytePos(), body.size()) << "bytes after the shape";
  return s;
}

struct TReadPlacement {
  uint16_t Depth = 0, Id = 0;
  int32_t X = 0, Y = 0;
};

inline TReadPlacement ReadPlaceObject2(const std::vector<uint8_t>& body) {
  TReadPlacement p;
  TSwfBitReader r(body, 0);
  EXPECT_EQ(r.U8(), 0x06);
  p.Depth = r.U16();
  p.Id = r.U16();
  EXPECT_EQ(r.UB(1), 0u) << "scale";
  EXPECT_EQ(r.UB(1), 0u) << "rotation";
  const int bits = int(r.UB(5));
  p.X = r.SB(bits);
  p.Y = r.SB(bits);
  r.Align();
  EXPECT_EQ(r.BytePos(), body.size());
  return p;
}

// Even-odd test of a pixel centre (in twips) against a shape placed at (dx, dy).
inline bool Covers(const TReadShape& s, int32_t dx, int32_t dy, double x, double y) {
  bool inside = false;
  for (const auto& poly : s.Polygons)
    for (size_t i = 0, j = poly.size() - 1; i < poly.size(); j = i++) {
      const double xi = poly[i].X + dx, yi = poly[i].Y + dy, xj = poly[j].X + dx, yj = poly[j].Y + dy;
      if ((yi > y) != (yj > y) && x < (xj - xi) * (y - yi) / (yj - yi) + xi) inside = !inside;
    }
  return inside;
}
