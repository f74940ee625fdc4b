#include "standin/movie_header.h"

namespace standin {

namespace {

// The frame rectangle is a bit field: 5 bits of width n, then four signed
// n-bit values in twips.
class TBitReader {
  const uint8_t* FData;
  size_t FSize;
  size_t FBit = 0;
public:
  TBitReader(const uint8_t* data, size_t size) : FData(data), FSize(size) {}
  bool Read(unsigned bits, uint32_t& value) {
    if (bits > 32 || FBit + bits > FSize * 8) return false;
    value = 0;
    for (unsigned i = 0; i < bits; ++i, ++FBit)
      value = (value << 1) | ((FData[FBit / 8] >> (7 - FBit % 8)) & 1);
    return true;
  }
  size_t BytePosition() const { return (FBit + 7) / 8; }
};

long SignExtend(uint32_t value, unsigned bits) {
  if (bits == 0) return 0;
  const uint32_t sign = 1u << (bits - 1);
  return static_cast<long>(static_cast<int32_t>((value ^ sign) - sign));
}

}  // namespace

TMovieHeader ParseMovieHeader(const uint8_t* data, size_t size) {
  TMovieHeader header;
  if (!data || size < 8) return header;
  const char first = static_cast<char>(data[0]);
  if ((first != 'F' && first != 'C' && first != 'Z') || data[1] != 'W' || data[2] != 'S')
    return header;
  header.Recognised = true;
  header.Compressed = first != 'F';
  header.Version = data[3];
  header.DeclaredLength = uint32_t{data[4]} | uint32_t{data[5]} << 8 | uint32_t{data[6]} << 16 |
                          uint32_t{data[7]} << 24;
  if (header.Compressed) return header;
  TBitReader bits(data + 8, size - 8);
  uint32_t width = 0, xMin = 0, xMax = 0, yMin = 0, yMax = 0;
  if (!bits.Read(5, width) || !bits.Read(width, xMin) || !bits.Read(width, xMax) ||
      !bits.Read(width, yMin) || !bits.Read(width, yMax))
    return header;
  header.WidthPixels = (SignExtend(xMax, width) - SignExtend(xMin, width)) / 20;
  header.HeightPixels = (SignExtend(yMax, width) - SignExtend(yMin, width)) / 20;
  const size_t rest = 8 + bits.BytePosition();
  if (rest + 4 <= size) header.FrameCount = data[rest + 2] | (data[rest + 3] << 8);
  return header;
}

}  // namespace standin
