#include "codecs/bmp_codec.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "codecs/bmp_test_files.h"
#include "codecs/file_io.h"

namespace {

using tav1::BmpRefusal;
using tav1::ReadBmp;
using tav1::testfiles::BmpRecipe;
using tav1::testfiles::ExpectedFixed;
using tav1::testfiles::MakeBmpFile;

constexpr int kMax = 8000;

struct RefusalCase {
  const char* name;
  BmpRecipe recipe;
  BmpRefusal expected;
};

BmpRecipe With(void (*edit)(BmpRecipe&)) {
  BmpRecipe s;
  edit(s);
  return s;
}

TEST(BmpRead, RefusalsComeInCheckOrder) {
  const RefusalCase cases[] = {
      {"4-bit", With([](BmpRecipe& s) { s.bits = 4; }), BmpRefusal::BadBits},
      {"32-bit", With([](BmpRecipe& s) { s.bits = 32; }), BmpRefusal::BadBits},
      {"bits tested before compression", With([](BmpRecipe& s) { s.bits = 4; s.compression = 2; }),
       BmpRefusal::BadBits},
      {"RLE8", With([](BmpRecipe& s) { s.bits = 8; s.compression = 1; }), BmpRefusal::Compressed},
      {"bitfields 24-bit", With([](BmpRecipe& s) { s.compression = 3; }), BmpRefusal::Compressed},
      {"width 8001", With([](BmpRecipe& s) { s.width = 8001; s.height = 1; }), BmpRefusal::TooLarge},
      {"top-down height 8001", With([](BmpRecipe& s) { s.width = 1; s.height = -8001; }), BmpRefusal::TooLarge},
      {"width 0", With([](BmpRecipe& s) { s.width = 0; }), BmpRefusal::NotPositive},
      {"negative width", With([](BmpRecipe& s) { s.width = -3; }), BmpRefusal::NotPositive},
      {"height 0", With([](BmpRecipe& s) { s.height = 0; }), BmpRefusal::NotPositive},
      {"colours used 0 is not read as 256", With([](BmpRecipe& s) { s.bits = 8; s.colorsUsed = 0; }),
       BmpRefusal::FewColours},
      {"colours used 255", With([](BmpRecipe& s) { s.bits = 8; s.colorsUsed = 255; s.tableEntries = 255; }),
       BmpRefusal::FewColours},
      {"colours used 256 but room for 252",
       With([](BmpRecipe& s) { s.bits = 8; s.colorsUsed = 256; s.tableEntries = 252; }), BmpRefusal::FewColours},
      {"OS/2 palette of 252", With([](BmpRecipe& s) { s.bits = 8; s.headerSize = 12; s.tableEntries = 252; }),
       BmpRefusal::FewColours},
      {"rows cut short", With([](BmpRecipe& s) { s.truncateBy = 4; }), BmpRefusal::ShortRows},
      {"8-bit rows cut short", With([](BmpRecipe& s) { s.bits = 8; s.truncateBy = 4; }), BmpRefusal::ShortRows},
      {"header size 66", With([](BmpRecipe& s) { s.headerSize = 66; }), BmpRefusal::UnknownHeader},
  };
  for (const auto& c : cases) {
    const auto r = ReadBmp(MakeBmpFile(c.recipe), kMax);
    EXPECT_EQ(r.refusal, c.expected) << c.name;
    EXPECT_TRUE(r.image.empty()) << c.name;
  }
}

TEST(BmpRead, FilesShorterThanTheirHeadersAreRefused) {
  const auto good = MakeBmpFile(BmpRecipe{});
  for (std::size_t len : {std::size_t{0}, std::size_t{10}, std::size_t{17}, std::size_t{53}}) {
    const std::vector<std::uint8_t> cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(len));
    EXPECT_EQ(ReadBmp(cut, kMax).refusal, BmpRefusal::ShortHeader) << len;
  }
  // A 1-row picture whose file ends before its 256-entry table.
  BmpRecipe s;
  s.bits = 8;
  auto f = MakeBmpFile(s);
  f.resize(54 + 1000);
  EXPECT_NE(ReadBmp(f, kMax).refusal, BmpRefusal::None);
}

struct VariantCase {
  const char* name;
  BmpRecipe recipe;
};

TEST(BmpRead, HeaderVariantsBecomeTheFixedLayout) {
  const VariantCase cases[] = {
      {"plain 24-bit", With([](BmpRecipe& s) { (void)s; })},
      {"plain 8-bit", With([](BmpRecipe& s) { s.bits = 8; })},
      {"24-bit top-down", With([](BmpRecipe& s) { s.height = -5; s.width = 5; })},
      {"8-bit top-down", With([](BmpRecipe& s) { s.bits = 8; s.height = -3; })},
      {"8-bit V5 header", With([](BmpRecipe& s) { s.bits = 8; s.headerSize = 124; })},
      {"24-bit V4 header", With([](BmpRecipe& s) { s.headerSize = 108; })},
      {"24-bit 52-byte header", With([](BmpRecipe& s) { s.headerSize = 52; })},
      {"24-bit 56-byte header top-down", With([](BmpRecipe& s) { s.headerSize = 56; s.height = -4; })},
      {"8-bit OS/2 core header", With([](BmpRecipe& s) { s.bits = 8; s.headerSize = 12; })},
      {"24-bit OS/2 core header", With([](BmpRecipe& s) { s.headerSize = 12; s.width = 2; })},
      {"8-bit OS/2 16-byte header", With([](BmpRecipe& s) { s.bits = 8; s.headerSize = 16; })},
      {"8-bit OS/2 64-byte header", With([](BmpRecipe& s) { s.bits = 8; s.headerSize = 64; })},
      {"8-bit table of 300 entries", With([](BmpRecipe& s) { s.bits = 8; s.colorsUsed = 300; s.tableEntries = 300; })},
      {"24-bit with a colour table", With([](BmpRecipe& s) { s.colorsUsed = 16; s.tableEntries = 16; })},
      {"rows after a gap", With([](BmpRecipe& s) { s.bits = 8; s.gap = 37; })},
      {"1 x 1 8-bit", With([](BmpRecipe& s) { s.bits = 8; s.width = 1; s.height = 1; })},
  };
  for (const auto& c : cases) {
    const auto r = ReadBmp(MakeBmpFile(c.recipe), kMax);
    ASSERT_EQ(r.refusal, BmpRefusal::None) << c.name;
    const auto want = ExpectedFixed(c.recipe);
    ASSERT_EQ(r.image.size(), want.size()) << c.name;
    tav1::bmp::HeaderView h;
    ASSERT_TRUE(tav1::bmp::ReadHeader(r.image.data(), r.image.size(), h));
    EXPECT_EQ(h.width, c.recipe.width) << c.name;
    EXPECT_EQ(h.height, c.recipe.height < 0 ? -c.recipe.height : c.recipe.height) << c.name;
    EXPECT_EQ(h.bits, c.recipe.bits) << c.name;
    EXPECT_EQ(r.width, h.width) << c.name;
    EXPECT_EQ(r.height, h.height) << c.name;
    EXPECT_EQ(tav1::bmp::Get32(&r.image[14]), 40u) << c.name;
    // Palette (8-bit) and rows, padding included, sit at the fixed offsets.
    EXPECT_TRUE(std::equal(want.begin() + 54, want.end(), r.image.begin() + 54)) << c.name;
  }
}

TEST(BmpRead, FixedLayoutFileIsTakenOverAsRead) {
  BmpRecipe s;
  s.bits = 8;
  s.colorsUsed = 256;
  auto file = MakeBmpFile(s);
  file[6] = 0x5A;  // a reserved byte of the file header: kept as read
  const auto r = ReadBmp(file, kMax);
  ASSERT_EQ(r.refusal, BmpRefusal::None);
  EXPECT_EQ(r.image, file);
  // Trailing bytes are dropped; a last row without its padding is completed with zeros.
  auto longer = file;
  longer.push_back(7);
  EXPECT_EQ(ReadBmp(longer, kMax).image, file);
  BmpRecipe one;  // 3 x 2 24-bit: stride 12, 9 bytes of pixels per row
  auto cut = MakeBmpFile(one);
  cut.resize(cut.size() - 3);
  const auto rc = ReadBmp(cut, kMax);
  ASSERT_EQ(rc.refusal, BmpRefusal::None);
  EXPECT_EQ(rc.image.size(), cut.size() + 3);
}

TEST(BmpRead, SidesOfExactlyTheLimitAreAccepted) {
  BmpRecipe s;
  s.width = kMax;
  s.height = 1;
  const auto r = ReadBmp(MakeBmpFile(s), kMax);
  ASSERT_EQ(r.refusal, BmpRefusal::None);
  EXPECT_EQ(r.image.size(), 54u + 24000u);
}

TEST(BmpRead, GrayRampIsExactlyTheIdentityPalette) {
  BmpRecipe s;
  s.bits = 8;
  s.grayRamp = true;
  auto img = ReadBmp(MakeBmpFile(s), kMax).image;
  EXPECT_TRUE(tav1::IsGrayRampPalette(img));
  img[54 + 4 * 200 + 3] = 99;  // the reserved byte does not count
  EXPECT_TRUE(tav1::IsGrayRampPalette(img));
  img[54 + 4 * 255 + 2] = 254;  // red of the last entry
  EXPECT_FALSE(tav1::IsGrayRampPalette(img));
  s.grayRamp = false;
  EXPECT_FALSE(tav1::IsGrayRampPalette(ReadBmp(MakeBmpFile(s), kMax).image));
}

TEST(BmpWrite, WritesTheFixedLayoutWithFreshHeaders) {
  const auto dir = std::filesystem::temp_directory_path() / "tav1_bmp_write_test";
  std::filesystem::create_directories(dir);
  for (int bits : {8, 24}) {
    BmpRecipe s;
    s.bits = bits;
    s.width = 5;
    auto store = ExpectedFixed(s);
    tav1::bmp::Put32(&store[46], 12);  // stale header fields are not copied out
    const std::string path = (dir / ("w" + std::to_string(bits) + ".bmp")).string();
    tav1::WriteBmp(path, store);
    const auto file = tav1::ReadFileBytes(path);
    ASSERT_EQ(file.size(), store.size()) << bits;
    EXPECT_EQ(file[0], 'B');
    EXPECT_EQ(file[1], 'M');
    EXPECT_EQ(tav1::bmp::Get32(&file[2]), file.size());
    EXPECT_EQ(tav1::bmp::Get32(&file[10]), bits == 8 ? 1078u : 54u);
    EXPECT_EQ(tav1::bmp::Get32(&file[14]), 40u);
    EXPECT_EQ(tav1::bmp::Get32(&file[46]), bits == 8 ? 256u : 0u);
    EXPECT_TRUE(std::equal(store.begin() + 54, store.end(), file.begin() + 54)) << bits;
    EXPECT_EQ(ReadBmp(file, kMax).image, file) << bits;
  }
  auto broken = ExpectedFixed(BmpRecipe{});
  broken.resize(broken.size() - 1);
  EXPECT_THROW(tav1::WriteBmp((dir / "x.bmp").string(), broken), tav1::CodecError);
  EXPECT_FALSE(std::filesystem::exists(dir / "x.bmp"));
  std::filesystem::remove_all(dir);
}

}  // namespace
