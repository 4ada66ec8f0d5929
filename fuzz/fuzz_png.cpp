// PNG decoding as the open path does it: header first, the size checked before
// any pixel memory exists, then the rows into a fixed-layout store. Chunk CRCs
// are made right first (see png_crc.h).
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "codecs/bmp_layout.h"
#include "codecs/png_codec.h"
#include "core/image/working_image.h"
#include "fuzz/png_crc.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tav1;
  std::vector<std::uint8_t> bytes(data, data + size);
  fuzz::FixPngCrcs(bytes);
  try {
    PngReader reader(bytes.data(), bytes.size());
    const int w = reader.Width();
    const int h = reader.Height();
    if (w <= 0 || h <= 0 || w > MaxSizeOfImage || h > MaxSizeOfImage) return 0;
    std::vector<std::uint8_t> store = bmp::MakeImage(w, h, 24);
    const std::size_t stride = static_cast<std::size_t>(bmp::Stride24(w));
    std::uint8_t* base = store.data() + bmp::kRows24Offset;
    reader.ReadRows([&](int y) {
      if (y < 0 || y >= h) std::abort();  // the reader asked for a row that does not exist
      return base + static_cast<std::size_t>(h - 1 - y) * stride;
    });
  } catch (const CodecError&) {
  }
  return 0;
}
