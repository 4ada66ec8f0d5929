// Fast exact saturation step over whole rows: the same results as mapping each
// pixel through the tables and SatuUpTriple, computed eight (or, with
// AVX-512, sixteen) pixels at a time in 32-bit lanes.
//
// Why integer arithmetic is exact here: everything before the first rounding
// depends on few inputs. The gain k depends only on (S, damping, Y, spread),
// spread = |dR| + |dG| + |dB| clamped at 170 (C is 1 from there on, so k = 1).
// Per class the plan stores k x 2^19 split as an integer Kh plus a remainder
// KL with |KL| <= 1/2. For a distance d the value d x k + Y + 1/2, scaled by
// 2^19, is I + d x KL with I = d x Kh + (2Y + 1) x 2^18 an exact int32, so
// floor and tie of the rounding follow from I alone unless the fraction of I
// lies within 255 |KL| of a whole step. Those lanes ("near" lanes, common when
// S is close to a short decimal such as 3.7) are settled by the sign of the
// fraction's distance to the step plus d x KL, exact in double. The clamping
// steps divide in float, which is correctly rounded exactly like the extended
// division stored to float, and round (v - Y) x a + Y with one fused
// multiply-add onto the whole-number floats (1.5 x 2^23 added): the exact
// value rounded once, ties to even, as the reference rounds it.
//
// The 80-bit sum d x k + Y of the reference is rounded to 64 bits before its
// own rounding; that can move the result only when the exact value lies
// within half a 64-bit step of a half-integer without being one, which the
// bit widths of k rule out for S in 0..10 (checked over all 2^24 colours by
// the tests).
#pragma once

#include <cstdint>
#include <vector>

#include "core/image/working_image.h"
#include "core/tone/tables.h"

namespace tav1::fast {

class SatuPlan {
 public:
  enum class Kind {
    TableOnly,  // S = 1: k = 1 for every colour, the step changes nothing
    Const,      // one k for every colour (S <= 1, or no damping box)
    ByLum,      // k depends on Y only
    BySat,      // k depends on the spread only
    ByBoth,     // k depends on Y and spread
    Reference,  // S outside 0..10: every pixel through the scalar reference
  };

  // S as the pass holds it (a 32-bit S widened exactly, or the palette's double).
  SatuPlan(double S, bool byKido, bool bySatu);

  Kind kind() const { return kind_; }
  double S() const { return S_; }
  bool byKido() const { return byKido_; }
  bool bySatu() const { return bySatu_; }
  // Packed class entry Kh | (Bamb << 23); Bamb = 0 when the split is exact.
  std::int32_t Packed(int Y, int spread) const { return packed_[Index(Y, spread)]; }
  const std::int32_t* PackedTable() const { return packed_.data(); }
  // One gain that a float holds exactly (the 24-bit pass without damping, or
  // any cut): then step 8 is one fused multiply-add rounding the exact
  // d x k + Y (a plain double rounding in the scalar kernel), cheaper than the
  // integer lanes with their near cases.
  bool FloatGain() const { return floatGain_; }
  float GainF() const { return gainF_; }
  // Where k varies by class, the wide kernel may first evaluate k in single
  // precision (ApproxGain, the same operations as its lanes) and round
  // d x k + Y from that: the result is the exact one wherever the computed
  // value lies more than the plan's error bound away from a half-integer, i.e.
  // its distance to the nearest whole number is below NearLimit(). Other
  // groups take the class table. Approx() is false when the bound is too wide
  // to pay off.
  bool Approx() const { return approx_; }
  float ApproxS1() const { return approxS1_; }
  float NearLimit() const { return nearLimit_; }
  static float ApproxGain(float s1, bool byKido, bool bySatu, int Y, int spread);
  static constexpr float kInv170 = 1.0f / 170.0f;
  static constexpr float kInv255 = 1.0f / 255.0f;
  // KL of the class: k x 2^19 - Kh, exact.
  double Remainder(int Y, int spread) const { return remainder_[Index(Y, spread)]; }
  const double* RemainderTable() const { return remainder_.data(); }

  static constexpr int kSpreadCap = 170;
  static constexpr int kFracBits = 19;

 private:
  int Index(int Y, int spread) const {
    const int s = spread < kSpreadCap ? spread : kSpreadCap;
    switch (kind_) {
      case Kind::ByLum: return Y;
      case Kind::BySat: return s;
      case Kind::ByBoth: return Y * (kSpreadCap + 1) + s;
      default: return 0;
    }
  }

  Kind kind_;
  double S_;
  bool byKido_;
  bool bySatu_;
  std::vector<std::int32_t> packed_;
  std::vector<double> remainder_;
  bool floatGain_ = false;
  float gainF_ = 0.0f;
  bool approx_ = false;
  float approxS1_ = 0.0f;
  float nearLimit_ = 0.0f;
};

// The gain of SatuUpTriple for one class, evaluated as the reference does.
double SatuGain(double S, bool byKido, bool bySatu, int Y, int spread);

// One colour through the plan (scalar form of the row kernel); the same
// result as SatuUpTriple.
TTriple SatuPlanTriple(const SatuPlan& plan, std::uint8_t R, std::uint8_t G, std::uint8_t B);

// Maps `width` pixels through the tables and the saturation step of `plan`.
// in and out may be the same row. Returns the number of pixels that had a near
// lane (for measurements).
int SatuRow(const TTriple* in, TTriple* out, int width, const ToneTables& tables,
            const SatuPlan& plan);

// Same, colours given already table-mapped (no table step); used by tests
// that sweep every colour.
int SatuRowMapped(const TTriple* in, TTriple* out, int width, const SatuPlan& plan);

// Which row kernel runs: the best this CPU has (Auto), or one chosen by
// tests so that every kernel is compared with the reference on any machine
// that can run it. Returns false (and changes nothing) when the CPU cannot.
enum class SatuKernel { Auto, Scalar, Avx2, Avx512 };
bool UseSatuKernel(SatuKernel k);
SatuKernel ActiveSatuKernel();

}  // namespace tav1::fast
