#include "core/image/working_image.h"

#include <gtest/gtest.h>

namespace {

TEST(WorkingImageGeometry, StridesAndEndsFollowTheWidthAndHeight) {
  struct Case {
    int width, xBytes24, xBytes08;
  } cases[] = {{1, 4, 4}, {2, 8, 4}, {3, 12, 4}, {4, 12, 4}, {5, 16, 8}, {127, 384, 128}, {8000, 24000, 8000}};
  for (const auto& c : cases) {
    const auto g = tav1::Geometry::From(c.width, 7);
    EXPECT_EQ(g.XBytes24, c.xBytes24) << c.width;
    EXPECT_EQ(g.XBytes08, c.xBytes08) << c.width;
    EXPECT_EQ(g.Xend, c.width - 1) << c.width;
    EXPECT_EQ(g.Yend, 6) << c.width;
    EXPECT_EQ(g.YEndG, 6) << c.width;
  }
}

TEST(WorkingImageGeometry, GeometryStepMakesTheResultAByteCopy) {
  tav1::WorkingImage img;
  img.MemStBmp1 = tav1::bmp::MakeImage(3, 2, 8);
  img.MemStBmp1.back() = 0xAB;  // a padding byte travels too
  img.MemStBmp2 = {1, 2, 3};
  img.biBitFlag = 8;
  img.ImageWidth = 3;
  img.ImageHeight = 2;
  img.GeometryStep();
  EXPECT_EQ(img.MemStBmp2, img.MemStBmp1);
  EXPECT_EQ(img.Stride(), 4);
  EXPECT_EQ(img.RowsOffset(), 1078u);
  EXPECT_EQ(img.MemStBmp1.size(), img.RowsOffset() + 2u * img.Stride());
}

}  // namespace
