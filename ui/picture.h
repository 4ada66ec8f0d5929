// Conversions between the program's fixed-layout BMP stores and Qt images, for
// showing a store in a window and for the clipboard.
#pragma once

#include <QImage>

#include "core/image/working_image.h"

namespace tav1 {

// The picture of a fixed-layout store (8-bit with its palette as an indexed
// image, 24-bit as RGB888); a null image when the store is too short for its
// header's geometry or not 8/24 bits.
QImage ImageFromStore(const Store& bmp);

// Any picture as a 24-bit fixed-layout store (palette pictures are expanded,
// transparency is dropped). An empty store for a null image.
Store Store24FromImage(const QImage& image);

}  // namespace tav1
