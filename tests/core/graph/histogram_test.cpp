#include "core/graph/histogram.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include "codecs/bmp_layout.h"

namespace tav1 {
namespace {

constexpr Rgb kGrey = 0x808080;

// A 24-bit working image from bottom-up rows of (B, G, R) pixels; padding bytes
// are filled with `pad` so a count that strays into them shows.
WorkingImage Make24(int w, int h, const std::vector<TTriple>& pixels, std::uint8_t pad = 0xEE) {
  WorkingImage img;
  img.MemStBmp1 = bmp::MakeImage(w, h, 24);
  const int stride = static_cast<int>(bmp::Stride24(w));
  for (int r = 0; r < h; ++r) {
    std::uint8_t* row = img.MemStBmp1.data() + bmp::kRows24Offset + r * stride;
    for (int b = 3 * w; b < stride; ++b) row[b] = pad;
    for (int x = 0; x < w; ++x) {
      const TTriple& p = pixels[r * w + x];
      row[3 * x] = p.B;
      row[3 * x + 1] = p.G;
      row[3 * x + 2] = p.R;
    }
  }
  img.biBitFlag = 24;
  img.ImageWidth = w;
  img.ImageHeight = h;
  return img;
}

// An 8-bit working image with the grey ramp palette unless `palette` is given.
WorkingImage Make08(int w, int h, const std::vector<std::uint8_t>& indices, std::uint8_t pad = 0xEE,
                    const std::vector<TTriple>& palette = {}) {
  WorkingImage img;
  img.MemStBmp1 = bmp::MakeImage(w, h, 8);
  for (int i = 0; i < 256; ++i) {
    std::uint8_t* e = img.MemStBmp1.data() + bmp::kPaletteOffset + 4 * i;
    const TTriple p = i < static_cast<int>(palette.size())
                          ? palette[i]
                          : TTriple{static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i),
                                    static_cast<std::uint8_t>(i)};
    e[0] = p.B;
    e[1] = p.G;
    e[2] = p.R;
  }
  const int stride = static_cast<int>(bmp::Stride08(w));
  for (int r = 0; r < h; ++r) {
    std::uint8_t* row = img.MemStBmp1.data() + bmp::kRows08Offset + r * stride;
    for (int b = w; b < stride; ++b) row[b] = pad;
    for (int x = 0; x < w; ++x) row[x] = indices[r * w + x];
  }
  img.biBitFlag = 8;
  img.ImageWidth = w;
  img.ImageHeight = h;
  return img;
}

int Total(const std::int32_t (&c)[256]) {
  int t = 0;
  for (int v : c) t += v;
  return t;
}

TEST(HistogramCount, TwentyFourBitThreeWideSkipsRowPadding) {
  // 3 x 2: rows of 12 bytes, 3 padding bytes each (0xEE = 238).
  WorkingImage img = Make24(3, 2, {{1, 2, 3}, {1, 5, 6}, {7, 8, 9}, {1, 2, 3}, {4, 5, 6}, {7, 8, 9}});
  img.GeometryStep();
  ASSERT_EQ(img.geo.XBytes24, 12);
  ChannelCounts c;
  int pumps = 0;
  EXPECT_TRUE(CountColor24(img.MemStBmp1, img.geo, c, [&] { ++pumps; }));
  EXPECT_EQ(pumps, 2);
  EXPECT_EQ(c.Blue[1], 3);
  EXPECT_EQ(c.Blue[4], 1);
  EXPECT_EQ(c.Blue[7], 2);
  EXPECT_EQ(c.Green[2], 2);
  EXPECT_EQ(c.Green[5], 2);
  EXPECT_EQ(c.Red[3], 2);
  EXPECT_EQ(c.Red[9], 2);
  EXPECT_EQ(c.Blue[238] + c.Green[238] + c.Red[238], 0);
  EXPECT_EQ(Total(c.Blue) + Total(c.Green) + Total(c.Red), 18);
  EXPECT_EQ(c.Max(), 3);
}

TEST(HistogramCount, EightBitFiveWideLooksUpPaletteAndSkipsPadding) {
  // 5 x 2: rows of 8 bytes, 3 padding bytes each (index 0xEE, whose palette
  // entry is the grey 238 that no pixel uses).
  std::vector<TTriple> pal = {{10, 20, 30}, {40, 50, 60}};
  WorkingImage img = Make08(5, 2, {0, 1, 1, 0, 0, 1, 1, 1, 1, 1}, 0xEE, pal);
  img.GeometryStep();
  ASSERT_EQ(img.geo.XBytes08, 8);
  ChannelCounts c;
  EXPECT_TRUE(CountColor08(img.MemStBmp1, img.geo, c));
  EXPECT_EQ(c.Blue[10], 3);
  EXPECT_EQ(c.Green[20], 3);
  EXPECT_EQ(c.Red[30], 3);
  EXPECT_EQ(c.Blue[40], 7);
  EXPECT_EQ(c.Green[50], 7);
  EXPECT_EQ(c.Red[60], 7);
  EXPECT_EQ(Total(c.Blue) + Total(c.Green) + Total(c.Red), 30);

  // Counting by index and mapping once gives the per-pixel lookup's sum.
  ChannelCounts perPixel;
  for (int r = 0; r < 2; ++r)
    CountRow08(img.MemStBmp1.data() + 1078 + 8 * r, 5, img.MemStBmp1.data() + 54, perPixel);
  EXPECT_TRUE(std::equal(c.Blue, c.Blue + 256, perPixel.Blue));
  EXPECT_TRUE(std::equal(c.Red, c.Red + 256, perPixel.Red));
}

TEST(HistogramCount, NeverReadsOutsideTheStore) {
  WorkingImage img = Make24(3, 4, std::vector<TTriple>(12, TTriple{5, 5, 5}));
  img.GeometryStep();
  Store shortStore = img.MemStBmp1;
  shortStore.resize(shortStore.size() - 1);  // last row one byte short
  ChannelCounts c;
  int pumps = 0;
  EXPECT_FALSE(CountColor24(shortStore, img.geo, c, [&] { ++pumps; }));
  EXPECT_EQ(c.Blue[5], 9);  // the three whole rows
  EXPECT_EQ(pumps, 3);

  Geometry tooNarrow = img.geo;
  tooNarrow.XBytes24 = 8;  // cannot hold 3 pixels
  ChannelCounts c2;
  EXPECT_FALSE(CountColor24(img.MemStBmp1, tooNarrow, c2));
  EXPECT_EQ(c2.Max(), 0);

  WorkingImage pal = Make08(1, 1, {0});
  pal.GeometryStep();
  Store noPalette(pal.MemStBmp1.begin(), pal.MemStBmp1.begin() + 600);
  ChannelCounts c3;
  EXPECT_FALSE(CountColor08(noPalette, pal.geo, c3));
  EXPECT_EQ(c3.Max(), 0);

  // A top-down height leaves no rows to count; that is not a read fault.
  Geometry topDown = Geometry::From(3, -4);
  ChannelCounts c4;
  EXPECT_TRUE(CountColor24(img.MemStBmp1, topDown, c4));
  EXPECT_EQ(c4.Max(), 0);
}

// Fills every byte of the rows (padding included) with a pattern, so a thread
// that counts a row twice, skips one or strays into padding shows.
void FillPattern(WorkingImage& img) {
  for (std::size_t i = img.RowsOffset(); i < img.MemStBmp1.size(); ++i)
    img.MemStBmp1[i] = static_cast<std::uint8_t>((i * 7 + i / 997) & 255);
}

bool SameCounts(const ChannelCounts& a, const ChannelCounts& b) {
  return std::equal(a.Blue, a.Blue + 256, b.Blue) && std::equal(a.Green, a.Green + 256, b.Green) &&
         std::equal(a.Red, a.Red + 256, b.Red);
}

TEST(HistogramCount, ParallelCountEqualsSerialAndPumpsOncePerBand) {
  struct Case {
    const char* name;
    int w, h, bits;
  } cases[] = {
      {"24-bit, three bands of 87 rows", 8000, 200, 24},
      {"24-bit, odd width, one band", 37, 301, 24},
      {"8-bit, two bands", 7001, 450, 8},
  };
  for (const auto& c : cases) {
    WorkingImage img = c.bits == 8 ? Make08(c.w, c.h, std::vector<std::uint8_t>(c.w * c.h))
                                   : Make24(c.w, c.h, std::vector<TTriple>(c.w * c.h));
    FillPattern(img);
    img.GeometryStep();
    auto count = c.bits == 8 ? CountColor08 : CountColor24;
    ChannelCounts serial;
    int serialPumps = 0;
    ASSERT_TRUE(count(img.MemStBmp1, img.geo, serial, [&] { ++serialPumps; }, 1)) << c.name;
    EXPECT_EQ(serialPumps, c.h) << c.name;
    const int bandRows = std::max(1, std::min(c.h, (2 << 20) / img.Stride()));
    for (int threads : {2, 3}) {
      ChannelCounts parallel;
      int pumps = 0;
      ASSERT_TRUE(count(img.MemStBmp1, img.geo, parallel, [&] { ++pumps; }, threads)) << c.name;
      EXPECT_TRUE(SameCounts(serial, parallel)) << c.name << ", " << threads << " threads";
      EXPECT_EQ(pumps, (c.h + bandRows - 1) / bandRows) << c.name;
    }
  }
}

// Large pictures are counted by byte pairs: the same counts as counting each
// pixel's channels, odd widths (a lone last pixel per row) included.
TEST(HistogramCount, LargePictureCountsEqualPixelByPixelCounts) {
  for (int w : {1201, 1200}) {
    const int h = 900;
    WorkingImage img = Make24(w, h, std::vector<TTriple>(static_cast<std::size_t>(w) * h));
    FillPattern(img);
    img.GeometryStep();
    ChannelCounts want;
    for (int r = 0; r < h; ++r) CountRow24(img.MemStBmp1.data() + img.RowsOffset() + r * img.Stride(), w, want);
    for (int threads : {1, 2}) {
      ChannelCounts got;
      ASSERT_TRUE(CountColor24(img.MemStBmp1, img.geo, got, {}, threads));
      EXPECT_TRUE(SameCounts(want, got)) << w << " wide, " << threads << " threads";
    }
  }
}

TEST(HistogramCount, ExceptionFromThePumpLeavesNoThreadBehind) {
  WorkingImage img = Make24(8000, 200, std::vector<TTriple>(8000 * 200));
  img.GeometryStep();
  ChannelCounts c;
  int pumps = 0;
  auto pump = [&] {
    if (++pumps == 2) throw std::runtime_error("closed");
  };
  EXPECT_THROW(CountColor24(img.MemStBmp1, img.geo, c, pump, 2), std::runtime_error);
  EXPECT_EQ(pumps, 2);
}

TEST(HistogramCount, ParallelCountStopsAtTheSameRowAsSerial) {
  WorkingImage img = Make24(8000, 200, std::vector<TTriple>(8000 * 200));
  FillPattern(img);
  img.GeometryStep();
  img.MemStBmp1.resize(img.MemStBmp1.size() - 24000 * 50 - 1);  // 149 whole rows
  ChannelCounts serial, parallel;
  EXPECT_FALSE(CountColor24(img.MemStBmp1, img.geo, serial, {}, 1));
  EXPECT_FALSE(CountColor24(img.MemStBmp1, img.geo, parallel, {}, 2));
  EXPECT_TRUE(SameCounts(serial, parallel));
  EXPECT_EQ(Total(serial.Blue), 149 * 8000);
}

TEST(HistogramFactors, CommonScaleFromTheLargestCount) {
  EXPECT_EQ(LinearFactor(1), 255.0f);
  EXPECT_EQ(LinearFactor(2), 127.5f);
  EXPECT_EQ(LogFactor(1), 255.0f);  // ln 1 = 0 would divide by zero
  EXPECT_FLOAT_EQ(LogFactor(2), 367.88724f);  // 255 / ln 2
  EXPECT_EQ(LinearFactor(0), 0.0f);
  EXPECT_EQ(LogFactor(0), 0.0f);
}

TEST(HistogramPicture, BackgroundFrameAndGrid) {
  const Raster b = HistogramBackground();
  ASSERT_EQ(b.Width(), 256);
  ASSERT_EQ(b.Height(), 256);
  for (int i = 0; i < 256; ++i) {
    EXPECT_EQ(b.Pixel(i, 0), kWhite) << i;
    EXPECT_EQ(b.Pixel(i, 255), kWhite) << i;
    EXPECT_EQ(b.Pixel(0, i), kWhite) << i;
    EXPECT_EQ(b.Pixel(255, i), kWhite) << i;
  }
  // Horizontal grid lines run x = 1..253, vertical ones y = 254..2.
  for (int y : {191, 127, 64}) {
    EXPECT_EQ(b.Pixel(1, y), kGrey);
    EXPECT_EQ(b.Pixel(253, y), kGrey);
    EXPECT_EQ(b.Pixel(254, y), kBlack);
  }
  for (int x : {64, 128, 192}) {
    EXPECT_EQ(b.Pixel(x, 254), kGrey);
    EXPECT_EQ(b.Pixel(x, 2), kGrey);
    EXPECT_EQ(b.Pixel(x, 1), kBlack);
  }
  EXPECT_EQ(b.Pixel(100, 100), kBlack);
  EXPECT_EQ(b.Pixel(64, 64), kGrey);
}

// The picture `base` with row 255 from x = 0 to 254 in `colour`.
Raster WithBottomRow(Raster base, Rgb colour) {
  base.SetPen(colour, PenMode::Copy);
  base.MoveTo(0, 255);
  base.LineTo(255, 255);
  return base;
}

TEST(HistogramPicture, OnePixelTwentyFourBit) {
  WorkingImage img = Make24(1, 1, {{10, 20, 30}});
  HistogramPictures hp;
  std::vector<std::string> busy;
  int pumps = 0;
  HistogramHooks hooks{[&](const std::string& t) {
                         busy.push_back(t);
                         EXPECT_EQ(pumps, 0) << "busy text comes before counting";
                       },
                       [&] { ++pumps; }};
  ASSERT_TRUE(MakeHstgrm_Main(img, hp, hooks));
  EXPECT_EQ(busy, std::vector<std::string>{"読込み中..."});
  EXPECT_EQ(pumps, 1);
  EXPECT_EQ(img.MemStBmp2, img.MemStBmp1);
  EXPECT_EQ(img.geo.Xend, 0);
  EXPECT_EQ(img.geo.XBytes24, 4);
  EXPECT_EQ(hp.LinearFactor, 255.0f);
  EXPECT_EQ(hp.LogFactor, 255.0f);

  // Linear: a full-height spike per channel; every empty bin lies on the bottom.
  const Raster& lin = hp.HgrmBmp;
  EXPECT_EQ(lin.Pixel(10, 0), kBlue);
  EXPECT_EQ(lin.Pixel(20, 0), kGreen);
  EXPECT_EQ(lin.Pixel(30, 0), kRed);
  EXPECT_EQ(lin.Pixel(10, 127), kBlue);  // climb and fall share the column
  EXPECT_EQ(lin.Pixel(9, 200), kBlue);   // the climb's lower half
  EXPECT_EQ(lin.Pixel(11, 200), kBlue);  // the fall's lower half
  EXPECT_EQ(lin.Pixel(100, 255), kRed);  // red is drawn last
  EXPECT_EQ(lin.Pixel(30, 255), kGreen); // red's own spike skips its bottom pixel
  EXPECT_EQ(lin.Pixel(255, 255), kWhite);
  EXPECT_EQ(lin.Pixel(0, 0), kWhite);
  EXPECT_EQ(lin.Pixel(40, 100), kBlack);

  // Log: ln 1 = 0, so all three curves lie on the bottom edge, red on top.
  EXPECT_EQ(hp.HgrmBmpLn, WithBottomRow(HistogramBackground(), kRed));
}

TEST(HistogramPicture, EightBitGreyZeroAndWhiteOnly) {
  // One pixel at 0, one at 255: each channel climbs the left edge, runs along
  // the top and comes down the right edge; empty bins are skipped.
  WorkingImage img = Make08(2, 1, {0, 255});
  HistogramPictures hp;
  ASSERT_TRUE(MakeHstgrm_Main(img, hp));
  Raster expected = HistogramBackground();
  for (int i = 0; i < 256; ++i) {
    expected.Plot(0, i, kRed);    // left edge, 255..1, and the top row's start
    expected.Plot(i, 0, kRed);    // top row 0..254
    expected.Plot(255, i, kRed);  // right edge 0..254
  }
  expected.Plot(255, 255, kWhite);  // the last line's end is not drawn
  EXPECT_EQ(hp.HgrmBmp.Pixels(), expected.Pixels());
  // Counts of 1 have ln 1 = 0 and are skipped too: only the closing line remains.
  EXPECT_EQ(hp.HgrmBmpLn, WithBottomRow(HistogramBackground(), kRed));
}

TEST(HistogramPicture, ChannelsShareOneScale) {
  // Green has two pixels at level 100, red one each at 50 and 60: M = 2, so the
  // red peaks reach half height.
  WorkingImage img = Make24(2, 1, {{0, 100, 50}, {1, 100, 60}});
  HistogramPictures hp;
  ASSERT_TRUE(MakeHstgrm_Main(img, hp));
  EXPECT_EQ(hp.LinearFactor, 127.5f);
  EXPECT_EQ(hp.HgrmBmp.Pixel(100, 0), kGreen);
  EXPECT_EQ(hp.HgrmBmp.Pixel(50, 127), kRed);  // trunc(255 - 127.5)
  EXPECT_EQ(hp.HgrmBmp.Pixel(50, 126), kBlack);
  EXPECT_EQ(hp.HgrmBmp.Pixel(60, 127), kRed);
}

TEST(HistogramPicture, TallestBinTouchesTheTopForAnyLargestCount) {
  // M x float(255 / M) may land a hair above or below 255; truncation toward
  // zero must give row 0 either way, so a lone spike looks the same for every M.
  std::int32_t one[256] = {};
  one[5] = 1;
  Raster ref(256, 256);
  MakeHistogram(kScaleLinear, kColourRed, one, LinearFactor(1), 24, ref);
  for (std::int32_t m = 2; m <= 2000; ++m) {
    std::int32_t h[256] = {};
    h[5] = m;
    Raster r(256, 256);
    MakeHistogram(kScaleLinear, kColourRed, h, LinearFactor(m), 24, r);
    ASSERT_EQ(r, ref) << "M = " << m;
  }
}

TEST(HistogramPicture, ShortStoreStillDrawsTheRowsCounted) {
  WorkingImage img = Make24(1, 2, {{10, 10, 10}, {10, 10, 10}});
  img.MemStBmp1.resize(img.MemStBmp1.size() - 2);
  HistogramPictures hp;
  EXPECT_FALSE(MakeHstgrm_Main(img, hp));
  EXPECT_EQ(hp.LinearFactor, 255.0f);  // one pixel counted
  EXPECT_EQ(hp.HgrmBmp.Pixel(10, 0), kRed);
}

}  // namespace
}  // namespace tav1
