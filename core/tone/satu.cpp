#include "core/tone/satu.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace tav1 {

// The products and sums below are carried in x86-64 80-bit long double; a
// value is rounded only where it is stored into a float or double variable.
static_assert(sizeof(long double) >= 10, "the saturation step needs 80-bit long double arithmetic");

namespace {

using LD = long double;

// Round to nearest, ties to even (100.5 -> 100, 101.5 -> 102), whatever the
// FPU rounding mode. Inputs stay within a few thousand.
int RoundHalfEven(LD v) {
  LD f = floorl(v);
  const LD frac = v - f;
  if (frac > 0.5L || (frac == 0.5L && fmodl(f, 2.0L) != 0.0L)) f += 1.0L;
  return static_cast<int>(f);
}

std::uint8_t ToByte(int v) { return static_cast<std::uint8_t>(std::clamp(v, 0, 255)); }

}  // namespace

float SatuFactor24(int sliderPosition) {
  return static_cast<float>(static_cast<LD>(sliderPosition) / 10.0L);  // held as a 32-bit float
}

double SatuFactorPalette(int sliderPosition) {
  return static_cast<double>(static_cast<LD>(sliderPosition) / 10.0L);  // held as a double
}

TTriple SatuUpTriple(std::uint8_t R, std::uint8_t G, std::uint8_t B, double S, bool byKido,
                     bool bySatu) {
  // Weights add up to 255, so white has luminance 254 and a grey v >= 1 has v - 1.
  const int Y = (76 * R + 150 * G + 29 * B) / 256;
  const int dR = R - Y;
  const int dG = G - Y;
  const int dB = B - Y;

  const int spread = std::abs(dR) + std::abs(dG) + std::abs(dB);
  float C = static_cast<float>(sqrtl(static_cast<LD>(spread) / 170.0L));  // stored as a 32-bit float
  if (C > 1.0f) C = 1.0f;

  const double ws = bySatu ? static_cast<double>(1.0L - C) : 1.0;               // stored as double
  const double wy = byKido ? static_cast<double>(static_cast<LD>(Y) / 255.0L) : 1.0;  // stored as double
  const double w = static_cast<double>(static_cast<LD>(ws) * wy);             // stored as double
  // Damping weakens only a boost; a cut is applied in full.
  const double k = S > 1.0 ? static_cast<double>((static_cast<LD>(S) - 1.0L) * w + 1.0L) : S;

  int Ro = RoundHalfEven(static_cast<LD>(dR) * k + Y);
  int Go = RoundHalfEven(static_cast<LD>(dG) * k + Y);
  int Bo = RoundHalfEven(static_cast<LD>(dB) * k + Y);

  // Too bright: shrink every distance so that the largest lands on 255.
  const int M = std::max({Ro, Go, Bo});
  if (M > 255) {
    const float a = static_cast<float>(static_cast<LD>(255 - Y) / (M - Y));  // stored as a 32-bit float
    Bo = RoundHalfEven(static_cast<LD>(Bo - Y) * a + Y);
    Go = RoundHalfEven(static_cast<LD>(Go - Y) * a + Y);
    Ro = RoundHalfEven(static_cast<LD>(Ro - Y) * a + Y);
  }
  // Below black (after the shrink above): the smallest lands on 0.
  const int m = std::min({Ro, Go, Bo});
  if (m < 0) {
    const float b = static_cast<float>(static_cast<LD>(Y) / (Y - m));  // stored as a 32-bit float
    Bo = RoundHalfEven(Y - static_cast<LD>(Y - Bo) * b);
    Go = RoundHalfEven(Y - static_cast<LD>(Y - Go) * b);
    Ro = RoundHalfEven(Y - static_cast<LD>(Y - Ro) * b);
  }
  // The steps above already bring every component into 0..255; the clamp only
  // keeps the byte conversion defined.
  TTriple out;
  out.R = ToByte(Ro);
  out.G = ToByte(Go);
  out.B = ToByte(Bo);
  return out;
}

}  // namespace tav1
