// JPEG decoding as the open path does it: header first, the size checked before
// any pixel memory exists, then the rows into a fixed-layout store.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "codecs/bmp_layout.h"
#include "codecs/jpeg_codec.h"
#include "core/image/working_image.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tav1;
  try {
    JpegReader reader(data, size);
    const int w = reader.Width();
    const int h = reader.Height();
    if (w <= 0 || h <= 0 || w > MaxSizeOfImage || h > MaxSizeOfImage) return 0;
    std::vector<std::uint8_t> store = bmp::MakeImage(w, h, 24);
    const std::size_t stride = static_cast<std::size_t>(bmp::Stride24(w));
    std::uint8_t* base = store.data() + bmp::kRows24Offset;
    int expected = 0;
    reader.ReadRows([&](int y) {
      if (y != expected++ || y >= h) std::abort();  // rows come once each, top row first
      return base + static_cast<std::size_t>(h - 1 - y) * stride;
    });
  } catch (const CodecError&) {
  }
  return 0;
}
