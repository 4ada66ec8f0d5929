#include "core/tone/fast_passes.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "codecs/bmp_layout.h"
#include "core/tone/fast_map.h"
#include "core/tone/fast_rows.h"
#include "core/tone/fast_satu.h"

namespace tav1::fast {

namespace {

// About 256 KB of rows per chunk and four chunks per round: rounds of a few
// milliseconds keep the windows responsive while the cost of meeting the
// worker stays small.
constexpr std::int64_t kSliceBytes = 1 << 18;

// Rows (counted from 0) that lie wholly inside both stores, at most `rows`.
int RowsThatFit(const Store& src, const Store& dst, std::int64_t base, std::int64_t stride, int rows) {
  const std::int64_t size = static_cast<std::int64_t>(std::min(src.size(), dst.size()));
  if (size < base) return 0;
  return static_cast<int>(std::min<std::int64_t>(rows, (size - base) / stride));
}

// kernel(in, out, pixels) per row; afterRound(first, end) on the calling
// thread once rows [first, end) are written. The sizes are checked again after
// every round, since the pump may run other commands.
template <typename Kernel, typename AfterRound>
int WalkRowsInRounds(const Store& src, Store& dst, std::int64_t base, std::int64_t stride,
                     std::int64_t pixelsPerRow, std::int64_t bytesPerPixel, int Yend,
                     Kernel kernel, AfterRound afterRound) {
  if (stride <= 0 || Yend < 0) return 0;
  const std::int64_t pixels = std::clamp<std::int64_t>(pixelsPerRow, 0, stride / bytesPerPixel);
  const std::int64_t pixelBytes = pixels * bytesPerPixel;
  const int rows = Yend + 1;
  auto doRows = [&](int b, int e) {
    for (int r = b; r < e; ++r) {
      const std::size_t off = static_cast<std::size_t>(base + r * stride);
      const std::uint8_t* in = src.data() + off;
      std::uint8_t* out = dst.data() + off;
      kernel(in, out, static_cast<int>(pixels));
      if (in != out)
        std::memcpy(out + pixelBytes, in + pixelBytes, static_cast<std::size_t>(stride - pixelBytes));
    }
  };
  int limit = RowsThatFit(src, dst, base, stride, rows);
  int reported = 0;
  const int slice = static_cast<int>(std::max<std::int64_t>(1, kSliceBytes / stride));
  int done = RunInRounds(limit, slice, doRows, [&](int d) {
    afterRound(reported, d);
    reported = d;
    return RowsThatFit(src, dst, base, stride, rows) >= limit;
  });
  // The stores shrank under the pump: go on row by row while rows still fit.
  while (done < rows && done < RowsThatFit(src, dst, base, stride, rows)) {
    doRows(done, done + 1);
    afterRound(done, done + 1);
    ++done;
  }
  // Rows written into a store that has since shrunk are gone with it.
  return std::min(done, RowsThatFit(src, dst, base, stride, rows));
}

}  // namespace

int Apply24AllRows(const Store& src, Store& dst, const Geometry& geo, const ToneTables& tables,
                   float S, bool byKido, bool bySatu, const PassHooks& hooks) {
  const SatuPlan plan(S, byKido, bySatu);  // exact widening of the 32-bit S
  return WalkRowsInRounds(
      src, dst, bmp::kRows24Offset, geo.XBytes24, std::int64_t{geo.Xend} + 1, 3, geo.Yend,
      [&](const std::uint8_t* in, std::uint8_t* out, int pixels) {
        if (plan.kind() == SatuPlan::Kind::TableOnly) MapRow24(in, out, pixels, tables);
        else SatuRow(reinterpret_cast<const TTriple*>(in), reinterpret_cast<TTriple*>(out), pixels, tables, plan);
      },
      [&](int, int) {
        if (hooks.pump) hooks.pump();
      });
}

int Apply24SoloRows(const Store& src, Store& dst, const Geometry& geo, const ToneTables& tables,
                    int soloChannel, const PassHooks& hooks) {
  const std::uint8_t* table = tables.ForChannel(soloChannel);
  const int byte = 2 - soloChannel;
  const int Yend = geo.Yend;
  return WalkRowsInRounds(
      src, dst, bmp::kRows24Offset, geo.XBytes24, std::int64_t{geo.Xend} + 1, 3, Yend,
      [&](const std::uint8_t* in, std::uint8_t* out, int pixels) { SoloRow24(in, out, pixels, table, byte); },
      [&](int first, int end) {
        if (hooks.status) {
          for (int n = first; n < end; ++n)
            if (n % 16 == 15) hooks.status("のこり " + std::to_string(Yend - n) + " ライン");
        }
        if (hooks.pump) hooks.pump();
      });
}

int Apply8GrayRows(const Store& src, Store& dst, const Geometry& geo, const ToneTables& tables) {
  return WalkRowsInRounds(
      src, dst, bmp::kRows08Offset, geo.XBytes08, std::int64_t{geo.Xend} + 1, 1, geo.Yend,
      [&](const std::uint8_t* in, std::uint8_t* out, int pixels) {
        MapBytes(in, out, static_cast<std::size_t>(pixels), tables.TableG);
      },
      [](int, int) {});
}

}  // namespace tav1::fast
