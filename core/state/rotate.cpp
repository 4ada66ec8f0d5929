#include "core/state/rotate.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "codecs/bmp_layout.h"
#include "core/state/store_view.h"
#include "core/tone/fast_rows.h"

namespace tav1 {

namespace {

// Target rows are filled in blocks and, inside a block, in chunks of source
// rows, so that the source rows a chunk reads (one page each) stay cached for
// every row of the block instead of being fetched again per target row.
constexpr int kRowBlock = 16;
constexpr int kSourceChunk = 256;

template <int Bpp>
void TurnRows(const std::uint8_t* const* srcRowTop, std::uint8_t* const* dstRowTop, int srcW,
              int srcH, Turn turn, int yBegin, int yEnd) {
  const int dstW = srcH;
  for (int xc = 0; xc < dstW; xc += kSourceChunk) {
    const int xe = std::min(dstW, xc + kSourceChunk);
    for (int y = yBegin; y < yEnd; ++y) {
      std::uint8_t* out = dstRowTop[y];
      if (turn == Turn::Clockwise) {
        // T(x, y) = S(y, h - 1 - x)
        const std::size_t col = static_cast<std::size_t>(y) * Bpp;
        for (int x = xc; x < xe; ++x)
          std::memcpy(out + static_cast<std::size_t>(x) * Bpp, srcRowTop[srcH - 1 - x] + col, Bpp);
      } else {
        // T(x, y) = S(w - 1 - y, x)
        const std::size_t col = static_cast<std::size_t>(srcW - 1 - y) * Bpp;
        for (int x = xc; x < xe; ++x)
          std::memcpy(out + static_cast<std::size_t>(x) * Bpp, srcRowTop[x] + col, Bpp);
      }
    }
  }
}

}  // namespace

void RotateTargetRows(const std::uint8_t* const* srcRowTop, std::uint8_t* const* dstRowTop,
                      int srcW, int srcH, int bytesPerPixel, Turn turn, int yBegin, int yEnd) {
  if (bytesPerPixel == 1) {
    TurnRows<1>(srcRowTop, dstRowTop, srcW, srcH, turn, yBegin, yEnd);
  } else {
    TurnRows<3>(srcRowTop, dstRowTop, srcW, srcH, turn, yBegin, yEnd);
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
  // Blocks of target rows on two threads (fast_rows.h); the pump still runs
  // once per target row, on this thread, between rounds.
  int pumped = 0;
  fast::RunInRounds(
      th, kRowBlock,
      [&](int y, int end) {
        RotateTargetRows(srcRows.data(), dstRows.data(), sv.width, sv.height, bpp, turn, y, end);
      },
      [&](int done) {
        if (pumpRow)
          for (; pumped < done; ++pumped) pumpRow();
        return true;
      });
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
