// The graph window's picture: the histogram of the source under the three tone
// curves, and one equation line per channel. The raster holds everything but the
// text; the window draws the returned lines with its font on top.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/graph/histogram.h"
#include "core/graph/raster.h"

namespace tav1 {

inline constexpr int kGraphWidth = 272;
inline constexpr int kGraphHeight = 320;
inline constexpr int kGraphOrigin = 7;    // histogram's top-left corner, x and y
inline constexpr int kGraphBottom = 262;  // y of output level 0
inline constexpr const char* kGraphFontName = "ＭＳ ゴシック";
inline constexpr int kGraphFontPoints = 10;

// One equation line; drawn opaque on black with its top-left corner at (x, y).
struct GraphText {
  std::string text;
  Rgb colour = kWhite;
  int x = 0;
  int y = 0;
};

struct GraphPicture {
  Raster picture{kGraphWidth, kGraphHeight};
  std::vector<GraphText> lines;
};

struct GraphInput {
  bool ReadyFlag = false;
  const HistogramPictures* histogram = nullptr;
  int HistogramScale = kScaleLinear;  // 1 (log) picks HgrmBmpLn, anything else HgrmBmp
  // The lookup tables, 256 entries each.
  const std::uint8_t* TableR = nullptr;
  const std::uint8_t* TableG = nullptr;
  const std::uint8_t* TableB = nullptr;
  // Per channel (0 red, 1 green, 2 blue): low end, gamma step, high end.
  int Para[3][3] = {{0, 0, 255}, {0, 0, 255}, {0, 0, 255}};
  int SoloFlag = 3;  // 0..2: only that channel's line is shown
  int GyakuFlag_I = 0;
  std::string DecimalSeparator = ".";
};

// Text colours of the lines: red, green, blue channel.
inline constexpr Rgb kGraphTextColour[3] = {0xFF9090, 0x90FF90, 0x9090FF};

// Repaints `out` from the current state. Does nothing and returns false while
// ReadyFlag is false or an input is missing; `out` then keeps its last drawing.
bool GraphDraw(const GraphInput& in, GraphPicture& out);

}  // namespace tav1
