#include "core/graph/graph.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace tav1 {
namespace {

struct Tables {
  std::uint8_t R[256], G[256], B[256];
};

Tables Identity() {
  Tables t;
  for (int i = 0; i < 256; ++i) t.R[i] = t.G[i] = t.B[i] = static_cast<std::uint8_t>(i);
  return t;
}

GraphInput Input(const Tables& t, const HistogramPictures& h) {
  GraphInput in;
  in.ReadyFlag = true;
  in.histogram = &h;
  in.TableR = t.R;
  in.TableG = t.G;
  in.TableB = t.B;
  return in;
}

int NonBlack(const Raster& r) {
  int n = 0;
  for (Rgb p : r.Pixels()) n += p != kBlack;
  return n;
}

TEST(GraphDraw, DefaultParametersGiveAWhiteDiagonalAndThreeLines) {
  const Tables t = Identity();
  const HistogramPictures blank;  // black pictures
  GraphPicture out;
  ASSERT_TRUE(GraphDraw(Input(t, blank), out));
  ASSERT_EQ(out.picture.Width(), 272);
  ASSERT_EQ(out.picture.Height(), 320);
  for (int i = 0; i < 255; ++i) EXPECT_EQ(out.picture.Pixel(7 + i, 262 - i), kWhite) << i;
  EXPECT_EQ(out.picture.Pixel(262, 7), kBlack);  // a line's last point is not drawn
  EXPECT_EQ(NonBlack(out.picture), 255);

  ASSERT_EQ(out.lines.size(), 3u);
  const Rgb colours[3] = {0xFF9090, 0x90FF90, 0x9090FF};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(out.lines[i].text, "Gamma = 1 , y = 1 * x +0");
    EXPECT_EQ(out.lines[i].colour, colours[i]);
    EXPECT_EQ(out.lines[i].x, 10);
    EXPECT_EQ(out.lines[i].y, 268 + 13 * i);
  }
}

TEST(GraphDraw, GreenSoloShowsMutedCurvesOnTheBottomAndOnlyTheGreenLine) {
  Tables t = Identity();
  for (int i = 0; i < 256; ++i) t.R[i] = t.B[i] = 0;  // placeholder 256, 0, 511
  HistogramPictures h;
  h.HgrmBmp.Plot(100, 255, kGreen);  // a green histogram pixel under the muted curves
  GraphInput in = Input(t, h);
  in.SoloFlag = 1;
  in.Para[0][0] = in.Para[2][0] = 256;
  in.Para[0][2] = in.Para[2][2] = 511;
  in.Para[1][0] = 16;
  in.Para[1][2] = 235;
  GraphPicture out;
  ASSERT_TRUE(GraphDraw(in, out));

  EXPECT_EQ(out.picture.Pixel(7, 262), kWhite);  // all three curves start here
  for (int x = 8; x <= 261; ++x) {
    if (x != 107) { EXPECT_EQ(out.picture.Pixel(x, 262), 0xFF00FFu) << x; }
  }
  EXPECT_EQ(out.picture.Pixel(107, 262), kWhite);  // merged with the histogram, not painted over
  EXPECT_EQ(out.picture.Pixel(262, 262), kBlack);
  EXPECT_EQ(out.picture.Pixel(107, 162), kGreen);
  EXPECT_EQ(out.picture.Pixel(261, 8), kGreen);

  ASSERT_EQ(out.lines.size(), 1u);
  EXPECT_EQ(out.lines[0].text, "Gamma = 1 , y = 1.164 * x -18.63");
  EXPECT_EQ(out.lines[0].colour, 0x90FF90u);
  EXPECT_EQ(out.lines[0].y, 281);
}

TEST(GraphDraw, HistogramScaleChoosesThePictureAtSevenSeven) {
  const Tables t = Identity();
  HistogramPictures h;
  h.HgrmBmp.Plot(0, 128, 0x123400);
  h.HgrmBmpLn.Plot(0, 128, 0x560000);
  h.HgrmBmp.Plot(255, 0, 0x0000AA);
  GraphInput in = Input(t, h);
  GraphPicture out;
  ASSERT_TRUE(GraphDraw(in, out));
  EXPECT_EQ(out.picture.Pixel(7, 135), 0x123400u);
  EXPECT_EQ(out.picture.Pixel(262, 7), 0x0000AAu);
  in.HistogramScale = kScaleLog;
  ASSERT_TRUE(GraphDraw(in, out));
  EXPECT_EQ(out.picture.Pixel(7, 135), 0x560000u);
  EXPECT_EQ(out.picture.Pixel(262, 7), kBlack);
}

TEST(GraphDraw, NothingWithoutAPicture) {
  const Tables t = Identity();
  const HistogramPictures h;
  GraphInput in = Input(t, h);
  in.ReadyFlag = false;
  GraphPicture out;
  out.lines.push_back({"kept", kWhite, 0, 0});
  EXPECT_FALSE(GraphDraw(in, out));
  ASSERT_EQ(out.lines.size(), 1u);
  EXPECT_EQ(out.lines[0].text, "kept");
}

}  // namespace
}  // namespace tav1
