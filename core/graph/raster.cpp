#include "core/graph/raster.h"

#include <algorithm>
#include <cstdlib>

namespace tav1 {

Raster::Raster(int width, int height)
    : width_(std::max(width, 0)), height_(std::max(height, 0)),
      px_(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_), kBlack) {}

Rgb Raster::Pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return kBlack;
  return px_[static_cast<std::size_t>(y) * width_ + x];
}

void Raster::Plot(int x, int y, Rgb colour) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  Rgb& p = px_[static_cast<std::size_t>(y) * width_ + x];
  p = penMode_ == PenMode::Merge ? (p | colour) : colour;
}

void Raster::Fill(Rgb colour) { std::fill(px_.begin(), px_.end(), colour); }

void Raster::FillRect(int left, int top, int right, int bottom, Rgb colour) {
  left = std::max(left, 0);
  top = std::max(top, 0);
  right = std::min(right, width_);
  bottom = std::min(bottom, height_);
  for (int y = top; y < bottom; ++y)
    for (int x = left; x < right; ++x) px_[static_cast<std::size_t>(y) * width_ + x] = colour;
}

void Raster::Blit(const Raster& src, int x, int y) {
  const int x0 = std::max(x, 0), x1 = std::min(x + src.width_, width_);
  const int y0 = std::max(y, 0), y1 = std::min(y + src.height_, height_);
  for (int ty = y0; ty < y1; ++ty)
    for (int tx = x0; tx < x1; ++tx)
      px_[static_cast<std::size_t>(ty) * width_ + tx] =
          src.px_[static_cast<std::size_t>(ty - y) * src.width_ + (tx - x)];
}

void Raster::LineTo(int x, int y) {
  // 64-bit error terms: the coordinates are ints, their differences need not be.
  const std::int64_t dx = static_cast<std::int64_t>(x) - penX_;
  const std::int64_t dy = static_cast<std::int64_t>(y) - penY_;
  const std::int64_t ax = std::llabs(dx), ay = std::llabs(dy);
  const int sx = dx < 0 ? -1 : 1, sy = dy < 0 ? -1 : 1;
  const bool xMajor = ax >= ay;
  const std::int64_t n = xMajor ? ax : ay;      // pixels to set
  const std::int64_t minor = xMajor ? ay : ax;
  std::int64_t px = penX_, py = penY_;
  // d > 0 means the ideal line has passed beyond the midpoint to the next minor
  // position; d == 0 (a tie) keeps the minor position.
  std::int64_t d = 2 * minor - n;
  for (std::int64_t k = 0; k < n; ++k) {
    Plot(static_cast<int>(px), static_cast<int>(py), penColour_);
    if (d > 0) {
      if (xMajor) py += sy; else px += sx;
      d -= 2 * n;
    }
    d += 2 * minor;
    if (xMajor) px += sx; else py += sy;
  }
  penX_ = x;
  penY_ = y;
}

}  // namespace tav1
