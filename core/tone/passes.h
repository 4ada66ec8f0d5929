// The pixel passes: map the source store through the tone tables into the
// result store. Normal mode adds the saturation step; solo mode shows one
// channel as grey.
//
// Stores are complete BMP file images in the fixed layout (palette at byte 54,
// rows at byte 54 for 24-bit and 1078 for 8-bit, bottom-up, padded to the
// stride). A pass writes only what it produces: a 24-bit pass the pixel rows,
// the grey-ramp 8-bit pass the pixel rows, the other 8-bit passes the palette.
// Row padding bytes and palette reserved bytes are copied from the source.
//
// Bounds: a pass never reads or writes outside either store, whatever the
// geometry says. A row is processed only when it lies wholly inside both
// stores (checked again before every row, since the pump may run other code);
// the rows before it stay processed and the pass stops there. Only the pixels
// that fit in the stride are mapped. A negative Yend processes no rows.
//
// Reentrancy: at most one pass runs per thread. The pump callback may run
// other commands; a pass started from inside a running one (directly or from
// the pump) is refused with PassStatus::Busy and changes nothing.
// TonePassRunning() lets a caller see that before it starts anything.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "core/image/working_image.h"
#include "core/tone/tables.h"

namespace tav1 {

struct PassHooks {
  // Lets pending window events run; called after each row (or slice of rows)
  // of the 24-bit passes. The 8-bit passes never call it.
  std::function<void()> pump;
  // Replaces the status line text (solo 24-bit pass progress only).
  std::function<void(const std::string&)> status;
};

enum class PassStatus {
  Done,        // ran (possibly over fewer rows than the geometry names; see rows)
  Busy,        // another pass is running on this thread; nothing was touched
  Unsupported  // bit depth other than 8 or 24, or a solo pass without a solo
               // channel (SoloFlag > 2); nothing was touched
};

struct PassResult {
  PassStatus status = PassStatus::Done;
  int rows = 0;  // pixel rows written (0 for the palette passes)
};

bool TonePassRunning();

// Row kernels over one row of width pixels; in and out may be the same row.
// These define the results; faster paths must match them bit for bit.
//   All: (TableB[B], TableG[G], TableR[R]) through SatuUpTriple with S.
//   Solo: all three bytes := table of c [byte c of the pixel], where c is the
//   solo channel (0 red = byte 2, 1 green = byte 1, 2 blue = byte 0).
void Apply24AllRow(const TTriple* in, TTriple* out, int width, const ToneTables& tables, float S,
                   bool byKido, bool bySatu);
void Apply24SoloRow(const TTriple* in, TTriple* out, int width, const ToneTables& tables,
                    int soloChannel);

// Normal-mode 24-bit pass; S = SatuFactor24(sliderPosition). Pump once per
// slice of rows, no progress text.
PassResult Apply24All_SatuUp(const Store& src, Store& dst, const Geometry& geo,
                             const ToneTables& tables, int sliderPosition, bool byKido,
                             bool bySatu, const PassHooks& hooks = {});

// Normal-mode 8-bit pass. With GrayPaletteFlag: every index byte of the rows
// through TableG, the palette and the saturation controls left alone.
// Otherwise: only the 1024-byte palette, through the tables and SatuUpTriple
// with S = SatuFactorPalette(sliderPosition); the index rows are not touched.
PassResult Apply8All_SatuUp(const Store& src, Store& dst, const Geometry& geo,
                            bool GrayPaletteFlag, const ToneTables& tables, int sliderPosition,
                            bool byKido, bool bySatu, const PassHooks& hooks = {});

// Solo 24-bit pass (SoloFlag 0..2). After writing row n, when n mod 16 = 15,
// status "のこり " + (Yend - n) + " ライン"; after the last row, 20 spaces.
// Pump once per slice of rows (the texts of a slice come just before it).
PassResult Apply24Solo(const Store& src, Store& dst, const Geometry& geo, const ToneTables& tables,
                       std::uint8_t SoloFlag, const PassHooks& hooks = {});

// Solo 8-bit pass: palette only, every entry grey with v := table of c [byte c].
PassResult Apply8Solo(const Store& src, Store& dst, const ToneTables& tables,
                      std::uint8_t SoloFlag, const PassHooks& hooks = {});

// The pass chosen by bit depth and SoloFlag (0..2 solo, any other value
// normal mode).
struct TonePassRequest {
  int biBitFlag = 24;
  bool GrayPaletteFlag = false;
  std::uint8_t SoloFlag = kSoloNone;
  int SliderPosition = 10;
  bool ByKido = false;
  bool BySatu = false;
};
PassResult ApplyTonePass(const Store& src, Store& dst, const Geometry& geo,
                         const ToneTables& tables, const TonePassRequest& request,
                         const PassHooks& hooks = {});

// The same on the working image: MemStBmp1 into MemStBmp2 with its geometry,
// bit depth and GrayPaletteFlag. Does nothing (Done, 0 rows) while ReadyFlag
// is false.
PassResult ApplyTonePass(WorkingImage& image, const ToneTables& tables, std::uint8_t SoloFlag,
                         int sliderPosition, bool byKido, bool bySatu, const PassHooks& hooks = {});

}  // namespace tav1
