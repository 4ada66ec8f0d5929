#include "core/graph/equation.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace tav1 {

std::string FormatGeneral4(long double value, std::string_view sep) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
  if (value == 0.0L) return "0";

  // 18 significant digits first, then half away from zero at the 4th: the
  // rounding looks at those decimal digits, not at the exact binary value.
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.17Le", std::fabs(value));
  char digits[18];
  int n = 0;
  const char* p = buf;
  for (; *p != 'e'; ++p)
    if (*p >= '0' && *p <= '9') digits[n++] = *p;
  int exp = std::atoi(p + 1);

  int sig[4];
  for (int i = 0; i < 4; ++i) sig[i] = digits[i] - '0';
  if (digits[4] >= '5') {
    int i = 3;
    while (i >= 0 && sig[i] == 9) sig[i--] = 0;
    if (i >= 0) {
      ++sig[i];
    } else {  // 9999|5 -> 1000, one decade up
      sig[0] = 1;
      ++exp;
    }
  }
  int len = 4;
  while (len > 1 && sig[len - 1] == 0) --len;

  std::string out = std::signbit(value) ? "-" : "";
  if (exp >= -4 && exp <= 3) {
    if (exp < 0) {
      out += '0';
      out += sep;
      out.append(static_cast<std::size_t>(-exp - 1), '0');
      for (int i = 0; i < len; ++i) out += static_cast<char>('0' + sig[i]);
    } else {
      for (int i = 0; i <= exp; ++i) out += static_cast<char>('0' + (i < len ? sig[i] : 0));
      if (len > exp + 1) {
        out += sep;
        for (int i = exp + 1; i < len; ++i) out += static_cast<char>('0' + sig[i]);
      }
    }
  } else {
    out += static_cast<char>('0' + sig[0]);
    if (len > 1) {
      out += sep;
      for (int i = 1; i < len; ++i) out += static_cast<char>('0' + sig[i]);
    }
    out += 'E';
    out += std::to_string(exp);
  }
  return out;
}

float GammaValue(int r, int gyakuFlag) {
  float g;
  if (gyakuFlag == 0)
    g = static_cast<float>(std::log(0.5L) / std::log((r + 128) / 256.0L));  // 32-bit store
  else if (gyakuFlag == 1)
    g = static_cast<float>(1.0L / (std::log(0.5L) / std::log((128 - r) / 256.0L)));  // 32-bit store
  else
    g = 0.0f;
  // Three decimals, ties to even, stored as a 32-bit float again.
  return static_cast<float>(std::nearbyint(static_cast<long double>(g) * 1000.0L) / 1000.0L);
}

float StretchSlope(int low, int high) {
  if (high == low) return 0.0f;
  const std::int64_t d = static_cast<std::int64_t>(high) - low;
  return static_cast<float>(255.0L / static_cast<long double>(d));  // 32-bit store
}

std::string EquationLine(int low, int r, int high, int gyakuFlag, std::string_view sep) {
  const float g = GammaValue(r, gyakuFlag);
  const float m = StretchSlope(low, high);
  // The offset is not stored to a float: it goes to the text in extended precision.
  const long double o = -static_cast<long double>(m) * low;
  std::string oText = FormatGeneral4(o, sep);
  if (oText.empty() || oText[0] != '-') oText = "+" + oText;
  return "Gamma = " + FormatGeneral4(g, sep) + " , y = " + FormatGeneral4(m, sep) + " * x " + oText;
}

}  // namespace tav1
