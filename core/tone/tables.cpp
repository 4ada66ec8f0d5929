#include "core/tone/tables.h"

#include <cmath>
#include <cstring>

namespace tav1 {

// The arithmetic below is written for x86-64, where long double is the 80-bit
// extended type; the table entries of the worked examples depend on it.
static_assert(sizeof(long double) >= 10, "tone tables need 80-bit long double arithmetic");

namespace {

using LD = long double;

// Ends of the G->L stage are whole numbers kept this far inside int64 so that
// their difference cannot overflow; such ends give a table of zeros or 255s
// either way.
constexpr LD kEndCap = 4611686018427387904.0L;  // 2^62

// Round to nearest, ties to even, independent of the current FPU rounding mode.
// NaN gives 0 and magnitudes beyond 2^62 saturate (both arise only from
// parameters outside the gamma range, which the editor never produces).
LD RoundEnd(LD v) {
  if (std::isnan(v)) return 0.0L;
  if (v >= kEndCap) return kEndCap;
  if (v <= -kEndCap) return -kEndCap;
  LD f = floorl(v);
  const LD frac = v - f;  // exact: |v| < 2^62 and 64 mantissa bits
  if (frac > 0.5L || (frac == 0.5L && fmodl(f, 2.0L) != 0.0L)) f += 1.0L;
  return f;
}

// power(b, q) as the curve uses it: by repeated squaring and multiplication
// when q is integral (so that q = 1 leaves every value exact), else exp(q ln b).
LD CurvePower(LD b, LD q) {
  if (q == truncl(q) && fabsl(q) <= 2147483647.0L) {
    long long n = static_cast<long long>(q);
    const bool negative = n < 0;
    if (negative) n = -n;
    LD result = 1.0L;
    LD base = b;
    while (n != 0) {
      if (n & 1) result *= base;
      base *= base;
      n >>= 1;
    }
    return negative ? 1.0L / result : result;
  }
  return expl(q * logl(b));
}

// The linear stretch shared by both orders: lo to 0, hi to 255, clamped.
void LinearStage(LD lo, LD hi, WorkTable& work) {
  const LD d = hi - lo;
  float s = 0.0f;
  if (d > 0) s = static_cast<float>(255.0L / d);  // slope stored as a 32-bit float
  for (float& x : work) {
    // Stored as a 32-bit float before the clamps: (16, 0, 235) maps 235 to
    // 254.99999... in extended, which the store rounds to 255.0.
    float nx = static_cast<float>((static_cast<LD>(x) - lo) * static_cast<LD>(s));
    if (!(nx > 0.0f)) nx = 0.0f;  // also catches NaN
    if (nx >= 255.0f) nx = 255.0f;
    x = nx;
  }
}

std::uint8_t EntryOf(float x) {
  // The stages keep x within 0..255; the guard only matters for parameters
  // outside the gamma range coming from unchecked sources.
  if (!(x > 0.0f)) return 0;
  if (x >= 255.0f) return 255;
  return static_cast<std::uint8_t>(std::floor(x));
}

std::uint8_t* TableOf(ToneTables& t, int c) {
  return c == 0 ? t.TableR : c == 1 ? t.TableG : t.TableB;
}

}  // namespace

const std::uint8_t* ToneTables::ForChannel(int channel) const {
  return channel == 0 ? TableR : channel == 1 ? TableG : TableB;
}

bool ToneTables::IsIdentity() const {
  for (int j = 0; j < 256; ++j)
    if (TableR[j] != j || TableG[j] != j || TableB[j] != j) return false;
  return true;
}

WorkTable IdentityWorkTable() {
  WorkTable w;
  for (int j = 0; j < 256; ++j) w[static_cast<std::size_t>(j)] = static_cast<float>(j);
  return w;
}

float CurveExponent(std::int32_t r, int GyakuFlag_I) {
  if (GyakuFlag_I == kOriginBlack)
    return static_cast<float>(logl(0.5L) / logl(static_cast<LD>(r + 128LL) / 256.0L));
  if (GyakuFlag_I == kOriginWhite) {
    const LD K = 128.0L / 255.0L;  // held in extended precision, not as a double constant
    return static_cast<float>(logl(K) / logl(static_cast<LD>(128LL - r) / 255.0L));
  }
  return 1.0f;
}

void TableMakeLinear2(const ToneParams& p, int channel, WorkTable& work) {
  LinearStage(static_cast<LD>(p.Low(channel)), static_cast<LD>(p.High(channel)), work);
}

void TableMakeGamma(const ToneParams& p, int channel, int GyakuFlag_I, WorkTable& work,
                    float& exponent) {
  if (GyakuFlag_I != kOriginBlack && GyakuFlag_I != kOriginWhite) return;
  const float q = CurveExponent(p.Gamma(channel), GyakuFlag_I);  // a 32-bit float
  exponent = q;
  if (GyakuFlag_I == kOriginBlack) {
    for (float& x : work) {
      if (x > 0.0f)
        x = static_cast<float>(CurvePower(static_cast<LD>(x) / 255.0L, q) * 255.0L);
      else
        x = 0.0f;
    }
  } else {
    for (float& x : work) {
      const LD rest = 255.0L - static_cast<LD>(x);
      if (rest > 0)
        x = static_cast<float>(255.0L - expl(logl(rest / 255.0L) * static_cast<LD>(q)) * 255.0L);
      else
        x = 255.0f;
    }
  }
}

void TableMakeLinear1(const ToneParams& p, int channel, int GyakuFlag_I, WorkTable& work,
                      float exponent) {
  const LD q = exponent;
  const LD low = p.Low(channel);
  const LD high = p.High(channel);
  LD lo = 0.0L;
  LD hi = 0.0L;
  // The ends are rounded straight from the extended value, not via a float.
  if (GyakuFlag_I == kOriginBlack) {
    lo = low > 0 ? RoundEnd(expl(logl(low / 255.0L) * q) * 255.0L) : low;
    hi = high > 0 ? RoundEnd(expl(logl(high / 255.0L) * q) * 255.0L) : high;
  } else if (GyakuFlag_I == kOriginWhite) {
    lo = low < 255 ? RoundEnd(255.0L - expl(logl((255.0L - low) / 255.0L) * q) * 255.0L) : low;
    hi = high < 255 ? RoundEnd(255.0L - expl(logl((255.0L - high) / 255.0L) * q) * 255.0L) : high;
  }
  LinearStage(lo, hi, work);
}

void TableMake(const ToneParams& p, int OrderFlag_I, int GyakuFlag_I, ToneTables& out) {
  for (int c = 0; c < kChannels; ++c) {
    WorkTable work = IdentityWorkTable();
    if (OrderFlag_I == kOrderLinearFirst) {
      float q = 1.0f;
      TableMakeLinear2(p, c, work);
      TableMakeGamma(p, c, GyakuFlag_I, work, q);
    } else if (OrderFlag_I == kOrderGammaFirst) {
      float q = 1.0f;
      TableMakeGamma(p, c, GyakuFlag_I, work, q);
      TableMakeLinear1(p, c, GyakuFlag_I, work, q);
    }
    std::uint8_t* table = TableOf(out, c);
    for (int j = 0; j < 256; ++j) table[j] = EntryOf(work[static_cast<std::size_t>(j)]);
  }
}

ToneTables TableMake(const ToneParams& p, int OrderFlag_I, int GyakuFlag_I) {
  ToneTables t;
  TableMake(p, OrderFlag_I, GyakuFlag_I, t);
  return t;
}

}  // namespace tav1
