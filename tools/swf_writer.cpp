#include "tools/swf_writer.h"

#include <zlib.h>

#include <algorithm>
#include <climits>
#include <string>

#include "platform/exceptions.h"

namespace {

enum : uint16_t {
  tagEnd = 0,
  tagShowFrame = 1,
  tagDefineShape = 2,
  tagSetBackgroundColor = 9,
  tagPlaceObject2 = 26,
  tagFileAttributes = 69,
};

void Tag(TSwfBitWriter& out, uint16_t code, const std::vector<uint8_t>& body) {
  // Short header for bodies under 63 bytes, else the long form.
  if (body.size() < 0x3F) {
    out.U16(uint16_t(code << 6 | body.size()));
  } else {
    out.U16(uint16_t(code << 6 | 0x3F));
    out.U32(uint32_t(body.size()));
  }
  out.Bytes(body);
}

void Rgb(TSwfBitWriter& w, const TSwfColor& c) {
  w.U8(c.R);
  w.U8(c.G);
  w.U8(c.B);
}

// A straight edge; horizontal and vertical ones take the short form.
void Edge(TSwfBitWriter& w, int32_t dx, int32_t dy) {
  const int bits = std::max({2, SignedBits(dx), SignedBits(dy)});
  if (bits > 17) throw Exception("SWF edge longer than 17 bits: " + std::to_string(dx) + "," + std::to_string(dy));
  w.UB(1, 1);  // edge record
  w.UB(1, 1);  // straight
  w.UB(uint32_t(bits - 2), 4);
  if (dx != 0 && dy != 0) {
    w.UB(1, 1);  // general line
    w.SB(dx, bits);
    w.SB(dy, bits);
  } else {
    w.UB(0, 1);
    w.UB(dx == 0 ? 1 : 0, 1);  // vertical?
    w.SB(dx == 0 ? dy : dx, bits);
  }
}

std::vector<uint8_t> DefineShape(uint16_t id, const TSwfShape& shape) {
  TSwfBitWriter w;
  w.U16(id);
  WriteRect(w, ShapeBounds(shape));
  w.U8(1);  // one fill style
  w.U8(0x00);  // solid
  Rgb(w, shape.Color);
  w.U8(0);  // no line styles
  w.UB(1, 4);  // fill style index bits
  w.UB(0, 4);  // line style index bits
  bool first = true;
  for (const std::vector<TSwfPoint>& polygon : shape.Polygons) {
    if (polygon.size() < 3) throw Exception("SWF polygon with fewer than 3 points");
    // Style change: move to the first point; the first one also picks fill 1.
    w.UB(0, 1);             // not an edge
    w.UB(0, 1);             // new styles
    w.UB(0, 1);             // line style
    w.UB(first ? 1 : 0, 1); // fill style 1
    w.UB(0, 1);             // fill style 0
    w.UB(1, 1);             // move to
    const TSwfPoint start = polygon[0];
    const int moveBits = std::max(SignedBits(start.X), SignedBits(start.Y));
    w.UB(uint32_t(moveBits), 5);
    w.SB(start.X, moveBits);
    w.SB(start.Y, moveBits);
    if (first) w.UB(1, 1);
    first = false;
    for (size_t i = 0; i < polygon.size(); ++i) {
      const TSwfPoint a = polygon[i], b = polygon[(i + 1) % polygon.size()];
      if (a.X != b.X || a.Y != b.Y) Edge(w, b.X - a.X, b.Y - a.Y);
    }
  }
  w.UB(0, 6);  // end of shape
  w.Align();
  return w.Data();
}

std::vector<uint8_t> PlaceObject2(uint16_t depth, uint16_t id, TSwfPoint offset) {
  TSwfBitWriter w;
  w.U8(0x06);  // has matrix, has character
  w.U16(depth);
  w.U16(id);
  w.UB(0, 1);  // no scale
  w.UB(0, 1);  // no rotation
  const int bits = std::max(SignedBits(offset.X), SignedBits(offset.Y));
  w.UB(uint32_t(bits), 5);
  w.SB(offset.X, bits);
  w.SB(offset.Y, bits);
  w.Align();
  return w.Data();
}

}  // namespace

void TSwfBitWriter::UB(uint32_t value, int bits) {
  for (int i = bits - 1; i >= 0; --i) {
    FPending = (FPending << 1) | ((value >> i) & 1);
    if (++FPendingBits == 8) {
      FBytes.push_back(uint8_t(FPending));
      FPending = 0;
      FPendingBits = 0;
    }
  }
}

void TSwfBitWriter::SB(int32_t value, int bits) {
  if (bits < 32 && SignedBits(value) > bits)
    throw Exception("SWF value " + std::to_string(value) + " needs more than " + std::to_string(bits) + " bits");
  UB(uint32_t(value), bits);
}

void TSwfBitWriter::Align() {
  if (FPendingBits) UB(0, 8 - FPendingBits);
}

void TSwfBitWriter::U8(uint8_t v) {
  Align();
  FBytes.push_back(v);
}

void TSwfBitWriter::U16(uint16_t v) {
  U8(uint8_t(v));
  U8(uint8_t(v >> 8));
}

void TSwfBitWriter::U32(uint32_t v) {
  U16(uint16_t(v));
  U16(uint16_t(v >> 16));
}

void TSwfBitWriter::Bytes(const std::vector<uint8_t>& bytes) {
  Align();
  FBytes.insert(FBytes.end(), bytes.begin(), bytes.end());
}

const std::vector<uint8_t>& TSwfBitWriter::Data() {
  Align();
  return FBytes;
}

int UnsignedBits(uint32_t value) {
  int bits = 0;
  for (; value; value >>= 1) ++bits;
  return bits;
}

int SignedBits(int32_t value) {
  if (value == 0) return 0;
  return UnsignedBits(value < 0 ? ~uint32_t(value) : uint32_t(value)) + 1;
}

void WriteRect(TSwfBitWriter& w, const TSwfRect& r) {
  const int bits = std::max({SignedBits(r.XMin), SignedBits(r.XMax), SignedBits(r.YMin), SignedBits(r.YMax)});
  w.UB(uint32_t(bits), 5);
  w.SB(r.XMin, bits);
  w.SB(r.XMax, bits);
  w.SB(r.YMin, bits);
  w.SB(r.YMax, bits);
  w.Align();
}

TSwfRect ShapeBounds(const TSwfShape& shape) {
  TSwfRect r{INT32_MAX, INT32_MIN, INT32_MAX, INT32_MIN};
  for (const auto& polygon : shape.Polygons)
    for (const TSwfPoint& p : polygon) {
      r.XMin = std::min(r.XMin, p.X);
      r.XMax = std::max(r.XMax, p.X);
      r.YMin = std::min(r.YMin, p.Y);
      r.YMax = std::max(r.YMax, p.Y);
    }
  if (r.XMin > r.XMax) return TSwfRect{};
  return r;
}

std::vector<uint8_t> SwfTags(const TSwfMovie& movie) {
  TSwfBitWriter out;
  // SWF 8 wants FileAttributes first: no network access, ActionScript 1/2.
  Tag(out, tagFileAttributes, {0, 0, 0, 0});
  Tag(out, tagSetBackgroundColor, {movie.Background.R, movie.Background.G, movie.Background.B});
  for (size_t i = 0; i < movie.Shapes.size(); ++i) {
    const uint16_t id = uint16_t(i + 1);
    Tag(out, tagDefineShape, DefineShape(id, movie.Shapes[i].Shape));
    Tag(out, tagPlaceObject2, PlaceObject2(id, id, movie.Shapes[i].Offset));
  }
  Tag(out, tagShowFrame, {});
  Tag(out, tagEnd, {});
  return out.Data();
}

namespace {

std::vector<uint8_t> SwfBody(const TSwfMovie& movie) {
  TSwfBitWriter w;
  WriteRect(w, movie.FrameSize);
  w.U16(movie.FrameRate);
  w.U16(1);  // frames
  w.Bytes(SwfTags(movie));
  return w.Data();
}

std::vector<uint8_t> Header(const char* signature, uint8_t version, size_t totalLength) {
  std::vector<uint8_t> h(signature, signature + 3);
  h.push_back(version);
  for (int i = 0; i < 4; ++i) h.push_back(uint8_t(totalLength >> (8 * i)));
  return h;
}

}  // namespace

std::vector<uint8_t> UncompressedSwf(const TSwfMovie& movie) {
  const std::vector<uint8_t> body = SwfBody(movie);
  std::vector<uint8_t> out = Header("FWS", movie.Version, 8 + body.size());
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

std::vector<uint8_t> CompressedSwf(const TSwfMovie& movie) {
  const std::vector<uint8_t> body = SwfBody(movie);
  std::vector<uint8_t> out = Header("CWS", movie.Version, 8 + body.size());
  uLongf size = compressBound(uLong(body.size()));
  std::vector<uint8_t> packed(size);
  if (compress2(packed.data(), &size, body.data(), uLong(body.size()), Z_BEST_COMPRESSION) != Z_OK)
    throw Exception("zlib could not compress the movie");
  out.insert(out.end(), packed.begin(), packed.begin() + std::ptrdiff_t(size));
  return out;
}

std::vector<uint8_t> DecompressSwf(const std::vector<uint8_t>& cws) {
  if (cws.size() < 8 || cws[0] != 'C' || cws[1] != 'W' || cws[2] != 'S')
    throw Exception("Not a compressed SWF (signature CWS)");
  const uint32_t length = uint32_t(cws[4]) | uint32_t(cws[5]) << 8 | uint32_t(cws[6]) << 16 |
                          uint32_t(cws[7]) << 24;
  if (length < 8 || length > (64u << 20)) throw Exception("Implausible SWF length " + std::to_string(length));
  std::vector<uint8_t> out = Header("FWS", cws[3], length);
  out.resize(length);
  uLongf size = length - 8;
  const int rc = uncompress(out.data() + 8, &size, cws.data() + 8, uLong(cws.size() - 8));
  if (rc != Z_OK || size != length - 8)
    throw Exception("The SWF's zlib stream does not give its stated length");
  return out;
}
