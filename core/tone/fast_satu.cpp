#include "core/tone/fast_satu.h"

#include <immintrin.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

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

bool HasAvx2() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
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

#pragma GCC push_options
#pragma GCC target("avx2")

// round(Y + n x f) in 8 lanes; n and Y int32, f float. Exact in double.
inline __m256i MulAddRound(__m256i n, __m256 f, __m256i Y) {
  const __m256d f0 = _mm256_cvtps_pd(_mm256_castps256_ps128(f));
  const __m256d f1 = _mm256_cvtps_pd(_mm256_extractf128_ps(f, 1));
  const __m256d n0 = _mm256_cvtepi32_pd(_mm256_castsi256_si128(n));
  const __m256d n1 = _mm256_cvtepi32_pd(_mm256_extracti128_si256(n, 1));
  const __m256d y0 = _mm256_cvtepi32_pd(_mm256_castsi256_si128(Y));
  const __m256d y1 = _mm256_cvtepi32_pd(_mm256_extracti128_si256(Y, 1));
  const __m256d z0 = _mm256_round_pd(_mm256_add_pd(y0, _mm256_mul_pd(n0, f0)),
                                     _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
  const __m256d z1 = _mm256_round_pd(_mm256_add_pd(y1, _mm256_mul_pd(n1, f1)),
                                     _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
  return _mm256_set_m128i(_mm256_cvtpd_epi32(z1), _mm256_cvtpd_epi32(z0));
}

int Avx2Chunk(const SatuPlan& plan, Planes& p, int n) {
  const SatuPlan::Kind kind = plan.kind();
  const std::int32_t* table = plan.PackedTable();
  const __m256i constPacked = _mm256_set1_epi32(table[0]);
  const __m256i khMask = _mm256_set1_epi32(kKhMask);
  const __m256i fracMask = _mm256_set1_epi32(kFracMask);
  const __m256i one = _mm256_set1_epi32(1);
  const __m256i vOne19 = _mm256_set1_epi32(kOne);
  const __m256i halfMinus1 = _mm256_set1_epi32(kOne / 2 - 1);
  const double* remainders = plan.RemainderTable();
  const __m256i zero = _mm256_setzero_si256();
  const __m256i v255 = _mm256_set1_epi32(255);
  const __m256i cap = _mm256_set1_epi32(SatuPlan::kSpreadCap);
  const __m256i rowLen = _mm256_set1_epi32(SatuPlan::kSpreadCap + 1);
  const __m256i w76 = _mm256_set1_epi32(76), w150 = _mm256_set1_epi32(150),
                w29 = _mm256_set1_epi32(29);
  const __m256i takeB = _mm256_setr_epi8(0, -1, -1, -1, 3, -1, -1, -1, 6, -1, -1, -1, 9, -1, -1, -1, 0, -1,
                                         -1, -1, 3, -1, -1, -1, 6, -1, -1, -1, 9, -1, -1, -1);
  const __m256i takeG = _mm256_setr_epi8(1, -1, -1, -1, 4, -1, -1, -1, 7, -1, -1, -1, 10, -1, -1, -1, 1, -1,
                                         -1, -1, 4, -1, -1, -1, 7, -1, -1, -1, 10, -1, -1, -1);
  const __m256i takeR = _mm256_setr_epi8(2, -1, -1, -1, 5, -1, -1, -1, 8, -1, -1, -1, 11, -1, -1, -1, 2, -1,
                                         -1, -1, 5, -1, -1, -1, 8, -1, -1, -1, 11, -1, -1, -1);
  const __m256i pack = _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1, 0, 1,
                                        2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
  int ambCount = 0;
  for (int i = 0; i < n; i += 8) {
    // Pixels 0..3 in the low lane, 4..7 in the high lane, one channel per shuffle.
    const std::uint8_t* px = p.in + 3 * i;
    const __m256i raw = _mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(px + 12),
                                            reinterpret_cast<const __m128i*>(px));
    const __m256i B = _mm256_shuffle_epi8(raw, takeB);
    const __m256i G = _mm256_shuffle_epi8(raw, takeG);
    const __m256i R = _mm256_shuffle_epi8(raw, takeR);
    const __m256i Y = _mm256_srli_epi32(
        _mm256_add_epi32(_mm256_add_epi32(_mm256_mullo_epi32(R, w76), _mm256_mullo_epi32(G, w150)),
                         _mm256_mullo_epi32(B, w29)),
        8);
    const __m256i dR = _mm256_sub_epi32(R, Y);
    const __m256i dG = _mm256_sub_epi32(G, Y);
    const __m256i dB = _mm256_sub_epi32(B, Y);
    __m256i packed;
    __m256i idx = zero;
    if (kind == SatuPlan::Kind::Const) {
      packed = constPacked;
    } else {
      const __m256i spread = _mm256_min_epi32(
          _mm256_add_epi32(_mm256_add_epi32(_mm256_abs_epi32(dR), _mm256_abs_epi32(dG)),
                           _mm256_abs_epi32(dB)),
          cap);
      if (kind == SatuPlan::Kind::ByLum) idx = Y;
      else if (kind == SatuPlan::Kind::BySat) idx = spread;
      else idx = _mm256_add_epi32(_mm256_mullo_epi32(Y, rowLen), spread);
      packed = _mm256_mask_i32gather_epi32(zero, reinterpret_cast<const int*>(table), idx,
                                           _mm256_set1_epi32(-1), 4);
    }
    const __m256i Kh = _mm256_and_si256(packed, khMask);
    const __m256i bamb = _mm256_srli_epi32(packed, 23);
    const __m256i hiLimit = _mm256_sub_epi32(vOne19, bamb);
    const __m256i base = _mm256_slli_epi32(_mm256_add_epi32(_mm256_add_epi32(Y, Y), one), 18);
    __m256i amb = zero;
    __m256i q[3], F[3], near[3];
    const __m256i d[3] = {dR, dG, dB};
    __m256i out[3];
    for (int c = 0; c < 3; ++c) {
      const __m256i I = _mm256_add_epi32(_mm256_mullo_epi32(d[c], Kh), base);
      q[c] = _mm256_srai_epi32(I, SatuPlan::kFracBits);
      F[c] = _mm256_and_si256(I, fracMask);
      near[c] = _mm256_or_si256(_mm256_cmpgt_epi32(bamb, F[c]), _mm256_cmpgt_epi32(F[c], hiLimit));
      amb = _mm256_or_si256(amb, near[c]);
      const __m256i tie = _mm256_cmpeq_epi32(F[c], zero);
      out[c] = _mm256_sub_epi32(q[c], _mm256_and_si256(tie, _mm256_and_si256(q[c], one)));
    }
    if (!_mm256_testz_si256(amb, amb)) {
      // Settle the lanes near a whole step by the sign of G + d x KL (exact).
      __m256d kl0, kl1;
      if (kind == SatuPlan::Kind::Const) {
        kl0 = kl1 = _mm256_set1_pd(remainders[0]);
      } else {
        const __m256d all = _mm256_castsi256_pd(_mm256_set1_epi64x(-1));
        kl0 = _mm256_mask_i32gather_pd(_mm256_setzero_pd(), remainders, _mm256_castsi256_si128(idx), all, 8);
        kl1 = _mm256_mask_i32gather_pd(_mm256_setzero_pd(), remainders, _mm256_extracti128_si256(idx, 1), all, 8);
      }
      for (int c = 0; c < 3; ++c) {
        if (_mm256_testz_si256(near[c], near[c])) continue;
        const __m256i up = _mm256_cmpgt_epi32(F[c], halfMinus1);
        const __m256i qq = _mm256_sub_epi32(q[c], up);  // up is -1 where set
        const __m256i G = _mm256_sub_epi32(F[c], _mm256_and_si256(up, vOne19));
        const __m256d v0 = _mm256_add_pd(_mm256_cvtepi32_pd(_mm256_castsi256_si128(G)),
                                         _mm256_mul_pd(_mm256_cvtepi32_pd(_mm256_castsi256_si128(d[c])), kl0));
        const __m256d v1 = _mm256_add_pd(_mm256_cvtepi32_pd(_mm256_extracti128_si256(G, 1)),
                                         _mm256_mul_pd(_mm256_cvtepi32_pd(_mm256_extracti128_si256(d[c], 1)), kl1));
        const __m256d zd = _mm256_setzero_pd();
        // -1 where v < 0, +1 where v > 0, as int32 lanes
        const __m256i neg = _mm256_set_m128i(
            _mm256_cvtpd_epi32(_mm256_and_pd(_mm256_cmp_pd(v1, zd, _CMP_LT_OQ), _mm256_set1_pd(1.0))),
            _mm256_cvtpd_epi32(_mm256_and_pd(_mm256_cmp_pd(v0, zd, _CMP_LT_OQ), _mm256_set1_pd(1.0))));
        const __m256i isZero = _mm256_set_m128i(
            _mm256_cvtpd_epi32(_mm256_and_pd(_mm256_cmp_pd(v1, zd, _CMP_EQ_OQ), _mm256_set1_pd(1.0))),
            _mm256_cvtpd_epi32(_mm256_and_pd(_mm256_cmp_pd(v0, zd, _CMP_EQ_OQ), _mm256_set1_pd(1.0))));
        // v < 0: qq - 1; v == 0: qq - (qq & 1); v > 0: qq
        const __m256i settled =
            _mm256_sub_epi32(_mm256_sub_epi32(qq, neg), _mm256_and_si256(isZero, _mm256_and_si256(qq, one)));
        out[c] = _mm256_blendv_epi8(out[c], settled, near[c]);
      }
      ambCount += __builtin_popcount(_mm256_movemask_ps(_mm256_castsi256_ps(amb)));
    }
    __m256i Ro = out[0], Go = out[1], Bo = out[2];

    const __m256i M = _mm256_max_epi32(_mm256_max_epi32(Ro, Go), Bo);
    const __m256i hi = _mm256_cmpgt_epi32(M, v255);
    if (!_mm256_testz_si256(hi, hi)) {
      const __m256i den = _mm256_blendv_epi8(one, _mm256_sub_epi32(M, Y), hi);
      const __m256 a = _mm256_div_ps(_mm256_cvtepi32_ps(_mm256_sub_epi32(v255, Y)),
                                     _mm256_cvtepi32_ps(den));
      Ro = _mm256_blendv_epi8(Ro, MulAddRound(_mm256_sub_epi32(Ro, Y), a, Y), hi);
      Go = _mm256_blendv_epi8(Go, MulAddRound(_mm256_sub_epi32(Go, Y), a, Y), hi);
      Bo = _mm256_blendv_epi8(Bo, MulAddRound(_mm256_sub_epi32(Bo, Y), a, Y), hi);
    }
    const __m256i m = _mm256_min_epi32(_mm256_min_epi32(Ro, Go), Bo);
    const __m256i lo = _mm256_cmpgt_epi32(zero, m);
    if (!_mm256_testz_si256(lo, lo)) {
      const __m256i den = _mm256_blendv_epi8(one, _mm256_sub_epi32(Y, m), lo);
      const __m256 b = _mm256_div_ps(_mm256_cvtepi32_ps(Y), _mm256_cvtepi32_ps(den));
      Ro = _mm256_blendv_epi8(Ro, MulAddRound(_mm256_sub_epi32(Ro, Y), b, Y), lo);
      Go = _mm256_blendv_epi8(Go, MulAddRound(_mm256_sub_epi32(Go, Y), b, Y), lo);
      Bo = _mm256_blendv_epi8(Bo, MulAddRound(_mm256_sub_epi32(Bo, Y), b, Y), lo);
    }
    const __m256i word = _mm256_or_si256(
        Bo, _mm256_or_si256(_mm256_slli_epi32(Go, 8), _mm256_slli_epi32(Ro, 16)));
    const __m256i packedOut = _mm256_shuffle_epi8(word, pack);
    std::uint8_t* o = p.out + 3 * i;
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm256_castsi256_si128(packedOut));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o + 12), _mm256_extracti128_si256(packedOut, 1));

  }
  return ambCount;
}

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
  const bool vec = HasAvx2();
  int amb = 0;
  for (int x = 0; x < width; x += kChunk) {
    const int n = std::min(kChunk, width - x);
    MapChunk(in + x, n, tables, p);
    amb += vec ? Avx2Chunk(plan, p, n) : ScalarChunk(plan, p, n);
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
  switch (kind_) {
    case Kind::Const:
      add(SatuGain(S, byKido, bySatu, 0, 0));
      break;
    case Kind::ByLum:
      for (int Y = 0; Y < 255; ++Y) add(SatuGain(S, true, false, Y, 0));
      break;
    case Kind::BySat:
      for (int s = 0; s <= kSpreadCap; ++s) add(SatuGain(S, false, true, 0, s));
      break;
    case Kind::ByBoth:
      packed_.reserve(255 * (kSpreadCap + 1));
      remainder_.reserve(255 * (kSpreadCap + 1));
      for (int Y = 0; Y < 255; ++Y)
        for (int s = 0; s <= kSpreadCap; ++s) add(SatuGain(S, true, true, Y, s));
      break;
    default:
      add(0.0);
      break;
  }
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

bool SatuVectorised() { return HasAvx2(); }

}  // namespace tav1::fast
