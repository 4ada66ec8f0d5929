// A small RGB raster of our own for the histogram and graph pictures: pixels are
// 0xRRGGBB, row 0 at the top, column 0 at the left. It draws the way the classic
// GDI canvas does, because the pictures' exact pixels depend on it: a pen with a
// position, copy or merge (bitwise OR) mode, 1-pixel lines that include their
// first point and exclude their last.
#pragma once

#include <cstdint>
#include <vector>

namespace tav1 {

using Rgb = std::uint32_t;  // 0xRRGGBB

inline constexpr Rgb kBlack = 0x000000;
inline constexpr Rgb kWhite = 0xFFFFFF;
inline constexpr Rgb kRed = 0xFF0000;
inline constexpr Rgb kGreen = 0x00FF00;
inline constexpr Rgb kBlue = 0x0000FF;

enum class PenMode { Copy, Merge };

class Raster {
 public:
  Raster() = default;
  // A width x height raster filled black; negative sizes count as 0.
  Raster(int width, int height);

  int Width() const { return width_; }
  int Height() const { return height_; }

  // Pixel at (x, y); black outside the raster.
  Rgb Pixel(int x, int y) const;
  // Writes through the current pen mode; points outside the raster are ignored.
  void Plot(int x, int y, Rgb colour);

  void Fill(Rgb colour);
  // Fills x in [left, right) and y in [top, bottom), clipped (GDI FillRect: the
  // right and bottom edges are exclusive). Ignores the pen mode.
  void FillRect(int left, int top, int right, int bottom, Rgb colour);
  // Copies all of src with its top-left corner at (x, y), clipped; ignores the
  // pen mode.
  void Blit(const Raster& src, int x, int y);

  void SetPen(Rgb colour, PenMode mode) {
    penColour_ = colour;
    penMode_ = mode;
  }
  Rgb PenColour() const { return penColour_; }
  PenMode Mode() const { return penMode_; }
  int PenX() const { return penX_; }
  int PenY() const { return penY_; }

  void MoveTo(int x, int y) {
    penX_ = x;
    penY_ = y;
  }
  // Draws from the pen position to (x, y) and moves the pen there.
  //
  // With dx = x - x0, dy = y - y0 and n = max(|dx|, |dy|), the line sets exactly
  // n pixels, k = 0 .. n - 1: along the major axis (x when |dx| >= |dy|, else y)
  // pixel k lies k steps from the start; along the minor axis it lies at the
  // nearest whole offset to k * |minor| / n, a tie going toward the start point
  // (Bresenham's decision d > 0). So the start point is set, the end point is
  // not, and a line to the pen position itself sets nothing.
  void LineTo(int x, int y);

  const std::vector<Rgb>& Pixels() const { return px_; }
  bool operator==(const Raster& other) const = default;

 private:
  int width_ = 0;
  int height_ = 0;
  std::vector<Rgb> px_;
  Rgb penColour_ = kBlack;
  PenMode penMode_ = PenMode::Copy;
  int penX_ = 0;
  int penY_ = 0;
};

}  // namespace tav1
