#include "codecs/png_codec.h"

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>

#include "codecs/bmp_codec.h"
#include "codecs/bmp_test_files.h"
#include "codecs/file_io.h"

namespace {

using tav1::testfiles::BmpRecipe;
using tav1::testfiles::ExpectedFixed;

// A PNG written straight through libpng from rows given as they are stored.
struct PngRecipe {
  int width = 2;
  int height = 2;
  int colorType = PNG_COLOR_TYPE_RGB;
  int depth = 8;
  bool interlaced = false;
  std::vector<png_color> palette;
  std::vector<png_byte> trnsAlpha;  // palette transparency
  std::vector<std::vector<png_byte>> rows;
};

void Append(png_structp png, png_bytep data, png_size_t n) {
  auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + n);
}

std::vector<std::uint8_t> MakePng(const PngRecipe& s) {
  std::vector<std::uint8_t> out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_write_fn(png, &out, Append, nullptr);
  png_set_IHDR(png, info, s.width, s.height, s.depth, s.colorType,
               s.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (!s.palette.empty()) png_set_PLTE(png, info, s.palette.data(), static_cast<int>(s.palette.size()));
  if (!s.trnsAlpha.empty())
    png_set_tRNS(png, info, s.trnsAlpha.data(), static_cast<int>(s.trnsAlpha.size()), nullptr);
  png_write_info(png, info);
  const int passes = png_set_interlace_handling(png);
  for (int p = 0; p < passes; ++p)
    for (const auto& r : s.rows) png_write_row(png, r.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

// BGR of display pixel (x, y) of a decoded 24-bit store.
std::array<int, 3> At(const std::vector<std::uint8_t>& store, int x, int y) {
  const auto h = tav1::CheckFixedImage(store);
  const std::uint8_t* p =
      &store[54 + static_cast<std::size_t>(h.height - 1 - y) * tav1::bmp::Stride24(h.width) + 3 * x];
  return {p[0], p[1], p[2]};
}

using Bgr = std::array<int, 3>;

TEST(PngRead, EveryColourTypeBecomesStoredBgr) {
  struct Case {
    const char* name;
    PngRecipe recipe;
    Bgr first, last;  // pixels (0, 0) and (width - 1, height - 1)
  };
  PngRecipe rgba;
  rgba.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
  // A fully transparent pixel keeps its stored colour: no blending.
  rgba.rows = {{10, 20, 30, 0, 1, 2, 3, 255}, {4, 5, 6, 128, 200, 150, 100, 7}};
  PngRecipe rgb16;
  rgb16.colorType = PNG_COLOR_TYPE_RGB;
  rgb16.depth = 16;
  rgb16.width = 1;
  rgb16.height = 1;
  rgb16.rows = {{0x12, 0xFF, 0x34, 0x00, 0xAB, 0x80}};  // high bytes are kept
  PngRecipe gray1;
  gray1.colorType = PNG_COLOR_TYPE_GRAY;
  gray1.depth = 1;
  gray1.width = 3;
  gray1.height = 1;
  gray1.rows = {{0b10100000}};
  PngRecipe grayAlpha16;
  grayAlpha16.colorType = PNG_COLOR_TYPE_GRAY_ALPHA;
  grayAlpha16.depth = 16;
  grayAlpha16.width = 1;
  grayAlpha16.height = 1;
  grayAlpha16.rows = {{0x9A, 0x01, 0x00, 0x00}};
  PngRecipe pal;
  pal.colorType = PNG_COLOR_TYPE_PALETTE;
  pal.width = 2;
  pal.height = 1;
  pal.palette = {{255, 0, 0}, {1, 2, 3}};
  pal.trnsAlpha = {0, 0};  // both entries transparent; their colours stay
  pal.rows = {{1, 0}};
  PngRecipe pal4 = pal;
  pal4.depth = 4;
  pal4.trnsAlpha.clear();
  pal4.rows = {{0x01}};
  PngRecipe interlaced;
  interlaced.width = 9;
  interlaced.height = 9;
  interlaced.interlaced = true;
  for (int y = 0; y < 9; ++y) {
    std::vector<png_byte> r;
    for (int x = 0; x < 9; ++x) r.insert(r.end(), {png_byte(x), png_byte(y), png_byte(x * y)});
    interlaced.rows.push_back(r);
  }
  const Case cases[] = {
      {"RGBA", rgba, {30, 20, 10}, {100, 150, 200}},
      {"RGB 16-bit", rgb16, {0xAB, 0x34, 0x12}, {0xAB, 0x34, 0x12}},
      {"gray 1-bit", gray1, {255, 255, 255}, {255, 255, 255}},
      {"gray+alpha 16-bit", grayAlpha16, {0x9A, 0x9A, 0x9A}, {0x9A, 0x9A, 0x9A}},
      {"palette with tRNS", pal, {3, 2, 1}, {0, 0, 255}},
      {"palette 4-bit", pal4, {0, 0, 255}, {3, 2, 1}},
      {"Adam7 interlaced", interlaced, {0, 0, 0}, {64, 8, 8}},
  };
  for (const auto& c : cases) {
    const auto png = MakePng(c.recipe);
    std::vector<std::uint8_t> store;
    ASSERT_NO_THROW(store = tav1::DecodePngToStore(png.data(), png.size())) << c.name;
    EXPECT_EQ(tav1::CheckFixedImage(store).width, c.recipe.width) << c.name;
    EXPECT_EQ(At(store, 0, 0), c.first) << c.name;
    EXPECT_EQ(At(store, c.recipe.width - 1, c.recipe.height - 1), c.last) << c.name;
  }
  // Every pixel of the interlaced picture, not only the corners.
  const auto png = MakePng(interlaced);
  const auto store = tav1::DecodePngToStore(png.data(), png.size());
  for (int y = 0; y < 9; ++y)
    for (int x = 0; x < 9; ++x) ASSERT_EQ(At(store, x, y), (Bgr{x * y, y, x})) << x << "," << y;
}

void PatchIhdrSize(std::vector<std::uint8_t>& png, std::uint32_t w, std::uint32_t h) {
  for (int i = 0; i < 4; ++i) {
    png[16 + i] = static_cast<std::uint8_t>(w >> (24 - 8 * i));
    png[20 + i] = static_cast<std::uint8_t>(h >> (24 - 8 * i));
  }
  const std::uint32_t crc = static_cast<std::uint32_t>(crc32(0, &png[12], 17));
  for (int i = 0; i < 4; ++i) png[29 + i] = static_cast<std::uint8_t>(crc >> (24 - 8 * i));
}

TEST(PngRead, HeaderIsReadBeforeAnyPixelMemory) {
  PngRecipe s;
  s.rows = {{1, 2, 3, 4, 5, 6}, {7, 8, 9, 10, 11, 12}};
  auto png = MakePng(s);
  PatchIhdrSize(png, 64250, 3000000);
  const auto t0 = std::chrono::steady_clock::now();
  tav1::PngReader reader(png.data(), png.size());
  EXPECT_EQ(reader.Width(), 64250);
  EXPECT_EQ(reader.Height(), 3000000);
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(200));
}

TEST(PngRead, BrokenDataThrows) {
  PngRecipe s;
  s.rows = {{1, 2, 3, 4, 5, 6}, {7, 8, 9, 10, 11, 12}};
  const auto good = MakePng(s);
  const std::vector<std::uint8_t> notPng = {'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0};
  const std::vector<std::uint8_t> cutInHeader(good.begin(), good.begin() + 20);
  const std::vector<std::uint8_t> cutInData(good.begin(), good.end() - 20);
  auto badCrc = good;
  badCrc[30] ^= 0xFF;
  for (const std::vector<std::uint8_t>* bytes : {&notPng, &cutInHeader, &cutInData, &std::as_const(badCrc)})
    EXPECT_THROW(tav1::DecodePngToStore(bytes->data(), bytes->size()), tav1::CodecError);
}

std::vector<std::string> ChunkTypes(const std::vector<std::uint8_t>& png) {
  std::vector<std::string> types;
  for (std::size_t p = 8; p + 8 <= png.size();) {
    const std::uint32_t len = (png[p] << 24) | (png[p + 1] << 16) | (png[p + 2] << 8) | png[p + 3];
    const std::string t(png.begin() + static_cast<std::ptrdiff_t>(p + 4), png.begin() + static_cast<std::ptrdiff_t>(p + 8));
    if (types.empty() || types.back() != t) types.push_back(t);
    p += 12 + len;
  }
  return types;
}

TEST(PngWrite, WritesIndexedOrRgbWithOnlyTheFourChunks) {
  const auto dir = std::filesystem::temp_directory_path() / "tav1_png_write_test";
  std::filesystem::create_directories(dir);
  for (int bits : {8, 24}) {
    BmpRecipe s;
    s.bits = bits;
    s.width = 5;
    s.height = 17;
    const auto store = ExpectedFixed(s);
    const std::string path = (dir / ("p" + std::to_string(bits) + ".png")).string();
    int calls = 0;
    tav1::WritePng(path, store, [&] { ++calls; });
    EXPECT_GE(calls, 1);
    const auto png = tav1::ReadFileBytes(path);
    const std::vector<std::string> want =
        bits == 8 ? std::vector<std::string>{"IHDR", "PLTE", "IDAT", "IEND"}
                  : std::vector<std::string>{"IHDR", "IDAT", "IEND"};
    EXPECT_EQ(ChunkTypes(png), want) << bits;
    EXPECT_EQ(png[24], 8) << "bit depth";
    EXPECT_EQ(png[25], bits == 8 ? 3 : 2) << "colour type";
    EXPECT_EQ(png[28], 0) << "interlace";
    if (bits == 8) {
      const std::uint32_t plteLength = (png[33] << 24) | (png[34] << 16) | (png[35] << 8) | png[36];
      EXPECT_EQ(plteLength, 768u) << "256 palette entries";
    }
    // Decoding gives the picture back, the palette applied for 8-bit stores.
    const auto back = tav1::DecodePngToStore(png.data(), png.size());
    for (int y = 0; y < s.height; ++y)
      for (int x = 0; x < s.width; ++x) {
        std::uint8_t bgr[3];
        if (bits == 8)
          tav1::testfiles::PaletteBgr(tav1::testfiles::PixelIndex(x, y), false, bgr);
        else
          tav1::testfiles::PixelBgr(x, y, bgr);
        ASSERT_EQ(At(back, x, y), (Bgr{bgr[0], bgr[1], bgr[2]})) << bits << " " << x << "," << y;
      }
  }
  EXPECT_THROW(tav1::WritePng((dir / "no" / "x.png").string(), ExpectedFixed(BmpRecipe{})), tav1::CodecError);
  std::filesystem::remove_all(dir);
}

}  // namespace
