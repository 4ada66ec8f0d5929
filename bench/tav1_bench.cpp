// Benchmarks of the long operations on an 8000 x 8000 24-bit picture made in
// memory, each reported with its ratio to a warm memcpy of the 192 MB store
// measured in the same run (counter x_memcpy). Run with
//   tav1_bench [--benchmark_format=json] [--benchmark_filter=REGEX]
//   tav1_bench --peak-memory-mode   (open, apply and show once; for /usr/bin/time -v)
#include <benchmark/benchmark.h>
#include <jpeglib.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "codecs/bmp_layout.h"
#include "codecs/file_io.h"
#include "codecs/jpeg_codec.h"
#include "codecs/large_image.h"
#include "codecs/png_codec.h"
#include "codecs/png_parallel.h"
#include "core/editor/editor.h"
#include "core/editor/editor_state.h"
#include "core/graph/histogram.h"
#include "core/state/rotate.h"
#include "core/state/shrink.h"
#include "core/tone/passes.h"
#include "core/tone/tables.h"
#include "tests/core/editor/fake_view.h"

namespace tav1 {
namespace {

constexpr int kSide = 8000;
using Clock = std::chrono::steady_clock;

// Pictures and result stores are made as the editor makes its own (a decoded
// JPEG, the result copy): bmp::MakeLargeImage and CopyLarge.
//
// Separable shading plus detail, so every row differs and no pass can take a
// shortcut on repeated rows. The noisy picture adds per-pixel grain and hard
// edges like a photograph taken in poor light.
Store MakePicture24(bool noisy) {
  Store s = bmp::MakeLargeImage(kSide, kSide, 24);
  const std::size_t stride = static_cast<std::size_t>(bmp::Stride24(kSide));
  std::vector<int> ax(kSide * 3), ay(kSide * 3);
  for (int i = 0; i < kSide; ++i) {
    const double t = i / static_cast<double>(kSide);
    ax[3 * i] = static_cast<int>(60 * std::sin(t * 9.0) + 40 * t);
    ax[3 * i + 1] = static_cast<int>(50 * std::cos(t * 7.0));
    ax[3 * i + 2] = static_cast<int>(70 * std::sin(t * 5.0 + 1.0));
    ay[3 * i] = static_cast<int>(128 + 50 * std::cos(t * 6.0));
    ay[3 * i + 1] = static_cast<int>(120 + 60 * std::sin(t * 8.0 + 0.5));
    ay[3 * i + 2] = static_cast<int>(110 + 40 * std::cos(t * 4.0));
  }
  std::uint32_t rng = 0x9E3779B9u;
  for (int y = 0; y < kSide; ++y) {
    std::uint8_t* row = s.data() + bmp::kRows24Offset + static_cast<std::size_t>(y) * stride;
    for (int x = 0; x < kSide; ++x) {
      int grain = 0, edge = 0;
      if (noisy) {
        rng ^= rng << 13;
        rng ^= rng >> 17;
        rng ^= rng << 5;
        grain = static_cast<int>(rng & 31) - 16;
        edge = (((x / 211) ^ (y / 157)) & 3) == 0 ? 45 : 0;
      }
      for (int c = 0; c < 3; ++c) {
        const int v = ax[3 * x + c] + ay[3 * y + c] + grain + edge;
        row[3 * x + c] = static_cast<std::uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
      }
    }
  }
  return s;
}

Store& Smooth() {
  static Store s = MakePicture24(false);
  return s;
}
Store& Noisy() {
  static Store s = MakePicture24(true);
  return s;
}

Store MakeGreyRamp8() {
  Store s = bmp::MakeLargeImage(kSide, kSide, 8);
  for (int i = 0; i < 256; ++i) s[54 + 4 * i] = s[55 + 4 * i] = s[56 + 4 * i] = static_cast<std::uint8_t>(i);
  const std::size_t stride = static_cast<std::size_t>(bmp::Stride08(kSide));
  for (int y = 0; y < kSide; ++y)
    for (int x = 0; x < kSide; ++x)
      s[bmp::kRows08Offset + y * stride + x] = static_cast<std::uint8_t>((x * 255 / kSide + y) & 255);
  return s;
}

// A typical correction: black point 6, a slight brightening, white point 248.
ToneTables BenchTables() {
  ToneParams p;
  for (int c = 0; c < 3; ++c) {
    p.at(c, kSlotLow) = 6 + c;
    p.at(c, kSlotGamma) = -12 + 4 * c;
    p.at(c, kSlotHigh) = 248 - c;
  }
  return TableMake(p, kOrderLinearFirst, kOriginBlack);
}

double g_memcpyMs = 0.0;
double g_memcpyCpuMs = 0.0;

// CPU time of the whole process (every thread), in ms.
double ProcessCpuMs() {
  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  return (ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) * 1e3 + (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e3;
}

// Manual timing per iteration; the mean goes into the x_memcpy counter. On a
// shared machine wall times swing with the load; x_memcpy_cpu2 is the CPU time
// of all threads spread over two cores, against the baseline's CPU time: what
// the ratio would be on two idle cores if the work divided evenly.
//
// With warmUp, fn runs once untimed first: a picture-sized buffer a process
// takes for the first time costs page faults (on a virtual machine, the host's
// too) that every later run of the same operation no longer pays.
template <typename Fn>
void Timed(benchmark::State& st, Fn&& fn, bool warmUp = true) {
  if (warmUp) fn();
  double totalMs = 0.0;
  const double cpu0 = ProcessCpuMs();
  for (auto _ : st) {
    double ms = 0.0;
    if constexpr (std::is_void_v<std::invoke_result_t<Fn&>>) {
      const auto t0 = Clock::now();
      fn();
      ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
    } else {
      // A result the operation hands back (a new store) is the caller's to keep:
      // freeing it is not timed.
      const auto t0 = Clock::now();
      auto result = fn();
      ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
      benchmark::DoNotOptimize(result);
    }
    st.SetIterationTime(ms / 1000.0);
    if (getenv("TAV1_BENCH_EACH")) fprintf(stderr, "  iteration %.1f ms\n", ms);
    totalMs += ms;
  }
  const double n = static_cast<double>(st.iterations());
  const double mean = totalMs / n;
  const double cpu = (ProcessCpuMs() - cpu0) / n;
  if (g_memcpyMs > 0.0) st.counters["x_memcpy"] = mean / g_memcpyMs;
  if (g_memcpyCpuMs > 0.0) st.counters["x_memcpy_cpu2"] = cpu / 2.0 / g_memcpyCpuMs;
  st.counters["ms"] = mean;
  st.counters["cpu_ms"] = cpu;
}

void BM_Memcpy(benchmark::State& st) {
  const Store& src = Noisy();
  static Store dst;
  bmp::CopyLarge(dst, src);  // touched once: the copy runs warm
  std::memcpy(dst.data(), src.data(), src.size());
  double totalMs = 0.0;
  const double cpu0 = ProcessCpuMs();
  for (auto _ : st) {
    const auto t0 = Clock::now();
    std::memcpy(dst.data(), src.data(), src.size());
    benchmark::ClobberMemory();
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
    st.SetIterationTime(ms / 1000.0);
    if (getenv("TAV1_BENCH_EACH")) fprintf(stderr, "  iteration %.1f ms\n", ms);
    totalMs += ms;
  }
  g_memcpyMs = totalMs / static_cast<double>(st.iterations());
  g_memcpyCpuMs = (ProcessCpuMs() - cpu0) / static_cast<double>(st.iterations());
  st.counters["ms"] = g_memcpyMs;
  st.counters["cpu_ms"] = g_memcpyCpuMs;
  st.counters["x_memcpy"] = 1.0;
  st.counters["x_memcpy_cpu2"] = 1.0;
  st.SetBytesProcessed(static_cast<std::int64_t>(st.iterations()) * static_cast<std::int64_t>(src.size()));
}

struct SatuCase {
  const char* name;
  int slider;
  bool kido, satu;
};

void BM_Apply24All(benchmark::State& st, Store* (*pic)(), SatuCase c) {
  const Store& src = *pic();
  static Store dst;
  bmp::CopyLarge(dst, src);
  const Geometry geo = Geometry::From(kSide, kSide);
  const ToneTables t = BenchTables();
  Timed(st, [&] { Apply24All_SatuUp(src, dst, geo, t, c.slider, c.kido, c.satu); });
}

Store* SmoothPtr() { return &Smooth(); }
Store* NoisyPtr() { return &Noisy(); }

void BM_Apply24Solo(benchmark::State& st) {
  const Store& src = Noisy();
  static Store dst;
  bmp::CopyLarge(dst, src);
  const Geometry geo = Geometry::From(kSide, kSide);
  const ToneTables t = BenchTables();
  PassHooks hooks;
  int texts = 0;
  hooks.status = [&](const std::string&) { ++texts; };
  Timed(st, [&] { Apply24Solo(src, dst, geo, t, 1, hooks); });
  // The untimed warm-up run's texts are not counted.
  st.counters["progress_texts"] = texts / static_cast<double>(st.iterations() + 1);
}

void BM_Apply8GreyRamp(benchmark::State& st) {
  static const Store src = MakeGreyRamp8();
  static Store dst;
  bmp::CopyLarge(dst, src);
  const Geometry geo = Geometry::From(kSide, kSide);
  const ToneTables t = BenchTables();
  Timed(st, [&] { Apply8All_SatuUp(src, dst, geo, true, t, 37, true, true); });
}

void BM_Histogram(benchmark::State& st) {
  const Store& src = Noisy();
  const Geometry geo = Geometry::From(kSide, kSide);
  Timed(st, [&] {
    ChannelCounts counts;
    // As many threads as the editor's count uses for this size.
    CountColor24(src, geo, counts, [] {}, CountThreads(std::int64_t{kSide} * kSide));
    benchmark::DoNotOptimize(counts);
  });
}

void BM_Shrink(benchmark::State& st) {
  const Store& src = Noisy();
  Timed(st, [&] { return Shrink(src, 4000, 3000); });
}

void BM_Rotate(benchmark::State& st) {
  const Store& src = Noisy();
  Timed(st, [&] { return RotateQuarter(src, Turn::Clockwise, [] {}); });
}

// ---- files: a JPEG of the noisy picture and the PNG saves ----

std::string BenchDir() {
  static const std::string dir = [] {
    std::string d = std::filesystem::temp_directory_path().string() + "/tav1-bench-" + std::to_string(getpid());
    std::filesystem::create_directories(d + "/appdata");
    std::filesystem::create_directories(d + "/tmp");
    return d;
  }();
  return dir;
}

const std::string& JpegPath() {
  static const std::string path = [] {
    const std::string p = BenchDir() + "/noisy8000.jpg";
    const std::vector<std::uint8_t> jpg = EncodeJpeg(Noisy(), 90, false);
    WriteFileAtomic(p, jpg.data(), jpg.size(), false);
    return p;
  }();
  return path;
}

// The windows as the benchmark sees them: the picture is handed over, not copied.
class BenchView : public test::FakeView {
 public:
  void SetImagePicture(const Store& bmp) override {
    ++pictures;
    shownBytes = bmp.size();
  }
  std::size_t shownBytes = 0;
};

struct BenchEditor {
  BenchView view;
  std::unique_ptr<Editor> ed;
  BenchEditor() {
    setenv("LOCALAPPDATA", (BenchDir() + "/appdata").c_str(), 1);
    setenv("TMPDIR", (BenchDir() + "/tmp").c_str(), 1);
    ed = std::make_unique<Editor>(view);
    ed->FormCreate();
  }
};

double g_plainDecodeMs = 0.0;

void BM_DecodeJpegPlain(benchmark::State& st) {
  const std::string& path = JpegPath();
  // Zero-filled, so already touched: the decoding runs warm.
  static std::vector<std::uint8_t> pixels(static_cast<std::size_t>(kSide) * kSide * 3);
  double total = 0.0;
  for (auto _ : st) {
    const auto t0 = Clock::now();
    FILE* f = std::fopen(path.c_str(), "rb");
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr jerr;
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_decompress(&cinfo);
    jpeg_stdio_src(&cinfo, f);
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    const std::size_t rowBytes = static_cast<std::size_t>(cinfo.output_width) * 3;
    while (cinfo.output_scanline < cinfo.output_height) {
      JSAMPROW row = pixels.data() + cinfo.output_scanline * rowBytes;
      jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    std::fclose(f);
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
    st.SetIterationTime(ms / 1000.0);
    if (getenv("TAV1_BENCH_EACH")) fprintf(stderr, "  iteration %.1f ms\n", ms);
    total += ms;
  }
  g_plainDecodeMs = total / static_cast<double>(st.iterations());
  st.counters["ms"] = g_plainDecodeMs;
  if (g_memcpyMs > 0.0) st.counters["x_memcpy"] = g_plainDecodeMs / g_memcpyMs;
}

void BM_OpenJpegWholePath(benchmark::State& st) {
  const std::string& path = JpegPath();
  BenchEditor be;
  be.ed->CheckFile1(path);  // untimed warm-up, as Timed does
  double total = 0.0;
  bool ready = true;
  for (auto _ : st) {
    const auto t0 = Clock::now();
    be.ed->CheckFile1(path);
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
    ready = ready && be.ed->State().img.ReadyFlag;
    st.SetIterationTime(ms / 1000.0);
    if (getenv("TAV1_BENCH_EACH")) fprintf(stderr, "  iteration %.1f ms\n", ms);
    total += ms;
  }
  const double mean = total / static_cast<double>(st.iterations());
  st.counters["ms"] = mean;
  if (g_memcpyMs > 0.0) st.counters["x_memcpy"] = mean / g_memcpyMs;
  if (g_plainDecodeMs > 0.0) st.counters["x_plain_decode"] = mean / g_plainDecodeMs;
  if (!ready) st.SkipWithError("the picture did not reach the ready state");
}

// The picture the PNG saves write: the noisy JPEG as opened.
const Store& DecodedJpeg() {
  static const Store s = DecodeJpegToStore(ReadFileBytes(JpegPath()));
  return s;
}

double g_plainPngMs = 0.0;
std::size_t g_plainPngBytes = 0;

void BM_SavePngPlain(benchmark::State& st) {
  const Store& pic = DecodedJpeg();
  const std::string out = BenchDir() + "/plain.png";
  Timed(st, [&] { WritePng(out, pic); }, false);
  g_plainPngMs = st.counters["ms"];
  g_plainPngBytes = std::filesystem::file_size(out);
  st.counters["file_MB"] = g_plainPngBytes / 1e6;
}

void BM_SavePngParallel(benchmark::State& st) {
  const Store& pic = DecodedJpeg();
  const std::string out = BenchDir() + "/parallel.png";
  Timed(st, [&] { WritePngParallel(out, pic); }, false);
  const std::size_t bytes = std::filesystem::file_size(out);
  st.counters["file_MB"] = bytes / 1e6;
  if (g_plainPngMs > 0.0) st.counters["speedup_vs_plain"] = g_plainPngMs / st.counters["ms"];
  if (g_plainPngBytes > 0) st.counters["size_vs_plain"] = bytes / static_cast<double>(g_plainPngBytes);
  // Same pixels as the picture written.
  const Store back = DecodePngToStore(ReadFileBytes(out).data(), std::filesystem::file_size(out));
  if (back.size() != pic.size() || std::memcmp(back.data() + 54, pic.data() + 54, pic.size() - 54) != 0)
    st.SkipWithError("the parallel PNG does not decode to the written pixels");
}

void RegisterAll() {
  using benchmark::kMillisecond;
  benchmark::RegisterBenchmark("Memcpy_Store192MB_Baseline", BM_Memcpy)->UseManualTime()->Unit(kMillisecond)->Iterations(20);
  const SatuCase cases[] = {
      {"slider10_TableMappingOnly", 10, true, true},
      {"slider15_NoDamping", 15, false, false},
      {"slider15_BothDamping", 15, true, true},
      {"slider05_Cut", 5, false, false},
      {"slider37_NoDamping", 37, false, false},
      {"slider100_BothDamping", 100, true, true},
  };
  for (int p = 0; p < 2; ++p)
    for (const SatuCase& c : cases) {
      const std::string name = std::string("Apply24All_SatuUp/") + (p == 0 ? "smooth/" : "noisy/") + c.name;
      benchmark::RegisterBenchmark(name.c_str(), BM_Apply24All, p == 0 ? SmoothPtr : NoisyPtr, c)
          ->UseManualTime()->Unit(kMillisecond)->Iterations(5);
    }
  benchmark::RegisterBenchmark("Apply24Solo/noisy/green", BM_Apply24Solo)->UseManualTime()->Unit(kMillisecond)->Iterations(5);
  benchmark::RegisterBenchmark("Apply8All_SatuUp/GreyRamp8bit_TableG", BM_Apply8GreyRamp)->UseManualTime()->Unit(kMillisecond)->Iterations(10);
  benchmark::RegisterBenchmark("CountColor24_Histogram/noisy", BM_Histogram)->UseManualTime()->Unit(kMillisecond)->Iterations(5);
  benchmark::RegisterBenchmark("RotateQuarter_Clockwise/noisy", BM_Rotate)->UseManualTime()->Unit(kMillisecond)->Iterations(3);
  benchmark::RegisterBenchmark("Shrink_8000x8000_to_4000x3000/noisy", BM_Shrink)->UseManualTime()->Unit(kMillisecond)->Iterations(2);
  benchmark::RegisterBenchmark("DecodeJpeg_PlainLibjpeg/noisy8000_q90", BM_DecodeJpegPlain)->UseManualTime()->Unit(kMillisecond)->Iterations(3);
  benchmark::RegisterBenchmark("OpenJpeg_WholeOpenPathToReady/noisy8000_q90", BM_OpenJpegWholePath)->UseManualTime()->Unit(kMillisecond)->Iterations(3);
  benchmark::RegisterBenchmark("SavePng_Level9_PlainLibpngSingleStream/noisy8000", BM_SavePngPlain)->UseManualTime()->Unit(kMillisecond)->Iterations(1);
  benchmark::RegisterBenchmark("SavePng_Level9_ParallelStrips/noisy8000", BM_SavePngParallel)->UseManualTime()->Unit(kMillisecond)->Iterations(1);
}

// Opens the JPEG, applies a saturation boost with both damping boxes and
// shows the result, as the editor does, then reports the peak resident size.
int PeakMemoryMode() {
  std::string path = JpegPath();
  // The picture made for the JPEG is not part of what the editor holds.
  Store().swap(Noisy());
  std::size_t shown = 0;
  {
    BenchEditor be;
    be.ed->CheckFile1(path);
    if (!be.ed->State().img.ReadyFlag) {
      std::fprintf(stderr, "peak-memory-mode: the picture did not open\n");
      return 1;
    }
    be.ed->SetByKidoCB1(true);
    be.ed->SetBySatuCB1(true);
    be.ed->SetTrackBar1Position(37);
    be.ed->ApplyClick();
    shown = be.view.shownBytes;
    for (const std::string& t : be.view.statuses)
      if (t.rfind("処理時間", 0) == 0) std::printf("apply: %s\n", t.c_str());
  }
  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  const double peakMB = ru.ru_maxrss / 1024.0;
  const double storeMB = (54.0 + 3.0 * kSide * kSide) / (1024.0 * 1024.0);
  std::printf("peak resident: %.1f MiB = %.2f x the %.1f MiB store (shown picture %zu bytes)\n", peakMB,
              peakMB / storeMB, storeMB, shown);
  std::filesystem::remove_all(BenchDir());
  return 0;
}

}  // namespace
}  // namespace tav1

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "--peak-memory-mode") == 0) return tav1::PeakMemoryMode();
  tav1::RegisterAll();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::error_code ec;
  std::filesystem::remove_all(tav1::BenchDir(), ec);
  return 0;
}
