#include "core/state/shrink.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "codecs/bmp_layout.h"
#include "core/state/state_error.h"
#include "core/state/store_view.h"
#include "core/tone/fast_rows.h"
#include "core/state/str_to_int.h"

namespace tav1 {

namespace {

constexpr long double kEpsilon = 0.000001L;

// One source cell of a span and its overlap with the span.
struct Cell {
  int index;
  double weight;  // stored to double, as the sums take it
};

// The cells covered by target cell t of a reduction with factor k:
// [t * k, (t + 1) * k - eps], each weighted by its overlap length.
std::vector<Cell> Span(int t, double k) {
  // x0 and x1 are computed in extended precision and stored to double.
  const double x0 = static_cast<double>(static_cast<long double>(t) * k);
  const double x1 = static_cast<double>(static_cast<long double>(t + 1) * k - kEpsilon);
  std::vector<Cell> cells;
  const int first = static_cast<int>(std::floor(x0));
  const int last = static_cast<int>(std::floor(x1));
  for (int i = first; i <= last; ++i) {
    const double hi = std::min(static_cast<double>(i + 1), x1);
    const double lo = std::max(static_cast<double>(i), x0);
    cells.push_back({i, hi - lo});  // stored to double
  }
  return cells;
}

std::vector<std::vector<Cell>> Spans(int count, double k) {
  std::vector<std::vector<Cell>> spans(static_cast<std::size_t>(count));
  for (int t = 0; t < count; ++t) spans[static_cast<std::size_t>(t)] = Span(t, k);
  return spans;
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

template <int Bits>
void Reduce(const Store& src, const StoreView& sv, Store& dst, const StoreView& dv,
            const std::vector<std::vector<Cell>>& cols, const std::vector<std::vector<Cell>>& rows,
            float a, int yBegin, int yEnd) {
  const std::uint8_t* palette = src.data() + bmp::kPaletteOffset;
  std::vector<const std::uint8_t*> srcRow(static_cast<std::size_t>(sv.height));
  for (int y = 0; y < sv.height; ++y) srcRow[static_cast<std::size_t>(y)] = src.data() + sv.RowTop(y);

  for (int y = yBegin; y < yEnd; ++y) {
    std::uint8_t* out = dst.data() + dv.RowTop(y);
    const std::vector<Cell>& rs = rows[static_cast<std::size_t>(y)];
    for (int x = 0; x < dv.width; ++x) {
      const std::vector<Cell>& cs = cols[static_cast<std::size_t>(x)];
      double sb = 0, sg = 0, sr = 0;
      for (const Cell& r : rs) {
        const std::uint8_t* row = srcRow[static_cast<std::size_t>(r.index)];
        for (const Cell& c : cs) {
          const std::uint8_t* p;
          if constexpr (Bits == 8) {
            p = palette + 4 * static_cast<std::size_t>(row[c.index]);
          } else {
            p = row + 3 * static_cast<std::size_t>(c.index);
          }
          // Weight product and addition in extended precision, each sum stored to double.
          const long double w = static_cast<long double>(c.weight) * r.weight;
          sb = static_cast<double>(sb + w * p[0]);
          sg = static_cast<double>(sg + w * p[1]);
          sr = static_cast<double>(sr + w * p[2]);
        }
      }
      out[3 * static_cast<std::size_t>(x) + 0] = RoundChannel(sb, a);
      out[3 * static_cast<std::size_t>(x) + 1] = RoundChannel(sg, a);
      out[3 * static_cast<std::size_t>(x) + 2] = RoundChannel(sr, a);
    }
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

  Store dst = bmp::MakeImage(w, h, 24);
  const StoreView dv = ViewStore(dst);
  const auto cols = Spans(w, kx);
  const auto rows = Spans(h, ky);
  // Target rows are independent: bands of them on two threads (fast_rows.h).
  fast::RunInRounds(
      h, std::max(1, h / 8),
      [&](int y0, int y1) {
        if (sv.bits == 8) {
          Reduce<8>(src, sv, dst, dv, cols, rows, a, y0, y1);
        } else {
          Reduce<24>(src, sv, dst, dv, cols, rows, a, y0, y1);
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
