// The SWF writer and the title movie, read back by an independent reader.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <map>

#include "tools/tests/swf_reader.h"
#include "platform/exceptions.h"
#include "tools/form_compiler.h"
#include "tools/swf_writer.h"
#include "tools/title_movie.h"

namespace {

std::vector<uint8_t> Bits(const std::function<void(TSwfBitWriter&)>& write) {
  TSwfBitWriter w;
  write(w);
  return w.Data();
}

TEST(SwfWriter, BitFieldsPackMostSignificantFirst) {
  // The frame rectangle of a 550 x 400 pixel stage, as every such movie has it.
  EXPECT_EQ(Bits([](TSwfBitWriter& w) { WriteRect(w, {0, 11000, 0, 8000}); }),
            std::vector<uint8_t>({0x78, 0x00, 0x05, 0x5F, 0x00, 0x00, 0x0F, 0xA0, 0x00}));
  // All zero: five zero bits, padded.
  EXPECT_EQ(Bits([](TSwfBitWriter& w) { WriteRect(w, {}); }), std::vector<uint8_t>({0x00}));
  EXPECT_EQ(Bits([](TSwfBitWriter& w) {
              w.UB(1, 1);
              w.SB(-2, 3);
              w.UB(5, 4);
            }),
            std::vector<uint8_t>({0xE5}));  // 1 110 0101
  EXPECT_EQ(Bits([](TSwfBitWriter& w) {
              w.UB(1, 3);
              w.U16(0x1234);
            }),
            std::vector<uint8_t>({0x20, 0x34, 0x12}));
  EXPECT_THROW(Bits([](TSwfBitWriter& w) { w.SB(4, 3); }), Exception);

  const struct {
    int32_t Value;
    int Signed;
  } rows[] = {{0, 0}, {1, 2}, {-1, 1}, {-2, 2}, {127, 8}, {-128, 8}, {128, 9}, {15360, 15}, {-15360, 15}};
  for (const auto& row : rows) EXPECT_EQ(SignedBits(row.Value), row.Signed) << row.Value;
  EXPECT_EQ(UnsignedBits(0), 0);
  EXPECT_EQ(UnsignedBits(1), 1);
  EXPECT_EQ(UnsignedBits(0xFFFFFFFFu), 32);
}

TEST(SwfWriter, ShapesReadBackAsTheirPolygons) {
  TSwfMovie movie;
  movie.FrameSize = {0, 2000, 0, 1000};
  movie.Background = {1, 2, 3};
  TSwfShape triangle{{10, 20, 30}, {{{0, 0}, {300, 0}, {0, -40000}}, {{5, 5}, {9, 5}, {9, 9}}}};
  movie.Shapes.push_back({triangle, {-100, 70000}});
  const TReadMovie read = ReadMovie(UncompressedSwf(movie));
  ASSERT_EQ(read.Tags.size(), 6u);
  EXPECT_EQ(read.Tags[0].Code, 69);
  EXPECT_EQ(read.Tags[1].Code, 9);
  EXPECT_EQ(read.Tags[1].Body, std::vector<uint8_t>({1, 2, 3}));
  EXPECT_EQ(read.Tags[2].Code, 2);
  const TReadShape shape = ReadShape(read.Tags[2].Body);
  EXPECT_EQ(shape.Color, 0x0A141Eu);
  EXPECT_EQ(shape.Bounds.XMin, 0);
  EXPECT_EQ(shape.Bounds.XMax, 300);
  EXPECT_EQ(shape.Bounds.YMin, -40000);
  EXPECT_EQ(shape.Bounds.YMax, 9);
  ASSERT_EQ(shape.Polygons.size(), 2u);
  // Each polygon comes back closed: its points and the start again.
  EXPECT_EQ(shape.Polygons[0].size(), 4u);
  EXPECT_EQ(shape.Polygons[0][2].Y, -40000);
  EXPECT_EQ(shape.Polygons[1][1].X, 9);
  EXPECT_EQ(read.Tags[3].Code, 26);
  const TReadPlacement place = ReadPlaceObject2(read.Tags[3].Body);
  EXPECT_EQ(place.Depth, 1);
  EXPECT_EQ(place.Id, 1);
  EXPECT_EQ(place.X, -100);
  EXPECT_EQ(place.Y, 70000);
  EXPECT_EQ(read.Tags[4].Code, 1);
  EXPECT_EQ(read.Tags[5].Code, 0);
}

TEST(SwfWriter, TitleMovieHeaderAndCompression) {
  const std::vector<uint8_t> cws = CompressedSwf(KribbelTitleMovie());
  ASSERT_GT(cws.size(), 8u);
  EXPECT_EQ(std::string(cws.begin(), cws.begin() + 3), "CWS");
  EXPECT_EQ(cws[3], 8);
  const uint32_t length = uint32_t(cws[4]) | uint32_t(cws[5]) << 8 | uint32_t(cws[6]) << 16 |
                          uint32_t(cws[7]) << 24;
  // The zlib stream, inflated on its own, is the rest of the uncompressed file.
  std::vector<uint8_t> body(length);
  uLongf size = uLongf(body.size());
  ASSERT_EQ(uncompress(body.data(), &size, cws.data() + 8, uLong(cws.size() - 8)), Z_OK);
  EXPECT_EQ(size + 8, length);
  const std::vector<uint8_t> fws = UncompressedSwf(KribbelTitleMovie());
  ASSERT_EQ(fws.size(), length);
  EXPECT_EQ(std::vector<uint8_t>(fws.begin() + 8, fws.end()), std::vector<uint8_t>(body.begin(), body.begin() + std::ptrdiff_t(size)));
  EXPECT_EQ(DecompressSwf(cws), fws);

  const TReadMovie m = ReadMovie(fws);
  EXPECT_EQ(m.Signature, "FWS");
  EXPECT_EQ(m.Version, 8);
  EXPECT_EQ(m.FileLength, fws.size());
  EXPECT_EQ(m.Frame.XMin, 0);
  EXPECT_EQ(m.Frame.XMax, 768 * 20);
  EXPECT_EQ(m.Frame.YMin, 0);
  EXPECT_EQ(m.Frame.YMax, 476 * 20);
  EXPECT_EQ(m.FrameRate, 24 << 8);
  EXPECT_EQ(m.FrameCount, 1);
  ASSERT_GE(m.Tags.size(), 4u);
  EXPECT_EQ(m.Tags.front().Code, 69);  // FileAttributes first, as SWF 8 wants
  EXPECT_EQ(m.Tags[1].Code, 9);
  EXPECT_EQ(m.Tags[m.Tags.size() - 2].Code, 1);
  EXPECT_EQ(m.Tags.back().Code, 0);

  EXPECT_THROW(DecompressSwf({'F', 'W', 'S', 8, 9, 0, 0, 0, 0}), Exception);
  std::vector<uint8_t> cut(cws.begin(), cws.end() - 10);
  EXPECT_THROW(DecompressSwf(cut), Exception);
}

// The frame as a raster of colours, one per pixel, from the tags alone.
std::vector<uint32_t> Raster(const TReadMovie& m, int32_t width, int32_t height) {
  uint32_t background = 0;
  std::map<uint16_t, TReadShape> shapes;
  std::vector<TReadPlacement> placed;
  for (const TReadTag& tag : m.Tags) {
    if (tag.Code == 9) background = uint32_t(tag.Body[0]) << 16 | uint32_t(tag.Body[1]) << 8 | tag.Body[2];
    if (tag.Code == 2) {
      TReadShape s = ReadShape(tag.Body);
      shapes[s.Id] = s;
    }
    if (tag.Code == 26) placed.push_back(ReadPlaceObject2(tag.Body));
  }
  std::vector<uint32_t> pixels(size_t(width) * size_t(height), background);
  for (const TReadPlacement& p : placed) {  // depth order: later on top
    const TReadShape& s = shapes.at(p.Id);
    // Only the pixels inside the shape's stated bounds: a fill outside them shows as missing.
    const int32_t x0 = std::max(0, (s.Bounds.XMin + p.X) / 20 - 1), x1 = std::min(width, (s.Bounds.XMax + p.X) / 20 + 1);
    const int32_t y0 = std::max(0, (s.Bounds.YMin + p.Y) / 20 - 1), y1 = std::min(height, (s.Bounds.YMax + p.Y) / 20 + 1);
    for (int32_t y = y0; y < y1; ++y)
      for (int32_t x = x0; x < x1; ++x)
        if (Covers(s, p.X, p.Y, (x + 0.5) * 20, (y + 0.5) * 20)) pixels[size_t(y) * size_t(width) + size_t(x)] = s.Color;
  }
  return pixels;
}

TEST(SwfWriter, TitleMovieShowsTheTitleBlocksAndCrayons) {
  const TReadMovie m = ReadMovie(UncompressedSwf(KribbelTitleMovie()));
  const std::vector<uint32_t> pixels = Raster(m, 768, 476);
  const auto at = [&](int32_t x, int32_t y) { return pixels[size_t(y) * 768 + size_t(x)]; };
  if (const char* preview = std::getenv("KRIBBEL_SWF_PREVIEW")) {  // a PPM to look at
    if (FILE* f = std::fopen(preview, "wb")) {
      std::fprintf(f, "P6 768 476 255\n");
      for (uint32_t c : pixels) {
        const uint8_t rgb[3] = {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c)};
        std::fwrite(rgb, 1, 3, f);
      }
      std::fclose(f);
    }
  }
  const uint32_t cream = 0xFFF8E7;
  // Letters start at x = 56, y = 96, blocks of 16 pixels, 96 pixels apart.
  EXPECT_EQ(at(5, 5), cream);
  EXPECT_EQ(at(56 + 8, 96 + 8), 0xE53935u);        // K: stem, top
  EXPECT_EQ(at(56 + 8, 96 + 104), 0xE53935u);      // K: stem, bottom
  EXPECT_EQ(at(56 + 24, 96 + 56), 0xE53935u);      // K: the joint
  EXPECT_EQ(at(56 + 40, 96 + 8), cream);           // K: open between the arms
  EXPECT_EQ(at(56 + 72, 96 + 8), 0xE53935u);       // K: upper arm's end
  EXPECT_EQ(at(56 + 72, 96 + 104), 0xE53935u);     // K: lower arm's end
  EXPECT_EQ(at(56 + 40, 96 + 56), cream);
  EXPECT_EQ(at(56 + 2 * 96 + 40, 96 + 56), 0xF9A825u);  // I: its stem
  EXPECT_EQ(at(56 + 2 * 96 + 8, 96 + 56), cream);
  EXPECT_EQ(at(56 + 6 * 96 + 8, 96 + 56), 0xD81B60u);   // L
  EXPECT_EQ(at(56 + 6 * 96 + 72, 96 + 104), 0xD81B60u);
  EXPECT_EQ(at(56 + 6 * 96 + 72, 96 + 56), cream);
  // Crayons: the body, the darker wrapper band, the tip's point and shoulders.
  const int32_t crayonX = (768 - (4 * 96 + 30)) / 2;
  EXPECT_EQ(at(crayonX + 15, 326 + 60), 0xE53935u);
  EXPECT_EQ(at(crayonX + 15, 326 + 90), 0x89221Fu);
  EXPECT_EQ(at(crayonX + 15, 326 + 3), 0xE53935u);
  EXPECT_EQ(at(crayonX + 2, 326 + 3), cream);
  EXPECT_EQ(at(crayonX + 4 * 96 + 15, 326 + 120), 0x8E24AAu);
  // A stroke crosses the space under the title.
  int stroke = 0;
  for (int32_t x = 56; x < 712; ++x) stroke += at(x, 246) == 0xE53935u;
  EXPECT_GT(stroke, 300);
}

TEST(SwfWriter, CommittedMovieIsWhatSwfgenMakes) {
  // zlib versions may pack differently: compare the movies, not the packing.
  const std::vector<uint8_t> committed = ReadFileBytes(KRIBBEL_SOURCE_DIR "/resources/Kribbel.swf");
  EXPECT_EQ(DecompressSwf(committed), UncompressedSwf(KribbelTitleMovie()));
}

}  // namespace
