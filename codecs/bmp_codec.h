// Reading any supported BMP file into the fixed layout of bmp_layout.h, and
// writing the fixed layout back out as a BMP file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "codecs/bmp_layout.h"
#include "codecs/codec_error.h"

namespace tav1 {

// Why a BMP file was refused, in the order the tests are made.
enum class BmpRefusal {
  None,
  ShortHeader,    // the file ends inside its file header or information header
  UnknownHeader,  // an information-header size that is no known BMP variant
  BadBits,        // bits per pixel other than 8 or 24
  Compressed,     // compression other than none
  TooLarge,       // width or height above the caller's limit
  NotPositive,    // width of 0 or less, or height of 0
  FewColours,     // 8-bit with fewer than 256 palette entries (colours used 0 included)
  ShortRows,      // the file ends before its palette or its pixel rows do
};

struct BmpReadResult {
  BmpRefusal refusal = BmpRefusal::None;
  int bits = 0;               // known once the bit-depth test has passed
  std::int64_t width = 0;     // as read, known from BadBits on
  std::int64_t height = 0;    // rows; positive also for a top-down file
  std::vector<std::uint8_t> image;  // the fixed-layout image; empty unless accepted
};

// Validates a whole BMP file and turns it into the fixed layout: 40-byte header,
// 256-entry palette at 54 for 8-bit, bottom-up rows at 54 / 1078. Accepted
// variants: information headers of 40, 52, 56, 108 and 124 bytes, OS/2 headers
// (12 bytes, and 16..64 bytes), colour tables of any length (8-bit pictures take
// the first 256 entries), top-down rows, rows placed anywhere by the pixel-data
// offset. A file already in the fixed layout is taken over without a copy; the
// others are rearranged in place. Nothing is partially returned: a refusal
// leaves `image` empty. Colours used is the header's field where the header has
// one (0 is refused, not read as 256), else the number of entries that fit
// before the rows.
BmpReadResult ReadBmp(std::vector<std::uint8_t> file, int maxSide);

// True when the 8-bit palette at offset 54 is exactly the 256-level gray ramp.
bool IsGrayRampPalette(const std::vector<std::uint8_t>& fixed);

// Header of a fixed-layout store after checking that it is complete: bits 8 or
// 24, positive width and height, every row inside the store. Throws CodecError.
bmp::HeaderView CheckFixedImage(const std::vector<std::uint8_t>& fixed);

// Writes a fixed-layout store as an uncompressed BMP of the same depth (8-bit:
// colours used 256 and the 256-entry table; 24-bit: no table), atomically
// (`durable` as for AtomicFileWriter; scratch files may skip the sync).
void WriteBmp(const std::string& path, const std::vector<std::uint8_t>& fixed, bool durable = true);

}  // namespace tav1
