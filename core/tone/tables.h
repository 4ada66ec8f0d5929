// The three channel lookup tables built from the tone parameter set.
//
// Each table is built on a working table of 256 floats in two stages: a linear
// stretch carrying the low end to 0 and the high end to 255, and a power curve
// anchored at black ("(0,0)") or at white ("(255,255)"). OrderFlag_I chooses
// which stage runs first.
//
// Exact entries depend on the numeric rule: every value stored into the
// working table, the slope and the exponent is rounded to a 32-bit float when
// it is stored; arithmetic between those stores is carried in x86-64 80-bit
// long double; "round" is to nearest with ties to even; entries are floored.
#pragma once

#include <array>
#include <cstdint>

#include "core/tone/params.h"

namespace tav1 {

// Table switches (settings "Order" and "Origin").
inline constexpr int kOrderLinearFirst = 0;  // "L->G"
inline constexpr int kOrderGammaFirst = 1;   // "G->L"
inline constexpr int kOriginBlack = 0;       // "(0,0)"
inline constexpr int kOriginWhite = 1;       // "(255,255)"

struct ToneTables {
  std::uint8_t TableR[256];  // channel 0, byte 2 of a TTriple
  std::uint8_t TableG[256];  // channel 1, byte 1
  std::uint8_t TableB[256];  // channel 2, byte 0

  const std::uint8_t* ForChannel(int channel) const;
  // Every table maps every level to itself (the pixel mapping can be skipped).
  bool IsIdentity() const;
  bool operator==(const ToneTables&) const = default;
};

// Working table of one channel's build; starts as 0.0, 1.0, ..., 255.0.
using WorkTable = std::array<float, 256>;
WorkTable IdentityWorkTable();

// Linear stage with the raw ends of the channel (L->G order).
void TableMakeLinear2(const ToneParams& p, int channel, WorkTable& work);

// Gamma stage; stores the curve exponent q (a 32-bit float) in exponent.
// An origin other than 0 or 1 leaves the table and exponent unchanged.
void TableMakeGamma(const ToneParams& p, int channel, int GyakuFlag_I, WorkTable& work,
                    float& exponent);

// Linear stage whose ends are first carried through the curve of exponent q
// (G->L order). An origin other than 0 or 1 makes both ends 0: a table of zeros.
void TableMakeLinear1(const ToneParams& p, int channel, int GyakuFlag_I, WorkTable& work,
                      float exponent);

// Rebuilds all three tables. An order other than 0 or 1 runs neither stage
// (identity tables).
void TableMake(const ToneParams& p, int OrderFlag_I, int GyakuFlag_I, ToneTables& out);
ToneTables TableMake(const ToneParams& p, int OrderFlag_I, int GyakuFlag_I);
inline ToneTables TableMake(const EditPara& para, int OrderFlag_I, int GyakuFlag_I) {
  return TableMake(para.Nine(), OrderFlag_I, GyakuFlag_I);
}

// The curve exponent the gamma stage computes for a gamma step r (for the
// graph's equation text); 1 for an origin other than 0 or 1.
float CurveExponent(std::int32_t r, int GyakuFlag_I);

}  // namespace tav1
