// Small BMP files built in memory for the codec and open-path tests: every
// header variant carries the same picture, so a correct reader turns each of
// them into the same fixed-layout image.
#pragma once

#include <cstdint>
#include <vector>

#include "codecs/bmp_layout.h"

namespace tav1::testfiles {

struct BmpRecipe {
  std::int32_t width = 3;
  std::int32_t height = 2;          // negative: rows stored top-down
  int bits = 24;
  std::uint32_t headerSize = 40;    // 12: OS/2 core header (3-byte palette entries)
  std::uint32_t compression = 0;
  std::uint32_t colorsUsed = 256;   // for headers that have the field
  int tableEntries = -1;            // entries written; -1: 256 for 8-bit, 0 for 24-bit
  std::uint32_t gap = 0;            // bytes between the colour table and the rows
  bool grayRamp = false;            // 8-bit palette entry i = (i, i, i)
  std::int64_t truncateBy = 0;      // bytes cut from the end
};

// Picture content by display position (row 0 = top).
inline void PixelBgr(int x, int y, std::uint8_t out[3]) {
  out[0] = static_cast<std::uint8_t>(10 * x + y);
  out[1] = static_cast<std::uint8_t>(100 + x);
  out[2] = static_cast<std::uint8_t>(200 + 7 * y);
}
inline std::uint8_t PixelIndex(int x, int y) { return static_cast<std::uint8_t>(x + 3 * y + 1); }
inline void PaletteBgr(int i, bool gray, std::uint8_t out[3]) {
  out[0] = static_cast<std::uint8_t>(i);
  out[1] = gray ? static_cast<std::uint8_t>(i) : static_cast<std::uint8_t>(255 - i);
  out[2] = gray ? static_cast<std::uint8_t>(i) : static_cast<std::uint8_t>(i * 7);
}

inline void FillRow(std::uint8_t* row, int width, int bits, int displayRow) {
  for (int x = 0; x < width; ++x) {
    if (bits == 8)
      row[x] = PixelIndex(x, displayRow);
    else
      PixelBgr(x, displayRow, row + 3 * x);
  }
}

inline std::vector<std::uint8_t> MakeBmpFile(const BmpRecipe& s) {
  const bool core = s.headerSize == 12;
  const std::uint32_t entrySize = core ? 3 : 4;
  const int entries = s.tableEntries >= 0 ? s.tableEntries : (s.bits == 8 ? 256 : 0);
  const std::int64_t rows = s.height < 0 ? -static_cast<std::int64_t>(s.height) : s.height;
  const std::int64_t stride = s.width > 0 ? bmp::Stride(s.width, s.bits == 8 ? 8 : 24) : 0;
  const std::size_t tableStart = 14 + s.headerSize;
  const std::size_t rowsStart = tableStart + entries * entrySize + s.gap;
  std::vector<std::uint8_t> f(rowsStart + static_cast<std::size_t>(stride * rows), 0);
  f[0] = 'B';
  f[1] = 'M';
  bmp::Put32(&f[2], static_cast<std::uint32_t>(f.size()));
  bmp::Put32(&f[10], static_cast<std::uint32_t>(rowsStart));
  bmp::Put32(&f[14], s.headerSize);
  if (core) {
    bmp::Put16(&f[18], static_cast<std::uint16_t>(s.width));
    bmp::Put16(&f[20], static_cast<std::uint16_t>(s.height));
    bmp::Put16(&f[22], 1);
    bmp::Put16(&f[24], static_cast<std::uint16_t>(s.bits));
  } else {
    bmp::Put32(&f[18], static_cast<std::uint32_t>(s.width));
    bmp::Put32(&f[22], static_cast<std::uint32_t>(s.height));
    bmp::Put16(&f[26], 1);
    bmp::Put16(&f[28], static_cast<std::uint16_t>(s.bits));
    if (s.headerSize >= 20) bmp::Put32(&f[30], s.compression);
    if (s.headerSize >= 36) bmp::Put32(&f[46], s.colorsUsed);
  }
  for (int i = 0; i < entries; ++i) PaletteBgr(i % 256, s.grayRamp, &f[tableStart + i * entrySize]);
  for (std::int64_t r = 0; r < rows && stride > 0; ++r) {
    const int displayRow = static_cast<int>(s.height < 0 ? r : rows - 1 - r);
    FillRow(&f[rowsStart + static_cast<std::size_t>(r * stride)], s.width, s.bits, displayRow);
  }
  f.resize(f.size() - static_cast<std::size_t>(s.truncateBy));
  return f;
}

// The fixed-layout image every accepted variant of `s` must become.
inline std::vector<std::uint8_t> ExpectedFixed(const BmpRecipe& s) {
  const std::int32_t rows = s.height < 0 ? -s.height : s.height;
  std::vector<std::uint8_t> v = bmp::MakeImage(s.width, rows, s.bits);
  if (s.bits == 8)
    for (int i = 0; i < 256; ++i) PaletteBgr(i, s.grayRamp, &v[bmp::kPaletteOffset + 4 * i]);
  const std::size_t stride = static_cast<std::size_t>(bmp::Stride(s.width, s.bits));
  for (std::int32_t r = 0; r < rows; ++r)
    FillRow(&v[bmp::RowsOffset(s.bits) + r * stride], s.width, s.bits, rows - 1 - r);
  return v;
}

}  // namespace tav1::testfiles
