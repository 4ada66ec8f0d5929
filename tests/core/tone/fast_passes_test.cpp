// The two-thread passes and the byte lookup kernels against the plain ones.
#include "core/tone/fast_passes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "codecs/bmp_layout.h"
#include "core/tone/fast_map.h"
#include "core/tone/fast_rows.h"
#include "core/tone/passes.h"
#include "core/tone/satu.h"

namespace tav1 {
namespace {

ToneTables Scrambled() {
  ToneTables t{};
  for (int i = 0; i < 256; ++i) {
    t.TableR[i] = static_cast<std::uint8_t>((i * 167 + 13) & 255);
    t.TableG[i] = static_cast<std::uint8_t>(255 - i);
    t.TableB[i] = static_cast<std::uint8_t>((i * i) >> 8);
  }
  return t;
}

// A store in the fixed layout with every byte (padding included) filled.
Store MakeStore(int width, int height, int bits) {
  const Geometry g = Geometry::From(width, height);
  const std::size_t base = bmp::RowsOffset(bits);
  const std::size_t stride = bits == 8 ? g.XBytes08 : g.XBytes24;
  Store s(base + stride * height);
  for (std::size_t i = 0; i < s.size(); ++i) s[i] = static_cast<std::uint8_t>((i * 2654435761u) >> 13);
  return s;
}

// Lengths around the 64-byte groups and the 16-pixel solo groups.
TEST(FastMap, KernelsMatchPlainLoopsInPlaceAndApart) {
  const ToneTables t = Scrambled();
  for (int width : {1, 5, 16, 21, 22, 43, 64, 100, 1001}) {
    std::vector<std::uint8_t> in(3 * width + 70);
    for (std::size_t i = 0; i < in.size(); ++i) in[i] = static_cast<std::uint8_t>(i * 37 + width);
    std::vector<std::uint8_t> want = in, got = in, inplace = in;
    for (int x = 0; x < width; ++x) {
      want[3 * x] = t.TableB[in[3 * x]];
      want[3 * x + 1] = t.TableG[in[3 * x + 1]];
      want[3 * x + 2] = t.TableR[in[3 * x + 2]];
    }
    fast::MapRow24(in.data(), got.data(), width, t);
    fast::MapRow24(inplace.data(), inplace.data(), width, t);
    EXPECT_EQ(got, want) << "MapRow24 width " << width;
    EXPECT_EQ(inplace, want) << "MapRow24 in place, width " << width;

    for (int byte = 0; byte < 3; ++byte) {
      const std::uint8_t* table = t.ForChannel(2 - byte);
      want = in;
      for (int x = 0; x < width; ++x) want[3 * x] = want[3 * x + 1] = want[3 * x + 2] = table[in[3 * x + byte]];
      got = in;
      fast::SoloRow24(got.data(), got.data(), width, table, byte);
      EXPECT_EQ(got, want) << "SoloRow24 width " << width << " byte " << byte;
    }

    want = in;
    for (int i = 0; i < width; ++i) want[i] = t.TableG[in[i]];
    got = in;
    fast::MapBytes(in.data(), got.data(), width, t.TableG);
    EXPECT_EQ(got, want) << "MapBytes n " << width;
  }
}

struct Recorder {
  std::vector<std::string> texts;
  int pumps = 0;
  bool offThread = false;
  std::thread::id caller = std::this_thread::get_id();
  PassHooks Hooks() {
    PassHooks h;
    h.pump = [this] {
      ++pumps;
      if (std::this_thread::get_id() != caller) offThread = true;
    };
    h.status = [this](const std::string& s) { texts.push_back(s); };
    return h;
  }
};

// Whole stores, padding included, against the plain passes; widths with 1, 2
// and 3 padding bytes, and a picture tall enough for several rounds.
TEST(FastPasses, StoresEqualPlainPassesForEverySettingKind) {
  const ToneTables t = Scrambled();
  struct Size { int w, h; } sizes[] = {{1, 1}, {37, 50}, {130, 90}, {5, 3}};
  for (const Size& sz : sizes) {
    const Geometry geo = Geometry::From(sz.w, sz.h);
    const Store src = MakeStore(sz.w, sz.h, 24);
    for (int slider : {10, 0, 15, 100}) {
      for (int damp = 0; damp < 4; ++damp) {
        Store got(src.size(), 0);
        Recorder rec;
        const int rows = fast::Apply24AllRows(src, got, geo, t, SatuFactor24(slider), damp & 1, damp & 2, rec.Hooks());
        EXPECT_EQ(rows, sz.h);
        // The plain row kernel is the definition; compare with it row by row.
        Store ref = got;
        for (int r = 0; r < sz.h; ++r) {
          const std::size_t off = 54 + static_cast<std::size_t>(r) * geo.XBytes24;
          Apply24AllRow(reinterpret_cast<const TTriple*>(src.data() + off),
                        reinterpret_cast<TTriple*>(ref.data() + off), sz.w, t, SatuFactor24(slider),
                        damp & 1, damp & 2);
          std::copy(src.begin() + off + 3 * sz.w, src.begin() + off + geo.XBytes24, ref.begin() + off + 3 * sz.w);
        }
        EXPECT_TRUE(got == ref) << sz.w << "x" << sz.h << " slider " << slider << " damping " << damp;
        EXPECT_GE(rec.pumps, 1);
        EXPECT_FALSE(rec.offThread);
      }
    }
  }
}

// The solo view shows every progress count of the plain pass, in order, and
// pumps only on the calling thread.
TEST(FastPasses, SoloProgressTextsAndPixelsMatchPlainPass) {
  const ToneTables t = Scrambled();
  for (int h : {100, 15, 1500}) {
    const int w = 203;
    const Geometry geo = Geometry::From(w, h);
    const Store src = MakeStore(w, h, 24);
    for (int c = 0; c < 3; ++c) {
      Store want = MakeStore(w, h, 24), got = want;
      Recorder plain, fastRec;
      Apply24Solo(src, want, geo, t, static_cast<std::uint8_t>(c), plain.Hooks());
      fast::Apply24SoloRows(src, got, geo, t, c, fastRec.Hooks());
      plain.texts.pop_back();  // the closing 20 spaces are the caller's
      EXPECT_EQ(fastRec.texts, plain.texts) << "height " << h;
      EXPECT_TRUE(got == want) << "height " << h << " channel " << c;
      EXPECT_FALSE(fastRec.offThread);
      if (h == 100) {
        ASSERT_EQ(fastRec.texts.size(), 6u);
        EXPECT_EQ(fastRec.texts.front(), "のこり 84 ライン");
        EXPECT_EQ(fastRec.texts.back(), "のこり 4 ライン");
      }
    }
  }
}

TEST(FastPasses, GreyRampRowsAndShortStoresStopWhereThePlainPassStops) {
  const ToneTables t = Scrambled();
  const int w = 77, h = 40;
  const Geometry geo = Geometry::From(w, h);
  const Store src = MakeStore(w, h, 8);
  Store want = MakeStore(w, h, 8), got = want;
  Apply8All_SatuUp(src, want, geo, true, t, 10, false, false);
  EXPECT_EQ(fast::Apply8GrayRows(src, got, geo, t), h);
  EXPECT_TRUE(got == want);

  // A result store that holds 12 rows and a bit: rows 0..11 only.
  const Store src24 = MakeStore(w, h, 24);
  Store shortDst(54 + 12 * geo.XBytes24 + 5, 0);
  Store shortRef = shortDst;
  const PassResult plain = Apply24All_SatuUp(src24, shortRef, geo, t, 37, true, false);
  EXPECT_EQ(fast::Apply24AllRows(src24, shortDst, geo, t, SatuFactor24(37), true, false, {}), plain.rows);
  EXPECT_EQ(plain.rows, 12);
  EXPECT_TRUE(shortDst == shortRef);
}

// Rounds give every item exactly once, in prefix order, and stop on request.
TEST(FastRows, RoundsCoverEveryItemOnceAndStopWhenAsked) {
  for (int helpers : {0, 1}) {
    std::vector<int> hits(1000, 0);
    std::vector<int> dones;
    const int n = fast::RunInRounds(1000, 64, [&](int b, int e) { for (int i = b; i < e; ++i) ++hits[i]; },
                                    [&](int d) { dones.push_back(d); return true; }, helpers);
    EXPECT_EQ(n, 1000);
    EXPECT_EQ(std::count(hits.begin(), hits.end(), 1), 1000);
    EXPECT_TRUE(std::is_sorted(dones.begin(), dones.end()));
    EXPECT_EQ(dones.back(), 1000);
    const int stopped = fast::RunInRounds(1000, 64, [](int, int) {}, [](int d) { return d < 300; }, helpers);
    EXPECT_GE(stopped, 300);
    EXPECT_LT(stopped, 1000);
  }
}

}  // namespace
}  // namespace tav1
