// Byte lookup kernels for the table-only passes: the 24-bit mapping through
// three channel tables, one table over 8-bit indices (grey-ramp pictures), and
// the 24-bit solo view (one channel's table output in all three bytes). On a
// CPU with AVX-512 VBMI 64 bytes are looked up per instruction group; other
// CPUs take the plain loops. Both give identical bytes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/tone/tables.h"

namespace tav1::fast {

// `width` pixels (blue, green, red) through TableB, TableG, TableR. in and out
// may be the same row.
void MapRow24(const std::uint8_t* in, std::uint8_t* out, int width, const ToneTables& tables);

// n bytes through one table. in and out may be the same.
void MapBytes(const std::uint8_t* in, std::uint8_t* out, std::size_t n, const std::uint8_t* table);

// `width` pixels: v = table[byte `byteIndex` of the pixel], all three bytes := v.
// byteIndex is 0 (blue), 1 (green) or 2 (red). in and out may be the same row.
void SoloRow24(const std::uint8_t* in, std::uint8_t* out, int width, const std::uint8_t* table,
               int byteIndex);

// True when the AVX-512 VBMI kernels are used on this machine.
bool MapVectorised();

}  // namespace tav1::fast
