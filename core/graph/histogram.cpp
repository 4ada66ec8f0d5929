#include "core/graph/histogram.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "codecs/bmp_layout.h"

namespace tav1 {

std::int32_t ChannelCounts::Max() const {
  std::int32_t m = 0;
  for (int i = 0; i < 256; ++i) m = std::max({m, Blue[i], Green[i], Red[i]});
  return m;
}

void CountRow24(const std::uint8_t* row, int width, ChannelCounts& counts) {
  for (int x = 0; x < width; ++x, row += 3) {
    ++counts.Blue[row[0]];
    ++counts.Green[row[1]];
    ++counts.Red[row[2]];
  }
}

void CountRow08(const std::uint8_t* row, int width, const std::uint8_t* palette,
                ChannelCounts& counts) {
  for (int x = 0; x < width; ++x) {
    const std::uint8_t* e = palette + 4 * static_cast<std::size_t>(row[x]);
    ++counts.Blue[e[0]];
    ++counts.Green[e[1]];
    ++counts.Red[e[2]];
  }
}

namespace {

// Walks the stored rows bottom-up and hands each whole row to `kernel`; stops
// with false at the first row that is not entirely inside the store.
template <typename Kernel>
bool ForEachRow(const Store& store, std::size_t rowsOffset, int stride, int rows,
                const RowPump& pump, Kernel&& kernel) {
  if (rows <= 0) return true;
  if (stride <= 0) return false;
  const std::size_t size = store.size();
  for (int r = 0; r < rows; ++r) {
    const std::size_t off = rowsOffset + static_cast<std::size_t>(r) * static_cast<std::size_t>(stride);
    if (off > size || size - off < static_cast<std::size_t>(stride)) return false;
    kernel(store.data() + off);
    if (pump) pump();
  }
  return true;
}

}  // namespace

bool CountColor24(const Store& store, const Geometry& geo, ChannelCounts& counts,
                  const RowPump& pump) {
  const int width = std::max(geo.Xend + 1, 0);
  if (static_cast<std::int64_t>(width) * 3 > geo.XBytes24 && geo.Yend >= 0) return false;
  return ForEachRow(store, bmp::kRows24Offset, geo.XBytes24, geo.Yend + 1, pump,
                    [&](const std::uint8_t* row) { CountRow24(row, width, counts); });
}

bool CountColor08(const Store& store, const Geometry& geo, ChannelCounts& counts,
                  const RowPump& pump) {
  const int width = std::max(geo.Xend + 1, 0);
  if (geo.Yend < 0) return true;
  if (width > geo.XBytes08) return false;
  if (store.size() < bmp::kPaletteOffset + bmp::kPaletteBytes) return false;
  const std::uint8_t* palette = store.data() + bmp::kPaletteOffset;
  return ForEachRow(store, bmp::kRows08Offset, geo.XBytes08, geo.Yend + 1, pump,
                    [&](const std::uint8_t* row) { CountRow08(row, width, palette, counts); });
}

float LinearFactor(std::int32_t maxCount) {
  if (maxCount <= 0) return 0.0f;
  return static_cast<float>(255.0L / maxCount);  // stored as a 32-bit float
}

float LogFactor(std::int32_t maxCount) {
  if (maxCount <= 0) return 0.0f;
  if (maxCount == 1) return 255.0f;
  return static_cast<float>(255.0L / std::log(static_cast<long double>(maxCount)));  // 32-bit store
}

Raster HistogramBackground() {
  Raster b(256, 256);
  b.SetPen(kWhite, PenMode::Copy);
  b.MoveTo(0, 0);
  b.LineTo(0, 255);
  b.LineTo(255, 255);
  b.LineTo(255, 0);
  b.LineTo(0, 0);
  b.SetPen(0x808080, PenMode::Copy);
  for (int y : {191, 127, 64}) {
    b.MoveTo(1, y);
    b.LineTo(254, y);
  }
  for (int x : {64, 128, 192}) {
    b.MoveTo(x, 254);
    b.LineTo(x, 1);
  }
  return b;
}

void MakeHistogram(int scaleKind, int colour, const std::int32_t (&counts)[256], float factor,
                   int bitsPerPixel, Raster& target) {
  static constexpr Rgb kPen[3] = {kRed, kGreen, kBlue};
  target.SetPen(colour >= 0 && colour < 3 ? kPen[colour] : kBlack, PenMode::Copy);
  const bool palette = bitsPerPixel == 8;
  target.MoveTo(0, 255);
  for (int i = 0; i < 256; ++i) {
    float v;  // the bin value is a 32-bit float in both scales
    if (scaleKind == kScaleLog)
      v = counts[i] > 0 ? static_cast<float>(std::log(static_cast<long double>(counts[i]))) : 0.0f;
    else
      v = static_cast<float>(counts[i]);
    if (!(v > 0.0f)) {
      if (palette) continue;
      v = 0.0f;
    }
    // Extended precision between the float stores; truncation toward zero, so a
    // peak a hair above 255 still lands on row 0.
    const int y = static_cast<int>(std::trunc(255.0L - static_cast<long double>(v) * factor));
    target.LineTo(i, y);
  }
  if (palette) target.LineTo(255, 255);
}

bool MakeHstgrm_Main(WorkingImage& img, HistogramPictures& out, const HistogramHooks& hooks) {
  img.GeometryStep();
  if (hooks.ShowBusy) hooks.ShowBusy(kHistogramBusyText);

  ChannelCounts counts;
  bool ok = false;
  if (img.biBitFlag == 8)
    ok = CountColor08(img.MemStBmp1, img.geo, counts, hooks.PumpRow);
  else if (img.biBitFlag == 24)
    ok = CountColor24(img.MemStBmp1, img.geo, counts, hooks.PumpRow);

  const std::int32_t m = counts.Max();
  out.LinearFactor = LinearFactor(m);
  out.LogFactor = LogFactor(m);

  const Raster background = HistogramBackground();
  out.HgrmBmp = background;
  out.HgrmBmpLn = background;
  // Later curves lie on top: blue, then green, then red.
  const std::int32_t(*channel[3])[256] = {&counts.Blue, &counts.Green, &counts.Red};
  const int colour[3] = {kColourBlue, kColourGreen, kColourRed};
  for (int c = 0; c < 3; ++c)
    MakeHistogram(kScaleLinear, colour[c], *channel[c], out.LinearFactor, img.biBitFlag, out.HgrmBmp);
  for (int c = 0; c < 3; ++c)
    MakeHistogram(kScaleLog, colour[c], *channel[c], out.LogFactor, img.biBitFlag, out.HgrmBmpLn);
  return ok;
}

}  // namespace tav1
