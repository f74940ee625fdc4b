#include <gtest/gtest.h>

#include "app/stage_layout.h"

namespace {

TEST(StageLayout, WorkedExamplesAndEdges) {
  struct {
    const char* Name;
    TStageMetrics In;
    TStageLayout Out;
  } cases[] = {
      {"full HD", {768, 476, 8, 33, 1920, 1080, 1040}, {202, 12, 1515, 972, 1507, 939}},
      // -37 halves toward zero to -18, not -19.
      {"XGA: wider than the screen", {768, 476, 8, 33, 1024, 768, 738}, {-18, 7, 1061, 691, 1053, 658}},
      {"work area as high as the screen", {768, 476, 8, 33, 1920, 1080, 1080}, {202, -8, 1515, 972, 1507, 939}},
      {"odd difference of 31", {768, 476, 8, 33, 1920, 1080, 1049}, {202, 7, 1515, 972, 1507, 939}},
      {"narrow portrait screen", {768, 476, 8, 33, 800, 1280, 1240}, {-502, 12, 1805, 1152, 1797, 1119}},
      {"no frame", {768, 476, 0, 0, 1280, 1024, 984}, {-102, 12, 1485, 921, 1485, 921}},
      {"designed height zero keeps the width", {768, 0, 8, 33, 1920, 1080, 1040}, {572, 12, 776, 972, 768, 939}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const TStageLayout r = ComputeStageLayout(c.In);
    EXPECT_EQ(r.Left, c.Out.Left);
    EXPECT_EQ(r.Top, c.Out.Top);
    EXPECT_EQ(r.Width, c.Out.Width);
    EXPECT_EQ(r.Height, c.Out.Height);
    EXPECT_EQ(r.ClientWidth, c.Out.ClientWidth);
    EXPECT_EQ(r.ClientHeight, c.Out.ClientHeight);
  }
}

}  // namespace
