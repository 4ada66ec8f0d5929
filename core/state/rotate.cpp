#include "core/state/rotate.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "codecs/bmp_layout.h"
#include "codecs/large_image.h"
#include "core/state/store_view.h"
#include "core/tone/fast_rows.h"

namespace tav1 {

namespace {

// Target rows are filled in blocks and, inside a block, in tiles of target
// columns, so that the source rows a tile reads (one page each) stay cached for
// every row of the block instead of being fetched again per target row.
constexpr int kRowBlock = 64;
constexpr int kColumnTile = 128;

inline std::uint32_t Load4(const std::uint8_t* p) {
  std::uint32_t v;
  std::memcpy(&v, p, 4);
  return v;
}
inline void Store4(std::uint8_t* p, std::uint32_t v) { std::memcpy(p, &v, 4); }

// One target row's columns [x0, x1). rowOf[x] is the start of the source row
// that target column x reads, at byte offset `off`.
//
// 3-byte pixels move as 4-byte words. The extra byte read is the next pixel of
// the same source row (the caller passes canReadOver only when the column is
// not the row's last, so nothing past the store is read); the extra byte
// written is target pixel x + 1, written right after in this same row, so
// the last pixel of a row, whose fourth byte would be padding, goes alone.
template <int Bpp, int Step>
void TurnRow(const std::uint8_t* const* rowOf, std::size_t off, std::uint8_t* out, int x0, int x1,
             int lastX, bool canReadOver) {
  int x = x0;
  if constexpr (Bpp == 3) {
    if (canReadOver) {
      const int e = std::min(x1, lastX);
      for (; x < e; ++x) Store4(out + 3 * static_cast<std::size_t>(x), Load4(rowOf[Step * x] + off));
    }
    for (; x < x1; ++x) std::memcpy(out + 3 * static_cast<std::size_t>(x), rowOf[Step * x] + off, 3);
  } else {
    // Eight indices gathered into one 8-byte store.
    for (; x + 8 <= x1; x += 8) {
      std::uint64_t v = 0;
      for (int k = 0; k < 8; ++k) v |= std::uint64_t{rowOf[Step * (x + k)][off]} << (8 * k);
      std::memcpy(out + x, &v, 8);
    }
    for (; x < x1; ++x) out[x] = rowOf[Step * x][off];
  }
}

template <int Bpp>
void TurnRows(const std::uint8_t* const* srcRowTop, std::uint8_t* const* dstRowTop, int srcW,
              int srcH, Turn turn, int yBegin, int yEnd) {
  const int dstW = srcH;
  for (int xc = 0; xc < dstW; xc += kColumnTile) {
    const int xe = std::min(dstW, xc + kColumnTile);
    for (int y = yBegin; y < yEnd; ++y) {
      if (turn == Turn::Clockwise) {
        // T(x, y) = S(y, h - 1 - x): target column x reads source row h - 1 - x.
        TurnRow<Bpp, -1>(srcRowTop + (srcH - 1), static_cast<std::size_t>(y) * Bpp, dstRowTop[y], xc,
                         xe, dstW - 1, y < srcW - 1);
      } else {
        // T(x, y) = S(w - 1 - y, x): target column x reads source row x.
        TurnRow<Bpp, 1>(srcRowTop, static_cast<std::size_t>(srcW - 1 - y) * Bpp, dstRowTop[y], xc, xe,
                        dstW - 1, y > 0);
      }
    }
  }
}

}  // namespace

Store MakeLargeImage(int width, int height, int bits) { return bmp::MakeLargeImage(width, height, bits); }

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
  Store dst = MakeLargeImage(tw, th, sv.bits);
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
