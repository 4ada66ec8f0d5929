#include "core/tone/passes.h"

#include <algorithm>
#include <cstring>

#include "codecs/bmp_layout.h"
#include "core/tone/fast_passes.h"
#include "core/tone/satu.h"

namespace tav1 {

namespace {

// One pass at a time per thread; see the header. thread_local so that a batch
// run may work on separate pictures in separate threads.
thread_local bool tPassRunning = false;

class RunGuard {
 public:
  RunGuard() : owns_(!tPassRunning) {
    if (owns_) tPassRunning = true;
  }
  ~RunGuard() {
    if (owns_) tPassRunning = false;
  }
  RunGuard(const RunGuard&) = delete;
  RunGuard& operator=(const RunGuard&) = delete;
  bool Refused() const { return !owns_; }

 private:
  bool owns_;
};

// Byte index of channel c inside a pixel or palette entry (blue, green, red).
int ByteOfChannel(int c) { return 2 - c; }

// Row r of stride bytes at base lies wholly inside a store of that size.
bool RowFits(const Store& s, std::int64_t base, std::int64_t stride, std::int64_t r) {
  return base + (r + 1) * stride <= static_cast<std::int64_t>(s.size());
}

bool PaletteFits(const Store& src, const Store& dst) {
  constexpr std::size_t kEnd = bmp::kPaletteOffset + bmp::kPaletteBytes;
  return src.size() >= kEnd && dst.size() >= kEnd;
}

// Walks the pixel rows bottom-up. For each row that lies inside both stores:
// the row's pixels go through kernel(in, out, pixels), the padding bytes after
// them are copied, then after(n) runs. Stops at the first row that does not
// fit. The geometry is read once: a pump running other commands cannot change
// the walk under way, and the sizes are checked again before every row.
template <typename Kernel, typename After>
int WalkRows(const Store& src, Store& dst, std::int64_t base, std::int64_t stride,
             std::int64_t pixelsPerRow, std::int64_t bytesPerPixel, int Yend, Kernel kernel,
             After after) {
  if (stride <= 0 || Yend < 0) return 0;
  const std::int64_t pixels = std::clamp<std::int64_t>(pixelsPerRow, 0, stride / bytesPerPixel);
  const std::int64_t pixelBytes = pixels * bytesPerPixel;
  int rows = 0;
  for (std::int64_t r = 0; r <= Yend; ++r) {
    if (!RowFits(src, base, stride, r) || !RowFits(dst, base, stride, r)) break;
    const std::size_t off = static_cast<std::size_t>(base + r * stride);
    const std::uint8_t* in = src.data() + off;
    std::uint8_t* out = dst.data() + off;
    kernel(in, out, static_cast<int>(pixels));
    if (in != out)
      std::memcpy(out + pixelBytes, in + pixelBytes, static_cast<std::size_t>(stride - pixelBytes));
    ++rows;
    after(static_cast<int>(r));
  }
  return rows;
}

void Status(const PassHooks& hooks, const std::string& text) {
  if (hooks.status) hooks.status(text);
}

}  // namespace

bool TonePassRunning() { return tPassRunning; }

void Apply24AllRow(const TTriple* in, TTriple* out, int width, const ToneTables& tables, float S,
                   bool byKido, bool bySatu) {
  const double s = S;  // exact widening: the 24-bit pass works with a 32-bit S
  for (int x = 0; x < width; ++x) {
    const TTriple p = in[x];
    out[x] = SatuUpTriple(tables.TableR[p.R], tables.TableG[p.G], tables.TableB[p.B], s, byKido,
                          bySatu);
  }
}

void Apply24SoloRow(const TTriple* in, TTriple* out, int width, const ToneTables& tables,
                    int soloChannel) {
  const std::uint8_t* table = tables.ForChannel(soloChannel);
  const int byte = ByteOfChannel(soloChannel);
  for (int x = 0; x < width; ++x) {
    const std::uint8_t v = table[reinterpret_cast<const std::uint8_t*>(&in[x])[byte]];
    out[x] = TTriple{v, v, v};
  }
}

PassResult Apply24All_SatuUp(const Store& src, Store& dst, const Geometry& geo,
                             const ToneTables& tables, int sliderPosition, bool byKido,
                             bool bySatu, const PassHooks& hooks) {
  RunGuard guard;
  if (guard.Refused()) return {PassStatus::Busy, 0};
  const ToneTables t = tables;  // the pump may rebuild the caller's tables
  const float S = SatuFactor24(sliderPosition);
  PassResult result;
  // Same rows as Apply24AllRow, vectorised and on two threads (fast_passes.h).
  result.rows = fast::Apply24AllRows(src, dst, geo, t, S, byKido, bySatu, hooks);
  return result;
}

PassResult Apply8All_SatuUp(const Store& src, Store& dst, const Geometry& geo,
                            bool GrayPaletteFlag, const ToneTables& tables, int sliderPosition,
                            bool byKido, bool bySatu, const PassHooks& /*hooks*/) {
  RunGuard guard;
  if (guard.Refused()) return {PassStatus::Busy, 0};
  PassResult result;
  if (GrayPaletteFlag) {
    // Grey ramp: index i is level i, so one lookup per pixel does the work
    // and the palette stays the ramp; saturation has nothing to act on.
    const ToneTables t = tables;
    result.rows = fast::Apply8GrayRows(src, dst, geo, t);
    return result;
  }
  if (!PaletteFits(src, dst)) return result;
  const double S = SatuFactorPalette(sliderPosition);
  const std::uint8_t* in = src.data() + bmp::kPaletteOffset;
  std::uint8_t* out = dst.data() + bmp::kPaletteOffset;
  for (int i = 0; i < 256; ++i) {
    const std::uint8_t* e = in + 4 * i;
    const TTriple c =
        SatuUpTriple(tables.TableR[e[2]], tables.TableG[e[1]], tables.TableB[e[0]], S, byKido, bySatu);
    std::uint8_t* o = out + 4 * i;
    o[3] = e[3];
    o[0] = c.B;
    o[1] = c.G;
    o[2] = c.R;
  }
  return result;
}

PassResult Apply24Solo(const Store& src, Store& dst, const Geometry& geo, const ToneTables& tables,
                       std::uint8_t SoloFlag, const PassHooks& hooks) {
  if (SoloFlag > 2) return {PassStatus::Unsupported, 0};
  RunGuard guard;
  if (guard.Refused()) return {PassStatus::Busy, 0};
  const ToneTables t = tables;
  PassResult result;
  // Same rows and progress texts as Apply24SoloRow row by row (fast_passes.h).
  result.rows = fast::Apply24SoloRows(src, dst, geo, t, SoloFlag, hooks);
  Status(hooks, std::string(20, ' '));
  return result;
}

PassResult Apply8Solo(const Store& src, Store& dst, const ToneTables& tables,
                      std::uint8_t SoloFlag, const PassHooks& /*hooks*/) {
  if (SoloFlag > 2) return {PassStatus::Unsupported, 0};
  RunGuard guard;
  if (guard.Refused()) return {PassStatus::Busy, 0};
  PassResult result;
  if (!PaletteFits(src, dst)) return result;
  const std::uint8_t* table = tables.ForChannel(SoloFlag);
  const int byte = ByteOfChannel(SoloFlag);
  const std::uint8_t* in = src.data() + bmp::kPaletteOffset;
  std::uint8_t* out = dst.data() + bmp::kPaletteOffset;
  for (int i = 0; i < 256; ++i) {
    const std::uint8_t v = table[in[4 * i + byte]];
    out[4 * i + 3] = in[4 * i + 3];
    out[4 * i + 0] = v;
    out[4 * i + 1] = v;
    out[4 * i + 2] = v;
  }
  return result;
}

PassResult ApplyTonePass(const Store& src, Store& dst, const Geometry& geo,
                         const ToneTables& tables, const TonePassRequest& request,
                         const PassHooks& hooks) {
  const bool solo = request.SoloFlag <= 2;
  if (request.biBitFlag == 8) {
    return solo ? Apply8Solo(src, dst, tables, request.SoloFlag, hooks)
                : Apply8All_SatuUp(src, dst, geo, request.GrayPaletteFlag, tables,
                                   request.SliderPosition, request.ByKido, request.BySatu, hooks);
  }
  if (request.biBitFlag == 24) {
    return solo ? Apply24Solo(src, dst, geo, tables, request.SoloFlag, hooks)
                : Apply24All_SatuUp(src, dst, geo, tables, request.SliderPosition, request.ByKido,
                                    request.BySatu, hooks);
  }
  return {PassStatus::Unsupported, 0};
}

PassResult ApplyTonePass(WorkingImage& image, const ToneTables& tables, std::uint8_t SoloFlag,
                         int sliderPosition, bool byKido, bool bySatu, const PassHooks& hooks) {
  if (!image.ReadyFlag) return {};
  TonePassRequest request;
  request.biBitFlag = image.biBitFlag;
  request.GrayPaletteFlag = image.GrayPaletteFlag;
  request.SoloFlag = SoloFlag;
  request.SliderPosition = sliderPosition;
  request.ByKido = byKido;
  request.BySatu = bySatu;
  // The geometry is copied: a command run by the pump may open another picture.
  const Geometry geo = image.geo;
  return ApplyTonePass(image.MemStBmp1, image.MemStBmp2, geo, tables, request, hooks);
}

}  // namespace tav1
