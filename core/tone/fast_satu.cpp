#include "core/tone/fast_satu.h"

#include <immintrin.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "core/tone/cpu_features.h"
#include "core/tone/fast_map.h"
#include "core/tone/satu.h"

namespace tav1::fast {

namespace {

using LD = long double;

constexpr int kOne = 1 << SatuPlan::kFracBits;  // 2^19
constexpr int kFracMask = kOne - 1;
constexpr int kKhMask = (1 << 23) - 1;

// k x 2^19 = Kh + KL with Kh an integer and |KL| <= 1/2 (both exact: the scale
// is a power of two and the difference of two close doubles is exact).
std::int32_t PackGain(double k, double& kl) {
  const double ks = k * static_cast<double>(kOne);
  const double kh = std::round(ks);
  kl = ks - kh;
  int bamb = 0;
  // The +1 keeps the bound safe even when 255 |KL| rounds down to a whole number.
  if (kl != 0.0) bamb = static_cast<int>(std::ceil(255.0 * std::fabs(kl))) + 1;
  return static_cast<std::int32_t>(kh) | (bamb << 23);
}

// Round half to even of a double that holds an exact value of a few thousand.
int RoundEven(double v) {
  double f = std::floor(v);
  const double frac = v - f;
  if (frac > 0.5 || (frac == 0.5 && std::fmod(f, 2.0) != 0.0)) f += 1.0;
  return static_cast<int>(f);
}

// Steps 9 and 10 of the saturation step: both are round(Y + (v - Y) x f) with
// f a float quotient; (v - Y) x f and the sum are exact in double.
void ClampSteps(int Y, int& Ro, int& Go, int& Bo) {
  const int M = std::max({Ro, Go, Bo});
  if (M > 255) {
    const float a = static_cast<float>(255 - Y) / static_cast<float>(M - Y);  // float division, as stored
    Bo = RoundEven(Y + static_cast<double>(Bo - Y) * a);
    Go = RoundEven(Y + static_cast<double>(Go - Y) * a);
    Ro = RoundEven(Y + static_cast<double>(Ro - Y) * a);
  }
  const int m = std::min({Ro, Go, Bo});
  if (m < 0) {
    const float b = static_cast<float>(Y) / static_cast<float>(Y - m);  // float division, as stored
    Bo = RoundEven(Y + static_cast<double>(Bo - Y) * b);
    Go = RoundEven(Y + static_cast<double>(Go - Y) * b);
    Ro = RoundEven(Y + static_cast<double>(Ro - Y) * b);
  }
}

// Step 8 for one distance: round(d x k + Y) from the class entry. Lanes whose
// fraction lies within the bound of a whole step are settled by the sign of
// G + d x KL, G the fraction's distance to that step: exact in double, since
// KL carries at most 36 significant bits below 2^-1 and |d| < 2^8.
inline int Step8(int d, int Kh, int bamb, double KL, int base, bool& near) {
  const int I = d * Kh + base;
  const int q = I >> SatuPlan::kFracBits;
  const int F = I & kFracMask;
  if (F >= bamb && F <= kOne - bamb) return q - ((F == 0) & q & 1);
  near = true;
  const bool up = F >= kOne / 2;
  const int qq = q + up;
  const double v = (up ? F - kOne : F) + d * KL;  // exact
  return v > 0 ? qq : (v < 0 ? qq - 1 : qq - (qq & 1));
}

// Scalar form of the lane computation; `near` tells whether a lane needed the
// exact settling above (for measurements).
TTriple PlanTriple(const SatuPlan& plan, int R, int G, int B, bool& near) {
  const int Y = (76 * R + 150 * G + 29 * B) >> 8;
  const int dR = R - Y, dG = G - Y, dB = B - Y;
  const int spread = std::abs(dR) + std::abs(dG) + std::abs(dB);
  const std::int32_t p = plan.Packed(Y, spread);
  const double KL = plan.Remainder(Y, spread);
  const int Kh = p & kKhMask;
  const int bamb = p >> 23;
  const int base = (2 * Y + 1) << 18;
  int Ro = Step8(dR, Kh, bamb, KL, base, near);
  int Go = Step8(dG, Kh, bamb, KL, base, near);
  int Bo = Step8(dB, Kh, bamb, KL, base, near);
  ClampSteps(Y, Ro, Go, Bo);
  TTriple out;
  out.R = static_cast<std::uint8_t>(Ro);
  out.G = static_cast<std::uint8_t>(Go);
  out.B = static_cast<std::uint8_t>(Bo);
  return out;
}

// Rows are processed in chunks through planar buffers; this keeps in/out
// aliasing safe and the buffers in L1.
constexpr int kChunk = 1024;

struct Planes {
  alignas(32) std::uint8_t in[3 * kChunk + 64];   // table-mapped pixels, zero past the end
  alignas(32) std::uint8_t out[3 * kChunk + 64];
};

void MapChunk(const TTriple* in, int n, const ToneTables* t, Planes& p) {
  const std::size_t bytes = 3 * static_cast<std::size_t>(n);
  if (t != nullptr) MapRow24(reinterpret_cast<const std::uint8_t*>(in), p.in, n, *t);
  else std::memcpy(p.in, in, bytes);
  // The vector loop reads whole groups of eight and four bytes beyond them;
  // black is harmless filler.
  std::memset(p.in + bytes, 0, 64);
}

int ScalarChunk(const SatuPlan& plan, Planes& p, int n) {
  int nearCount = 0;
  for (int i = 0; i < n; ++i) {
    bool near = false;
    const std::uint8_t* c = p.in + 3 * i;
    const TTriple o = PlanTriple(plan, c[2], c[1], c[0], near);
    nearCount += near;
    std::memcpy(p.out + 3 * i, &o, 3);
  }
  return nearCount;
}

// Kernels of the same exact arithmetic: eight lanes with AVX2 and FMA; with
// AVX-512, sixteen lanes with mask registers.
#pragma GCC push_options
#pragma GCC target("avx2,fma")
#include "core/tone/fast_satu_kernel.inc"
#pragma GCC pop_options

#pragma GCC push_options
#pragma GCC target("avx2,fma,avx512f,avx512vl,avx512bw,avx512dq")
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"  // the intrinsics' own undefined inputs
#pragma GCC diagnostic ignored "-Wuninitialized"
#include "core/tone/fast_satu_kernel512.inc"
#pragma GCC diagnostic pop
#pragma GCC pop_options

int RowThroughPlan(const TTriple* in, TTriple* out, int width, const ToneTables* tables,
                   const SatuPlan& plan) {
  if (width <= 0) return 0;
  if (plan.kind() == SatuPlan::Kind::Reference) {
    for (int i = 0; i < width; ++i) {
      TTriple c = in[i];
      if (tables != nullptr) c = {tables->TableB[c.B], tables->TableG[c.G], tables->TableR[c.R]};
      out[i] = SatuUpTriple(c.R, c.G, c.B, plan.S(), plan.byKido(), plan.bySatu());
    }
    return 0;
  }
  if (plan.kind() == SatuPlan::Kind::TableOnly) {
    if (tables != nullptr)
      MapRow24(reinterpret_cast<const std::uint8_t*>(in), reinterpret_cast<std::uint8_t*>(out), width, *tables);
    else if (in != out)
      std::memmove(out, in, 3 * static_cast<std::size_t>(width));
    return 0;
  }
  Planes p;
  const SatuKernel kernel = ActiveSatuKernel();
  const bool wide = kernel == SatuKernel::Avx512;
  const bool vec = kernel == SatuKernel::Avx2;
  int amb = 0;
  for (int x = 0; x < width; x += kChunk) {
    const int n = std::min(kChunk, width - x);
    MapChunk(in + x, n, tables, p);
    amb += wide ? k512w::Avx512WideChunk(plan, p, n) : vec ? Avx2Chunk(plan, p, n) : ScalarChunk(plan, p, n);
    std::memcpy(out + x, p.out, 3 * static_cast<std::size_t>(n));
  }
  return amb;
}

}  // namespace

double SatuGain(double S, bool byKido, bool bySatu, int Y, int spread) {
  // The same stores as SatuUpTriple: C to float, ws, wy, w and k to double.
  float C = static_cast<float>(sqrtl(static_cast<LD>(spread) / 170.0L));  // stored as a 32-bit float
  if (C > 1.0f) C = 1.0f;
  const double ws = bySatu ? static_cast<double>(1.0L - C) : 1.0;                     // stored as double
  const double wy = byKido ? static_cast<double>(static_cast<LD>(Y) / 255.0L) : 1.0;  // stored as double
  const double w = static_cast<double>(static_cast<LD>(ws) * wy);                   // stored as double
  return S > 1.0 ? static_cast<double>((static_cast<LD>(S) - 1.0L) * w + 1.0L) : S;  // stored as double
}

SatuPlan::SatuPlan(double S, bool byKido, bool bySatu)
    : S_(S), byKido_(byKido), bySatu_(bySatu) {
  // Above 10 the integer lanes could overflow (|d| x Kh < 2^31 needs k <= 10).
  if (!(S >= 0.0 && S <= 10.0)) kind_ = Kind::Reference;
  else if (S == 1.0) kind_ = Kind::TableOnly;
  else if (S < 1.0 || (!byKido && !bySatu)) kind_ = Kind::Const;
  else if (!bySatu) kind_ = Kind::ByLum;
  else if (!byKido) kind_ = Kind::BySat;
  else kind_ = Kind::ByBoth;

  auto add = [this](double k) {
    double kl = 0.0;
    packed_.push_back(PackGain(k, kl));
    remainder_.push_back(kl);
  };
  // Per class also the largest error of the single-precision gain (S - 1 is
  // only narrowed where S lies in 0..10).
  if (kind_ != Kind::Reference) approxS1_ = static_cast<float>(S - 1.0);
  LD maxErr = 0.0L;
  auto addClass = [&](bool kido, bool satu, int Y, int spread) {
    const double k = SatuGain(S, kido, satu, Y, spread);
    add(k);
    const LD ka = ApproxGain(approxS1_, kido, satu, Y, spread);
    maxErr = std::max(maxErr, fabsl(ka - static_cast<LD>(k)));
  };
  switch (kind_) {
    case Kind::Const: {
      const double k = SatuGain(S, byKido, bySatu, 0, 0);
      add(k);
      gainF_ = static_cast<float>(k);
      floatGain_ = static_cast<double>(gainF_) == k;
      break;
    }
    case Kind::ByLum:
      for (int Y = 0; Y < 255; ++Y) addClass(true, false, Y, 0);
      break;
    case Kind::BySat:
      for (int s = 0; s <= kSpreadCap; ++s) addClass(false, true, 0, s);
      break;
    case Kind::ByBoth:
      packed_.reserve(255 * (kSpreadCap + 1));
      remainder_.reserve(255 * (kSpreadCap + 1));
      for (int Y = 0; Y < 255; ++Y)
        for (int s = 0; s <= kSpreadCap; ++s) addClass(true, true, Y, s);
      break;
    default:
      add(0.0);
      break;
  }
  if (kind_ == Kind::ByLum || kind_ == Kind::BySat || kind_ == Kind::ByBoth) {
    // |d| <= 255, and the lanes' one rounding of Y + d x k' (|value| < 2^12)
    // is off by at most 2^-13; 2^-12 leaves room for the sums here.
    const LD bound = 255.0L * maxErr + 0x1p-12L;
    float limit = static_cast<float>(0.5L - bound);
    if (static_cast<LD>(limit) > 0.5L - bound) limit = std::nextafter(limit, 0.0f);
    nearLimit_ = limit;
    approx_ = bound < 0x1p-7L;
  }
}

float SatuPlan::ApproxGain(float s1, bool byKido, bool bySatu, int Y, int spread) {
  // Single precision throughout, operation for operation as the vector lanes.
  float ws = 1.0f;
  if (bySatu) ws = 1.0f - std::min(std::sqrt(static_cast<float>(spread) * kInv170), 1.0f);
  const float wy = byKido ? static_cast<float>(Y) * kInv255 : 1.0f;
  return std::fma(s1, ws * wy, 1.0f);
}

TTriple SatuPlanTriple(const SatuPlan& plan, std::uint8_t R, std::uint8_t G, std::uint8_t B) {
  if (plan.kind() == SatuPlan::Kind::TableOnly) return TTriple{B, G, R};
  if (plan.kind() == SatuPlan::Kind::Reference) return SatuUpTriple(R, G, B, plan.S(), plan.byKido(), plan.bySatu());
  bool near = false;
  return PlanTriple(plan, R, G, B, near);
}

int SatuRow(const TTriple* in, TTriple* out, int width, const ToneTables& tables,
            const SatuPlan& plan) {
  return RowThroughPlan(in, out, width, &tables, plan);
}

int SatuRowMapped(const TTriple* in, TTriple* out, int width, const SatuPlan& plan) {
  return RowThroughPlan(in, out, width, nullptr, plan);
}

namespace {
std::atomic<SatuKernel> gForced{SatuKernel::Auto};
}  // namespace

bool UseSatuKernel(SatuKernel k) {
  if ((k == SatuKernel::Avx2 && !HasAvx2Fma()) || (k == SatuKernel::Avx512 && !(HasAvx2Fma() && HasAvx512())))
    return false;
  gForced = k;
  return true;
}

SatuKernel ActiveSatuKernel() {
  const SatuKernel k = gForced;
  if (k != SatuKernel::Auto) return k;
  if (HasAvx2Fma() && HasAvx512()) return SatuKernel::Avx512;
  return HasAvx2Fma() ? SatuKernel::Avx2 : SatuKernel::Scalar;
}

}  // namespace tav1::fast
