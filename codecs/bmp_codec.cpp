#include "codecs/bmp_codec.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "codecs/file_io.h"

namespace tav1 {
namespace {

using bmp::Get16;
using bmp::Get32;

enum class HeaderKind { Core, Info };

}  // namespace

BmpReadResult ReadBmp(std::vector<std::uint8_t> file, int maxSide) {
  BmpReadResult r;
  const std::uint64_t n = file.size();
  const std::uint8_t* d = file.data();
  if (n < bmp::kFileHeaderSize + 4) {
    r.refusal = BmpRefusal::ShortHeader;
    return r;
  }
  const std::uint32_t hs = Get32(d + 14);
  HeaderKind kind;
  if (hs == 12) {
    kind = HeaderKind::Core;
  } else if ((hs >= 16 && hs <= 64) || hs == 108 || hs == 124) {
    // 16..64 covers the OS/2 2.x headers, whose leading fields match the
    // 40-byte header; fields past the header's end count as zero.
    kind = HeaderKind::Info;
  } else {
    r.refusal = BmpRefusal::UnknownHeader;
    return r;
  }
  const std::uint64_t tableStart = bmp::kFileHeaderSize + hs;
  if (n < tableStart) {
    r.refusal = BmpRefusal::ShortHeader;
    return r;
  }

  std::int64_t width, height;
  std::uint32_t bits, compression = 0;
  bool hasColorsUsed = false;
  std::uint32_t colorsUsed = 0;
  if (kind == HeaderKind::Core) {
    width = Get16(d + 18);
    height = Get16(d + 20);
    bits = Get16(d + 24);
  } else {
    width = static_cast<std::int32_t>(Get32(d + 18));
    height = static_cast<std::int32_t>(Get32(d + 22));
    bits = Get16(d + 28);
    if (hs >= 20) compression = Get32(d + 30);
    if (hs >= 36) {
      hasColorsUsed = true;
      colorsUsed = Get32(d + 46);
    }
  }
  r.width = width;
  r.height = height < 0 ? -height : height;  // 64-bit: -INT32_MIN does not overflow
  if (bits != 8 && bits != 24) {
    r.refusal = BmpRefusal::BadBits;
    return r;
  }
  r.bits = static_cast<int>(bits);
  if (compression != 0) {
    r.refusal = BmpRefusal::Compressed;
    return r;
  }
  if (width > maxSide || r.height > maxSide) {
    r.refusal = BmpRefusal::TooLarge;
    return r;
  }
  if (width <= 0 || height == 0) {
    r.refusal = BmpRefusal::NotPositive;
    return r;
  }
  const bool topDown = height < 0;
  const std::int64_t rows = r.height;
  const std::uint64_t entrySize = kind == HeaderKind::Core ? 3 : 4;

  // Rows start at the pixel-data offset when it is plausible, else right after
  // the colour table the header declares.
  const std::uint64_t offBits = Get32(d + 10);
  std::uint64_t rowsStart;
  if (offBits >= tableStart && offBits <= n) {
    rowsStart = offBits;
  } else {
    const std::uint64_t declared = hasColorsUsed ? colorsUsed : (bits == 8 ? 256 : 0);
    rowsStart = tableStart + declared * entrySize;
  }

  if (bits == 8) {
    const std::uint64_t room = rowsStart > tableStart ? (rowsStart - tableStart) / entrySize : 0;
    const std::uint64_t colours = hasColorsUsed ? std::min<std::uint64_t>(colorsUsed, room) : room;
    if (colours < 256) {
      r.refusal = BmpRefusal::FewColours;
      return r;
    }
  }

  const std::uint64_t stride = static_cast<std::uint64_t>(bmp::Stride(width, r.bits));
  const std::uint64_t rowsLen = stride * static_cast<std::uint64_t>(rows);
  // The last row's padding may be missing; it is filled with zeros.
  const std::uint64_t needed =
      stride * static_cast<std::uint64_t>(rows - 1) + static_cast<std::uint64_t>(width) * (bits / 8);
  if (rowsStart > n || n - rowsStart < needed) {
    r.refusal = BmpRefusal::ShortRows;
    return r;
  }

  const std::uint64_t dstOff = bmp::RowsOffset(r.bits);
  const std::uint64_t total = bmp::ImageBytes(width, rows, r.bits);
  const bool fixedAlready = kind == HeaderKind::Info && hs == bmp::kInfoHeaderSize && !topDown &&
                            rowsStart == dstOff;
  if (fixedAlready) {
    file.resize(total);  // drops trailing bytes, or restores a missing last padding
    r.image = std::move(file);
    return r;
  }

  std::array<std::uint8_t, bmp::kPaletteBytes> palette{};
  if (bits == 8) {
    for (std::size_t i = 0; i < 256; ++i) {
      const std::uint8_t* e = d + tableStart + i * entrySize;
      palette[4 * i + 0] = e[0];
      palette[4 * i + 1] = e[1];
      palette[4 * i + 2] = e[2];
      palette[4 * i + 3] = entrySize == 4 ? e[3] : 0;
    }
  }
  const std::uint64_t available = std::min<std::uint64_t>(n - rowsStart, rowsLen);
  if (file.size() < dstOff + rowsLen) file.resize(dstOff + rowsLen);
  std::uint8_t* p = file.data();
  std::memmove(p + dstOff, p + rowsStart, available);
  std::memset(p + dstOff + available, 0, rowsLen - available);
  if (topDown) {
    std::vector<std::uint8_t> tmp(stride);
    for (std::int64_t lo = 0, hi = rows - 1; lo < hi; ++lo, --hi) {
      std::uint8_t* a = p + dstOff + static_cast<std::uint64_t>(lo) * stride;
      std::uint8_t* b = p + dstOff + static_cast<std::uint64_t>(hi) * stride;
      std::memcpy(tmp.data(), a, stride);
      std::memcpy(a, b, stride);
      std::memcpy(b, tmp.data(), stride);
    }
  }
  bmp::WriteHeaders(p, static_cast<std::int32_t>(width), static_cast<std::int32_t>(rows), r.bits);
  if (bits == 8) std::memcpy(p + bmp::kPaletteOffset, palette.data(), palette.size());
  file.resize(total);
  r.image = std::move(file);
  return r;
}

bool IsGrayRampPalette(const std::vector<std::uint8_t>& fixed) {
  if (fixed.size() < bmp::kPaletteOffset + bmp::kPaletteBytes) return false;
  const std::uint8_t* pal = fixed.data() + bmp::kPaletteOffset;
  for (int i = 0; i < 256; ++i) {
    const std::uint8_t* e = pal + 4 * i;
    if (e[0] != i || e[1] != e[0] || e[2] != e[0]) return false;
  }
  return true;
}

bmp::HeaderView CheckFixedImage(const std::vector<std::uint8_t>& fixed) {
  bmp::HeaderView h;
  if (!bmp::ReadHeader(fixed.data(), fixed.size(), h)) throw CodecError("画像データが空か壊れています");
  if (h.bits != 8 && h.bits != 24) throw CodecError("画像データのビット数が 8 でも 24 でもありません");
  if (h.width <= 0 || h.height <= 0) throw CodecError("画像データの幅か高さが0以下です");
  if (fixed.size() < bmp::ImageBytes(h.width, h.height, h.bits))
    throw CodecError("画像データが途中で切れています");
  return h;
}

void WriteBmp(const std::string& path, const std::vector<std::uint8_t>& fixed, bool durable) {
  const bmp::HeaderView h = CheckFixedImage(fixed);
  std::uint8_t header[bmp::kFileHeaderSize + bmp::kInfoHeaderSize];
  bmp::WriteHeaders(header, h.width, h.height, h.bits);
  const std::uint64_t total = bmp::ImageBytes(h.width, h.height, h.bits);
  AtomicFileWriter out(path, durable);
  out.Write(header, sizeof header);
  out.Write(fixed.data() + sizeof header, total - sizeof header);
  out.Commit();
}

}  // namespace tav1
