#include "codecs/jpeg_codec.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>

#include "codecs/bmp_codec.h"
#include "codecs/bmp_test_files.h"

namespace {

using tav1::testfiles::BmpRecipe;
using tav1::testfiles::ExpectedFixed;

// A flat picture written straight through libjpeg, for colour spaces the
// program's own encoder never produces.
std::vector<std::uint8_t> FlatJpeg(J_COLOR_SPACE space, int components, const std::uint8_t* sample, int w, int h) {
  jpeg_compress_struct c;
  jpeg_error_mgr err;
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  unsigned char* out = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&c, &out, &size);
  c.image_width = static_cast<JDIMENSION>(w);
  c.image_height = static_cast<JDIMENSION>(h);
  c.input_components = components;
  c.in_color_space = space;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, 100, TRUE);
  jpeg_start_compress(&c, TRUE);
  std::vector<JSAMPLE> row(static_cast<std::size_t>(w * components));
  for (int x = 0; x < w; ++x) std::memcpy(&row[static_cast<std::size_t>(x * components)], sample, components);
  while (c.next_scanline < c.image_height) {
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&c, &r, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  std::vector<std::uint8_t> bytes(out, out + size);
  std::free(out);
  return bytes;
}

// Replaces the frame size of a baseline or progressive JPEG.
void PatchFrameSize(std::vector<std::uint8_t>& jpg, int w, int h) {
  for (std::size_t i = 2; i + 9 < jpg.size(); ++i) {
    if (jpg[i] == 0xFF && (jpg[i + 1] == 0xC0 || jpg[i + 1] == 0xC2)) {
      jpg[i + 5] = static_cast<std::uint8_t>(h >> 8);
      jpg[i + 6] = static_cast<std::uint8_t>(h);
      jpg[i + 7] = static_cast<std::uint8_t>(w >> 8);
      jpg[i + 8] = static_cast<std::uint8_t>(w);
      return;
    }
  }
  FAIL() << "no frame header";
}

bool HasMarker(const std::vector<std::uint8_t>& jpg, std::uint8_t marker) {
  for (std::size_t i = 0; i + 1 < jpg.size(); ++i)
    if (jpg[i] == 0xFF && jpg[i + 1] == marker) return true;
  return false;
}

int MaxDiff(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b, std::size_t from) {
  int worst = 0;
  for (std::size_t i = from; i < a.size() && i < b.size(); ++i) worst = std::max(worst, std::abs(a[i] - b[i]));
  return worst;
}

// Blue grows to the right, green downwards, red is flat: smooth enough that
// quality 100 leaves only rounding noise.
std::vector<std::uint8_t> SmoothStore(int w, int h) {
  auto store = tav1::bmp::MakeImage(w, h, 24);
  const std::size_t stride = static_cast<std::size_t>(tav1::bmp::Stride24(w));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      std::uint8_t* p = &store[54 + static_cast<std::size_t>(h - 1 - y) * stride + 3 * x];
      p[0] = static_cast<std::uint8_t>(8 * x);
      p[1] = static_cast<std::uint8_t>(8 * y);
      p[2] = 128;
    }
  return store;
}

TEST(JpegCodec, EncodeThenDecodeKeepsTheSmoothPicture) {
  const auto store = SmoothStore(16, 16);
  for (bool progressive : {false, true}) {
    const auto jpg = tav1::EncodeJpeg(store, 100, progressive);
    EXPECT_EQ(HasMarker(jpg, 0xC2), progressive);
    EXPECT_EQ(HasMarker(jpg, 0xC0), !progressive);
    const auto back = tav1::DecodeJpegToStore(jpg);
    ASSERT_EQ(back.size(), store.size());
    const auto h = tav1::CheckFixedImage(back);
    EXPECT_EQ(h.width, 16);
    EXPECT_EQ(h.height, 16);
    EXPECT_EQ(h.bits, 24);
    // A swapped channel order or flipped rows would be off by 100 or more.
    EXPECT_LE(MaxDiff(store, back, 54), 6) << progressive;
  }
}

TEST(JpegCodec, QualityChangesTheEncoding) {
  BmpRecipe s;
  s.width = 64;
  s.height = 64;
  const auto store = ExpectedFixed(s);
  EXPECT_LT(tav1::EncodeJpeg(store, 10, false).size(), tav1::EncodeJpeg(store, 90, false).size());
  EXPECT_EQ(tav1::EncodeJpeg(store, 50, false), tav1::EncodeJpeg(store, 50, false));
}

TEST(JpegCodec, EightBitStoreIsExpandedThroughItsPalette) {
  BmpRecipe s;
  s.bits = 8;
  s.width = 8;
  s.height = 8;
  auto store = ExpectedFixed(s);
  // Every pixel uses index 5, whose palette colour is (B, G, R) = (30, 60, 90).
  std::memset(&store[1078], 5, store.size() - 1078);
  store[54 + 20] = 30;
  store[54 + 21] = 60;
  store[54 + 22] = 90;
  const auto back = tav1::DecodeJpegToStore(tav1::EncodeJpeg(store, 100, false));
  ASSERT_EQ(tav1::CheckFixedImage(back).bits, 24);
  const std::uint8_t* px = &back[54 + 3 * 4];
  EXPECT_NEAR(px[0], 30, 2);
  EXPECT_NEAR(px[1], 60, 2);
  EXPECT_NEAR(px[2], 90, 2);
}

TEST(JpegCodec, GrayAndCmykBecomeBgr) {
  const std::uint8_t gray[1] = {77};
  auto g = tav1::DecodeJpegToStore(FlatJpeg(JCS_GRAYSCALE, 1, gray, 8, 8));
  EXPECT_EQ(g[54], 77);
  EXPECT_EQ(g[55], 77);
  EXPECT_EQ(g[56], 77);
  // libjpeg marks CMYK files with the Adobe marker, whose samples are stored
  // inverted: (C, M, Y, K) = (200, 100, 50, 128) is red 200 * 128 / 255.
  const std::uint8_t cmyk[4] = {200, 100, 50, 128};
  auto c = tav1::DecodeJpegToStore(FlatJpeg(JCS_CMYK, 4, cmyk, 8, 8));
  EXPECT_NEAR(c[56], 100, 2);  // red
  EXPECT_NEAR(c[55], 50, 2);   // green
  EXPECT_NEAR(c[54], 25, 2);   // blue
}

TEST(JpegCodec, HeaderIsReadBeforeAnyPixelMemory) {
  BmpRecipe s;
  auto jpg = tav1::EncodeJpeg(ExpectedFixed(s), 80, false);
  PatchFrameSize(jpg, 64250, 64250);
  const auto t0 = std::chrono::steady_clock::now();
  tav1::JpegReader reader(jpg.data(), jpg.size());
  EXPECT_EQ(reader.Width(), 64250);
  EXPECT_EQ(reader.Height(), 64250);
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(200));
}

TEST(JpegCodec, BrokenDataThrowsInsteadOfEndingTheProcess) {
  const auto good = tav1::EncodeJpeg(ExpectedFixed(BmpRecipe{}), 80, false);
  const std::vector<std::uint8_t> empty;
  const std::vector<std::uint8_t> notJpeg = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  const std::vector<std::uint8_t> headerCut(good.begin(), good.begin() + 40);
  for (const auto* bytes : {&empty, &notJpeg, &headerCut})
    EXPECT_THROW(tav1::DecodeJpegToStore(*bytes), tav1::CodecError);
  auto badTable = good;
  PatchFrameSize(badTable, 0, 0);
  EXPECT_THROW(tav1::DecodeJpegToStore(badTable), tav1::CodecError);
  auto broken = ExpectedFixed(BmpRecipe{});
  broken.resize(60);
  EXPECT_THROW(tav1::EncodeJpeg(broken, 80, false), tav1::CodecError);
}

}  // namespace
