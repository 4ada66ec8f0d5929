#include "core/graph/raster.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace tav1 {
namespace {

using Points = std::vector<std::pair<int, int>>;

// Every pixel a white line sets on a black 8 x 8 raster, in row-major order.
Points LinePixels(int x0, int y0, int x1, int y1) {
  Raster r(8, 8);
  r.SetPen(kWhite, PenMode::Copy);
  r.MoveTo(x0, y0);
  r.LineTo(x1, y1);
  Points out;
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x)
      if (r.Pixel(x, y) != kBlack) out.emplace_back(x, y);
  return out;
}

struct LineCase {
  const char* name;
  int x0, y0, x1, y1;
  Points expected;
};

TEST(RasterLine, SetsFirstPointButNotLast) {
  const LineCase cases[] = {
      {"horizontal right", 1, 2, 5, 2, {{1, 2}, {2, 2}, {3, 2}, {4, 2}}},
      {"horizontal left", 5, 2, 1, 2, {{2, 2}, {3, 2}, {4, 2}, {5, 2}}},
      {"vertical up", 3, 5, 3, 1, {{3, 2}, {3, 3}, {3, 4}, {3, 5}}},
      {"diagonal", 0, 0, 3, 3, {{0, 0}, {1, 1}, {2, 2}}},
      {"anti-diagonal", 0, 4, 3, 1, {{2, 2}, {1, 3}, {0, 4}}},
      // 1 across, 4 down: offsets 0, 1/4, 2/4 (tie: stays), 3/4 -> 0 0 0 1.
      {"steep", 0, 0, 1, 4, {{0, 0}, {0, 1}, {0, 2}, {1, 3}}},
      // Reversed, the tie again stays at the start's column.
      {"steep reversed", 1, 4, 0, 0, {{0, 1}, {1, 2}, {1, 3}, {1, 4}}},
      // 5 across, 2 down: offsets 0, .4, .8, 1.2, 1.6 -> 0 0 1 1 2.
      {"shallow", 0, 0, 5, 2, {{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}}},
      {"zero length", 4, 4, 4, 4, {}},
  };
  for (const auto& c : cases) EXPECT_EQ(LinePixels(c.x0, c.y0, c.x1, c.y1), c.expected) << c.name;
}

TEST(RasterLine, PenMovesToEndSoAPolylineJoinsWithoutGaps) {
  Raster r(4, 4);
  r.SetPen(kRed, PenMode::Copy);
  r.MoveTo(0, 0);
  r.LineTo(2, 0);
  EXPECT_EQ(r.PenX(), 2);
  EXPECT_EQ(r.PenY(), 0);
  r.LineTo(2, 2);
  EXPECT_EQ(r.Pixel(1, 0), kRed);
  EXPECT_EQ(r.Pixel(2, 0), kRed);  // the joint, set by the second line
  EXPECT_EQ(r.Pixel(2, 1), kRed);
  EXPECT_EQ(r.Pixel(2, 2), kBlack);  // end of the polyline
}

TEST(RasterLine, MergeModeOrsAndCopyModeOverwrites) {
  Raster r(3, 1);
  r.Fill(0x00FF00);
  r.SetPen(0xFF0000, PenMode::Merge);
  r.MoveTo(0, 0);
  r.LineTo(1, 0);
  r.SetPen(0x0000FF, PenMode::Copy);
  r.LineTo(2, 0);
  EXPECT_EQ(r.Pixel(0, 0), 0xFFFF00u);
  EXPECT_EQ(r.Pixel(1, 0), 0x0000FFu);
  EXPECT_EQ(r.Pixel(2, 0), 0x00FF00u);
}

TEST(RasterLine, PartsOutsideTheRasterAreClipped) {
  Raster r(4, 4);
  r.SetPen(kWhite, PenMode::Copy);
  r.MoveTo(-3, 1);
  r.LineTo(9, 1);
  for (int x = 0; x < 4; ++x) EXPECT_EQ(r.Pixel(x, 1), kWhite) << x;
  EXPECT_EQ(r.Pixel(0, 0), kBlack);
}

TEST(RasterFill, RectExcludesRightAndBottomAndBlitClips) {
  Raster r(4, 3);
  r.FillRect(1, 0, 3, 2, kWhite);
  EXPECT_EQ(r.Pixel(0, 0), kBlack);
  EXPECT_EQ(r.Pixel(1, 0), kWhite);
  EXPECT_EQ(r.Pixel(2, 1), kWhite);
  EXPECT_EQ(r.Pixel(3, 0), kBlack);
  EXPECT_EQ(r.Pixel(1, 2), kBlack);

  Raster src(2, 2);
  src.Fill(kBlue);
  src.Plot(0, 0, kRed);
  r.Blit(src, 3, -1);  // only src (0, 1) lands, at (3, 0)
  EXPECT_EQ(r.Pixel(3, 0), kBlue);
  EXPECT_EQ(r.Pixel(3, 1), kBlack);
  r.Blit(src, 0, 1);
  EXPECT_EQ(r.Pixel(0, 1), kRed);
  EXPECT_EQ(r.Pixel(1, 2), kBlue);
}

}  // namespace
}  // namespace tav1
