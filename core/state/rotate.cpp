#include "core/state/rotate.h"

#include <cstring>
#include <vector>

#include "codecs/bmp_layout.h"
#include "core/state/store_view.h"

namespace tav1 {

void RotateTargetRows(const std::uint8_t* const* srcRowTop, std::uint8_t* const* dstRowTop,
                      int srcW, int srcH, int bytesPerPixel, Turn turn, int yBegin, int yEnd) {
  const int dstW = srcH;
  for (int y = yBegin; y < yEnd; ++y) {
    std::uint8_t* out = dstRowTop[y];
    if (turn == Turn::Clockwise) {
      // T(x, y) = S(y, h - 1 - x)
      const std::size_t col = static_cast<std::size_t>(y) * bytesPerPixel;
      for (int x = 0; x < dstW; ++x) {
        const std::uint8_t* in = srcRowTop[srcH - 1 - x] + col;
        if (bytesPerPixel == 1) {
          out[x] = *in;
        } else {
          std::memcpy(out + 3 * static_cast<std::size_t>(x), in, 3);
        }
      }
    } else {
      // T(x, y) = S(w - 1 - y, x)
      const std::size_t col = static_cast<std::size_t>(srcW - 1 - y) * bytesPerPixel;
      for (int x = 0; x < dstW; ++x) {
        const std::uint8_t* in = srcRowTop[x] + col;
        if (bytesPerPixel == 1) {
          out[x] = *in;
        } else {
          std::memcpy(out + 3 * static_cast<std::size_t>(x), in, 3);
        }
      }
    }
  }
}

Store RotateQuarter(const Store& src, Turn turn, const std::function<void()>& pumpRow) {
  const StoreView sv = ViewStore(src);
  const int tw = sv.height, th = sv.width;
  Store dst = bmp::MakeImage(tw, th, sv.bits);
  if (sv.bits == 8) {
    std::memcpy(dst.data() + bmp::kPaletteOffset, src.data() + bmp::kPaletteOffset,
                bmp::kPaletteBytes);
  }
  const StoreView dv = ViewStore(dst);

  // Row starts by display row, built once so each copy is a direct access.
  std::vector<const std::uint8_t*> srcRows(static_cast<std::size_t>(sv.height));
  for (int y = 0; y < sv.height; ++y) srcRows[static_cast<std::size_t>(y)] = src.data() + sv.RowTop(y);
  std::vector<std::uint8_t*> dstRows(static_cast<std::size_t>(th));
  for (int y = 0; y < th; ++y) dstRows[static_cast<std::size_t>(y)] = dst.data() + dv.RowTop(y);

  const int bpp = sv.bits / 8;
  for (int y = 0; y < th; ++y) {
    if (pumpRow) pumpRow();
    RotateTargetRows(srcRows.data(), dstRows.data(), sv.width, sv.height, bpp, turn, y, y + 1);
  }
  return dst;
}

std::string ReplaceExtension(const std::string& keepFName, const std::string& suffix) {
  const std::size_t slash = keepFName.find_last_of("/\\");
  const std::size_t dot = keepFName.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
    return keepFName + suffix;
  return keepFName.substr(0, dot) + suffix;
}

}  // namespace tav1
