#include "core/tone/tables.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

namespace tav1 {
namespace {

constexpr std::array<int, 9> kProbe = {0, 1, 16, 64, 128, 192, 235, 254, 255};

ToneParams Same(int low, int r, int high) {
  ToneParams p;
  for (int c = 0; c < kChannels; ++c) {
    p.at(c, kSlotLow) = low;
    p.at(c, kSlotGamma) = r;
    p.at(c, kSlotHigh) = high;
  }
  return p;
}

struct Worked {
  const char* name;
  int low, r, high;
  std::vector<int> orders;   // every order the row holds for
  std::vector<int> origins;  // every origin the row holds for
  float q;                   // 0 = not checked
  std::array<int, 9> out;
};

const std::vector<int> kBothOrders = {kOrderLinearFirst, kOrderGammaFirst};
const std::vector<int> kBothOrigins = {kOriginBlack, kOriginWhite};
const std::vector<int> kLG = {kOrderLinearFirst};
const std::vector<int> kGL = {kOrderGammaFirst};
const std::vector<int> kO0 = {kOriginBlack};
const std::vector<int> kO255 = {kOriginWhite};

const Worked kWorked[] = {
    {"default is identity", 0, 0, 255, kBothOrders, kBothOrigins, 1.0f, {0, 1, 16, 64, 128, 192, 235, 254, 255}},
    {"stretch 16..235 maps 235 to 255 via the float store", 16, 0, 235, kLG, kO0, 1.0f, {0, 0, 0, 55, 130, 204, 255, 255, 255}},
    {"r -64 origin black", 0, -64, 255, kLG, kO0, 0.5f, {0, 15, 63, 127, 180, 221, 244, 254, 255}},
    {"r 64 origin black", 0, 64, 255, kLG, kO0, 2.409421f, {0, 0, 0, 9, 48, 128, 209, 252, 255}},
    {"r 64 origin white", 0, 64, 255, kLG, kO255, 0.4985844f, {0, 0, 8, 34, 74, 128, 183, 238, 255}},
    {"r -64 origin white", 0, -64, 255, kLG, kO255, 2.42886f, {0, 2, 37, 128, 208, 246, 254, 254, 255}},
    {"r -126 origin black", 0, -126, 255, kLG, kO0, 0.1428571f, {0, 115, 171, 209, 231, 244, 252, 254, 255}},
    {"r 103 origin black", 0, 103, 255, kLG, kO0, 6.745319f, {0, 0, 0, 0, 2, 37, 146, 248, 255}},
    {"r -103 origin white", 0, -103, 255, kLG, kO255, 6.972811f, {0, 6, 92, 221, 253, 254, 255, 255, 255}},
    {"r 126 origin white", 0, 126, 255, kLG, kO255, 0.1421652f, {0, 0, 2, 10, 24, 45, 77, 139, 255}},
    {"16 64 235 L->G black", 16, 64, 235, kLG, kO0, 2.409421f, {0, 0, 0, 6, 50, 150, 255, 255, 255}},
    {"16 64 235 G->L black", 16, 64, 235, kGL, kO0, 2.409421f, {0, 0, 0, 11, 59, 157, 255, 255, 255}},
    {"16 -64 235 L->G white", 16, -64, 235, kLG, kO255, 2.42886f, {0, 0, 0, 115, 210, 250, 255, 255, 255}},
    {"16 -64 235 G->L white", 16, -64, 235, kGL, kO255, 2.42886f, {0, 0, 0, 107, 201, 246, 255, 255, 255}},
    {"negative low lifts black", -64, 0, 255, kLG, kO0, 1.0f, {51, 51, 63, 102, 153, 204, 239, 254, 255}},
    {"high above 255 lowers white", 0, 0, 320, kLG, kO0, 1.0f, {0, 0, 12, 51, 102, 153, 187, 202, 203}},
    {"solo placeholder gives zeros", 256, 0, 511, kBothOrders, kBothOrigins, 1.0f, {0, 0, 0, 0, 0, 0, 0, 0, 0}},
    {"r 1 origin black", 0, 1, 255, kLG, kO0, 1.011355f, {0, 0, 15, 63, 127, 191, 234, 253, 255}},
    {"r -1 origin black", 0, -1, 255, kLG, kO0, 0.9888113f, {0, 1, 16, 64, 128, 192, 235, 254, 255}},
};

TEST(TableMake, WorkedValues) {
  for (const Worked& w : kWorked) {
    for (int order : w.orders) {
      for (int origin : w.origins) {
        SCOPED_TRACE(std::string(w.name) + " order " + std::to_string(order) + " origin " +
                     std::to_string(origin));
        const ToneTables t = TableMake(Same(w.low, w.r, w.high), order, origin);
        for (std::size_t i = 0; i < kProbe.size(); ++i) {
          const int in = kProbe[i];
          EXPECT_EQ(t.TableR[in], w.out[i]) << "input " << in;
          EXPECT_EQ(t.TableG[in], w.out[i]) << "input " << in;
          EXPECT_EQ(t.TableB[in], w.out[i]) << "input " << in;
        }
        if (w.q != 0.0f) {
          // The exponents are given to 7 significant digits (trailing zeros dropped).
          const double unit = std::pow(10.0, std::floor(std::log10(w.q)) - 6);
          EXPECT_NEAR(CurveExponent(w.r, origin), w.q, 0.5 * unit + 1e-12);
        }
      }
    }
  }
}

TEST(TableMake, SlopeStoredAsFloatCanKeepTheHighEndBelow255) {
  // float32(255 / 223) x 223 lies just below 255; with an extended slope the
  // entry would be 255.
  const ToneTables t = TableMake(Same(-40, -63, 183), kOrderLinearFirst, kOriginBlack);
  EXPECT_EQ(t.TableR[183], 254);
  EXPECT_EQ(t.TableR[184], 255);
}

TEST(TableMake, GammaFirstEndsAreTransformedThroughTheCurve) {
  // Worked ends lo', hi': black origin (16, 64, 235) -> 0, 209; white origin
  // (16, -64, 235) -> 37, 254. With those ends, out = floor(stretch of the curve).
  struct Case {
    int r, origin, lo, hi;
  } cases[] = {{64, kOriginBlack, 0, 209}, {-64, kOriginWhite, 37, 254}};
  for (const Case& c : cases) {
    ToneParams p = Same(16, c.r, 235);
    WorkTable curved = IdentityWorkTable();
    float q = 0;
    TableMakeGamma(p, 0, c.origin, curved, q);
    WorkTable viaLinear1 = curved;
    TableMakeLinear1(p, 0, c.origin, viaLinear1, q);
    WorkTable viaEnds = curved;
    TableMakeLinear2(Same(c.lo, 0, c.hi), 0, viaEnds);
    EXPECT_EQ(viaLinear1, viaEnds) << "r " << c.r;
  }
}

TEST(TableMake, ExactIdentityAtZeroGammaForEveryLevel) {
  for (int order : kBothOrders)
    for (int origin : kBothOrigins)
      EXPECT_TRUE(TableMake(Same(0, 0, 255), order, origin).IsIdentity())
          << "order " << order << " origin " << origin;
  float q = 0;
  WorkTable w = IdentityWorkTable();
  TableMakeGamma(Same(0, 0, 255), 0, kOriginWhite, w, q);
  EXPECT_EQ(q, 1.0f);
  EXPECT_EQ(w, IdentityWorkTable());
}

TEST(TableMake, EveryEntryMonotoneAcrossTheGammaRange) {
  // A curve fault (wrong sign, broken power) shows as a decreasing entry.
  for (int origin : kBothOrigins) {
    for (int order : kBothOrders) {
      for (int r = -126; r <= 126; r += 9) {
        const ToneTables t = TableMake(Same(10, r, 240), order, origin);
        for (int j = 1; j < 256; ++j)
          ASSERT_LE(t.TableG[j - 1], t.TableG[j]) << "r " << r << " origin " << origin
                                                  << " order " << order << " j " << j;
        if (order == kOrderLinearFirst) {
          // In G->L an extreme curve can carry both ends to the same level
          // (origin white, r -126: both round to 255) and the table is zeros.
          EXPECT_EQ(t.TableG[0], 0);
          EXPECT_EQ(t.TableG[255], 255);
        }
      }
    }
  }
}

TEST(TableMake, ChannelsAreBuiltFromTheirOwnParameters) {
  ToneParams p;
  p.at(0, kSlotLow) = 16;
  p.at(0, kSlotHigh) = 235;   // red stretched
  p.at(1, kSlotGamma) = -64;  // green brightened
  p.at(2, kSlotLow) = 256;
  p.at(2, kSlotHigh) = 511;   // blue muted
  const ToneTables t = TableMake(p, kOrderLinearFirst, kOriginBlack);
  EXPECT_EQ(t.TableR[64], 55);
  EXPECT_EQ(t.TableG[64], 127);
  EXPECT_EQ(t.TableB[255], 0);
  EXPECT_EQ(t.ForChannel(0), t.TableR);
  EXPECT_EQ(t.ForChannel(2), t.TableB);
}

TEST(TableMake, EndsThatDoNotRiseGiveZeros) {
  for (auto [low, high] : {std::pair{100, 100}, std::pair{200, 50}}) {
    for (int order : kBothOrders) {
      const ToneTables t = TableMake(Same(low, 0, high), order, kOriginBlack);
      for (int j = 0; j < 256; ++j) ASSERT_EQ(t.TableR[j], 0) << low << ".." << high << " j " << j;
    }
  }
}

TEST(TableMake, OutOfRangeSwitches) {
  const ToneParams curved = Same(16, 64, 235);
  // Unknown order: neither stage runs.
  EXPECT_TRUE(TableMake(curved, 2, kOriginBlack).IsIdentity());
  EXPECT_TRUE(TableMake(curved, -1, kOriginWhite).IsIdentity());
  // Unknown origin: L->G is the plain stretch; G->L has ends 0, 0 and gives zeros.
  EXPECT_EQ(TableMake(curved, kOrderLinearFirst, 2), TableMake(Same(16, 0, 235), kOrderLinearFirst, kOriginBlack));
  const ToneTables zeros = TableMake(curved, kOrderGammaFirst, 7);
  for (int j = 0; j < 256; ++j) ASSERT_EQ(zeros.TableB[j], 0) << j;
}

TEST(TableMake, EndsTheCurveCannotTakeAreKept) {
  // Black origin: a low end <= 0 passes unchanged into the stretch, so G->L
  // equals stretching the curved table with that raw low end.
  ToneParams p = Same(-20, 30, 200);
  WorkTable curved = IdentityWorkTable();
  float q = 0;
  TableMakeGamma(p, 1, kOriginBlack, curved, q);
  WorkTable a = curved;
  TableMakeLinear1(p, 1, kOriginBlack, a, q);
  const long double hi = std::nearbyint(std::exp(std::log(200.0L / 255.0L) * q) * 255.0L);
  WorkTable b = curved;
  TableMakeLinear2(Same(-20, 0, static_cast<int>(hi)), 1, b);
  EXPECT_EQ(a, b);
}

TEST(TableMake, UncheckedGammaOutsideTheRangeBuildsWithoutFault) {
  // Values from the settings file are not range-checked; the build must still
  // give a deterministic table (no NaN conversion).
  for (int r : {-128, -200, 128, 300}) {
    for (int order : kBothOrders)
      for (int origin : kBothOrigins) {
        const ToneTables a = TableMake(Same(0, r, 255), order, origin);
        const ToneTables b = TableMake(Same(0, r, 255), order, origin);
        EXPECT_EQ(a, b);
      }
  }
}

}  // namespace
}  // namespace tav1
