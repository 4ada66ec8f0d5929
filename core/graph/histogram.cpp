#include "core/graph/histogram.h"

#include <algorithm>
#include <barrier>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <system_error>
#include <thread>
#include <vector>

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

void AddInto(ChannelCounts& to, const ChannelCounts& from) {
  for (int i = 0; i < 256; ++i) {
    to.Blue[i] += from.Blue[i];
    to.Green[i] += from.Green[i];
    to.Red[i] += from.Red[i];
  }
}

// How often each palette index occurs. An 8-bit picture is counted by index
// and mapped through the palette once at the end: one increment per pixel
// instead of three, with the same result.
struct IndexCounts {
  std::int32_t n[256] = {};
};

void AddInto(IndexCounts& to, const IndexCounts& from) {
  for (int i = 0; i < 256; ++i) to.n[i] += from.n[i];
}

void CountIndexRow(const std::uint8_t* row, int width, IndexCounts& counts) {
  for (int x = 0; x < width; ++x) ++counts.n[row[x]];
}

// Counts of byte pairs for large 24-bit pictures: two neighbouring pixels p, q
// of a row are the words (Bp, Gp), (Rp, Bq), (Gq, Rq), one increment each in
// a table of 65536: half the increments of counting the channels one by one
// (the loop's limit), at the price of reading the channels off the tables once
// at the end. A row's odd last pixel is counted directly.
struct PairCounts {
  std::vector<std::int32_t> t = std::vector<std::int32_t>(3 * 65536);
  ChannelCounts single{};
};

void AddInto(PairCounts& to, const PairCounts& from) {
  for (std::size_t i = 0; i < to.t.size(); ++i) to.t[i] += from.t[i];
  AddInto(to.single, from.single);
}

void CountPairRow(const std::uint8_t* row, int width, PairCounts& counts) {
  std::int32_t* const t0 = counts.t.data();
  std::int32_t* const t1 = t0 + 65536;
  std::int32_t* const t2 = t1 + 65536;
  int x = 0;
  for (; x + 2 <= width; x += 2, row += 6) {
    ++t0[row[0] | (row[1] << 8)];
    ++t1[row[2] | (row[3] << 8)];
    ++t2[row[4] | (row[5] << 8)];
  }
  if (x < width) CountRow24(row, 1, counts.single);
}

void AddPairsInto(ChannelCounts& to, const PairCounts& from) {
  const std::int32_t* t = from.t.data();
  for (int hi = 0; hi < 256; ++hi)
    for (int lo = 0; lo < 256; ++lo) {
      const int v = lo | (hi << 8);
      to.Blue[lo] += t[v];
      to.Green[hi] += t[v];
      to.Red[lo] += t[65536 + v];
      to.Blue[hi] += t[65536 + v];
      to.Green[lo] += t[2 * 65536 + v];
      to.Red[hi] += t[2 * 65536 + v];
    }
  AddInto(to, from.single);
}

// From this many pixels on, the pair tables pay for reading them off.
constexpr std::int64_t kPairCountPixels = std::int64_t{1} << 20;

bool RowInside(std::size_t size, std::size_t off, int stride) {
  return off <= size && size - off >= static_cast<std::size_t>(stride);
}

std::size_t RowOffset(std::size_t rowsOffset, int stride, int r) {
  return rowsOffset + static_cast<std::size_t>(r) * static_cast<std::size_t>(stride);
}

// Rows of about this many bytes are counted between two pumps when counting in
// parallel: small enough to keep the interface responsive, large enough that
// the hand-over between the threads costs little.
constexpr std::size_t kBandBytes = std::size_t{2} << 20;

// Hands every whole stored row, bottom-up, to kernel(rowPointer, counts); stops
// with false at the first row that is not entirely inside the store. The store's
// size is looked at again after every pump, since the pump runs other code.
//
// threads <= 1: one row at a time, pump after each row.
// threads > 1: bands of rows, each band's rows split among the threads, every
// thread counting into counts of its own that are added up at the end; the pump
// runs once per band on the calling thread while no other thread reads the store.
template <typename Counts, typename Kernel>
bool ForEachRow(const Store& store, std::size_t rowsOffset, int stride, int rows,
                const RowPump& pump, int threads, Counts& counts, Kernel&& kernel) {
  if (rows <= 0) return true;
  if (stride <= 0) return false;
  threads = std::clamp(threads, 1, rows);

  auto serial = [&](int from) {
    for (int r = from; r < rows; ++r) {
      const std::size_t off = RowOffset(rowsOffset, stride, r);
      if (!RowInside(store.size(), off, stride)) return false;
      kernel(store.data() + off, counts);
      if (pump) pump();
    }
    return true;
  };
  if (threads == 1) return serial(0);

  const int band = std::max<int>(threads, static_cast<int>(std::min<std::size_t>(
                                              kBandBytes / static_cast<std::size_t>(stride), rows)));
  std::vector<Counts> local(static_cast<std::size_t>(threads));
  std::barrier sync(threads);
  // Written by the calling thread before the start barrier, read by the others after it.
  const std::uint8_t* bandBase = nullptr;
  int bandRows = 0;
  bool stop = false;

  auto slice = [&](int t) {
    const int from = static_cast<int>(static_cast<std::int64_t>(bandRows) * t / threads);
    const int to = static_cast<int>(static_cast<std::int64_t>(bandRows) * (t + 1) / threads);
    for (int r = from; r < to; ++r)
      kernel(bandBase + static_cast<std::size_t>(r) * static_cast<std::size_t>(stride), local[t]);
  };
  auto worker = [&](int t) {
    for (;;) {
      sync.arrive_and_wait();  // start of a band, or stop
      if (stop) return;
      slice(t);
      sync.arrive_and_wait();  // band done
    }
  };

  std::vector<std::thread> pool;
  pool.reserve(static_cast<std::size_t>(threads - 1));
  try {
    for (int t = 1; t < threads; ++t) pool.emplace_back(worker, t);
  } catch (const std::system_error&) {
    // Release the threads that did start and count on this thread alone.
    stop = true;
    for (int t = static_cast<int>(pool.size()) + 1; t < threads; ++t) sync.arrive_and_drop();
    sync.arrive_and_wait();
    for (auto& th : pool) th.join();
    return serial(0);
  }

  bool ok = true;
  int done = 0;
  while (done < rows) {
    int n = std::min(band, rows - done);
    // Only the whole rows inside the store; the rest is left for the stop below.
    const std::size_t size = store.size();
    int inside = 0;
    while (inside < n && RowInside(size, RowOffset(rowsOffset, stride, done + inside), stride)) ++inside;
    if (inside < n) {
      ok = false;
      n = inside;
    }
    if (n == 0) break;
    bandBase = store.data() + RowOffset(rowsOffset, stride, done);
    bandRows = n;
    sync.arrive_and_wait();
    slice(0);
    sync.arrive_and_wait();
    done += n;
    if (!ok) break;
    if (pump) {
      try {
        pump();
      } catch (...) {
        // The other threads wait at the start barrier; release them before the
        // exception leaves (a joinable thread would end the program).
        stop = true;
        sync.arrive_and_wait();
        for (auto& th : pool) th.join();
        throw;
      }
    }
  }
  stop = true;
  sync.arrive_and_wait();
  for (auto& th : pool) th.join();

  for (const Counts& l : local) AddInto(counts, l);
  return ok;
}

}  // namespace

bool CountColor24(const Store& store, const Geometry& geo, ChannelCounts& counts,
                  const RowPump& pump, int threads) {
  const int width = std::max(geo.Xend + 1, 0);
  if (static_cast<std::int64_t>(width) * 3 > geo.XBytes24 && geo.Yend >= 0) return false;
  if (static_cast<std::int64_t>(width) * (geo.Yend + 1) < kPairCountPixels)
    return ForEachRow(store, bmp::kRows24Offset, geo.XBytes24, geo.Yend + 1, pump, threads, counts,
                      [&](const std::uint8_t* row, ChannelCounts& c) { CountRow24(row, width, c); });
  PairCounts pairs;
  const bool ok = ForEachRow(store, bmp::kRows24Offset, geo.XBytes24, geo.Yend + 1, pump, threads, pairs,
                             [&](const std::uint8_t* row, PairCounts& c) { CountPairRow(row, width, c); });
  AddPairsInto(counts, pairs);
  return ok;
}

bool CountColor08(const Store& store, const Geometry& geo, ChannelCounts& counts,
                  const RowPump& pump, int threads) {
  const int width = std::max(geo.Xend + 1, 0);
  if (geo.Yend < 0) return true;
  if (width > geo.XBytes08) return false;
  if (store.size() < bmp::kPaletteOffset + bmp::kPaletteBytes) return false;
  // The palette as it was when counting began: the pump runs other code.
  std::uint8_t palette[bmp::kPaletteBytes];
  std::memcpy(palette, store.data() + bmp::kPaletteOffset, bmp::kPaletteBytes);
  IndexCounts idx;
  const bool ok = ForEachRow(store, bmp::kRows08Offset, geo.XBytes08, geo.Yend + 1, pump, threads,
                             idx, [&](const std::uint8_t* row, IndexCounts& c) {
                               CountIndexRow(row, width, c);
                             });
  for (int i = 0; i < 256; ++i) {
    const std::uint8_t* e = palette + 4 * i;
    counts.Blue[e[0]] += idx.n[i];
    counts.Green[e[1]] += idx.n[i];
    counts.Red[e[2]] += idx.n[i];
  }
  return ok;
}

int CountThreads(std::int64_t pixels) {
  if (pixels < (std::int64_t{1} << 20)) return 1;
  const unsigned hw = std::thread::hardware_concurrency();
  return static_cast<int>(std::clamp(hw, 1u, 8u));
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
  const int threads =
      hooks.Threads > 0
          ? hooks.Threads
          : CountThreads(static_cast<std::int64_t>(std::max(img.geo.Xend + 1, 0)) *
                         std::max(img.geo.Yend + 1, 0));
  bool ok = false;
  if (hooks.Counted != nullptr && img.biBitFlag == 24) {
    counts = *hooks.Counted;
    ok = true;
  } else if (img.biBitFlag == 8)
    ok = CountColor08(img.MemStBmp1, img.geo, counts, hooks.PumpRow, threads);
  else if (img.biBitFlag == 24)
    ok = CountColor24(img.MemStBmp1, img.geo, counts, hooks.PumpRow, threads);

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
