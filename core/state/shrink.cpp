#include "core/state/shrink.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "codecs/bmp_layout.h"
#include "core/state/state_error.h"
#include "core/state/store_view.h"
#include "core/tone/fast_rows.h"
#include "core/state/str_to_int.h"

namespace tav1 {

namespace {

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

// Fills target rows [yBegin, yEnd). Each target pixel's sums take its cells
// row by row and, within a source row, left to right, exactly as a pixel-by-
// pixel loop would; only the loops are interchanged so that one source row
// feeds the whole target row before the next one (the sums of neighbouring
// pixels are independent, so their long-double chains overlap).
template <int Bits>
void Reduce(const std::uint8_t* const* srcRow, const std::uint8_t* palette, std::uint8_t* const* dstRow,
            int w, const Spans& cols, const Spans& rows, const ChannelRounder& round, int yBegin, int yEnd) {
  std::vector<double> sums(3 * static_cast<std::size_t>(w));
  const int* colFirst = cols.first.data();
  const int* colCount = cols.count.data();
  const int* colOffset = cols.offset.data();
  const double* colWeight = cols.weight.data();
  for (int y = yBegin; y < yEnd; ++y) {
    std::fill(sums.begin(), sums.end(), 0.0);
    double* sum = sums.data();
    const std::size_t ry = static_cast<std::size_t>(y);
    const int r0 = rows.first[ry], rn = rows.count[ry];
    const double* rowWeight = rows.weight.data() + rows.offset[ry];
    for (int ri = 0; ri < rn; ++ri) {
      const std::uint8_t* row = srcRow[r0 + ri];
      const double rw = rowWeight[ri];
      for (int x = 0; x < w; ++x) {
        const std::uint8_t* px = row + (Bits == 8 ? 1 : 3) * static_cast<std::size_t>(colFirst[x]);
        const double* cw = colWeight + colOffset[x];
        const int n = colCount[x];
        // The sums stay in the row's array: each step stores to double there,
        // and the next step reads that double back.
        double* sx = sum + 3 * static_cast<std::size_t>(x);
        for (int j = 0; j < n; ++j) {
          const std::uint8_t* p;
          if constexpr (Bits == 8) {
            p = palette + 4 * static_cast<std::size_t>(px[j]);
          } else {
            p = px + 3 * j;
          }
          // Weight product and addition in extended precision, each sum stored to double.
          const long double wt = static_cast<long double>(cw[j]) * rw;
          sx[0] = static_cast<double>(sx[0] + wt * kByteValue[p[0]]);
          sx[1] = static_cast<double>(sx[1] + wt * kByteValue[p[1]]);
          sx[2] = static_cast<double>(sx[2] + wt * kByteValue[p[2]]);
        }
      }
    }
    std::uint8_t* out = dstRow[y];
    for (std::size_t i = 0; i < 3 * static_cast<std::size_t>(w); ++i) out[i] = round(sum[i]);
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

  Store dst = MakeLargeImage(w, h, 24);
  const StoreView dv = ViewStore(dst);
  const Spans cols = MakeSpans(w, kx);
  const Spans rows = MakeSpans(h, ky);
  // Row starts by display row, built once so each access is direct.
  std::vector<const std::uint8_t*> srcRow(static_cast<std::size_t>(sv.height));
  for (int y = 0; y < sv.height; ++y) srcRow[static_cast<std::size_t>(y)] = src.data() + sv.RowTop(y);
  std::vector<std::uint8_t*> dstRow(static_cast<std::size_t>(h));
  for (int y = 0; y < h; ++y) dstRow[static_cast<std::size_t>(y)] = dst.data() + dv.RowTop(y);
  const std::uint8_t* palette = src.data() + bmp::kPaletteOffset;
  const ChannelRounder round(a);
  // Target rows are independent: bands of them on two threads (fast_rows.h),
  // small enough that a thread scheduled late holds the other up little.
  fast::RunInRounds(
      h, std::max(1, h / 64),
      [&](int y0, int y1) {
        if (sv.bits == 8) {
          Reduce<8>(srcRow.data(), palette, dstRow.data(), w, cols, rows, round, y0, y1);
        } else {
          Reduce<24>(srcRow.data(), palette, dstRow.data(), w, cols, rows, round, y0, y1);
        }
      },
      [](int) { return true; });
  return dst;
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
