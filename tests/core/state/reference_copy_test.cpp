// The fast rotation and shrink against straightforward copies of their earlier
// implementations, kept here as references: every byte of the result (headers,
// palette, pixels and row padding) must be the same.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

#include "codecs/bmp_layout.h"
#include "core/state/rotate.h"
#include "core/state/shrink.h"
#include "core/state/store_view.h"
#include "store_fixture.h"

namespace tav1 {
namespace {

// Pixels from a fixed-seed generator; an 8-bit picture gets a palette whose
// entries differ in every channel.
Store Noise(int w, int h, int bits, std::uint32_t seed) {
  Store s = testing::Blank(w, h, bits);
  std::uint32_t v = seed;
  auto next = [&v] {
    v = v * 1664525u + 1013904223u;
    return static_cast<std::uint8_t>(v >> 24);
  };
  if (bits == 8)
    for (int i = 0; i < 256; ++i)
      for (int c = 0; c < 4; ++c) s[bmp::kPaletteOffset + 4 * i + c] = next();
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      std::uint8_t* p = testing::Px(s, x, y);
      for (int c = 0; c < bits / 8; ++c) p[c] = next();
    }
  return s;
}

// ---- rotation: the pixel rule, one pixel at a time ----

Store ReferenceRotate(const Store& src, Turn turn) {
  const StoreView sv = ViewStore(src);
  Store dst = bmp::MakeImage(sv.height, sv.width, sv.bits);
  if (sv.bits == 8)
    std::memcpy(dst.data() + bmp::kPaletteOffset, src.data() + bmp::kPaletteOffset, bmp::kPaletteBytes);
  const int bpp = sv.bits / 8;
  for (int y = 0; y < sv.width; ++y)
    for (int x = 0; x < sv.height; ++x) {
      const int sx = turn == Turn::Clockwise ? y : sv.width - 1 - y;
      const int sy = turn == Turn::Clockwise ? sv.height - 1 - x : x;
      std::memcpy(testing::Px(dst, x, y), testing::Px(src, sx, sy), static_cast<std::size_t>(bpp));
    }
  return dst;
}

// Every block kernel this CPU can run; Auto is left selected afterwards.
constexpr RotateKernel kRotateKernels[] = {RotateKernel::Scalar, RotateKernel::Ssse3, RotateKernel::Avx2};

struct RotateKernelGuard {
  ~RotateKernelGuard() { UseRotateKernel(RotateKernel::Auto); }
};

const char* Name(RotateKernel k) {
  return k == RotateKernel::Scalar ? "scalar" : k == RotateKernel::Ssse3 ? "ssse3" : "avx2";
}

TEST(ReferenceCopy, RotationMatchesThePixelRuleByteForByte) {
  struct Size {
    int w, h;
  };
  // Single pixels, rows and columns; sizes that are no multiple of the 4 x 4,
  // 4 x 8 and 8 x 8 blocks; rows without padding (width 16: a load past the
  // top row's last pixel would leave the store); a source row shorter than one
  // vector load (5); sizes past the 256-row blocks and the 512-column tiles;
  // and one large enough for the faulted-in target store.
  const Size sizes[] = {{1, 1},   {1, 7},     {7, 1},      {2, 3},     {5, 9},    {7, 13},
                        {16, 12}, {33, 17},   {33, 65},    {65, 33},   {257, 129}, {130, 301},
                        {9, 520}, {1001, 999}, {1201, 1203}};
  RotateKernelGuard guard;
  for (const RotateKernel kernel : kRotateKernels) {
    if (!UseRotateKernel(kernel)) {
      std::printf("  (this CPU has no %s kernel)\n", Name(kernel));
      continue;
    }
    std::uint32_t seed = 1;
    for (const Size& sz : sizes)
      for (const int bits : {24, 8})
        for (const Turn turn : {Turn::Clockwise, Turn::CounterClockwise}) {
          const Store src = Noise(sz.w, sz.h, bits, seed++);
          int pumps = 0;
          bool pumpedHere = true;
          const std::thread::id caller = std::this_thread::get_id();
          const Store got = RotateQuarter(src, turn, [&] {
            ++pumps;
            pumpedHere = pumpedHere && std::this_thread::get_id() == caller;
          });
          EXPECT_EQ(got, ReferenceRotate(src, turn)) << Name(kernel) << " " << sz.w << "x" << sz.h << " "
                                                     << bits << " bit, turn " << static_cast<int>(turn);
          EXPECT_EQ(pumps, sz.w) << Name(kernel) << " " << sz.w << "x" << sz.h;
          EXPECT_TRUE(pumpedHere);
        }
  }
}

// RotateTargetRows over ranges that start and end inside a block group (a
// caller may split the rows anywhere), filling a store from the reference's
// headers.
TEST(ReferenceCopy, RotationRowRangesMayStartAnywhere) {
  RotateKernelGuard guard;
  for (const RotateKernel kernel : kRotateKernels) {
    if (!UseRotateKernel(kernel)) continue;
    for (const int bits : {24, 8})
      for (const Turn turn : {Turn::Clockwise, Turn::CounterClockwise}) {
        const Store src = Noise(45, 23, bits, 7);
        const Store want = ReferenceRotate(src, turn);
        Store got = bmp::MakeImage(23, 45, bits);
        std::memcpy(got.data(), want.data(), bmp::RowsOffset(bits));
        const StoreView sv = ViewStore(src), dv = ViewStore(got);
        std::vector<const std::uint8_t*> srcRows;
        for (int y = 0; y < sv.height; ++y) srcRows.push_back(src.data() + sv.RowTop(y));
        std::vector<std::uint8_t*> dstRows;
        for (int y = 0; y < dv.height; ++y) dstRows.push_back(got.data() + dv.RowTop(y));
        for (int y = 0, step = 1; y < dv.height; y += step, step = step % 11 + 2)
          RotateTargetRows(srcRows.data(), dstRows.data(), sv.width, sv.height, bits / 8, turn, y,
                           std::min(dv.height, y + step));
        EXPECT_EQ(got, want) << Name(kernel) << " " << bits << " bit, turn " << static_cast<int>(turn);
      }
  }
}

// ---- shrink: the earlier implementation, single-threaded ----

// Every column-sum kernel this CPU can run.
constexpr ShrinkKernel kKernels[] = {ShrinkKernel::Scalar, ShrinkKernel::Avx2};

namespace ref {

constexpr long double kEpsilon = 0.000001L;

struct Cell {
  int index;
  double weight;
};

std::vector<Cell> Span(int t, double k) {
  const double x0 = static_cast<double>(static_cast<long double>(t) * k);
  const double x1 = static_cast<double>(static_cast<long double>(t + 1) * k - kEpsilon);
  std::vector<Cell> cells;
  const int first = static_cast<int>(std::floor(x0));
  const int last = static_cast<int>(std::floor(x1));
  for (int i = first; i <= last; ++i) {
    const double hi = std::min(static_cast<double>(i + 1), x1);
    const double lo = std::max(static_cast<double>(i), x0);
    cells.push_back({i, hi - lo});
  }
  return cells;
}

std::uint8_t RoundChannel(double sum, float a) {
  const long double q = static_cast<long double>(sum) / static_cast<long double>(a);
  if (!(q > 0.0L)) return 0;
  if (q >= 255.0L) return 255;
  return static_cast<std::uint8_t>(std::nearbyintl(q));
}

Store Shrink(const Store& src, int w, int h) {
  const StoreView sv = ViewStore(src);
  const float a = static_cast<float>(
      static_cast<long double>(static_cast<std::int64_t>(sv.width) * sv.height) / w / h);
  const double kx = static_cast<double>(static_cast<long double>(sv.width) / w);
  const double ky = static_cast<double>(static_cast<long double>(sv.height) / h);
  Store dst = bmp::MakeImage(w, h, 24);
  const std::uint8_t* palette = src.data() + bmp::kPaletteOffset;
  for (int y = 0; y < h; ++y) {
    const std::vector<Cell> rs = Span(y, ky);
    for (int x = 0; x < w; ++x) {
      const std::vector<Cell> cs = Span(x, kx);
      double sb = 0, sg = 0, sr = 0;
      for (const Cell& r : rs)
        for (const Cell& c : cs) {
          const std::uint8_t* p = testing::Px(src, c.index, r.index);
          if (sv.bits == 8) p = palette + 4 * static_cast<std::size_t>(*p);
          const long double wt = static_cast<long double>(c.weight) * r.weight;
          sb = static_cast<double>(sb + wt * p[0]);
          sg = static_cast<double>(sg + wt * p[1]);
          sr = static_cast<double>(sr + wt * p[2]);
        }
      std::uint8_t* out = testing::Px(dst, x, y);
      out[0] = RoundChannel(sb, a);
      out[1] = RoundChannel(sg, a);
      out[2] = RoundChannel(sr, a);
    }
  }
  return dst;
}

}  // namespace ref

TEST(ReferenceCopy, ShrinkMatchesTheEarlierArithmeticByteForByte) {
  struct Case {
    int sw, sh, bits, w, h;
  };
  // Spans of 1 to 5 and many cells (whole and fractional factors, so both
  // equal and mixed cell counts), odd sizes, single-pixel rows and columns.
  const Case cases[] = {
      {37, 23, 24, 11, 10},   {37, 23, 8, 11, 10},   {100, 50, 24, 33, 17}, {100, 50, 8, 33, 17},
      {20, 20, 24, 20, 20},   {41, 13, 24, 40, 13},  {7, 9, 8, 1, 1},       {640, 480, 24, 213, 160},
      {640, 480, 8, 213, 160}, {513, 257, 24, 10, 256},
      {802, 602, 24, 401, 301}, {802, 602, 8, 401, 301}, {90, 60, 24, 30, 20}, {120, 96, 24, 30, 24},
      {125, 75, 24, 50, 30},  {125, 75, 8, 50, 30},  {801, 3, 24, 300, 1},  {5, 700, 24, 1, 263},
      {333, 1, 8, 1, 1},      {1, 1, 24, 1, 1},
  };
  for (const ShrinkKernel kernel : kKernels) {
    if (!UseShrinkKernel(kernel)) continue;
    std::uint32_t seed = 99;
    for (const Case& c : cases) {
      const Store src = Noise(c.sw, c.sh, c.bits, seed++);
      EXPECT_EQ(Shrink(src, c.w, c.h), ref::Shrink(src, c.w, c.h))
          << c.sw << "x" << c.sh << " " << c.bits << " bit -> " << c.w << "x" << c.h << ", kernel "
          << static_cast<int>(kernel);
    }
  }
  UseShrinkKernel(ShrinkKernel::Auto);
}

// Pictures that are black but for a few pixels, each alone in the cells a
// target pixel takes at full weight, so that their quotients are exactly half
// way between two channel values and must be rounded from the exact sums:
// one such pixel a target row (on the diagonal, so at every place along a
// row), or every target pixel.
TEST(ReferenceCopy, ShrinkHalfWayQuotientsMatchTheEarlierArithmetic) {
  struct Case {
    int sw, sh, bits, w, h;
    int value;  // value / (factor x * factor y) is a half; so is (2c + 1) value for channel c
    bool everyPixel;
  };
  const Case cases[] = {
      {20, 20, 24, 10, 10, 6, false},   {40, 30, 24, 20, 10, 9, false},  {30, 20, 24, 10, 10, 15, false},
      {64, 64, 24, 16, 16, 40, false},  {24, 24, 8, 12, 12, 10, false},  {36, 24, 8, 12, 12, 27, false},
      {128, 64, 24, 64, 32, 6, false},  {150, 64, 8, 50, 32, 9, false},  {20, 20, 24, 10, 10, 6, true},
      {128, 64, 24, 64, 32, 10, true},  {150, 64, 8, 50, 32, 15, true},
  };
  for (const Case& c : cases) {
    Store src = testing::Blank(c.sw, c.sh, c.bits);
    if (c.bits == 8) {
      // Index 1 is the lit colour; the other entries stay black.
      for (int ch = 0; ch < 3; ++ch)
        src[bmp::kPaletteOffset + 4 + ch] = static_cast<std::uint8_t>((2 * ch + 1) * c.value);
    }
    const int fx = c.sw / c.w, fy = c.sh / c.h;
    for (int y = 0; y < c.sh; ++y)
      for (int x = 0; x < c.sw; ++x) {
        std::uint8_t* p = testing::Px(src, x, y);
        const bool lit = x % fx == 0 && y % fy == 0 && (c.everyPixel || x / fx == y / fy);
        if (c.bits == 8) {
          p[0] = lit ? 1 : 0;
        } else {
          for (int ch = 0; ch < 3; ++ch) p[ch] = static_cast<std::uint8_t>(lit ? (2 * ch + 1) * c.value : 0);
        }
      }
    for (const ShrinkKernel kernel : kKernels) {
      if (!UseShrinkKernel(kernel)) continue;
      EXPECT_EQ(Shrink(src, c.w, c.h), ref::Shrink(src, c.w, c.h))
          << c.sw << "x" << c.sh << " " << c.bits << " bit -> " << c.w << "x" << c.h << ", kernel "
          << static_cast<int>(kernel);
    }
  }
  UseShrinkKernel(ShrinkKernel::Auto);
}

}  // namespace
}  // namespace tav1
