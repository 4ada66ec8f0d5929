#include "ui/picture.h"

#include <cstring>

#include "codecs/bmp_layout.h"

namespace tav1 {

QImage ImageFromStore(const Store& bmp) {
  bmp::HeaderView h;
  if (!bmp::ReadHeader(bmp.data(), bmp.size(), h)) return {};
  if ((h.bits != 8 && h.bits != 24) || h.width <= 0 || h.height <= 0) return {};
  const std::uint64_t need = bmp::ImageBytes(h.width, h.height, h.bits);
  if (need == 0 || need > bmp.size()) return {};
  const auto stride = static_cast<std::size_t>(bmp::Stride(h.width, h.bits));
  const std::size_t rows = bmp::RowsOffset(h.bits);
  const int w = h.width;
  const int hgt = h.height;
  if (h.bits == 8) {
    QImage img(w, hgt, QImage::Format_Indexed8);
    QList<QRgb> table(256);
    for (int i = 0; i < 256; ++i) {
      const std::uint8_t* e = bmp.data() + bmp::kPaletteOffset + 4 * i;
      table[i] = qRgb(e[2], e[1], e[0]);
    }
    img.setColorTable(table);
    for (int y = 0; y < hgt; ++y) {
      // Row 0 of the picture is the last stored row.
      const std::uint8_t* src = bmp.data() + rows + static_cast<std::size_t>(hgt - 1 - y) * stride;
      std::memcpy(img.scanLine(y), src, static_cast<std::size_t>(w));
    }
    return img;
  }
  QImage img(w, hgt, QImage::Format_RGB888);
  for (int y = 0; y < hgt; ++y) {
    const std::uint8_t* src = bmp.data() + rows + static_cast<std::size_t>(hgt - 1 - y) * stride;
    std::uint8_t* dst = img.scanLine(y);
    for (int x = 0; x < w; ++x) {
      dst[3 * x] = src[3 * x + 2];
      dst[3 * x + 1] = src[3 * x + 1];
      dst[3 * x + 2] = src[3 * x];
    }
  }
  return img;
}

Store Store24FromImage(const QImage& image) {
  if (image.isNull()) return {};
  const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
  const int w = rgb.width();
  const int h = rgb.height();
  Store out = bmp::MakeImage(w, h, 24);
  if (out.empty()) return out;
  const auto stride = static_cast<std::size_t>(bmp::Stride24(w));
  for (int y = 0; y < h; ++y) {
    std::uint8_t* dst = out.data() + bmp::kRows24Offset + static_cast<std::size_t>(h - 1 - y) * stride;
    const std::uint8_t* src = rgb.constScanLine(y);
    for (int x = 0; x < w; ++x) {
      dst[3 * x] = src[3 * x + 2];
      dst[3 * x + 1] = src[3 * x + 1];
      dst[3 * x + 2] = src[3 * x];
    }
  }
  return out;
}

}  // namespace tav1
