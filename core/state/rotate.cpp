#include "core/state/rotate.h"

#include <immintrin.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <vector>

#include "codecs/bmp_layout.h"
#include "codecs/large_image.h"
#include "core/state/store_view.h"
#include "core/tone/cpu_features.h"
#include "core/tone/fast_rows.h"

namespace tav1 {

namespace {

using fast::HasAvx2;
using fast::HasSsse3;

// Target rows are filled in blocks and, inside a block, in tiles of target
// columns, so that the source rows a tile reads stay cached for every row of
// the block instead of being fetched again per target row. A block of 256
// rows reads 768 bytes of a 24-bit source row per visit (each source page is
// looked up a quarter as often as with blocks of 64), and a vector tile of 512
// columns writes 1536 bytes of each target row in one run. On an 8000 x 8000
// 24-bit picture, two cores, the AVX2 kernel took about 21 ms with these and
// 35-40 ms with 64 x 128; the pixel-at-a-time path is slower with the wide
// tiles and keeps 128.
constexpr int kRowBlock = 256;
constexpr int kScalarTile = 128;
constexpr int kVectorTile = 512;

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

// Target row y, columns [x0, x1), one pixel at a time.
template <int Bpp>
void TurnRowPart(const std::uint8_t* const* srcRowTop, std::uint8_t* const* dstRowTop, int srcW,
                 int srcH, Turn turn, int y, int x0, int x1) {
  const int dstW = srcH;
  if (turn == Turn::Clockwise) {
    // T(x, y) = S(y, h - 1 - x): target column x reads source row h - 1 - x.
    TurnRow<Bpp, -1>(srcRowTop + (srcH - 1), static_cast<std::size_t>(y) * Bpp, dstRowTop[y], x0, x1,
                     dstW - 1, y < srcW - 1);
  } else {
    // T(x, y) = S(w - 1 - y, x): target column x reads source row x.
    TurnRow<Bpp, 1>(srcRowTop, static_cast<std::size_t>(srcW - 1 - y) * Bpp, dstRowTop[y], x0, x1,
                    dstW - 1, y > 0);
  }
}

template <int Bpp>
void TurnRows(const std::uint8_t* const* srcRowTop, std::uint8_t* const* dstRowTop, int srcW,
              int srcH, Turn turn, int yBegin, int yEnd) {
  const int dstW = srcH;
  for (int xc = 0; xc < dstW; xc += kScalarTile) {
    const int xe = std::min(dstW, xc + kScalarTile);
    for (int y = yBegin; y < yEnd; ++y) TurnRowPart<Bpp>(srcRowTop, dstRowTop, srcW, srcH, turn, y, xc, xe);
  }
}

// The blocked walk shared by the vector kernels. K moves a block of K::kRows
// target rows by K::kCols target columns: it reads K::kRows consecutive pixels,
// starting at one source column, from each of K::kCols source rows.
//   K::Block(src, out, x, wideLoad, wideStore)
// src[j]: the first pixel read in the source row of target column x + j;
// out[k]: the target row that source column (first + k) becomes.
// wideLoad: each source row holds at least K::kLoadBytes bytes of pixels from
// src[j] on, so a whole vector may be loaded. wideStore: the next block of this
// same target row segment follows, so a vector store may spill into the pixels
// it writes right after. Otherwise the kernel touches exactly its own bytes.
// Rows and columns that do not fill a block go through TurnRowPart.
template <class K, int Bpp>
[[gnu::always_inline]] inline void TurnRowsBlocked(const std::uint8_t* const* srcRowTop,
                                                   std::uint8_t* const* dstRowTop, int srcW, int srcH,
                                                   Turn turn, int yBegin, int yEnd) {
  constexpr int R = K::kRows, C = K::kCols;
  const int dstW = srcH;
  const bool cw = turn == Turn::Clockwise;
  const int yFull = yBegin + (yEnd - yBegin) / R * R;
  for (int xc = 0; xc < dstW; xc += kVectorTile) {
    const int xe = std::min(dstW, xc + kVectorTile);
    const int xFull = xc + (xe - xc) / C * C;
    for (int y = yBegin; y < yFull; y += R) {
      // The lowest source column this group of target rows reads: clockwise,
      // target row y is source column y; anticlockwise, source column w - 1 - y.
      const int first = cw ? y : srcW - R - y;
      std::uint8_t* out[R];
      for (int k = 0; k < R; ++k) out[k] = dstRowTop[cw ? y + k : y + R - 1 - k];
      const std::size_t off = static_cast<std::size_t>(first) * Bpp;
      const bool wideLoad =
          static_cast<std::size_t>(srcW) * Bpp >= off + static_cast<std::size_t>(K::kLoadBytes);
      for (int x = xc; x < xFull; x += C) {
        const std::uint8_t* src[C];
        for (int j = 0; j < C; ++j) src[j] = (cw ? srcRowTop[srcH - 1 - (x + j)] : srcRowTop[x + j]) + off;
        K::Block(src, out, x, wideLoad, x + 2 * C <= xFull);
      }
      if (xFull < xe)
        for (int k = 0; k < R; ++k)
          TurnRowPart<Bpp>(srcRowTop, dstRowTop, srcW, srcH, turn, y + k, xFull, xe);
    }
    for (int y = yFull; y < yEnd; ++y) TurnRowPart<Bpp>(srcRowTop, dstRowTop, srcW, srcH, turn, y, xc, xe);
  }
}

// ---- SSE2 / SSSE3 ----
#pragma GCC push_options
#pragma GCC target("ssse3")

// Twelve bytes, touching nothing past them.
inline __m128i Load12(const std::uint8_t* p) {
  return _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)),
                            _mm_cvtsi32_si128(static_cast<int>(Load4(p + 8))));
}
inline void Store12(std::uint8_t* p, __m128i v) {
  _mm_storel_epi64(reinterpret_cast<__m128i*>(p), v);
  Store4(p + 8, static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(v, 8))));
}

// 4 x 4 pixels of 3 bytes: each row's pixels spread to 4-byte lanes, a 4 x 4
// transpose of the lanes, and the lanes packed back to 3 bytes.
struct Ssse3Block24 {
  static constexpr int kRows = 4, kCols = 4, kLoadBytes = 16;
  static void Block(const std::uint8_t* const* src, std::uint8_t* const* out, int x, bool wideLoad,
                    bool wideStore) {
    const __m128i spread = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    const __m128i pack = _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    __m128i r[4];
    for (int j = 0; j < 4; ++j) {
      const __m128i v = wideLoad ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(src[j])) : Load12(src[j]);
      r[j] = _mm_shuffle_epi8(v, spread);
    }
    const __m128i t0 = _mm_unpacklo_epi32(r[0], r[1]), t1 = _mm_unpacklo_epi32(r[2], r[3]);
    const __m128i t2 = _mm_unpackhi_epi32(r[0], r[1]), t3 = _mm_unpackhi_epi32(r[2], r[3]);
    const __m128i o[4] = {_mm_unpacklo_epi64(t0, t1), _mm_unpackhi_epi64(t0, t1),
                          _mm_unpacklo_epi64(t2, t3), _mm_unpackhi_epi64(t2, t3)};
    const std::size_t at = 3 * static_cast<std::size_t>(x);
    for (int k = 0; k < 4; ++k) {
      const __m128i v = _mm_shuffle_epi8(o[k], pack);
      if (wideStore) _mm_storeu_si128(reinterpret_cast<__m128i*>(out[k] + at), v);
      else Store12(out[k] + at, v);
    }
  }
};

// 8 x 8 indices, 8-byte loads and stores only.
struct Sse2Block8 {
  static constexpr int kRows = 8, kCols = 8, kLoadBytes = 8;
  static void Block(const std::uint8_t* const* src, std::uint8_t* const* out, int x, bool, bool) {
    __m128i a[8];
    for (int j = 0; j < 8; ++j) a[j] = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(src[j]));
    const __m128i t0 = _mm_unpacklo_epi8(a[0], a[1]), t1 = _mm_unpacklo_epi8(a[2], a[3]);
    const __m128i t2 = _mm_unpacklo_epi8(a[4], a[5]), t3 = _mm_unpacklo_epi8(a[6], a[7]);
    const __m128i u0 = _mm_unpacklo_epi16(t0, t1), u1 = _mm_unpackhi_epi16(t0, t1);
    const __m128i u2 = _mm_unpacklo_epi16(t2, t3), u3 = _mm_unpackhi_epi16(t2, t3);
    // Each holds two target row segments: source columns 2i and 2i + 1.
    const __m128i v[4] = {_mm_unpacklo_epi32(u0, u2), _mm_unpackhi_epi32(u0, u2),
                          _mm_unpacklo_epi32(u1, u3), _mm_unpackhi_epi32(u1, u3)};
    for (int i = 0; i < 4; ++i) {
      _mm_storel_epi64(reinterpret_cast<__m128i*>(out[2 * i] + x), v[i]);
      _mm_storel_epi64(reinterpret_cast<__m128i*>(out[2 * i + 1] + x), _mm_unpackhi_epi64(v[i], v[i]));
    }
  }
};

void TurnRowsSsse3(const std::uint8_t* const* srcRowTop, std::uint8_t* const* dstRowTop, int srcW,
                   int srcH, int bytesPerPixel, Turn turn, int yBegin, int yEnd) {
  if (bytesPerPixel == 1) TurnRowsBlocked<Sse2Block8, 1>(srcRowTop, dstRowTop, srcW, srcH, turn, yBegin, yEnd);
  else TurnRowsBlocked<Ssse3Block24, 3>(srcRowTop, dstRowTop, srcW, srcH, turn, yBegin, yEnd);
}

#pragma GCC pop_options

// ---- AVX2 ----
#pragma GCC push_options
#pragma GCC target("avx2")

// 4 target rows by 8 target columns of 3-byte pixels: the SSSE3 block in each
// 128-bit lane (target columns x .. x + 3 below, x + 4 .. x + 7 above), then
// both lanes' 12 bytes joined into 24.
struct Avx2Block24 {
  static constexpr int kRows = 4, kCols = 8, kLoadBytes = 16;
  static __m128i Load(const std::uint8_t* p, bool wide) {
    return wide ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)) : Load12(p);
  }
  static void Block(const std::uint8_t* const* src, std::uint8_t* const* out, int x, bool wideLoad,
                    bool wideStore) {
    const __m256i spread = _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1,  //
                                            0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    const __m256i pack = _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1,  //
                                          0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    const __m256i join = _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 7, 7);
    __m256i r[4];
    for (int j = 0; j < 4; ++j) {
      const __m256i v = _mm256_inserti128_si256(_mm256_castsi128_si256(Load(src[j], wideLoad)),
                                                Load(src[j + 4], wideLoad), 1);
      r[j] = _mm256_shuffle_epi8(v, spread);
    }
    const __m256i t0 = _mm256_unpacklo_epi32(r[0], r[1]), t1 = _mm256_unpacklo_epi32(r[2], r[3]);
    const __m256i t2 = _mm256_unpackhi_epi32(r[0], r[1]), t3 = _mm256_unpackhi_epi32(r[2], r[3]);
    const __m256i o[4] = {_mm256_unpacklo_epi64(t0, t1), _mm256_unpackhi_epi64(t0, t1),
                          _mm256_unpacklo_epi64(t2, t3), _mm256_unpackhi_epi64(t2, t3)};
    const std::size_t at = 3 * static_cast<std::size_t>(x);
    for (int k = 0; k < 4; ++k) {
      const __m256i v = _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(o[k], pack), join);
      std::uint8_t* d = out[k] + at;
      if (wideStore) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(d), v);
      } else {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm256_castsi256_si128(v));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(d + 16), _mm256_extracti128_si256(v, 1));
      }
    }
  }
};

void TurnRowsAvx2(const std::uint8_t* const* srcRowTop, std::uint8_t* const* dstRowTop, int srcW,
                  int srcH, int bytesPerPixel, Turn turn, int yBegin, int yEnd) {
  if (bytesPerPixel == 1) TurnRowsBlocked<Sse2Block8, 1>(srcRowTop, dstRowTop, srcW, srcH, turn, yBegin, yEnd);
  else TurnRowsBlocked<Avx2Block24, 3>(srcRowTop, dstRowTop, srcW, srcH, turn, yBegin, yEnd);
}

#pragma GCC pop_options

std::atomic<RotateKernel> gKernel{RotateKernel::Auto};

RotateKernel ActiveKernel() {
  const RotateKernel k = gKernel;
  if (k != RotateKernel::Auto) return k;
  return HasAvx2() ? RotateKernel::Avx2 : HasSsse3() ? RotateKernel::Ssse3 : RotateKernel::Scalar;
}

}  // namespace

void RotateTargetRows(const std::uint8_t* const* srcRowTop, std::uint8_t* const* dstRowTop,
                      int srcW, int srcH, int bytesPerPixel, Turn turn, int yBegin, int yEnd) {
  switch (ActiveKernel()) {
    case RotateKernel::Avx2:
      TurnRowsAvx2(srcRowTop, dstRowTop, srcW, srcH, bytesPerPixel, turn, yBegin, yEnd);
      return;
    case RotateKernel::Ssse3:
      TurnRowsSsse3(srcRowTop, dstRowTop, srcW, srcH, bytesPerPixel, turn, yBegin, yEnd);
      return;
    default:
      if (bytesPerPixel == 1) TurnRows<1>(srcRowTop, dstRowTop, srcW, srcH, turn, yBegin, yEnd);
      else TurnRows<3>(srcRowTop, dstRowTop, srcW, srcH, turn, yBegin, yEnd);
  }
}

bool UseRotateKernel(RotateKernel k) {
  if ((k == RotateKernel::Avx2 && !HasAvx2()) || (k == RotateKernel::Ssse3 && !HasSsse3())) return false;
  gKernel = k;
  return true;
}

Store RotateQuarter(const Store& src, Turn turn, const std::function<void()>& pumpRow) {
  const StoreView sv = ViewStore(src);
  const int tw = sv.height, th = sv.width;
  Store dst = bmp::MakeLargeImage(tw, th, sv.bits);
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
