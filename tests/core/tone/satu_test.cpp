#include "core/tone/satu.h"

#include <gtest/gtest.h>

namespace tav1 {
namespace {

struct Rgb {
  int R, G, B;
};

struct Worked {
  Rgb in;
  int slider;
  bool lum, sat;
  Rgb out24;  // 24-bit pass (S as float)
  Rgb outPal; // palette pass (S as double)
};

// Known answers; only the last row differs between the two precisions of S.
const Worked kWorked[] = {
    {{200, 100, 50}, 15, false, false, {238, 88, 14}, {238, 88, 14}},
    {{200, 100, 50}, 15, true, false, {219, 94, 32}, {219, 94, 32}},
    {{200, 100, 50}, 15, false, true, {200, 100, 50}, {200, 100, 50}},
    {{200, 100, 50}, 5, true, true, {162, 112, 86}, {162, 112, 86}},
    {{200, 100, 50}, 0, false, false, {123, 123, 123}, {123, 123, 123}},
    {{140, 120, 110}, 20, false, false, {156, 116, 96}, {156, 116, 96}},
    {{140, 120, 110}, 20, false, true, {149, 118, 102}, {149, 118, 102}},
    {{140, 120, 110}, 20, true, false, {148, 118, 103}, {148, 118, 103}},
    {{140, 120, 110}, 20, true, true, {144, 119, 106}, {144, 119, 106}},
    {{250, 50, 50}, 20, false, false, {255, 48, 48}, {255, 48, 48}},
    {{10, 200, 200}, 30, false, false, {0, 204, 204}, {0, 204, 204}},
    {{101, 101, 101}, 15, false, false, {102, 102, 102}, {102, 102, 102}},
    {{100, 100, 100}, 15, false, false, {100, 100, 100}, {100, 100, 100}},
    {{128, 128, 128}, 100, true, true, {132, 132, 132}, {132, 132, 132}},
    {{255, 255, 255}, 50, false, false, {255, 255, 255}, {255, 255, 255}},
    {{6, 100, 100}, 3, false, false, {51, 80, 80}, {52, 80, 80}},
};

void ExpectRgb(const TTriple& got, const Rgb& want) {
  EXPECT_EQ(got.R, want.R);
  EXPECT_EQ(got.G, want.G);
  EXPECT_EQ(got.B, want.B);
}

TEST(SatuUpTriple, WorkedValuesInBothPrecisions) {
  for (const Worked& w : kWorked) {
    SCOPED_TRACE(testing::Message() << "(" << w.in.R << "," << w.in.G << "," << w.in.B
                                    << ") slider " << w.slider << " lum " << w.lum << " sat "
                                    << w.sat);
    const auto R = static_cast<std::uint8_t>(w.in.R);
    const auto G = static_cast<std::uint8_t>(w.in.G);
    const auto B = static_cast<std::uint8_t>(w.in.B);
    ExpectRgb(SatuUpTriple(R, G, B, SatuFactor24(w.slider), w.lum, w.sat), w.out24);
    ExpectRgb(SatuUpTriple(R, G, B, SatuFactorPalette(w.slider), w.lum, w.sat), w.outPal);
  }
}

TEST(SatuUpTriple, StoresToFloatDecideTheLastLevel) {
  // Each colour turns by one level when the named value is held in double
  // instead of a 32-bit float.
  struct Case {
    const char* held;
    Rgb in;
    int slider;
    bool lum, sat;
    Rgb out;
  } cases[] = {
      {"chroma C", {162, 175, 55}, 42, true, true, {164, 180, 28}},
      {"chroma C", {3, 55, 160}, 63, false, true, {0, 56, 167}},
      {"shrink factor a", {255, 255, 33}, 11, false, false, {255, 255, 35}},
      {"shrink factor a", {255, 255, 75}, 11, false, false, {255, 255, 73}},
      {"lift factor b", {0, 10, 70}, 11, false, false, {0, 10, 71}},
      {"lift factor b", {0, 15, 45}, 11, false, false, {0, 15, 45}},
  };
  for (const Case& c : cases)
    ExpectRgb(SatuUpTriple(static_cast<std::uint8_t>(c.in.R), static_cast<std::uint8_t>(c.in.G),
                           static_cast<std::uint8_t>(c.in.B), SatuFactor24(c.slider), c.lum, c.sat),
              c.out);
}

TEST(SatuUpTriple, FactorPrecisionDiffersOnlyWhereNotExact) {
  EXPECT_EQ(SatuFactor24(3), 0.3f);
  EXPECT_EQ(SatuFactorPalette(3), 0.3);
  EXPECT_NE(static_cast<double>(SatuFactor24(3)), SatuFactorPalette(3));
  EXPECT_EQ(static_cast<double>(SatuFactor24(15)), SatuFactorPalette(15));
}

TEST(SatuUpTriple, SliderTenKeepsEveryColourWhateverTheDamping) {
  // k = 1 exactly, so dR * 1 + Y = R for all 2^24 colours.
  for (int flags = 0; flags < 4; ++flags) {
    const bool lum = flags & 1, sat = flags & 2;
    // A lattice through 0 and 255 keeps the run short (x87 arithmetic is slow).
    const int step = 3;
    for (int r = 0; r < 256; r += step)
      for (int g = 0; g < 256; g += step)
        for (int b = 0; b < 256; b += step) {
          const TTriple t = SatuUpTriple(static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(g),
                                         static_cast<std::uint8_t>(b), SatuFactor24(10), lum, sat);
          if (t.R != r || t.G != g || t.B != b)
            FAIL() << "(" << r << "," << g << "," << b << ") lum " << lum << " sat " << sat;
        }
  }
}

TEST(SatuUpTriple, SliderZeroGivesLuminanceGrey) {
  // White becomes 254 (the weights add up to 255); below 10 white is not kept.
  ExpectRgb(SatuUpTriple(255, 255, 255, SatuFactor24(0), false, false), {254, 254, 254});
  ExpectRgb(SatuUpTriple(255, 255, 255, SatuFactor24(5), false, false), {254, 254, 254});
  ExpectRgb(SatuUpTriple(0, 0, 255, SatuFactor24(0), true, true), {28, 28, 28});
}

TEST(SatuUpTriple, DampingActsOnlyOnABoost) {
  const int sliders[] = {0, 3, 7, 9};
  for (int s : sliders) {
    const TTriple plain = SatuUpTriple(200, 100, 50, SatuFactor24(s), false, false);
    const TTriple damped = SatuUpTriple(200, 100, 50, SatuFactor24(s), true, true);
    EXPECT_EQ(plain.R, damped.R) << s;
    EXPECT_EQ(plain.G, damped.G) << s;
    EXPECT_EQ(plain.B, damped.B) << s;
  }
  // Luminance damping: black (Y = 0) is not boosted, a dark colour barely.
  ExpectRgb(SatuUpTriple(0, 0, 0, SatuFactor24(100), true, false), {0, 0, 0});
  ExpectRgb(SatuUpTriple(3, 0, 0, SatuFactor24(100), true, false), {3, 0, 0});
}

TEST(SatuUpTriple, WhiteStaysWhiteAboveTen) {
  for (int s = 11; s <= 100; ++s)
    ExpectRgb(SatuUpTriple(255, 255, 255, SatuFactor24(s), false, false), {255, 255, 255});
}

}  // namespace
}  // namespace tav1
