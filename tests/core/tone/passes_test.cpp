#include "core/tone/passes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "codecs/bmp_layout.h"
#include "core/tone/satu.h"

namespace tav1 {
namespace {

constexpr std::uint8_t kPad = 0xAB;

// A 24-bit store whose pixels take many different colours and whose padding
// bytes are kPad.
Store Picture24(int w, int h) {
  Store s = bmp::MakeImage(w, h, 24);
  const int stride = static_cast<int>(bmp::Stride24(w));
  for (int y = 0; y < h; ++y) {
    std::uint8_t* row = s.data() + 54 + y * stride;
    for (int x = 0; x < w; ++x) {
      row[3 * x + 0] = static_cast<std::uint8_t>(x * 37 + y * 11);   // B
      row[3 * x + 1] = static_cast<std::uint8_t>(x * 5 + y * 61);    // G
      row[3 * x + 2] = static_cast<std::uint8_t>(x * 97 + y * 3 + 7); // R
    }
    for (int i = 3 * w; i < stride; ++i) row[i] = kPad;
  }
  return s;
}

// An 8-bit store: palette entries of assorted colours (reserved byte 0x5A),
// index rows i*7+y, padding kPad.
Store Picture8(int w, int h, bool greyRamp) {
  Store s = bmp::MakeImage(w, h, 8);
  for (int i = 0; i < 256; ++i) {
    std::uint8_t* e = s.data() + 54 + 4 * i;
    e[0] = greyRamp ? i : static_cast<std::uint8_t>(i * 3);
    e[1] = greyRamp ? i : static_cast<std::uint8_t>(255 - i);
    e[2] = greyRamp ? i : static_cast<std::uint8_t>(i * 7 + 1);
    e[3] = 0x5A;
  }
  const int stride = static_cast<int>(bmp::Stride08(w));
  for (int y = 0; y < h; ++y) {
    std::uint8_t* row = s.data() + 1078 + y * stride;
    for (int x = 0; x < w; ++x) row[x] = static_cast<std::uint8_t>(x * 7 + y);
    for (int i = w; i < stride; ++i) row[i] = kPad;
  }
  return s;
}

ToneParams Params(int lowR, int rR, int highR, int lowG, int rG, int highG, int lowB, int rB, int highB) {
  ToneParams p;
  p.v = {lowR, rR, highR, lowG, rG, highG, lowB, rB, highB};
  return p;
}

// Different curves per channel, so that a channel mix-up shows.
ToneTables Uneven() { return TableMake(Params(16, 64, 235, 0, -64, 255, -30, 20, 300), 0, 0); }
ToneTables Identity() { return TableMake(ToneParams{}, 0, 0); }

const std::uint8_t* Pixel(const Store& s, const Geometry& g, int x, int r) {
  return s.data() + 54 + r * g.XBytes24 + 3 * x;
}

TEST(Passes, IdentityTablesAtSliderTenLeaveEveryByte) {
  const ToneTables id = Identity();
  for (bool kido : {false, true}) {
    for (bool satu : {false, true}) {
      const Geometry g = Geometry::From(7, 5);
      const Store src = Picture24(7, 5);
      Store dst = src;
      Apply24All_SatuUp(src, dst, g, id, 10, kido, satu);
      EXPECT_EQ(dst, src);

      for (bool ramp : {false, true}) {
        const Store src8 = Picture8(7, 5, ramp);
        Store dst8 = src8;
        Apply8All_SatuUp(src8, dst8, g, ramp, id, 10, kido, satu);
        EXPECT_EQ(dst8, src8) << "ramp " << ramp;
      }
    }
  }
}

TEST(Passes, SliderTenIsPlainTableMappingWhateverTheDamping) {
  const ToneTables t = Uneven();
  const Geometry g = Geometry::From(64, 64);
  const Store src = Picture24(64, 64);
  for (int flags = 0; flags < 4; ++flags) {
    Store dst = src;
    Apply24All_SatuUp(src, dst, g, t, 10, flags & 1, flags & 2);
    for (int r = 0; r < 64; ++r)
      for (int x = 0; x < 64; ++x) {
        const std::uint8_t* in = Pixel(src, g, x, r);
        const std::uint8_t* out = Pixel(dst, g, x, r);
        ASSERT_EQ(out[0], t.TableB[in[0]]) << x << "," << r << " flags " << flags;
        ASSERT_EQ(out[1], t.TableG[in[1]]) << x << "," << r << " flags " << flags;
        ASSERT_EQ(out[2], t.TableR[in[2]]) << x << "," << r << " flags " << flags;
      }
  }
}

TEST(Passes, WholePictureEqualsPerColourStepAtProbes) {
  const ToneTables t = Uneven();
  const Geometry g = Geometry::From(33, 9);
  const Store src = Picture24(33, 9);
  Store dst = src;
  Apply24All_SatuUp(src, dst, g, t, 17, true, true);
  for (auto [x, r] : {std::pair{0, 0}, {32, 0}, {16, 4}, {0, 8}, {32, 8}, {5, 7}}) {
    const std::uint8_t* in = Pixel(src, g, x, r);
    const TTriple want = SatuUpTriple(t.TableR[in[2]], t.TableG[in[1]], t.TableB[in[0]],
                                      SatuFactor24(17), true, true);
    const std::uint8_t* out = Pixel(dst, g, x, r);
    EXPECT_EQ(out[0], want.B) << x << "," << r;
    EXPECT_EQ(out[1], want.G) << x << "," << r;
    EXPECT_EQ(out[2], want.R) << x << "," << r;
  }
}

TEST(Passes, EachPassUsesItsOwnPrecisionOfS) {
  // (6, 100, 100) at slider 3: red 51 with a 32-bit S, 52 with a double S.
  const ToneTables id = Identity();
  const Geometry g = Geometry::From(1, 1);
  Store src24 = bmp::MakeImage(1, 1, 24);
  src24[54] = 100;
  src24[55] = 100;
  src24[56] = 6;
  Store dst24 = src24;
  Apply24All_SatuUp(src24, dst24, g, id, 3, false, false);
  EXPECT_EQ(dst24[56], 51);

  Store src8 = bmp::MakeImage(1, 1, 8);
  src8[54 + 4 * 9 + 0] = 100;
  src8[54 + 4 * 9 + 1] = 100;
  src8[54 + 4 * 9 + 2] = 6;
  Store dst8 = src8;
  Apply8All_SatuUp(src8, dst8, g, false, id, 3, false, false);
  EXPECT_EQ(dst8[54 + 4 * 9 + 2], 52);
  EXPECT_EQ(dst8[54 + 4 * 9 + 1], 80);
}

TEST(Passes, PalettePassTouchesOnlyThePalette) {
  const ToneTables t = Uneven();
  const Geometry g = Geometry::From(6, 3);
  const Store src = Picture8(6, 3, false);
  Store dst = src;
  Apply8All_SatuUp(src, dst, g, false, t, 25, true, false);
  EXPECT_TRUE(std::equal(dst.begin() + 1078, dst.end(), src.begin() + 1078));
  EXPECT_TRUE(std::equal(dst.begin(), dst.begin() + 54, src.begin()));
  const double S = SatuFactorPalette(25);
  for (int i : {0, 1, 100, 255}) {
    const std::uint8_t* e = src.data() + 54 + 4 * i;
    const TTriple want = SatuUpTriple(t.TableR[e[2]], t.TableG[e[1]], t.TableB[e[0]], S, true, false);
    const std::uint8_t* o = dst.data() + 54 + 4 * i;
    EXPECT_EQ(o[0], want.B) << i;
    EXPECT_EQ(o[1], want.G) << i;
    EXPECT_EQ(o[2], want.R) << i;
    EXPECT_EQ(o[3], 0x5A) << i;
  }
}

TEST(Passes, GreyRampMapsIndicesThroughGreenAndKeepsThePalette) {
  const ToneTables t = Uneven();
  const Geometry g = Geometry::From(5, 4);  // stride 8: three padding bytes per row
  const Store src = Picture8(5, 4, true);
  Store dst = src;
  int pumps = 0;
  PassHooks hooks;
  hooks.pump = [&] { ++pumps; };
  const PassResult res = Apply8All_SatuUp(src, dst, g, true, t, 60, true, true, hooks);
  EXPECT_EQ(res.rows, 4);
  EXPECT_EQ(pumps, 0);
  EXPECT_TRUE(std::equal(dst.begin(), dst.begin() + 1078, src.begin()));
  for (int y = 0; y < 4; ++y)
    for (int i = 0; i < 8; ++i) {
      const std::size_t off = 1078 + y * 8 + i;
      EXPECT_EQ(dst[off], i < 5 ? t.TableG[src[off]] : kPad) << y << "," << i;
    }
}

TEST(Passes, SoloOutputIsTheChannelAsGrey) {
  const ToneTables t = Uneven();
  const Geometry g = Geometry::From(9, 4);
  const Store src24 = Picture24(9, 4);
  const Store src8 = Picture8(9, 4, false);
  for (std::uint8_t c = 0; c < 3; ++c) {
    const std::uint8_t* table = t.ForChannel(c);
    const int byte = 2 - c;
    Store dst24 = src24;
    EXPECT_EQ(Apply24Solo(src24, dst24, g, t, c).rows, 4);
    for (int r = 0; r < 4; ++r)
      for (int x = 0; x < 9; ++x) {
        const std::uint8_t v = table[Pixel(src24, g, x, r)[byte]];
        const std::uint8_t* out = Pixel(dst24, g, x, r);
        ASSERT_EQ(out[0], v);
        ASSERT_EQ(out[1], v);
        ASSERT_EQ(out[2], v);
      }
    Store dst8 = src8;
    Apply8Solo(src8, dst8, t, c);
    for (int i = 0; i < 256; ++i) {
      const std::uint8_t v = table[src8[54 + 4 * i + byte]];
      ASSERT_EQ(dst8[54 + 4 * i + 0], v);
      ASSERT_EQ(dst8[54 + 4 * i + 1], v);
      ASSERT_EQ(dst8[54 + 4 * i + 2], v);
      ASSERT_EQ(dst8[54 + 4 * i + 3], 0x5A);
    }
    EXPECT_TRUE(std::equal(dst8.begin() + 1078, dst8.end(), src8.begin() + 1078));
  }
  Store dst = src24;
  EXPECT_EQ(Apply24Solo(src24, dst, g, t, kSoloNone).status, PassStatus::Unsupported);
  EXPECT_EQ(dst, src24);
}

TEST(Passes, OneByOnePaddingSurvives) {
  const ToneTables t = Uneven();
  const Geometry g = Geometry::From(1, 1);
  Store src24 = Picture24(1, 1);
  ASSERT_EQ(src24.size(), 58u);
  for (int flags = 0; flags < 3; ++flags) {
    Store dst = src24;
    dst[57] = 0;  // the pass must copy the source's padding
    if (flags == 0) Apply24All_SatuUp(src24, dst, g, t, 37, true, false);
    if (flags == 1) Apply24Solo(src24, dst, g, t, 1);
    if (flags == 2) ApplyTonePass(src24, dst, g, t, TonePassRequest{});
    EXPECT_EQ(dst[57], kPad) << flags;
  }
  Store src8 = Picture8(1, 1, true);
  Store dst8 = src8;
  for (int i = 1079; i < 1082; ++i) dst8[i] = 0;
  Apply8All_SatuUp(src8, dst8, g, true, t, 10, false, false);
  for (int i = 1079; i < 1082; ++i) EXPECT_EQ(dst8[i], kPad) << i;
}

std::vector<std::string> SoloStatuses(int rows) {
  const Geometry g = Geometry::From(2, rows);
  const Store src = Picture24(2, rows);
  Store dst = src;
  std::vector<std::string> seen;
  int pumps = 0;
  PassHooks hooks;
  hooks.status = [&](const std::string& s) { seen.push_back(s); };
  hooks.pump = [&] { ++pumps; };
  Apply24Solo(src, dst, g, Identity(), 0, hooks);
  // Once per slice of rows, at least once.
  EXPECT_GE(pumps, 1);
  EXPECT_LE(pumps, rows);
  return seen;
}

TEST(Passes, SoloProgressCountsRemainingRows) {
  const std::string blank(20, ' ');
  EXPECT_EQ(SoloStatuses(100),
            (std::vector<std::string>{"のこり 84 ライン", "のこり 68 ライン", "のこり 52 ライン",
                                      "のこり 36 ライン", "のこり 20 ライン", "のこり 4 ライン", blank}));
  EXPECT_EQ(SoloStatuses(15), std::vector<std::string>{blank});
  EXPECT_EQ(SoloStatuses(16), (std::vector<std::string>{"のこり 0 ライン", blank}));
}

TEST(Passes, NormalPassPumpsEveryRowWithoutStatus) {
  const Geometry g = Geometry::From(3, 20);
  const Store src = Picture24(3, 20);
  Store dst = src;
  int pumps = 0, statuses = 0;
  PassHooks hooks;
  hooks.pump = [&] { ++pumps; };
  hooks.status = [&](const std::string&) { ++statuses; };
  Apply24All_SatuUp(src, dst, g, Uneven(), 12, false, false, hooks);
  EXPECT_GE(pumps, 1);
  EXPECT_LE(pumps, 20);
  EXPECT_EQ(statuses, 0);
}

TEST(Passes, GeometryBeyondTheStoresProcessesOnlyWhatFits) {
  const ToneTables t = Uneven();
  struct Case {
    const char* name;
    int storeW, storeH;  // what the stores hold
    Geometry geo;        // what the geometry claims
    std::size_t dstSize; // 0 = same as the source
    int wantRows;
  };
  Geometry tall = Geometry::From(4, 50);
  Geometry wide = Geometry::From(4, 3);
  wide.Xend = 1000;  // more pixels than the stride holds
  Geometry negative = Geometry::From(4, 0);  // Yend -1
  Geometry zeroStride = Geometry::From(4, 3);
  zeroStride.XBytes24 = 0;
  const Case cases[] = {
      {"more rows than the store", 4, 3, tall, 0, 3},
      {"result store shorter", 4, 3, Geometry::From(4, 3), 54 + 12 * 2 + 5, 2},
      {"row wider than the stride", 4, 3, wide, 0, 3},
      {"no rows", 4, 3, negative, 0, 0},
      {"zero stride", 4, 3, zeroStride, 0, 0},
      {"header only", 4, 3, Geometry::From(4, 3), 54, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Store src = Picture24(c.storeW, c.storeH);
    Store dst = src;
    if (c.dstSize != 0) dst.resize(c.dstSize);
    const Store before = dst;
    EXPECT_EQ(Apply24All_SatuUp(src, dst, c.geo, t, 20, false, false).rows, c.wantRows);
    EXPECT_EQ(dst.size(), before.size());
    Store solo = before;
    EXPECT_EQ(Apply24Solo(src, solo, c.geo, t, 2).rows, c.wantRows);
    // Bytes after the processed rows are untouched.
    const std::size_t done = 54 + static_cast<std::size_t>(c.wantRows) * (c.geo.XBytes24 > 0 ? c.geo.XBytes24 : 0);
    EXPECT_TRUE(std::equal(dst.begin() + std::min(done, dst.size()), dst.end(),
                           before.begin() + std::min(done, dst.size())));
  }
  // Palette and grey-ramp passes with stores too short for the palette.
  Store shortSrc(600, 7), shortDst(600, 9);
  const Store keep = shortDst;
  Apply8All_SatuUp(shortSrc, shortDst, Geometry::From(4, 3), false, t, 20, false, false);
  Apply8Solo(shortSrc, shortDst, t, 0);
  EXPECT_EQ(Apply8All_SatuUp(shortSrc, shortDst, Geometry::From(4, 3), true, t, 20, false, false).rows, 0);
  EXPECT_EQ(shortDst, keep);
}

TEST(Passes, ResultStoreShrunkByThePumpStopsThePass) {
  const Geometry g = Geometry::From(4, 10);
  const Store src = Picture24(4, 10);
  Store dst = src;
  PassHooks hooks;
  int calls = 0;
  hooks.pump = [&] {
    if (++calls == 1) dst.resize(54 + 12 * 4);  // e.g. another picture opened meanwhile
  };
  EXPECT_EQ(Apply24All_SatuUp(src, dst, g, Uneven(), 10, false, false, hooks).rows, 4);
}

TEST(Passes, APassStartedInsideARunningOneIsRefused) {
  const Geometry g = Geometry::From(2, 3);
  const Store src = Picture24(2, 3);
  Store dst = src;
  Store inner = src;
  const Store innerBefore = inner;
  std::vector<PassStatus> nested;
  bool sawRunning = false;
  PassHooks hooks;
  hooks.pump = [&] {
    sawRunning = sawRunning || TonePassRunning();
    nested.push_back(Apply24All_SatuUp(src, inner, g, Uneven(), 20, false, false).status);
    nested.push_back(ApplyTonePass(src, inner, g, Uneven(), {8, false, 1, 10, false, false}).status);
  };
  EXPECT_EQ(Apply24Solo(src, dst, g, Uneven(), 0, hooks).status, PassStatus::Done);
  EXPECT_TRUE(sawRunning);
  ASSERT_GE(nested.size(), 2u);
  for (PassStatus s : nested) EXPECT_EQ(s, PassStatus::Busy);
  EXPECT_EQ(inner, innerBefore);
  EXPECT_FALSE(TonePassRunning());
  // Free again afterwards.
  EXPECT_EQ(Apply24All_SatuUp(src, inner, g, Uneven(), 20, false, false).status, PassStatus::Done);
}

TEST(Passes, DispatchByBitDepthAndSolo) {
  const ToneTables t = Uneven();
  const Geometry g = Geometry::From(3, 2);
  const Store src24 = Picture24(3, 2);
  const Store src8 = Picture8(3, 2, false);
  struct Case {
    int bits;
    std::uint8_t solo;
    bool ramp;
  } cases[] = {{24, 3, false}, {24, 0, false}, {8, 3, false}, {8, 3, true}, {8, 2, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.bits << " bit, solo " << int(c.solo) << " ramp " << c.ramp);
    const Store& src = c.bits == 24 ? src24 : src8;
    Store viaDispatch = src, direct = src;
    ApplyTonePass(src, viaDispatch, g, t, {c.bits, c.ramp, c.solo, 23, true, false});
    if (c.bits == 24 && c.solo == 3) Apply24All_SatuUp(src, direct, g, t, 23, true, false);
    if (c.bits == 24 && c.solo != 3) Apply24Solo(src, direct, g, t, c.solo);
    if (c.bits == 8 && c.solo == 3) Apply8All_SatuUp(src, direct, g, c.ramp, t, 23, true, false);
    if (c.bits == 8 && c.solo != 3) Apply8Solo(src, direct, t, c.solo);
    EXPECT_EQ(viaDispatch, direct);
    EXPECT_NE(viaDispatch, src);
  }
  Store dst = src24;
  EXPECT_EQ(ApplyTonePass(src24, dst, g, t, {16, false, 3, 10, false, false}).status, PassStatus::Unsupported);
  EXPECT_EQ(dst, src24);
}

TEST(Passes, WorkingImageOverloadRunsOnlyWhenReady) {
  const ToneTables t = Uneven();
  WorkingImage img;
  img.MemStBmp1 = Picture8(5, 2, false);
  img.biBitFlag = 8;
  img.ImageWidth = 5;
  img.ImageHeight = 2;
  img.GeometryStep();
  const Store before = img.MemStBmp2;
  ApplyTonePass(img, t, kSoloNone, 30, false, true);
  EXPECT_EQ(img.MemStBmp2, before);

  img.ReadyFlag = true;
  ApplyTonePass(img, t, kSoloNone, 30, false, true);
  Store direct = img.MemStBmp1;
  Apply8All_SatuUp(img.MemStBmp1, direct, img.geo, false, t, 30, false, true);
  EXPECT_EQ(img.MemStBmp2, direct);
  EXPECT_NE(img.MemStBmp2, before);
}

}  // namespace
}  // namespace tav1
