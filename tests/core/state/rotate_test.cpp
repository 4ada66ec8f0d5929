#include "core/state/rotate.h"

#include <gtest/gtest.h>

#include "core/state/state_error.h"
#include "store_fixture.h"

namespace tav1 {
namespace {

using testing::From24;
using testing::Rows;
using Grid = std::vector<std::vector<std::uint32_t>>;

// Rows (a b c) over (d e f).
const std::uint32_t a = 0x0A0B0C, b = 0x1A1B1C, c = 0x2A2B2C, d = 0x3A3B3C, e = 0x4A4B4C,
                    f = 0x5A5B5C;

TEST(Rotate, ThreeByTwoBothWays) {
  const Store src = From24({{a, b, c}, {d, e, f}});
  EXPECT_EQ(Rows(RotateQuarter(src, Turn::Clockwise)), (Grid{{d, a}, {e, b}, {f, c}}));
  EXPECT_EQ(Rows(RotateQuarter(src, Turn::CounterClockwise)), (Grid{{c, f}, {b, e}, {a, d}}));
}

TEST(Rotate, ResultIsAFreshFixedLayoutStore) {
  const Store src = From24({{a, b, c}, {d, e, f}});
  const Store t = RotateQuarter(src, Turn::Clockwise);
  bmp::HeaderView h;
  ASSERT_TRUE(bmp::ReadHeader(t.data(), t.size(), h));
  EXPECT_EQ(h.width, 2);
  EXPECT_EQ(h.height, 3);
  EXPECT_EQ(h.bits, 24);
  EXPECT_EQ(h.colorsUsed, 0u);
  // Stride follows the new width: 2 pixels -> 8 bytes.
  EXPECT_EQ(t.size(), 54u + 3 * 8);
}

TEST(Rotate, TurnsBackToTheStart) {
  const Store src = From24({{a, b, c, d}, {e, f, a, b}, {c, d, e, f}});
  Store t = src;
  for (int i = 0; i < 4; ++i) t = RotateQuarter(t, Turn::Clockwise);
  EXPECT_EQ(Rows(t), Rows(src));
  EXPECT_EQ(Rows(RotateQuarter(RotateQuarter(src, Turn::Clockwise), Turn::CounterClockwise)),
            Rows(src));
  EXPECT_EQ(Rows(RotateQuarter(RotateQuarter(src, Turn::CounterClockwise), Turn::Clockwise)),
            Rows(src));
}

TEST(Rotate, SingleRowsAndColumns) {
  const Store row = From24({{a, b, c}});
  EXPECT_EQ(Rows(RotateQuarter(row, Turn::Clockwise)), (Grid{{a}, {b}, {c}}));
  EXPECT_EQ(Rows(RotateQuarter(row, Turn::CounterClockwise)), (Grid{{c}, {b}, {a}}));
  const Store col = From24({{a}, {b}, {c}});
  EXPECT_EQ(Rows(RotateQuarter(col, Turn::Clockwise)), (Grid{{c, b, a}}));
  EXPECT_EQ(Rows(RotateQuarter(col, Turn::CounterClockwise)), (Grid{{a, b, c}}));
  const Store one = From24({{a}});
  EXPECT_EQ(Rows(RotateQuarter(one, Turn::Clockwise)), (Grid{{a}}));
}

TEST(Rotate, EightBitKeepsPaletteAndIndices) {
  Store src = testing::Blank(3, 2, 8);
  for (int i = 0; i < 256; ++i) {
    src[54 + 4 * i + 0] = static_cast<std::uint8_t>(i);
    src[54 + 4 * i + 1] = static_cast<std::uint8_t>(255 - i);
    src[54 + 4 * i + 2] = static_cast<std::uint8_t>(i * 7);
    src[54 + 4 * i + 3] = static_cast<std::uint8_t>(i ^ 0x5A);
  }
  const std::uint8_t idx[2][3] = {{1, 2, 3}, {200, 201, 255}};
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) *testing::Px(src, x, y) = idx[y][x];

  const Store t = RotateQuarter(src, Turn::Clockwise);
  EXPECT_EQ(Rows(t), (Grid{{200, 1}, {201, 2}, {255, 3}}));
  EXPECT_TRUE(std::equal(t.begin() + 54, t.begin() + 1078, src.begin() + 54));
  bmp::HeaderView h;
  ASSERT_TRUE(bmp::ReadHeader(t.data(), t.size(), h));
  EXPECT_EQ(h.bits, 8);
  EXPECT_EQ(h.colorsUsed, 256u);  // the open path refuses 0 here
  EXPECT_EQ(t.size(), 1078u + 3 * 4);
}

TEST(Rotate, LargePictureFollowsThePixelRule) {
  // Larger than the row blocks and source chunks the pass works in.
  const int w = 300, h = 270;
  for (const int bits : {24, 8}) {
    Store src = testing::Blank(w, h, bits);
    auto value = [](int x, int y) { return static_cast<std::uint32_t>((x * 7919 + y * 104729) & 0xFFFFFF); };
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const std::uint32_t v = value(x, y);
        if (bits == 8) {
          *testing::Px(src, x, y) = static_cast<std::uint8_t>(v);
        } else {
          testing::Set24(src, x, y, v & 0xFF, (v >> 8) & 0xFF, v >> 16);
        }
      }
    const Grid cw = Rows(RotateQuarter(src, Turn::Clockwise));
    const Grid ccw = Rows(RotateQuarter(src, Turn::CounterClockwise));
    const std::uint32_t mask = bits == 8 ? 0xFF : 0xFFFFFF;
    ASSERT_EQ(cw.size(), static_cast<std::size_t>(w));
    ASSERT_EQ(cw[0].size(), static_cast<std::size_t>(h));
    for (int y = 0; y < w; ++y)
      for (int x = 0; x < h; ++x) {
        ASSERT_EQ(cw[y][x], value(y, h - 1 - x) & mask) << bits << " cw " << x << "," << y;
        ASSERT_EQ(ccw[y][x], value(w - 1 - y, x) & mask) << bits << " ccw " << x << "," << y;
      }
  }
}

TEST(Rotate, PumpsOncePerTargetRow) {
  const Store src = From24({{a, b, c}, {d, e, f}});
  int pumps = 0;
  RotateQuarter(src, Turn::CounterClockwise, [&] { ++pumps; });
  EXPECT_EQ(pumps, 3);
  pumps = 0;
  RotateQuarter(From24(Grid(2, std::vector<std::uint32_t>(37, a))), Turn::Clockwise, [&] { ++pumps; });
  EXPECT_EQ(pumps, 37);
}

TEST(Rotate, InvalidStoresAreRefused) {
  Store shortRows = From24({{a, b, c}, {d, e, f}});
  shortRows.resize(shortRows.size() - 1);
  EXPECT_THROW(RotateQuarter(shortRows, Turn::Clockwise), StateError);
  Store thirtyTwo = From24({{a}});
  thirtyTwo[28] = 32;
  EXPECT_THROW(RotateQuarter(thirtyTwo, Turn::Clockwise), StateError);
  EXPECT_THROW(RotateQuarter(Store(20, 0), Turn::Clockwise), StateError);
}

TEST(RotateNames, ReplaceTheExtension) {
  EXPECT_EQ(RotateNameFor("photo.jpg"), "photo_rotate.bmp");
  EXPECT_EQ(RotateNameFor(""), "_rotate.bmp");
  EXPECT_EQ(RotateNameFor("a.b.png"), "a.b_rotate.bmp");
  EXPECT_EQ(RotateNameFor("noext"), "noext_rotate.bmp");
}

}  // namespace
}  // namespace tav1
