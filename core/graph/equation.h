// The equation lines under the graph: per channel the curve value and the linear
// stretch, "Gamma = g , y = m * x o", with numbers in the general format of
// 4 significant digits.
#pragma once

#include <string>
#include <string_view>

namespace tav1 {

// General format, 4 significant digits. The value is first written to 18
// significant decimal digits, then rounded half away from zero to 4 digits. If
// the rounded value's magnitude lies in [0.0001, 10000) it is written in fixed
// notation (integer digits, separator, the remaining significant digits without
// trailing zeros; no separator when none follow; "0" before it below 1);
// otherwise as d[.ddd]E[-]x, the exponent without leading zeros or plus sign.
// Zero (either sign) is "0"; NaN and infinities are "NAN", "INF", "-INF".
// `decimalSeparator` is the user's locale separator.
std::string FormatGeneral4(long double value, std::string_view decimalSeparator = ".");

// The curve value shown for gamma step r: origin (0,0) (gyakuFlag 0)
// ln 0.5 / ln((r + 128) / 256), origin (255,255) (gyakuFlag 1) the inverse of the
// origin-(0,0) value for -r, any other origin 0; stored as a 32-bit float, then
// rounded to three decimals (ties to even) and stored as a 32-bit float again.
float GammaValue(int r, int gyakuFlag);

// Slope of the stretch: 0 when high = low, else 255 / (high - low) as a 32-bit
// float (negative when high < low).
float StretchSlope(int low, int high);

// "Gamma = " g " , y = " m " * x " o, where o = -m * low carries a "+" unless
// its text begins with "-".
std::string EquationLine(int low, int r, int high, int gyakuFlag,
                         std::string_view decimalSeparator = ".");

}  // namespace tav1
