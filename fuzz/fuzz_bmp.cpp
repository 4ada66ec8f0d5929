// BMP check and normalisation: any byte string either is refused with a reason
// or becomes a complete fixed-layout image that agrees with what ReadBmp reports.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "codecs/bmp_codec.h"
#include "core/image/working_image.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tav1;
  BmpReadResult r = ReadBmp(std::vector<std::uint8_t>(data, data + size), MaxSizeOfImage);
  if (r.refusal != BmpRefusal::None) {
    if (!r.image.empty()) std::abort();  // a refusal must not hand out a half-built image
    return 0;
  }
  if (r.bits != 8 && r.bits != 24) std::abort();
  if (r.width < 1 || r.width > MaxSizeOfImage || r.height < 1 || r.height > MaxSizeOfImage) std::abort();
  if (r.image.size() != bmp::ImageBytes(r.width, r.height, r.bits)) std::abort();
  // Throws if the header written disagrees with the bytes that follow it.
  const bmp::HeaderView h = CheckFixedImage(r.image);
  if (h.width != r.width || h.height != r.height || h.bits != r.bits) std::abort();
  // Touch the first and last byte of every row as a pixel pass would.
  const std::size_t stride = static_cast<std::size_t>(bmp::Stride(r.width, r.bits));
  const std::uint8_t* rows = r.image.data() + bmp::RowsOffset(r.bits);
  unsigned sum = 0;
  for (std::int64_t y = 0; y < r.height; ++y) sum += rows[y * stride] + rows[y * stride + stride - 1];
  if (r.bits == 8) sum += IsGrayRampPalette(r.image) ? 1 : 0;
  return static_cast<int>(sum & 0);
}
