#pragma once
// Writes SWF movies from solid-filled polygons: the bit-level records (RECT,
// MATRIX, shape records), the tags the title movie needs, and the CWS
// (zlib-compressed) container. Coordinates are in twips (1/20 pixel).
#include <cstdint>
#include <vector>

// Bits, most significant first, as SWF packs its records.
class TSwfBitWriter {
  std::vector<uint8_t> FBytes;
  uint32_t FPending = 0;  // bits not yet in a byte, at the low end
  int FPendingBits = 0;

public:
  void UB(uint32_t value, int bits);  // unsigned, 0..32 bits
  void SB(int32_t value, int bits);   // two's complement, 0..32 bits
  void Align();                       // pads the last byte with zero bits
  void U8(uint8_t v);
  void U16(uint16_t v);               // little-endian, after Align
  void U32(uint32_t v);
  void Bytes(const std::vector<uint8_t>& bytes);
  const std::vector<uint8_t>& Data();  // aligned
};

// Bits that a signed / unsigned bit field needs for value (0 for 0).
int SignedBits(int32_t value);
int UnsignedBits(uint32_t value);

struct TSwfRect {
  int32_t XMin = 0, XMax = 0, YMin = 0, YMax = 0;
};
struct TSwfPoint {
  int32_t X = 0, Y = 0;
};
struct TSwfColor {
  uint8_t R = 0, G = 0, B = 0;
};
// A shape of one colour: closed polygons, each drawn clockwise on screen (y
// down) with the fill on the right of every edge (FillStyle1).
struct TSwfShape {
  TSwfColor Color;
  std::vector<std::vector<TSwfPoint>> Polygons;
};

void WriteRect(TSwfBitWriter& w, const TSwfRect& r);
TSwfRect ShapeBounds(const TSwfShape& shape);

// One movie of one frame: background, shapes placed at their offsets.
struct TSwfPlacedShape {
  TSwfShape Shape;
  TSwfPoint Offset;
};
struct TSwfMovie {
  uint8_t Version = 8;
  TSwfRect FrameSize;
  uint16_t FrameRate = 24 << 8;  // 8.8 fixed point
  TSwfColor Background;
  std::vector<TSwfPlacedShape> Shapes;  // depth 1, 2, ... in this order
};

// The tags after the header: FileAttributes, SetBackgroundColor, then per
// shape DefineShape and PlaceObject2, ShowFrame, End.
std::vector<uint8_t> SwfTags(const TSwfMovie& movie);
// "FWS" + version + file length, then frame size, rate, count and the tags.
std::vector<uint8_t> UncompressedSwf(const TSwfMovie& movie);
// The same movie as "CWS": the 8-byte header keeps the uncompressed length,
// everything after it is one zlib stream.
std::vector<uint8_t> CompressedSwf(const TSwfMovie& movie);
// CWS back to FWS; raises Exception on a bad container.
std::vector<uint8_t> DecompressSwf(const std::vector<uint8_t>& cws);
