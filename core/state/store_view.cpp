#include "core/state/store_view.h"

#include <string>

#include "codecs/bmp_layout.h"
#include "core/state/state_error.h"

namespace tav1 {

StoreView ViewStore(const Store& s) {
  bmp::HeaderView h;
  if (!bmp::ReadHeader(s.data(), s.size(), h)) throw StateError("picture store is shorter than its headers");
  if (h.width <= 0 || h.height <= 0)
    throw StateError("picture store has no pixels (" + std::to_string(h.width) + " x " +
                     std::to_string(h.height) + ")");
  if ((h.bits != 8 && h.bits != 24) || h.compression != 0)
    throw StateError("picture store is not an uncompressed 8- or 24-bit picture");
  const std::uint64_t need = bmp::ImageBytes(h.width, h.height, h.bits);
  if (need > s.size()) throw StateError("picture store is shorter than its rows");
  StoreView v;
  v.width = h.width;
  v.height = h.height;
  v.bits = h.bits;
  v.stride = static_cast<std::size_t>(bmp::Stride(h.width, h.bits));
  v.rows = bmp::RowsOffset(h.bits);
  return v;
}

}  // namespace tav1
