#include "core/state/shrink.h"

#include <gtest/gtest.h>

#include "core/state/state_error.h"
#include "store_fixture.h"

namespace tav1 {
namespace {

using testing::Px;
using testing::Set24;

Store Uniform(int w, int h, std::uint8_t b, std::uint8_t g, std::uint8_t r) {
  Store s = testing::Blank(w, h, 24);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) Set24(s, x, y, b, g, r);
  return s;
}

TEST(Shrink, TwentyToTenWorkedValues) {
  // Target (0, 0) covers source (0, 0), (1, 0), (0, 1), (1, 1) with weights
  // 1, 1 - e, 1 - e, (1 - e)^2. A 6 at (1, 1) gives 1.5 less a trifle -> 1; a 6
  // at (0, 0) gives exactly 1.5 -> 2 (half to even).
  Store src = Uniform(20, 20, 0, 0, 0);
  Set24(src, 1, 1, 6, 0, 0);  // blue
  Set24(src, 0, 0, 0, 6, 0);  // green
  Set24(src, 2, 0, 0, 0, 10); // red of target (1, 0): exactly 2.5 -> 2
  Set24(src, 4, 0, 0, 0, 14); // red of target (2, 0): exactly 3.5 -> 4
  const Store t = Shrink(src, 10, 10);
  const std::uint8_t* p = Px(t, 0, 0);
  EXPECT_EQ(p[0], 1);
  EXPECT_EQ(p[1], 2);
  EXPECT_EQ(p[2], 0);
  EXPECT_EQ(Px(t, 1, 0)[2], 2);
  EXPECT_EQ(Px(t, 2, 0)[2], 4);
  EXPECT_EQ(Px(t, 0, 1)[0], 0);  // nothing leaks into the next target row
}

TEST(Shrink, ThirtyByTenToTwentyByTenWeightsColumns) {
  // kx = 1.5: target column 0 = (1 * c0 + (0.5 - e) * c1) / 1.5 and target
  // column 1 = (0.5 * c1 + (1 - e) * c2) / 1.5, every row weighted 1 - e.
  Store src = testing::Blank(30, 10, 24);
  const std::uint8_t col[3] = {90, 30, 60};
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 30; ++x) Set24(src, x, y, col[x % 3], 0, 255);
  const Store t = Shrink(src, 20, 10);
  bmp::HeaderView h;
  ASSERT_TRUE(bmp::ReadHeader(t.data(), t.size(), h));
  EXPECT_EQ(h.width, 20);
  EXPECT_EQ(h.height, 10);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 20; ++x) {
      const std::uint8_t* p = Px(t, x, y);
      EXPECT_EQ(p[0], x % 2 == 0 ? 70 : 50) << x << "," << y;
      EXPECT_EQ(p[2], 255) << x << "," << y;
    }
}

TEST(Shrink, UniformColourIsKeptForAnySize) {
  const Store src = Uniform(37, 23, 255, 128, 1);
  const int sizes[][2] = {{10, 10}, {36, 22}, {13, 17}, {37, 23}, {1, 1}};
  for (const auto& sz : sizes) {
    const Store t = Shrink(src, sz[0], sz[1]);
    for (int y = 0; y < sz[1]; ++y)
      for (int x = 0; x < sz[0]; ++x) {
        const std::uint8_t* p = Px(t, x, y);
        ASSERT_EQ(p[0], 255) << sz[0] << "x" << sz[1] << " at " << x << "," << y;
        ASSERT_EQ(p[1], 128);
        ASSERT_EQ(p[2], 1);
      }
  }
}

TEST(Shrink, EqualSizeReproducesThePictureAs24Bit) {
  Store src = testing::Blank(5, 3, 24);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) Set24(src, x, y, x * 50, y * 100, 255 - x * y);
  EXPECT_EQ(testing::Rows(Shrink(src, 5, 3)), testing::Rows(src));

  // An 8-bit picture comes out expanded through its palette.
  Store pal = testing::Blank(3, 2, 8);
  for (int i = 0; i < 256; ++i) {
    pal[54 + 4 * i + 0] = static_cast<std::uint8_t>(i);
    pal[54 + 4 * i + 1] = static_cast<std::uint8_t>(255 - i);
    pal[54 + 4 * i + 2] = static_cast<std::uint8_t>(i / 2);
  }
  const std::uint8_t idx[2][3] = {{0, 7, 255}, {128, 1, 64}};
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) *Px(pal, x, y) = idx[y][x];
  const Store t = Shrink(pal, 3, 2);
  bmp::HeaderView h;
  ASSERT_TRUE(bmp::ReadHeader(t.data(), t.size(), h));
  EXPECT_EQ(h.bits, 24);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) {
      const int i = idx[y][x];
      const std::uint8_t* p = Px(t, x, y);
      EXPECT_EQ(p[0], i);
      EXPECT_EQ(p[1], 255 - i);
      EXPECT_EQ(p[2], i / 2);
    }
}

TEST(Shrink, NonPositiveSizesFailTheAssertion) {
  const Store src = Uniform(4, 4, 1, 2, 3);
  Store empty = testing::Blank(4, 4, 24);
  empty[18] = 0;  // width 0
  for (const auto& call : {+[](const Store& s) { Shrink(s, 0, 2); },
                           +[](const Store& s) { Shrink(s, 2, -1); }}) {
    try {
      call(src);
      FAIL() << "no assertion";
    } catch (const StateError& e) {
      EXPECT_NE(std::string(e.what()).find("アサートの失敗"), std::string::npos);
      EXPECT_NE(std::string(e.what()).find("Unit6"), std::string::npos);
    }
  }
  EXPECT_THROW(Shrink(empty, 2, 2), StateError);
  EXPECT_EQ(ShrinkNameFor("photo.jpg"), "photo_small.bmp");
  EXPECT_EQ(ShrinkNameFor(""), "_small.bmp");
}

TEST(ShrinkSizeBoxes, EditedBoxDrivesTheOther) {
  ShrinkSizeBoxes boxes(100, 50);
  EXPECT_EQ(boxes.AspectRatio(), 0.5f);
  EXPECT_EQ(boxes.WidthText(), "100");
  EXPECT_EQ(boxes.HeightText(), "50");

  struct Case {
    bool width;  // which box the user edits
    const char* text;
    const char* wantWidth;
    const char* wantHeight;
  };
  const Case cases[] = {
      {true, "40", "40", "20"},  {false, "25", "50", "25"}, {true, "3", "3", "2"},   // round(1.5) = 2
      {true, "5", "5", "2"},     // round(2.5) = 2, half to even
      {true, "", "", ""},        {true, "0", "", ""},       {false, "-4", "", ""},
      {true, "abc", "", ""},     {false, " 12", "24", " 12"},
  };
  for (const Case& c : cases) {
    if (c.width) {
      boxes.WidthEdited(c.text);
    } else {
      boxes.HeightEdited(c.text);
    }
    EXPECT_EQ(boxes.WidthText(), c.wantWidth) << c.text;
    EXPECT_EQ(boxes.HeightText(), c.wantHeight) << c.text;
  }
}

TEST(ShrinkSizeBoxes, AspectRatioIsStoredAsFloat) {
  // 1/3 as a float is a little more than 1/3: 3 * 0.33333334 rounds to 1, and
  // 7 / 0.33333334 = 20.99999... rounds to 21.
  ShrinkSizeBoxes boxes(300, 100);
  EXPECT_EQ(boxes.AspectRatio(), 1.0f / 3.0f);
  boxes.HeightEdited("7");
  EXPECT_EQ(boxes.WidthText(), "21");
}

TEST(ShrinkSizeBoxes, SizeChecks) {
  struct Case {
    int w, h;
    ShrinkSizeBoxes::Check want;
  };
  const Case cases[] = {
      {100, 50, ShrinkSizeBoxes::Check::Ok},       {10, 10, ShrinkSizeBoxes::Check::Ok},
      {9, 40, ShrinkSizeBoxes::Check::TooSmall},   {40, 9, ShrinkSizeBoxes::Check::TooSmall},
      {0, 0, ShrinkSizeBoxes::Check::TooSmall},    {101, 50, ShrinkSizeBoxes::Check::Enlarge},
      {100, 51, ShrinkSizeBoxes::Check::Enlarge},  {5, 200, ShrinkSizeBoxes::Check::TooSmall},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ShrinkSizeBoxes::CheckSizes(c.w, c.h, 100, 50), c.want) << c.w << " x " << c.h;

  // Through the boxes: what they read, including emptied boxes as 0.
  ShrinkSizeBoxes b(100, 50);
  b.WidthEdited("9");  // height 4 (round(4.5) = 4)
  EXPECT_EQ(b.CheckSize(), ShrinkSizeBoxes::Check::TooSmall);
  b.WidthEdited("101");
  EXPECT_EQ(b.CheckSize(), ShrinkSizeBoxes::Check::Enlarge);
  b.WidthEdited("100");
  EXPECT_EQ(b.CheckSize(), ShrinkSizeBoxes::Check::Ok);
  b.WidthEdited("20");
  EXPECT_EQ(b.CheckSize(), ShrinkSizeBoxes::Check::Ok);
  b.WidthEdited("");  // emptied boxes read as 0
  EXPECT_EQ(b.CheckSize(), ShrinkSizeBoxes::Check::TooSmall);
  EXPECT_STREQ(ShrinkSizeBoxes::CheckMessage(ShrinkSizeBoxes::Check::TooSmall),
               "10 X 10 以上のサイズが必要です");
  EXPECT_STREQ(ShrinkSizeBoxes::CheckMessage(ShrinkSizeBoxes::Check::Enlarge), "拡大はできません");
  EXPECT_EQ(ShrinkSizeBoxes::CheckMessage(ShrinkSizeBoxes::Check::Ok), nullptr);
}

}  // namespace
}  // namespace tav1
