// Mutations almost always break a PNG chunk's CRC, and libpng refuses a
// critical chunk with a bad CRC before looking at its content. The PNG targets
// therefore rewrite every complete chunk's CRC first, so that mutated content
// reaches the decoder.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace tav1::fuzz {

inline void FixPngCrcs(std::vector<std::uint8_t>& d) {
  if (d.size() < 8 || std::memcmp(d.data(), "\x89PNG\r\n\x1a\n", 8) != 0) return;
  std::size_t at = 8;
  while (d.size() - at >= 12) {
    const std::uint64_t len = (std::uint64_t{d[at]} << 24) | (d[at + 1] << 16) | (d[at + 2] << 8) | d[at + 3];
    if (len > d.size() - at - 12) return;
    const std::size_t crcAt = at + 8 + static_cast<std::size_t>(len);
    const uLong crc = crc32(0L, d.data() + at + 4, static_cast<uInt>(len + 4));
    for (int i = 0; i < 4; ++i) d[crcAt + i] = static_cast<std::uint8_t>(crc >> (24 - 8 * i));
    at = crcAt + 4;
  }
}

}  // namespace tav1::fuzz
