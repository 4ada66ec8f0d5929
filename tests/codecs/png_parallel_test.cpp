// The strip-parallel PNG writer: standard files that decode to the source
// pixels, no larger than the plain writer's, the same bytes on any number of
// threads.
#include "codecs/png_parallel.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "codecs/bmp_layout.h"
#include "codecs/file_io.h"
#include "codecs/png_codec.h"

namespace tav1 {
namespace {

// Photo-like: smooth shading, edges and a little noise (odd width: padded rows).
std::vector<std::uint8_t> Picture24(int w, int h) {
  const std::size_t stride = static_cast<std::size_t>(bmp::Stride24(w));
  std::vector<std::uint8_t> s(54 + stride * h, 0xEE);  // padding bytes must not leak
  bmp::WriteHeaders(s.data(), w, h, 24);
  std::uint32_t rng = 12345;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      rng = rng * 1664525u + 1013904223u;
      const int n = static_cast<int>(rng >> 29) - 4;
      std::uint8_t* p = s.data() + 54 + y * stride + 3 * x;
      const int edge = ((x / 37 + y / 23) & 1) * 60;
      p[0] = static_cast<std::uint8_t>(std::clamp(x * 200 / w + n + edge / 2, 0, 255));
      p[1] = static_cast<std::uint8_t>(std::clamp(y * 180 / h + n, 0, 255));
      p[2] = static_cast<std::uint8_t>(std::clamp(128 + static_cast<int>(90 * std::sin(x * 0.02 + y * 0.013)) + edge, 0, 255));
    }
  return s;
}

std::vector<std::uint8_t> Picture8(int w, int h) {
  const std::size_t stride = static_cast<std::size_t>(bmp::Stride08(w));
  std::vector<std::uint8_t> s(1078 + stride * h, 0);
  bmp::WriteHeaders(s.data(), w, h, 8);
  for (int i = 0; i < 256; ++i) {
    s[54 + 4 * i] = static_cast<std::uint8_t>(i);
    s[55 + 4 * i] = static_cast<std::uint8_t>(255 - i);
    s[56 + 4 * i] = static_cast<std::uint8_t>(i * 7);
  }
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) s[1078 + y * stride + x] = static_cast<std::uint8_t>((x / 3) ^ (y / 5));
  return s;
}

// Pixels of a decoded 24-bit store against the source (8-bit through its palette).
void ExpectSamePixels(const std::vector<std::uint8_t>& src, const std::vector<std::uint8_t>& decoded) {
  bmp::HeaderView h, d;
  ASSERT_TRUE(bmp::ReadHeader(src.data(), src.size(), h));
  ASSERT_TRUE(bmp::ReadHeader(decoded.data(), decoded.size(), d));
  ASSERT_EQ(d.width, h.width);
  ASSERT_EQ(d.height, h.height);
  const std::size_t ss = bmp::Stride(h.width, h.bits), ds = bmp::Stride24(h.width);
  for (int y = 0; y < h.height; ++y)
    for (int x = 0; x < h.width; ++x) {
      const std::uint8_t* want = h.bits == 8 ? src.data() + 54 + 4 * src[1078 + y * ss + x]
                                             : src.data() + 54 + y * ss + 3 * x;
      const std::uint8_t* got = decoded.data() + 54 + y * ds + 3 * x;
      ASSERT_TRUE(want[0] == got[0] && want[1] == got[1] && want[2] == got[2]) << x << "," << y;
    }
}

TEST(PngParallel, DecodesToTheSourcePixelsAcrossStripsAndDepths) {
  struct Case { const char* name; std::vector<std::uint8_t> store; int stripRows; } cases[] = {
      {"24-bit, many strips", Picture24(301, 257), 16},
      {"24-bit, one row per strip", Picture24(7, 9), 1},
      {"24-bit, one strip", Picture24(64, 3), 0},
      {"24-bit, rows longer than 16 KB (the smaller window)", Picture24(6000, 40), 7},
      {"8-bit palette", Picture8(203, 150), 32},
      {"1 x 1", Picture24(1, 1), 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<std::uint8_t> png = EncodePngParallel(c.store, {}, 2, c.stripRows);
    ExpectSamePixels(c.store, DecodePngToStore(png.data(), png.size()));
  }
}

TEST(PngParallel, SameBytesOnOneOrTwoThreadsAndAtMostOnePercentAboveThePlainWriter) {
  const std::vector<std::uint8_t> pic = Picture24(600, 400);
  const std::vector<std::uint8_t> one = EncodePngParallel(pic, {}, 1, 48);
  const std::vector<std::uint8_t> two = EncodePngParallel(pic, {}, 2, 48);
  EXPECT_TRUE(one == two);

  char dir[] = "/tmp/tav1-png-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string plainPath = std::string(dir) + "/plain.png";
  const std::string fastPath = std::string(dir) + "/fast.png";
  WritePng(plainPath, pic);
  int progress = 0;
  WritePngParallel(fastPath, pic, [&](double) { ++progress; });
  const std::size_t plain = ReadFileBytes(plainPath).size();
  const std::vector<std::uint8_t> fast = ReadFileBytes(fastPath);
  EXPECT_LE(static_cast<double>(fast.size()), 1.01 * static_cast<double>(plain)) << fast.size() << " vs " << plain;
  ExpectSamePixels(pic, DecodePngToStore(fast.data(), fast.size()));
  std::remove(plainPath.c_str());
  std::remove(fastPath.c_str());
  rmdir(dir);
}

TEST(PngParallel, InvalidStoreIsRefused) {
  std::vector<std::uint8_t> cut = Picture24(10, 10);
  cut.resize(cut.size() - 1);
  EXPECT_THROW(EncodePngParallel(cut), CodecError);
}

}  // namespace
}  // namespace tav1
