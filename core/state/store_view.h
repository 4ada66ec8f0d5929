// A checked view of a fixed-layout BMP store (codecs/bmp_layout.h) for the
// geometry passes: the header's size and depth, validated against the byte
// length before any row is touched.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/image/working_image.h"

namespace tav1 {

struct StoreView {
  int width = 0;
  int height = 0;
  int bits = 0;             // 8 or 24
  std::size_t stride = 0;   // bytes per stored row
  std::size_t rows = 0;     // offset of the bottom row (54 or 1078)

  // Offset of display row y (0 = top); stored rows are bottom-up.
  std::size_t RowTop(int y) const {
    return rows + static_cast<std::size_t>(height - 1 - y) * stride;
  }
};

// Throws StateError unless the store has a positive width and height, 8 or 24
// bits, no compression, and at least all the bytes its rows need.
StoreView ViewStore(const Store& s);

}  // namespace tav1
