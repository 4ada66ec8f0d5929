// Channel histograms of the source picture and the two 256 x 256 pictures drawn
// from them (linear and logarithmic vertical scale) that the graph window lays
// under the tone curves. The histogram describes the source only; applying tone
// does not recount it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "core/graph/raster.h"
#include "core/image/working_image.h"

namespace tav1 {

// Text shown in the status line and the image window's caption while counting.
inline constexpr const char* kHistogramBusyText = "読込み中...";

// How often each level occurs per channel. Signed 32-bit like the counts an
// 8000 x 8000 picture needs (64 M < 2^31).
struct ChannelCounts {
  std::int32_t Blue[256] = {};
  std::int32_t Green[256] = {};
  std::int32_t Red[256] = {};

  void Clear() { *this = ChannelCounts{}; }
  // Largest of the 768 counts; 0 when all are 0.
  std::int32_t Max() const;
};

// Lets pending window events run between rows of a count (see CountColor24).
using RowPump = std::function<void()>;

// Row kernels: add the first `width` pixels of one stored row. Padding bytes
// past them are never read.
void CountRow24(const std::uint8_t* row, int width, ChannelCounts& counts);
// `palette` is 256 entries of 4 bytes: blue, green, red, reserved. (CountColor08
// counts indices and maps them through the palette once; this is the per-pixel
// form of the same sum.)
void CountRow08(const std::uint8_t* row, int width, const std::uint8_t* palette,
                ChannelCounts& counts);

// Add every pixel of the 24-bit (rows from byte 54) or 8-bit (palette at 54,
// rows from byte 1078) store described by `geo` to `counts`, bottom row first.
// Only whole rows that lie inside the store are counted: when a row (or the
// palette) would reach past the end, or the geometry's stride cannot hold its
// width, counting stops there and the result is false. A height of 0 or less
// counts no rows and is not an error.
//
// threads <= 1 counts on the calling thread and pumps after each row. More
// threads count bands of rows (about 2 MiB each) in parallel and pump once per
// band on the calling thread, while the other threads are idle. The pump must not
// replace the store or the geometry (the editor blocks image-taking commands
// during a count); the store's size is still checked again after each pump.
bool CountColor24(const Store& store, const Geometry& geo, ChannelCounts& counts,
                  const RowPump& pump = {}, int threads = 1);
bool CountColor08(const Store& store, const Geometry& geo, ChannelCounts& counts,
                  const RowPump& pump = {}, int threads = 1);

// Threads MakeHstgrm_Main counts with by default: 1 below a megapixel, else one
// per core (at most 8).
int CountThreads(std::int64_t pixels);

// 255 / M as a 32-bit float, M the largest count over the three channels.
// M = 0 (no pixels, which the open path rejects) gives 0.
float LinearFactor(std::int32_t maxCount);
// 255 / ln M as a 32-bit float; exactly 255 when M = 1; 0 when M = 0.
float LogFactor(std::int32_t maxCount);

// The black picture with the white frame on the border and the grey (128) grid
// lines at y = 191, 127, 64 and x = 64, 128, 192.
Raster HistogramBackground();

enum HistogramScale : int { kScaleLinear = 0, kScaleLog = 1 };
enum HistogramColour : int { kColourRed = 0, kColourGreen = 1, kColourBlue = 2 };

// Draws one channel's curve into `target` in copy mode (scaleKind 1 is the log
// scale, any other value the linear one). Bin i has the value
// v = counts[i] (linear) or ln counts[i] (log, 0 for an empty bin), each a 32-bit
// float, and the height y = trunc(255 - v * factor). A 24-bit picture visits
// every bin, so empty bins pull the curve to the bottom edge; an 8-bit picture
// (bitsPerPixel = 8) skips bins with v = 0 and ends with a line to (255, 255).
void MakeHistogram(int scaleKind, int colour, const std::int32_t (&counts)[256], float factor,
                   int bitsPerPixel, Raster& target);

// The two histogram pictures and the factors they were drawn with; they keep
// their content until the next picture is taken in.
struct HistogramPictures {
  Raster HgrmBmp{256, 256};    // linear scale
  Raster HgrmBmpLn{256, 256};  // logarithmic scale
  float LinearFactor = 0.0f;
  float LogFactor = 0.0f;
};

struct HistogramHooks {
  // Shows the busy text in the status line and the image window's caption,
  // repainted at once.
  std::function<void(const std::string&)> ShowBusy;
  RowPump PumpRow;
  // Counting threads; 0 chooses CountThreads(pixels).
  int Threads = 0;
  // Counts of every pixel of the 24-bit source store made while it was
  // decoded: used instead of counting the store again.
  const ChannelCounts* Counted = nullptr;
};

// The step after a picture has been loaded into img.MemStBmp1 with ImageWidth,
// ImageHeight and biBitFlag set: geometry step (which also makes MemStBmp2 a
// copy of the source), busy text, count, factors, both pictures (linear blue,
// green, red into HgrmBmp; then the same into HgrmBmpLn). False when the store
// is shorter than its geometry; the pictures then show the rows counted.
bool MakeHstgrm_Main(WorkingImage& img, HistogramPictures& out, const HistogramHooks& hooks = {});

}  // namespace tav1
