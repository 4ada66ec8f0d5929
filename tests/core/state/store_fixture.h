// Tiny fixed-layout pictures for the geometry tests, addressed in display
// coordinates (x to the right, y downwards from the top row).
#pragma once

#include <cstdint>
#include <vector>

#include "codecs/bmp_layout.h"
#include "core/image/working_image.h"
#include "core/state/store_view.h"

namespace tav1::testing {

// A w x h picture whose padding bytes are 0xEE, so that a pass reading them as
// pixels shows.
inline Store Blank(int w, int h, int bits) {
  Store s = bmp::MakeImage(w, h, bits);
  for (std::size_t i = bmp::RowsOffset(bits); i < s.size(); ++i) s[i] = 0xEE;
  return s;
}

inline std::uint8_t* Px(Store& s, int x, int y) {
  const StoreView v = ViewStore(s);
  return s.data() + v.RowTop(y) + static_cast<std::size_t>(x) * (v.bits / 8);
}
inline const std::uint8_t* Px(const Store& s, int x, int y) {
  const StoreView v = ViewStore(s);
  return s.data() + v.RowTop(y) + static_cast<std::size_t>(x) * (v.bits / 8);
}

inline void Set24(Store& s, int x, int y, std::uint8_t b, std::uint8_t g, std::uint8_t r) {
  std::uint8_t* p = Px(s, x, y);
  p[0] = b;
  p[1] = g;
  p[2] = r;
}

// 24-bit picture from display rows of 24-bit values 0xRRGGBB.
inline Store From24(const std::vector<std::vector<std::uint32_t>>& rows) {
  const int h = static_cast<int>(rows.size());
  const int w = static_cast<int>(rows[0].size());
  Store s = Blank(w, h, 24);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const std::uint32_t v = rows[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)];
      Set24(s, x, y, v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF);
    }
  return s;
}

// Display rows of a 24-bit picture as 0xRRGGBB values (8-bit: palette indices).
inline std::vector<std::vector<std::uint32_t>> Rows(const Store& s) {
  const StoreView v = ViewStore(s);
  std::vector<std::vector<std::uint32_t>> rows(static_cast<std::size_t>(v.height));
  for (int y = 0; y < v.height; ++y)
    for (int x = 0; x < v.width; ++x) {
      const std::uint8_t* p = Px(s, x, y);
      rows[static_cast<std::size_t>(y)].push_back(
          v.bits == 8 ? p[0] : (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[1]} << 8) | p[0]);
    }
  return rows;
}

}  // namespace tav1::testing
