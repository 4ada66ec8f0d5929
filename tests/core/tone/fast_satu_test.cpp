// The fast saturation rows against the scalar reference SatuUpTriple.
#include "core/tone/fast_satu.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "core/tone/passes.h"
#include "core/tone/satu.h"

namespace tav1 {
namespace {

constexpr int kSliders[] = {0, 3, 5, 9, 11, 15, 20, 37, 50, 100};

struct Config {
  int slider;
  bool palette;  // double-precision S (palette pass) instead of the 24-bit float S
  bool byKido;
  bool bySatu;
  double S() const { return palette ? SatuFactorPalette(slider) : SatuFactor24(slider); }
  std::string Name() const {
    char buf[96];
    std::snprintf(buf, sizeof buf, "slider %d, %s S, lum %d, sat %d", slider,
                  palette ? "double" : "float", byKido, bySatu);
    return buf;
  }
};

std::vector<Config> AllConfigs() {
  std::vector<Config> out;
  for (int s : kSliders)
    for (int prec = 0; prec < 2; ++prec)
      for (int damp = 0; damp < 4; ++damp) out.push_back({s, prec == 1, (damp & 1) != 0, (damp & 2) != 0});
  return out;
}

// Runs every colour (R, G, b) with b in bValues(R, G) through the row kernel
// and the reference; returns the number of mismatches and reports the first.
long SweepRed(const Config& c, const fast::SatuPlan& plan, int R, int bStep, std::string& first) {
  std::vector<TTriple> in, out;
  in.reserve(256 * 256);
  for (int G = 0; G < 256; ++G)
    for (int B = (R * 7 + G * 13) % bStep; B < 256; B += bStep)
      in.push_back(TTriple{static_cast<std::uint8_t>(B), static_cast<std::uint8_t>(G),
                           static_cast<std::uint8_t>(R)});
  out.resize(in.size());
  fast::SatuRowMapped(in.data(), out.data(), static_cast<int>(in.size()), plan);
  long bad = 0;
  for (std::size_t i = 0; i < in.size(); ++i) {
    const TTriple want = SatuUpTriple(in[i].R, in[i].G, in[i].B, c.S(), c.byKido, c.bySatu);
    if (want.R != out[i].R || want.G != out[i].G || want.B != out[i].B) {
      if (bad++ == 0) {
        char buf[160];
        std::snprintf(buf, sizeof buf, "(%d,%d,%d) gave (%d,%d,%d), reference (%d,%d,%d)", in[i].R,
                      in[i].G, in[i].B, out[i].R, out[i].G, out[i].B, want.R, want.G, want.B);
        first = buf;
      }
    }
  }
  return bad;
}

void Sweep(int bStep, int threads) {
  for (const Config& c : AllConfigs()) {
    const fast::SatuPlan plan(c.S(), c.byKido, c.bySatu);
    std::atomic<long> bad{0};
    std::atomic<int> nextRed{0};
    std::vector<std::string> first(threads);
    auto work = [&](int t) {
      for (int R; (R = nextRed.fetch_add(1)) < 256;) bad += SweepRed(c, plan, R, bStep, first[t]);
    };
    std::vector<std::thread> pool;
    for (int t = 1; t < threads; ++t) pool.emplace_back(work, t);
    work(0);
    for (auto& th : pool) th.join();
    std::string msg;
    for (auto& f : first)
      if (!f.empty()) msg = f;
    EXPECT_EQ(bad.load(), 0) << c.Name() << ": " << msg;
  }
}

// Every kernel this CPU can run, on a sample of the colours.
TEST(FastSatu, SampledColoursMatchReferenceInEveryConfigurationAndKernel) {
  for (fast::SatuKernel k : {fast::SatuKernel::Scalar, fast::SatuKernel::Avx2, fast::SatuKernel::Avx512}) {
    if (!fast::UseSatuKernel(k)) continue;
    SCOPED_TRACE(static_cast<int>(k));
    Sweep(k == fast::SatuKernel::Scalar ? 997 : 211, 1);
  }
  fast::UseSatuKernel(fast::SatuKernel::Auto);
}

// Every one of the 2^24 colours; run by the "full" test label.
TEST(FastSatuFullSweep, DISABLED_EveryColourMatchesReferenceInEveryConfiguration) {
  const unsigned hw = std::thread::hardware_concurrency();
  Sweep(1, hw >= 2 ? 2 : 1);
}

// The plan picks the cheapest form that is still exact.
TEST(FastSatu, PlanKindFollowsSliderAndDamping) {
  struct Case {
    int slider;
    bool kido, satu;
    fast::SatuPlan::Kind want;
  } cases[] = {
      {10, true, true, fast::SatuPlan::Kind::TableOnly},
      {5, true, true, fast::SatuPlan::Kind::Const},  // a cut ignores the damping
      {15, false, false, fast::SatuPlan::Kind::Const},
      {15, true, false, fast::SatuPlan::Kind::ByLum},
      {15, false, true, fast::SatuPlan::Kind::BySat},
      {15, true, true, fast::SatuPlan::Kind::ByBoth},
  };
  for (const Case& c : cases)
    EXPECT_EQ(fast::SatuPlan(SatuFactor24(c.slider), c.kido, c.satu).kind(), c.want) << c.slider;
  EXPECT_EQ(fast::SatuPlan(10.5, false, false).kind(), fast::SatuPlan::Kind::Reference);
}

// Whole rows with tables, odd widths (vector groups and chunk edges) and in-place
// rows give what the reference row kernel gives; padding past the width is kept.
TEST(FastSatu, RowsWithTablesMatchReferenceRowKernelAtOddWidths) {
  ToneTables t{};
  for (int i = 0; i < 256; ++i) {
    t.TableR[i] = static_cast<std::uint8_t>(255 - i);
    t.TableG[i] = static_cast<std::uint8_t>((i * 3) / 4 + 40);
    t.TableB[i] = static_cast<std::uint8_t>(i);
  }
  for (int width : {1, 7, 8, 9, 1023, 1024, 1025, 3001}) {
    std::vector<TTriple> in(width + 1), want(width + 1), got(width + 1);
    for (int i = 0; i <= width; ++i)
      in[i] = TTriple{static_cast<std::uint8_t>(i * 31), static_cast<std::uint8_t>(i * 17 + 5),
                      static_cast<std::uint8_t>(i * 7 + 200)};
    for (int slider : {0, 15, 37, 100}) {
      for (int damp = 0; damp < 4; ++damp) {
        const bool kido = damp & 1, satu = damp & 2;
        const fast::SatuPlan plan(SatuFactor24(slider), kido, satu);
        want = in;
        Apply24AllRow(in.data(), want.data(), width, t, SatuFactor24(slider), kido, satu);
        got = in;
        fast::SatuRow(got.data(), got.data(), width, t, plan);  // in place
        for (int i = 0; i <= width; ++i) {
          ASSERT_EQ(got[i].R, want[i].R) << "width " << width << " pixel " << i << " slider " << slider;
          ASSERT_EQ(got[i].G, want[i].G) << "width " << width << " pixel " << i;
          ASSERT_EQ(got[i].B, want[i].B) << "width " << width << " pixel " << i;
        }
      }
    }
  }
}

}  // namespace
}  // namespace tav1
