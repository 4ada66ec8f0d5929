#include "core/state/shrink.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <immintrin.h>
#include <limits>
#include <mutex>
#include <optional>
#include <vector>

#include "codecs/bmp_layout.h"
#include "codecs/large_image.h"
#include "core/state/state_error.h"
#include "core/state/store_view.h"
#include "core/tone/cpu_features.h"
#include "core/tone/fast_rows.h"
#include "core/state/str_to_int.h"

namespace tav1 {

namespace {

using fast::HasAvx2;

constexpr long double kEpsilon = 0.000001L;

// The spans of all target cells along one axis, flat: target cell t covers
// source cells first[t] .. first[t] + count[t] - 1, whose overlap lengths are
// weight[offset[t]] onwards. Built once per call: every target row shares the
// column spans, and each target row uses its own row span for all its pixels.
struct Spans {
  std::vector<int> first, count, offset;
  std::vector<double> weight;  // stored to double, as the sums take it
};

// The cells covered by target cell t of a reduction with factor k:
// [t * k, (t + 1) * k - eps], each weighted by its overlap length.
Spans MakeSpans(int cells, double k) {
  Spans s;
  s.first.resize(static_cast<std::size_t>(cells));
  s.count.resize(static_cast<std::size_t>(cells));
  s.offset.resize(static_cast<std::size_t>(cells));
  for (int t = 0; t < cells; ++t) {
    // x0 and x1 are computed in extended precision and stored to double.
    const double x0 = static_cast<double>(static_cast<long double>(t) * k);
    const double x1 = static_cast<double>(static_cast<long double>(t + 1) * k - kEpsilon);
    const int first = static_cast<int>(std::floor(x0));
    const int last = static_cast<int>(std::floor(x1));
    s.first[static_cast<std::size_t>(t)] = first;
    s.count[static_cast<std::size_t>(t)] = last - first + 1;
    s.offset[static_cast<std::size_t>(t)] = static_cast<int>(s.weight.size());
    for (int i = first; i <= last; ++i) {
      const double hi = std::min(static_cast<double>(i + 1), x1);
      const double lo = std::max(static_cast<double>(i), x0);
      s.weight.push_back(hi - lo);  // stored to double
    }
  }
  return s;
}

// Round half to even for 0 <= q < 2^62; q - n is exact, so the tie test is too.
// (nearbyintl gives the same result but saves and restores the FPU environment
// on every call, which dominated the reduction's time.)
std::int64_t RoundHalfEvenNonNegative(long double q) {
  const std::int64_t n = static_cast<std::int64_t>(q);
  const long double frac = q - static_cast<long double>(n);
  if (frac > 0.5L) return n + 1;
  if (frac < 0.5L) return n;
  return n + (n & 1);
}

std::uint8_t RoundChannel(double sum, float a) {
  // The quotient is taken in extended precision, then rounded half to even.
  const long double q = static_cast<long double>(sum) / static_cast<long double>(a);
  if (!(q > 0.0L)) return 0;
  if (q >= 255.0L) return 255;
  return static_cast<std::uint8_t>(RoundHalfEvenNonNegative(q));
}

// RoundChannel(sum, a) for one a, by table: the quotient and its rounding are
// non-decreasing in sum (a correctly rounded division is monotonic), so the
// channel is the number of n in 1..255 whose threshold, the least double sum
// with RoundChannel(sum, a) >= n, is at most sum. The thresholds are found
// with RoundChannel itself, so the table gives exactly its results while
// saving a long-double division and a conversion per channel.
class ChannelRounder {
 public:
  explicit ChannelRounder(float a) {
    // Non-negative doubles are ordered like their bit patterns.
    const std::uint64_t inf = std::bit_cast<std::uint64_t>(std::numeric_limits<double>::infinity());
    for (int n = 1; n <= 255; ++n) {
      std::uint64_t lo = 0, hi = inf;  // RoundChannel(lo) < n <= RoundChannel(hi)
      while (hi - lo > 1) {
        const std::uint64_t mid = lo + (hi - lo) / 2;
        if (RoundChannel(std::bit_cast<double>(mid), a) >= n) {
          hi = mid;
        } else {
          lo = mid;
        }
      }
      threshold_[n] = std::bit_cast<double>(hi);
    }
    threshold_[0] = -std::numeric_limits<double>::infinity();
    threshold_[256] = std::numeric_limits<double>::infinity();
    // An estimate only; the steps below make the result exact.
    scale_ = 1.0 / static_cast<double>(a);
  }

  // sum >= 0 (the sums of non-negative products).
  std::uint8_t operator()(double sum) const {
    // Nearest to sum / a, so the steps are mostly not taken.
    const double e = sum * scale_ + 0.5;
    int n = e < 0.0 ? 0 : e > 255.0 ? 255 : static_cast<int>(e);
    while (sum >= threshold_[n + 1]) ++n;
    while (sum < threshold_[n]) --n;
    return static_cast<std::uint8_t>(n);
  }

 private:
  double threshold_[257];
  double scale_;
};

// Byte values as doubles: a double widens to long double exactly, so
// wt * kByteValue[v] is the same product as wt * v, without converting v
// through memory on every use.
constexpr auto kByteValue = [] {
  std::array<double, 256> t{};
  for (int i = 0; i < 256; ++i) t[static_cast<std::size_t>(i)] = i;
  return t;
}();

// A target channel is RoundChannel(exact sum, a), the exact sum taking its
// cells row by row and, within a source row, left to right, the weight
// product and each addition in extended precision, each sum stored to double.
// That is slow on the x87 unit, so the pass first estimates every sum in
// double arithmetic, separably (the cells of each source row, then the rows),
// and settles a channel from the estimate whenever the rounding of the exact
// quotient provably gives the same byte; only the rest take the exact sums.
//
// Why the estimate settles a channel. All terms c * r * v are non-negative,
// so a sum of m of them, each term passing through at most k roundings of
// relative size at most u' = 2^-53 + 2^-64, is within gamma = k u' / (1 - k u')
// of the true sum T, relative to T:
//  - exact sum: c * r and (c * r) * v rounded to 64 bits, each running sum to
//    64 and then to 53 bits: k <= m + 2 (also when the unit rounds to 53 bits);
//  - estimate: c * v, the adds of a row's cells (cells of weight 0 add 0
//    exactly), r * h, the adds of the rows:
//    k <= nc + nr <= m + 1 for m = nc * nr cells.
// With k = m + 3 and m < 2^40, exact = estimate * (1 + eta) with |eta| <=
// 2 gamma / (1 - gamma) <= 2.003 (m + 3) 2^-53. The quotient RoundChannel takes
// is exact / a rounded to 64 bits; the estimate's q = estimate * (1 / a), two
// roundings to 53 bits. So the exact quotient is q * (1 + zeta) with |zeta| <=
// (2.003 m + 9.02) 2^-53, within r = q * (m + 4) 2^-51 of q with more than
// 8.8 2^-53 * q to spare, which covers the rounding of r itself. Then, with
// i = floor(q) and f = q - i (exact), |f - 0.5| > r (f - 0.5 is exact for
// f >= 0.25, and at least 0.25 > r in magnitude below) puts the exact
// quotient on the same side of i + 0.5 as q and within 0.5 of i or i + 1, so
// its rounding, half to even, clamped to 255, is min(i + (f > 0.5), 255).
// Nothing comes near the underflow range: a weight is 0 or a multiple of the
// last place of a span end, at least 2^-53 times the smaller of 1 and the
// factor.
constexpr double kErrPerCell = 0x1p-51;

// The column spans of the estimate, padded to one cell count n for all target
// columns: target column x reads source pixels base[x] .. base[x] + n - 1 with
// weights weight[n * x] onwards, zero for the cells outside its span. A span
// near the right edge is shifted left rather than padded past the row's end.
struct PaddedCols {
  int n = 0;
  std::vector<int> base;
  std::vector<double> weight;
  // The leading columns whose last cell is not the row's last pixel: reading
  // four bytes at each of their cells stays inside the row.
  int fourByteCols = 0;
};

PaddedCols PadCols(const Spans& cols, int srcWidth) {
  PaddedCols p;
  const std::size_t w = cols.first.size();
  for (std::size_t x = 0; x < w; ++x) p.n = std::max(p.n, cols.count[x]);
  p.base.resize(w);
  p.weight.assign(w * static_cast<std::size_t>(p.n), 0.0);
  for (std::size_t x = 0; x < w; ++x) {
    const int base = std::min(cols.first[x], srcWidth - p.n);
    p.base[x] = base;
    for (int j = 0; j < cols.count[x]; ++j)
      p.weight[static_cast<std::size_t>(p.n) * x + static_cast<std::size_t>(cols.first[x] - base + j)] =
          cols.weight[static_cast<std::size_t>(cols.offset[x] + j)];
    if (base + p.n < srcWidth) p.fourByteCols = static_cast<int>(x) + 1;
  }
  return p;
}

// One source row's part of the estimates of a target row: h = the sum over
// the cells of column x of weight * channel, acc[3x + c] = rw * h (First) or
// acc[3x + c] += rw * h; with Keep, h is also written to keep[3x + c] for the
// next target row, which shares this source row. Channel values are the bytes
// (24 bits) or the palette entries of the index bytes as doubles (8 bits).
// N > 0 fixes the cell count at compile time.
template <int Bits, int N, bool First, bool Keep>
void EstimateRow(const std::uint8_t* row, const double (*palette)[4], const PaddedCols& cols, double rw,
                 double* acc, double* keep, int xBegin, int xEnd) {
  const int n = N > 0 ? N : cols.n;
  const int* base = cols.base.data();
  const double* weight = cols.weight.data();
  for (int x = xBegin; x < xEnd; ++x) {
    const double* cw = weight + static_cast<std::size_t>(n) * static_cast<std::size_t>(x);
    double h0, h1, h2;
    if constexpr (Bits == 8) {
      const std::uint8_t* px = row + base[x];
      const double* v = palette[px[0]];
      h0 = cw[0] * v[0];
      h1 = cw[0] * v[1];
      h2 = cw[0] * v[2];
      for (int j = 1; j < n; ++j) {
        v = palette[px[j]];
        h0 += cw[j] * v[0];
        h1 += cw[j] * v[1];
        h2 += cw[j] * v[2];
      }
    } else {
      const std::uint8_t* px = row + 3 * static_cast<std::size_t>(base[x]);
      h0 = cw[0] * kByteValue[px[0]];
      h1 = cw[0] * kByteValue[px[1]];
      h2 = cw[0] * kByteValue[px[2]];
      for (int j = 1; j < n; ++j) {
        h0 += cw[j] * kByteValue[px[3 * j]];
        h1 += cw[j] * kByteValue[px[3 * j + 1]];
        h2 += cw[j] * kByteValue[px[3 * j + 2]];
      }
    }
    const std::size_t k = 3 * static_cast<std::size_t>(x);
    if constexpr (Keep) {
      keep[k] = h0;
      keep[k + 1] = h1;
      keep[k + 2] = h2;
    }
    if constexpr (First) {
      acc[k] = rw * h0;
      acc[k + 1] = rw * h1;
      acc[k + 2] = rw * h2;
    } else {
      acc[k] += rw * h0;
      acc[k + 1] += rw * h1;
      acc[k + 2] += rw * h2;
    }
  }
}

std::atomic<ShrinkKernel> gKernel{ShrinkKernel::Auto};

bool UseAvx2() {
  const ShrinkKernel k = gKernel;
  return k == ShrinkKernel::Auto ? HasAvx2() : k == ShrinkKernel::Avx2;
}

// Cell j's channels from px, the column's first cell: 24 bits read four bytes.
template <int Bits>
__attribute__((target("avx2"))) inline __m256d CellAvx2(const std::uint8_t* px, int j,
                                                        const double (*palette)[4]) {
  if constexpr (Bits == 8) {
    return _mm256_loadu_pd(palette[px[j]]);
  } else {
    std::int32_t four;
    std::memcpy(&four, px + 3 * j, 4);
    return _mm256_cvtepi32_pd(_mm_cvtepu8_epi32(_mm_cvtsi32_si128(four)));
  }
}

// EstimateRow with the three channels of a column in the low lanes of a
// vector of four doubles, lane for lane the same operations (no fused
// multiply-add). The fourth lane (the next pixel's first byte, or a palette
// entry's unused fourth double) is never stored.
template <int Bits, int N, bool First, bool Keep>
__attribute__((target("avx2"))) void EstimateRowAvx2(const std::uint8_t* row, const double (*palette)[4],
                                                     const PaddedCols& cols, double rw, double* acc, double* keep,
                                                     int w) {
  const int n = N > 0 ? N : cols.n;
  const int* base = cols.base.data();
  const double* weight = cols.weight.data();
  const int vecEnd = Bits == 8 ? w : cols.fourByteCols;
  const __m256d vrw = _mm256_set1_pd(rw);
  for (int x = 0; x < vecEnd; ++x) {
    const double* cw = weight + static_cast<std::size_t>(n) * static_cast<std::size_t>(x);
    const std::uint8_t* px = row + (Bits == 8 ? 1 : 3) * static_cast<std::size_t>(base[x]);
    __m256d h = _mm256_mul_pd(_mm256_broadcast_sd(cw), CellAvx2<Bits>(px, 0, palette));
    for (int j = 1; j < n; ++j)
      h = _mm256_add_pd(h, _mm256_mul_pd(_mm256_broadcast_sd(cw + j), CellAvx2<Bits>(px, j, palette)));
    const std::size_t k = 3 * static_cast<std::size_t>(x);
    const __m128d h01 = _mm256_castpd256_pd128(h), h2 = _mm256_extractf128_pd(h, 1);
    if constexpr (Keep) {
      _mm_storeu_pd(keep + k, h01);
      _mm_store_sd(keep + k + 2, h2);
    }
    // Three lanes stored as two and one: a four-wide store overlapping the
    // next column's load would defeat store forwarding.
    const __m128d rw2 = _mm256_castpd256_pd128(vrw);
    __m128d a01 = _mm_mul_pd(rw2, h01), a2 = _mm_mul_sd(rw2, h2);
    if constexpr (!First) {
      a01 = _mm_add_pd(_mm_loadu_pd(acc + k), a01);
      a2 = _mm_add_sd(_mm_load_sd(acc + k + 2), a2);
    }
    _mm_storeu_pd(acc + k, a01);
    _mm_store_sd(acc + k + 2, a2);
  }
  // Clean upper halves before the SSE code that follows (the compiler leaves
  // them dirty across the tail call, which slows that code down).
  _mm256_zeroupper();
  EstimateRow<Bits, N, First, Keep>(row, palette, cols, rw, acc, keep, vecEnd, w);
}

template <int Bits, int N, bool First, bool Keep>
void EstimateRowAny(bool avx2, const std::uint8_t* row, const double (*palette)[4], const PaddedCols& cols,
                    double rw, double* acc, double* keep, int w) {
  if (avx2) {
    EstimateRowAvx2<Bits, N, First, Keep>(row, palette, cols, rw, acc, keep, w);
  } else {
    EstimateRow<Bits, N, First, Keep>(row, palette, cols, rw, acc, keep, 0, w);
  }
}

// acc[k] (+)= rw * h[k]: a kept source row's part of the estimates.
void AddKeptRow(const double* h, double rw, bool first, double* acc, std::size_t n) {
  if (first) {
    for (std::size_t k = 0; k < n; ++k) acc[k] = rw * h[k];
  } else {
    for (std::size_t k = 0; k < n; ++k) acc[k] += rw * h[k];
  }
}

// The channels the estimates acc[0 .. n) settle, written to out; returns
// false when some cannot be settled (see above), leaving their bytes to be
// rewritten. invA = 1 / a and errScale = (m + 4) 2^-51, each stored to double.
// SSE2, eight channels a step: i, f and the channel i + (f > 0.5) are whole
// numbers or exact differences in double; packing to bytes saturates at 255.
bool Settle(const double* acc, double invA, double errScale, std::uint8_t* out, std::size_t n) {
  const __m128d vInvA = _mm_set1_pd(invA);
  const __m128d vErr = _mm_set1_pd(errScale);
  const __m128d half = _mm_set1_pd(0.5);
  const __m128d one = _mm_set1_pd(1.0);
  const __m128d absMask = _mm_castsi128_pd(_mm_set1_epi64x(0x7FFFFFFFFFFFFFFF));
  __m128d unsettled = _mm_setzero_pd();
  // Two estimates to two channels (as 32-bit integers in the low half).
  auto two = [&](const double* p) {
    const __m128d q = _mm_mul_pd(_mm_loadu_pd(p), vInvA);
    const __m128i i = _mm_cvttpd_epi32(q);
    const __m128d f = _mm_sub_pd(q, _mm_cvtepi32_pd(i));
    const __m128d t = _mm_and_pd(_mm_sub_pd(f, half), absMask);
    unsettled = _mm_or_pd(unsettled, _mm_cmple_pd(t, _mm_mul_pd(q, vErr)));
    const __m128d v = _mm_add_pd(_mm_cvtepi32_pd(i), _mm_and_pd(_mm_cmpgt_pd(f, half), one));
    return _mm_cvttpd_epi32(v);
  };
  std::size_t k = 0;
  for (; k + 8 <= n; k += 8) {
    const __m128i a = _mm_unpacklo_epi64(two(acc + k), two(acc + k + 2));
    const __m128i b = _mm_unpacklo_epi64(two(acc + k + 4), two(acc + k + 6));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + k), _mm_packus_epi16(_mm_packs_epi32(a, b), a));
  }
  for (; k < n; ++k) {
    double lane[2] = {acc[k], 0.0};
    const __m128i v = two(lane);
    out[k] = static_cast<std::uint8_t>(std::min(_mm_cvtsi128_si32(v), 255));
  }
  return _mm_movemask_pd(unsettled) == 0;
}

// Settle's test for one estimate, in the same operations.
inline bool Unsettled(double estimate, double invA, double errScale) {
  const double q = estimate * invA;
  const double f = q - static_cast<double>(static_cast<int>(q));
  return !(std::fabs(f - 0.5) > q * errScale);
}

// Settle's steps for four estimates: four channels as 32-bit integers.
__attribute__((target("avx2"))) inline __m128i SettleFour(const double* p, __m256d invA, __m256d errScale,
                                                          __m256d* unsettled) {
  const __m256d half = _mm256_set1_pd(0.5);
  const __m256d absMask = _mm256_castsi256_pd(_mm256_set1_epi64x(0x7FFFFFFFFFFFFFFF));
  const __m256d q = _mm256_mul_pd(_mm256_loadu_pd(p), invA);
  const __m128i i = _mm256_cvttpd_epi32(q);
  const __m256d di = _mm256_cvtepi32_pd(i);
  const __m256d f = _mm256_sub_pd(q, di);
  const __m256d t = _mm256_and_pd(_mm256_sub_pd(f, half), absMask);
  *unsettled = _mm256_or_pd(*unsettled, _mm256_cmp_pd(t, _mm256_mul_pd(q, errScale), _CMP_LE_OQ));
  const __m256d up = _mm256_and_pd(_mm256_cmp_pd(f, half, _CMP_GT_OQ), _mm256_set1_pd(1.0));
  return _mm256_cvttpd_epi32(_mm256_add_pd(di, up));
}

// Settle with four estimates a vector: the same operations, sixteen
// channels a step.
__attribute__((target("avx2"))) bool SettleAvx2(const double* acc, double invA, double errScale,
                                                std::uint8_t* out, std::size_t n) {
  const __m256d vInvA = _mm256_set1_pd(invA);
  const __m256d vErr = _mm256_set1_pd(errScale);
  __m256d unsettled = _mm256_setzero_pd();
  std::size_t k = 0;
  for (; k + 16 <= n; k += 16) {
    const __m128i lo = _mm_packs_epi32(SettleFour(acc + k, vInvA, vErr, &unsettled),
                                       SettleFour(acc + k + 4, vInvA, vErr, &unsettled));
    const __m128i hi = _mm_packs_epi32(SettleFour(acc + k + 8, vInvA, vErr, &unsettled),
                                       SettleFour(acc + k + 12, vInvA, vErr, &unsettled));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + k), _mm_packus_epi16(lo, hi));
  }
  const bool settled = _mm256_movemask_pd(unsettled) == 0;
  _mm256_zeroupper();
  return Settle(acc + k, invA, errScale, out + k, n - k) && settled;
}

// The exact sums of target pixel (x, y), in the order described above.
template <int Bits>
void ExactPixel(const std::uint8_t* const* srcRow, const std::uint8_t* palette, const Spans& cols,
                const Spans& rows, int x, int y, double* sum) {
  const std::size_t cx = static_cast<std::size_t>(x), ry = static_cast<std::size_t>(y);
  const double* cw = cols.weight.data() + cols.offset[cx];
  const double* rw = rows.weight.data() + rows.offset[ry];
  double s0 = 0.0, s1 = 0.0, s2 = 0.0;
  for (int ri = 0; ri < rows.count[ry]; ++ri) {
    const std::uint8_t* row = srcRow[rows.first[ry] + ri];
    for (int j = 0; j < cols.count[cx]; ++j) {
      const std::size_t i = static_cast<std::size_t>(cols.first[cx] + j);
      const std::uint8_t* p = Bits == 8 ? palette + 4 * static_cast<std::size_t>(row[i]) : row + 3 * i;
      // Weight product and additions in extended precision; each sum is
      // stored to double after every step.
      const long double wt = static_cast<long double>(cw[j]) * rw[ri];
      s0 = static_cast<double>(s0 + wt * kByteValue[p[0]]);
      s1 = static_cast<double>(s1 + wt * kByteValue[p[1]]);
      s2 = static_cast<double>(s2 + wt * kByteValue[p[2]]);
    }
  }
  sum[0] = s0;
  sum[1] = s1;
  sum[2] = s2;
}

// The exact sums of all pixels of target row y into sum[0 .. 3w), in the same
// order per pixel as ExactPixel; only the loops are interchanged, so that one
// source row feeds the whole target row (the sums of neighbouring pixels are
// independent, so their extended-precision chains overlap).
template <int Bits>
void ExactRow(const std::uint8_t* const* srcRow, const std::uint8_t* palette, const Spans& cols,
              const Spans& rows, int w, int y, double* sum) {
  std::fill(sum, sum + 3 * static_cast<std::size_t>(w), 0.0);
  const std::size_t ry = static_cast<std::size_t>(y);
  const double* rowWeight = rows.weight.data() + rows.offset[ry];
  for (int ri = 0; ri < rows.count[ry]; ++ri) {
    const std::uint8_t* row = srcRow[rows.first[ry] + ri];
    const double rw = rowWeight[ri];
    for (int x = 0; x < w; ++x) {
      const std::size_t cx = static_cast<std::size_t>(x);
      const double* cw = cols.weight.data() + cols.offset[cx];
      double* sx = sum + 3 * cx;
      for (int j = 0; j < cols.count[cx]; ++j) {
        const std::size_t i = static_cast<std::size_t>(cols.first[cx] + j);
        const std::uint8_t* p = Bits == 8 ? palette + 4 * static_cast<std::size_t>(row[i]) : row + 3 * i;
        // Weight product and additions in extended precision; each sum is
        // stored to double after every step (in the row's array).
        const long double wt = static_cast<long double>(cw[j]) * rw;
        sx[0] = static_cast<double>(sx[0] + wt * kByteValue[p[0]]);
        sx[1] = static_cast<double>(sx[1] + wt * kByteValue[p[1]]);
        sx[2] = static_cast<double>(sx[2] + wt * kByteValue[p[2]]);
      }
    }
  }
}

struct ReduceJob {
  const std::uint8_t* const* srcRow;
  const std::uint8_t* palette;      // the store's BGRA entries
  const double (*paletteValue)[4];  // the same as doubles
  std::uint8_t* const* dstRow;
  int w;
  float a;
  const Spans* cols;
  const Spans* rows;
  const PaddedCols* padded;
  // The exact channels' rounding table, built by the first row that needs it.
  std::once_flag* rounderMade;
  std::optional<ChannelRounder>* rounder;

  const ChannelRounder& Rounder() const {
    std::call_once(*rounderMade, [this] { rounder->emplace(a); });
    return **rounder;
  }
};

// Fills target rows [yBegin, yEnd).
template <int Bits, int N>
void Reduce(const ReduceJob& job, int yBegin, int yEnd) {
  const int w = job.w;
  const std::size_t n3 = 3 * static_cast<std::size_t>(w);
  std::vector<double> acc(n3), kept(n3);
  std::vector<int> unsettled;  // columns of the current row the estimates leave open
  const bool avx2 = UseAvx2();
  int keptRow = -1;  // the source row whose sums are in `kept`
  const Spans& rows = *job.rows;
  const double invA = 1.0 / static_cast<double>(job.a);  // stored to double
  for (int y = yBegin; y < yEnd; ++y) {
    const std::size_t ry = static_cast<std::size_t>(y);
    const int r0 = rows.first[ry], rn = rows.count[ry];
    const double* rowWeight = rows.weight.data() + rows.offset[ry];
    for (int ri = 0; ri < rn; ++ri) {
      const int r = r0 + ri;
      const double rw = rowWeight[ri];
      const std::uint8_t* row = job.srcRow[r];
      const PaddedCols& pc = *job.padded;
      if (r == keptRow) {
        AddKeptRow(kept.data(), rw, ri == 0, acc.data(), n3);
      } else if (ri + 1 == rn) {
        // The last row of this target row is often the first of the next.
        if (ri == 0) {
          EstimateRowAny<Bits, N, true, true>(avx2, row, job.paletteValue, pc, rw, acc.data(), kept.data(), w);
        } else {
          EstimateRowAny<Bits, N, false, true>(avx2, row, job.paletteValue, pc, rw, acc.data(), kept.data(), w);
        }
        keptRow = r;
      } else if (ri == 0) {
        EstimateRowAny<Bits, N, true, false>(avx2, row, job.paletteValue, pc, rw, acc.data(), nullptr, w);
      } else {
        EstimateRowAny<Bits, N, false, false>(avx2, row, job.paletteValue, pc, rw, acc.data(), nullptr, w);
      }
    }
    // m = rn * n cells at most (an over-count only widens the bound); the
    // product is exact in double.
    const double errScale = static_cast<double>(rn * job.padded->n + 4) * kErrPerCell;
    std::uint8_t* out = job.dstRow[y];
    const bool settled =
        avx2 ? SettleAvx2(acc.data(), invA, errScale, out, n3) : Settle(acc.data(), invA, errScale, out, n3);
    if (settled) continue;
    unsettled.clear();
    for (int x = 0; x < w; ++x) {
      const std::size_t k = 3 * static_cast<std::size_t>(x);
      if (Unsettled(acc[k], invA, errScale) || Unsettled(acc[k + 1], invA, errScale) ||
          Unsettled(acc[k + 2], invA, errScale))
        unsettled.push_back(x);
    }
    const ChannelRounder& round = job.Rounder();
    if (unsettled.size() > static_cast<std::size_t>(w) / 16) {
      // Many (a picture of few values on a regular grid can make them all):
      // the whole row, its pixels' chains overlapping.
      ExactRow<Bits>(job.srcRow, job.palette, *job.cols, rows, w, y, acc.data());
      for (std::size_t k = 0; k < n3; ++k) out[k] = round(acc[k]);
      continue;
    }
    for (const int x : unsettled) {
      const std::size_t k = 3 * static_cast<std::size_t>(x);
      double exact[3];
      ExactPixel<Bits>(job.srcRow, job.palette, *job.cols, rows, x, y, exact);
      for (int c = 0; c < 3; ++c) out[k + static_cast<std::size_t>(c)] = round(exact[c]);
    }
  }
}

template <int Bits>
void ReduceAny(const ReduceJob& job, int yBegin, int yEnd) {
  switch (job.padded->n) {
    case 1:
      return Reduce<Bits, 1>(job, yBegin, yEnd);
    case 2:
      return Reduce<Bits, 2>(job, yBegin, yEnd);
    case 3:
      return Reduce<Bits, 3>(job, yBegin, yEnd);
    case 4:
      return Reduce<Bits, 4>(job, yBegin, yEnd);
    default:
      return Reduce<Bits, 0>(job, yBegin, yEnd);
  }
}

long double RoundHalfEven(long double v) { return std::nearbyintl(v); }

std::string RoundedText(long double v) {
  const long double r = std::clamp(RoundHalfEven(v), -1e18L, 1e18L);
  return std::to_string(static_cast<long long>(r));
}

}  // namespace

Store Shrink(const Store& src, int w, int h) {
  bmp::HeaderView hv;
  if (!bmp::ReadHeader(src.data(), src.size(), hv)) throw StateError("picture store is shorter than its headers");
  // Guards the divisions below; the dialog never gets here with such sizes.
  if (hv.width <= 0 || hv.height <= 0 || w <= 0 || h <= 0) throw StateError("アサートの失敗 (Unit6)");
  const StoreView sv = ViewStore(src);

  // Extended-precision quotient of the integer product, stored to float.
  const float a = static_cast<float>(
      static_cast<long double>(static_cast<std::int64_t>(sv.width) * sv.height) / w / h);
  // Extended-precision quotients stored to double.
  const double kx = static_cast<double>(static_cast<long double>(sv.width) / w);
  const double ky = static_cast<double>(static_cast<long double>(sv.height) / h);

  Store dst = bmp::MakeLargeImage(w, h, 24);
  const StoreView dv = ViewStore(dst);
  const Spans cols = MakeSpans(w, kx);
  const Spans rows = MakeSpans(h, ky);
  // Row starts by display row, built once so each access is direct.
  std::vector<const std::uint8_t*> srcRow(static_cast<std::size_t>(sv.height));
  for (int y = 0; y < sv.height; ++y) srcRow[static_cast<std::size_t>(y)] = src.data() + sv.RowTop(y);
  std::vector<std::uint8_t*> dstRow(static_cast<std::size_t>(h));
  for (int y = 0; y < h; ++y) dstRow[static_cast<std::size_t>(y)] = dst.data() + dv.RowTop(y);
  const std::uint8_t* palette = src.data() + bmp::kPaletteOffset;
  const PaddedCols padded = PadCols(cols, sv.width);
  double paletteValue[256][4] = {};
  if (sv.bits == 8)
    for (int i = 0; i < 256; ++i)
      for (int c = 0; c < 3; ++c) paletteValue[i][c] = palette[4 * i + c];
  std::once_flag rounderMade;
  std::optional<ChannelRounder> rounder;
  const ReduceJob job{srcRow.data(), palette, paletteValue, dstRow.data(), w, a,
                      &cols, &rows, &padded, &rounderMade, &rounder};
  // Target rows are independent: bands of them on two threads (fast_rows.h),
  // small enough that a thread scheduled late holds the other up little.
  fast::RunInRounds(
      h, std::max(1, h / 64),
      [&](int y0, int y1) {
        if (sv.bits == 8) {
          ReduceAny<8>(job, y0, y1);
        } else {
          ReduceAny<24>(job, y0, y1);
        }
      },
      [](int) { return true; });
  return dst;
}

bool UseShrinkKernel(ShrinkKernel k) {
  if (k == ShrinkKernel::Avx2 && !HasAvx2()) return false;
  gKernel = k;
  return true;
}

ShrinkSizeBoxes::ShrinkSizeBoxes(int srcWidth, int srcHeight)
    : srcWidth_(srcWidth),
      srcHeight_(srcHeight),
      // Extended-precision quotient stored to float.
      AspectRatio_(static_cast<float>(static_cast<long double>(srcHeight) / srcWidth)),
      width_(std::to_string(srcWidth)),
      height_(std::to_string(srcHeight)) {}

int ShrinkSizeBoxes::ReadBox(const std::string& text) { return StrToIntDef(text, 0); }

void ShrinkSizeBoxes::WidthEdited(const std::string& text) {
  width_ = text;
  const int v = ReadBox(text);
  if (v > 0) {
    height_ = RoundedText(static_cast<long double>(v) * AspectRatio_);
  } else {
    width_.clear();
    height_.clear();
  }
}

void ShrinkSizeBoxes::HeightEdited(const std::string& text) {
  height_ = text;
  const int v = ReadBox(text);
  if (v > 0) {
    width_ = RoundedText(static_cast<long double>(v) / AspectRatio_);
  } else {
    width_.clear();
    height_.clear();
  }
}

ShrinkSizeBoxes::Check ShrinkSizeBoxes::CheckSizes(int w, int h, int srcWidth, int srcHeight) {
  if (w < 10 || h < 10) return Check::TooSmall;
  if (w > srcWidth || h > srcHeight) return Check::Enlarge;
  return Check::Ok;
}

const char* ShrinkSizeBoxes::CheckMessage(Check c) {
  switch (c) {
    case Check::TooSmall:
      return kShrinkTooSmallText;
    case Check::Enlarge:
      return kShrinkEnlargeText;
    case Check::Ok:
      break;
  }
  return nullptr;
}

}  // namespace tav1
