#include "tools/title_movie.h"

#include <string>

namespace {

constexpr int32_t Twips = 20;

// 5 x 7 block letters, one string per row.
struct TGlyph {
  char Letter;
  const char* Rows[7];
};
constexpr TGlyph Glyphs[] = {
    {'K', {"X...X", "X..X.", "X.X..", "XX...", "X.X..", "X..X.", "X...X"}},
    {'R', {"XXXX.", "X...X", "X...X", "XXXX.", "X.X..", "X..X.", "X...X"}},
    {'I', {"XXXXX", "..X..", "..X..", "..X..", "..X..", "..X..", "XXXXX"}},
    {'B', {"XXXX.", "X...X", "X...X", "XXXX.", "X...X", "X...X", "XXXX."}},
    {'E', {"XXXXX", "X....", "X....", "XXXX.", "X....", "X....", "XXXXX"}},
    {'L', {"X....", "X....", "X....", "X....", "X....", "X....", "XXXXX"}},
};

// Clockwise on screen (y down): the fill lies right of every edge.
std::vector<TSwfPoint> Box(int32_t x, int32_t y, int32_t w, int32_t h) {
  return {{x, y}, {x + w, y}, {x + w, y + h}, {x, y + h}};
}

std::vector<TSwfPoint> Scale(std::vector<TSwfPoint> points) {
  for (TSwfPoint& p : points) {
    p.X *= Twips;
    p.Y *= Twips;
  }
  return points;
}

TSwfPoint Px(int32_t x, int32_t y) { return {x * Twips, y * Twips}; }

TSwfColor Darker(TSwfColor c) {
  return {uint8_t(c.R * 3 / 5), uint8_t(c.G * 3 / 5), uint8_t(c.B * 3 / 5)};
}

// One shape per letter: a box for each run of blocks in a row.
TSwfShape Letter(char letter, TSwfColor color, int32_t cell) {
  TSwfShape shape{color, {}};
  for (const TGlyph& g : Glyphs) {
    if (g.Letter != letter) continue;
    for (int32_t row = 0; row < 7; ++row) {
      const std::string r = g.Rows[row];
      for (int32_t col = 0; col < 5;) {
        if (r[size_t(col)] != 'X') {
          ++col;
          continue;
        }
        int32_t end = col;
        while (end < 5 && r[size_t(end)] == 'X') ++end;
        shape.Polygons.push_back(Scale(Box(col * cell, row * cell, (end - col) * cell, cell)));
        col = end;
      }
    }
  }
  return shape;
}

// A crayon stroke: a band that zigzags across the stage.
TSwfShape Zigzag(TSwfColor color, int32_t width, int32_t step, int32_t amplitude, int32_t thickness) {
  std::vector<TSwfPoint> top, polygon;
  for (int32_t x = 0, i = 0; x <= width; x += step, ++i)
    top.push_back({x, (i % 2) ? 0 : 2 * amplitude});
  polygon = top;
  for (size_t i = top.size(); i-- > 0;) polygon.push_back({top[i].X, top[i].Y + thickness});
  return {color, {Scale(polygon)}};
}

// A crayon standing up: the pointed tip, then the body.
TSwfShape Crayon(TSwfColor color, int32_t w, int32_t tip, int32_t h) {
  return {color, {Scale({{w / 2, 0}, {w, tip}, {w, h}, {0, h}, {0, tip}})}};
}

}  // namespace

TSwfMovie KribbelTitleMovie() {
  TSwfMovie movie;
  movie.Version = 8;
  movie.FrameSize = {0, TitleStageWidth * Twips, 0, TitleStageHeight * Twips};
  movie.FrameRate = 24 << 8;
  movie.Background = TitleBackground;

  // The title: seven letters of 5 x 7 blocks of 16 pixels, one block apart.
  const char* title = "KRIBBEL";
  const TSwfColor letterColors[] = {{229, 57, 53},  {251, 140, 0}, {249, 168, 37}, {67, 160, 71},
                                    {30, 136, 229}, {142, 36, 170}, {216, 27, 96}};
  const int32_t cell = 16, advance = 6 * cell;
  const int32_t titleWidth = 7 * advance - cell;
  const int32_t left = (TitleStageWidth - titleWidth) / 2, top = 96;
  for (int i = 0; i < 7; ++i)
    movie.Shapes.push_back({Letter(title[i], letterColors[i], cell), Px(left + i * advance, top)});

  // Three crayon strokes under the title.
  const TSwfColor strokeColors[] = {{229, 57, 53}, {249, 168, 37}, {30, 136, 229}};
  for (int i = 0; i < 3; ++i)
    movie.Shapes.push_back({Zigzag(strokeColors[i], titleWidth, 41, 5, 10), Px(left, 232 + i * 26)});

  // Five crayons standing in a row, each with a darker wrapper band.
  const TSwfColor crayonColors[] = {{229, 57, 53}, {251, 140, 0}, {67, 160, 71}, {30, 136, 229},
                                    {142, 36, 170}};
  const int32_t crayonWidth = 30, crayonGap = 96, crayonTop = 326;
  const int32_t rowWidth = 4 * crayonGap + crayonWidth;
  for (int i = 0; i < 5; ++i) {
    const int32_t x = (TitleStageWidth - rowWidth) / 2 + i * crayonGap;
    movie.Shapes.push_back({Crayon(crayonColors[i], crayonWidth, 34, 136), Px(x, crayonTop)});
    movie.Shapes.push_back(
        {TSwfShape{Darker(crayonColors[i]), {Scale(Box(0, 0, crayonWidth, 26))}}, Px(x, crayonTop + 78)});
  }
  return movie;
}
