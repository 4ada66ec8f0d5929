// Quarter turns of a fixed-layout BMP store. An 8-bit picture keeps its
// palette and its indices (only their places change); a 24-bit picture stays
// 24-bit. The result is a new fixed-layout store of the swapped size (8-bit:
// colours used 256, as the open path requires).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "core/image/working_image.h"

namespace tav1 {

enum class Turn {
  Clockwise,         // T(x, y) = S(y, h - 1 - x): S's left column, read upwards, is T's top row
  CounterClockwise,  // T(x, y) = S(w - 1 - y, x): S's right column, read downwards, is T's top row
};

// Turns src (w x h, 8 or 24 bits). pumpRow, when set, runs once per target row
// (the caller lets window events run there), on the calling thread: rows are
// filled in rounds of four blocks of 256 on two threads, and a round's pumps run
// after it with no block running. The target is private to this call
// until it returns, so an event cannot observe it half-written.
// Throws StateError when src is not a valid 8- or 24-bit fixed-layout store.
Store RotateQuarter(const Store& src, Turn turn, const std::function<void()>& pumpRow = {});

// The row kernel behind RotateQuarter: fills target rows [yBegin, yEnd) (display
// rows, 0 = top) from tables of row starts (index = display row). Rows of
// different calls never overlap, so a caller may run ranges in parallel.
// srcW, srcH: source size; bytesPerPixel: 1 or 3.
void RotateTargetRows(const std::uint8_t* const* srcRowTop, std::uint8_t* const* dstRowTop,
                      int srcW, int srcH, int bytesPerPixel, Turn turn, int yBegin, int yEnd);

// Which block kernel RotateTargetRows runs: the best this CPU has (Auto), or
// one chosen by tests so that each is compared with the reference on any
// machine that can run it. Every kernel gives the same bytes. Returns false
// (and changes nothing) when the CPU cannot run k.
enum class RotateKernel { Auto, Scalar, Ssse3, Avx2 };
bool UseRotateKernel(RotateKernel k);

// keepFName with its extension replaced: "photo.jpg" -> "photo" + suffix; a name
// without extension gets the suffix appended ("" -> suffix).
std::string ReplaceExtension(const std::string& keepFName, const std::string& suffix);
// RotateName: ReplaceExtension(keepFName, "_rotate.bmp").
inline std::string RotateNameFor(const std::string& keepFName) {
  return ReplaceExtension(keepFName, "_rotate.bmp");
}

}  // namespace tav1
