// The one BMP layout every store and temporary file of the program uses:
// 14-byte file header, 40-byte information header, for 8-bit pictures a
// 256-entry palette at byte 54, pixel rows at byte 54 (24-bit) or 1078 (8-bit),
// bottom-up, each row padded to a multiple of 4 bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace tav1::bmp {

inline constexpr std::size_t kFileHeaderSize = 14;
inline constexpr std::size_t kInfoHeaderSize = 40;
inline constexpr std::size_t kPaletteOffset = 54;
inline constexpr std::size_t kPaletteBytes = 1024;
inline constexpr std::size_t kRows24Offset = 54;
inline constexpr std::size_t kRows08Offset = 1078;

// Stride of a 24-bit row: ((3 * width + 3) div 4) * 4.
constexpr std::int64_t Stride24(std::int64_t width) { return ((3 * width + 3) / 4) * 4; }
// Stride of an 8-bit row: width if a multiple of 4, else (width div 4) * 4 + 4.
constexpr std::int64_t Stride08(std::int64_t width) {
  return (width % 4 == 0) ? width : (width / 4) * 4 + 4;
}
constexpr std::int64_t Stride(std::int64_t width, int bits) {
  return bits == 8 ? Stride08(width) : Stride24(width);
}
constexpr std::size_t RowsOffset(int bits) { return bits == 8 ? kRows08Offset : kRows24Offset; }

inline std::uint16_t Get16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t Get32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline void Put16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void Put32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// Header fields as the working image consults them (all little-endian).
struct HeaderView {
  std::int32_t width = 0;        // offset 18, signed
  std::int32_t height = 0;       // offset 22, signed
  std::uint16_t bits = 0;        // offset 28
  std::uint32_t compression = 0; // offset 30
  std::uint32_t colorsUsed = 0;  // offset 46
};

// Reads the fields above; false when fewer than 54 bytes are given.
inline bool ReadHeader(const std::uint8_t* data, std::size_t size, HeaderView& h) {
  if (data == nullptr || size < kFileHeaderSize + kInfoHeaderSize) return false;
  h.width = static_cast<std::int32_t>(Get32(data + 18));
  h.height = static_cast<std::int32_t>(Get32(data + 22));
  h.bits = Get16(data + 28);
  h.compression = Get32(data + 30);
  h.colorsUsed = Get32(data + 46);
  return true;
}

// Writes the 54 header bytes for a width x height picture of 8 or 24 bits in the
// fixed layout (8-bit: colours used 256, the palette follows at byte 54).
inline void WriteHeaders(std::uint8_t* out, std::int32_t width, std::int32_t height, int bits) {
  const std::uint64_t stride = static_cast<std::uint64_t>(Stride(width, bits));
  const std::uint64_t offset = RowsOffset(bits);
  const std::uint64_t image = stride * static_cast<std::uint64_t>(height);
  std::memset(out, 0, kFileHeaderSize + kInfoHeaderSize);
  out[0] = 'B';
  out[1] = 'M';
  Put32(out + 2, static_cast<std::uint32_t>(offset + image));
  Put32(out + 10, static_cast<std::uint32_t>(offset));
  Put32(out + 14, static_cast<std::uint32_t>(kInfoHeaderSize));
  Put32(out + 18, static_cast<std::uint32_t>(width));
  Put32(out + 22, static_cast<std::uint32_t>(height));
  Put16(out + 26, 1);
  Put16(out + 28, static_cast<std::uint16_t>(bits));
  Put32(out + 30, 0);
  Put32(out + 34, static_cast<std::uint32_t>(image));
  Put32(out + 38, 2835);  // 72 dpi
  Put32(out + 42, 2835);
  Put32(out + 46, bits == 8 ? 256u : 0u);
  Put32(out + 50, bits == 8 ? 256u : 0u);
}

// Total byte size of a fixed-layout BMP image; 0 when the sizes are not positive.
constexpr std::uint64_t ImageBytes(std::int64_t width, std::int64_t height, int bits) {
  if (width <= 0 || height <= 0) return 0;
  return RowsOffset(bits) + static_cast<std::uint64_t>(Stride(width, bits)) *
                                static_cast<std::uint64_t>(height);
}

// A zero-filled fixed-layout BMP image with its headers written (palette all zero).
inline std::vector<std::uint8_t> MakeImage(std::int32_t width, std::int32_t height, int bits) {
  std::vector<std::uint8_t> v(ImageBytes(width, height, bits), 0);
  if (!v.empty()) WriteHeaders(v.data(), width, height, bits);
  return v;
}

}  // namespace tav1::bmp
