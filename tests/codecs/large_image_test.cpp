#include "codecs/large_image.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "codecs/bmp_layout.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

// Sizes on both sides of the point where the two-thread path begins, odd
// widths included (their rows end in zero padding).
TEST(LargeImage, MakesTheSameStoreAsMakeImage) {
  struct Size {
    int w, h, bits;
  };
  for (const Size s : {Size{5, 3, 24}, Size{7, 2, 8}, Size{1201, 1300, 24}, Size{2501, 1700, 8}}) {
    const Bytes fast = tav1::bmp::MakeLargeImage(s.w, s.h, s.bits);
    EXPECT_TRUE(fast == tav1::bmp::MakeImage(s.w, s.h, s.bits)) << s.w << " x " << s.h << " x " << s.bits;
  }
  EXPECT_TRUE(tav1::bmp::MakeLargeImage(0, 5, 24).empty());
}

TEST(LargeImage, CopyIsExactWhateverTheTargetHeld) {
  Bytes src(6u << 20);
  for (std::size_t i = 0; i < src.size(); ++i) src[i] = static_cast<std::uint8_t>(i * 131 + (i >> 13));
  const Bytes small(100, 9);
  const Bytes larger(src.size() + 12345, 7);
  for (const Bytes& before : {Bytes{}, small, Bytes(src.size(), 1), larger}) {
    Bytes dst = before;
    tav1::bmp::CopyLarge(dst, src);
    EXPECT_TRUE(dst == src) << "target of " << before.size() << " bytes";
  }
  Bytes dst = larger;
  tav1::bmp::CopyLarge(dst, small);  // below the threshold: a plain copy
  EXPECT_EQ(dst, small);
}

}  // namespace
