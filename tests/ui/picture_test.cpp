// Store <-> QImage conversions: bottom-up rows, row padding and the palette.
#include <gtest/gtest.h>

#include "codecs/bmp_layout.h"
#include "ui/picture.h"

namespace tav1 {
namespace {

std::uint8_t* Row(Store& s, int bits, int w, int h, int y) {
  return s.data() + bmp::RowsOffset(bits) + static_cast<std::size_t>(h - 1 - y) * bmp::Stride(w, bits);
}

TEST(PictureTest, PaddedRowsReadBottomUpForBothDepths) {
  // Widths 1..5 cover every row padding of both depths.
  for (int w = 1; w <= 5; ++w) {
    const int h = 2;
    Store s24 = bmp::MakeImage(w, h, 24);
    Store s8 = bmp::MakeImage(w, h, 8);
    for (int i = 0; i < 256; ++i) {  // palette entry i: blue i, green 255 - i, red 7
      std::uint8_t* e = s8.data() + 54 + 4 * i;
      e[0] = static_cast<std::uint8_t>(i);
      e[1] = static_cast<std::uint8_t>(255 - i);
      e[2] = 7;
    }
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        std::uint8_t* p = Row(s24, 24, w, h, y) + 3 * x;
        p[0] = static_cast<std::uint8_t>(x);       // blue
        p[1] = static_cast<std::uint8_t>(y);       // green
        p[2] = static_cast<std::uint8_t>(100 + x); // red
        Row(s8, 8, w, h, y)[x] = static_cast<std::uint8_t>(10 * x + y);
      }
    const QImage i24 = ImageFromStore(s24);
    const QImage i8 = ImageFromStore(s8);
    ASSERT_EQ(i24.size(), QSize(w, h));
    ASSERT_EQ(i8.format(), QImage::Format_Indexed8);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        EXPECT_EQ(i24.pixel(x, y), qRgb(100 + x, y, x)) << w << " " << x << "," << y;
        const int idx = 10 * x + y;
        EXPECT_EQ(i8.pixel(x, y), qRgb(7, 255 - idx, idx)) << w << " " << x << "," << y;
      }
    // Back to a 24-bit store: the same bytes as the original, padding included.
    EXPECT_EQ(Store24FromImage(i24), s24) << w;
  }
}

TEST(PictureTest, ShortOrUnsupportedStoresGiveNoPicture) {
  Store cut = bmp::MakeImage(4, 4, 24);
  cut.resize(cut.size() - 1);
  Store fourBit = bmp::MakeImage(4, 4, 24);
  bmp::Put16(fourBit.data() + 28, 4);
  for (const Store& s : {Store{}, cut, fourBit}) EXPECT_TRUE(ImageFromStore(s).isNull());
  EXPECT_TRUE(Store24FromImage(QImage()).empty());
}

}  // namespace
}  // namespace tav1
