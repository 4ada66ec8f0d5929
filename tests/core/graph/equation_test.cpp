#include "core/graph/equation.h"

#include <gtest/gtest.h>

#include <limits>

namespace tav1 {
namespace {

TEST(EquationLine, WorkedLines) {
  struct Case {
    int low, r, high, gyaku;
    const char* line;
  } cases[] = {
      {0, 0, 255, 0, "Gamma = 1 , y = 1 * x +0"},
      {16, 0, 235, 0, "Gamma = 1 , y = 1.164 * x -18.63"},
      {0, -126, 255, 0, "Gamma = 0.143 , y = 1 * x +0"},
      {0, 103, 255, 0, "Gamma = 6.745 , y = 1 * x +0"},
      {0, 126, 255, 0, "Gamma = 88.38 , y = 1 * x +0"},
      {0, 126, 255, 1, "Gamma = 7 , y = 1 * x +0"},
      {0, -103, 255, 1, "Gamma = 0.148 , y = 1 * x +0"},
      {-64, 0, 255, 0, "Gamma = 1 , y = 0.7994 * x +51.16"},
      {200, 0, 205, 0, "Gamma = 1 , y = 51 * x -1.02E4"},
      {10, 0, 5, 0, "Gamma = 1 , y = -51 * x +510"},
      // Origin (255,255) shows the inverse of the origin-(0,0) value for -r,
      // not the table's exponent 0.4985844.
      {0, 64, 255, 1, "Gamma = 2 , y = 1 * x +0"},
      {0, 64, 255, 7, "Gamma = 0 , y = 1 * x +0"},  // unknown origin
      {100, 0, 100, 0, "Gamma = 1 , y = 0 * x +0"},  // high = low: slope 0, offset not -0
  };
  for (const auto& c : cases)
    EXPECT_EQ(EquationLine(c.low, c.r, c.high, c.gyaku), c.line)
        << c.low << ", " << c.r << ", " << c.high << " origin " << c.gyaku;
}

TEST(EquationLine, UsesTheLocaleSeparator) {
  EXPECT_EQ(EquationLine(16, -126, 235, 0, ","), "Gamma = 0,143 , y = 1,164 * x -18,63");
  EXPECT_EQ(EquationLine(0, 0, 255, 0, ","), "Gamma = 1 , y = 1 * x +0");
}

TEST(EquationLine, GammaIsRoundedToThreeDecimalsAsFloat) {
  EXPECT_EQ(GammaValue(0, 0), 1.0f);
  EXPECT_EQ(GammaValue(0, 1), 1.0f);
  EXPECT_EQ(GammaValue(-64, 0), 0.5f);
  EXPECT_EQ(GammaValue(126, 0), 88.376f);  // 88.37581 before rounding
  EXPECT_EQ(GammaValue(64, 1), 2.0f);
  EXPECT_EQ(StretchSlope(16, 235), 255.0f / 219.0f);
  EXPECT_EQ(StretchSlope(10, 5), -51.0f);
}

TEST(GeneralFormat, FourSignificantDigits) {
  struct Case {
    long double v;
    const char* text;
  } cases[] = {
      {0.0L, "0"},
      {-0.0L, "0"},
      {1.0L, "1"},
      {-0.5L, "-0.5"},
      {100.0L, "100"},
      {1020.0L, "1020"},
      {1234.5L, "1235"},       // half away from zero, not to even
      {-1234.5L, "-1235"},
      {0.12345L, "0.1235"},    // decided on the 18-digit decimal form
      {9999.4L, "9999"},
      {9999.6L, "1E4"},        // rounds into the next decade: E notation
      {10000.0L, "1E4"},
      {12345.0L, "1.235E4"},
      {-10200.0L, "-1.02E4"},
      {0.0001L, "0.0001"},
      {0.00012344L, "0.0001234"},
      {0.000099996L, "0.0001"},
      {0.00001234L, "1.234E-5"},
      {0.99996L, "1"},
      {1.5e300L, "1.5E300"},
      {std::numeric_limits<long double>::quiet_NaN(), "NAN"},
      {-std::numeric_limits<long double>::infinity(), "-INF"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatGeneral4(c.v), c.text) << static_cast<double>(c.v);
  EXPECT_EQ(FormatGeneral4(-0.00001234L, "<>"), "-1<>234E-5");
}

}  // namespace
}  // namespace tav1
