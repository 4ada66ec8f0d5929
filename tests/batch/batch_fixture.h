// A scratch folder per test, small hand-made pictures, and RunBatch called in
// process with surroundings that never touch the user's own settings file.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "batch/batch.h"
#include "codecs/bmp_layout.h"
#include "core/image/working_image.h"

namespace tav1::batch::testing {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

inline Bytes ReadBytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const fs::path& p, const Bytes& b) {
  std::ofstream out(p, std::ios::binary);
  out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

inline void WriteText(const fs::path& p, const std::string& s) {
  std::ofstream out(p, std::ios::binary);
  out << s;
}

// A 24-bit fixed-layout BMP whose pixel (x, y) (y = 0 the top row) is colour(x, y).
inline Bytes Bmp24(int w, int h, const std::function<TTriple(int, int)>& colour) {
  Bytes b = bmp::MakeImage(w, h, 24);
  const auto stride = static_cast<std::size_t>(bmp::Stride24(w));
  for (int y = 0; y < h; ++y) {
    auto* row = reinterpret_cast<TTriple*>(b.data() + bmp::kRows24Offset +
                                           static_cast<std::size_t>(h - 1 - y) * stride);
    for (int x = 0; x < w; ++x) row[x] = colour(x, y);
  }
  return b;
}

// A colourful 24-bit test card: ramps, extremes and mixed colours.
inline Bytes TestCard24(int w = 23, int h = 17) {
  return Bmp24(w, h, [w, h](int x, int y) {
    const int v = (x * 255) / (w - 1);
    const int u = (y * 255) / (h - 1);
    return TTriple{static_cast<std::uint8_t>(u), static_cast<std::uint8_t>((v + u) / 2),
                   static_cast<std::uint8_t>(v)};
  });
}

// An 8-bit fixed-layout BMP with a colourful palette and index (x + 3y) mod 256.
inline Bytes TestCard8(int w = 7, int h = 5, bool grayRamp = false) {
  Bytes b = bmp::MakeImage(w, h, 8);
  for (int i = 0; i < 256; ++i) {
    std::uint8_t* e = b.data() + bmp::kPaletteOffset + 4 * i;
    e[0] = static_cast<std::uint8_t>(grayRamp ? i : (i * 7) % 256);
    e[1] = static_cast<std::uint8_t>(grayRamp ? i : 255 - i);
    e[2] = static_cast<std::uint8_t>(i);
  }
  const auto stride = static_cast<std::size_t>(bmp::Stride08(w));
  for (int r = 0; r < h; ++r) {
    for (int x = 0; x < w; ++x) {
      b[bmp::kRows08Offset + static_cast<std::size_t>(r) * stride + static_cast<std::size_t>(x)] =
          static_cast<std::uint8_t>((x * 37 + r * 11) % 256);
    }
  }
  return b;
}

struct RunOutput {
  int code = -1;
  std::string out;
  std::string err;
};

class BatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "tav1-batch-test-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    fs::create_directories(dir_ / "tmp");
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }

  fs::path Path(const std::string& name) const { return dir_ / name; }
  std::string P(const std::string& name) const { return Path(name).string(); }

  // The editor's settings folder points into the scratch folder and does not exist.
  BatchEnvironment Env() const {
    BatchEnvironment env;
    env.iniPlace = (dir_ / "ini" / "Quillmoor").string() + "/";
    env.tempRoot = (dir_ / "tmp").string();
    env.stderrIsTerminal = false;
    env.cores = 2;
    return env;
  }

  RunOutput Run(const std::vector<std::string>& args) const {
    std::ostringstream out;
    std::ostringstream err;
    RunOutput r;
    r.code = RunBatch(args, out, err, Env());
    r.out = out.str();
    r.err = err.str();
    return r;
  }

  fs::path dir_;
};

}  // namespace tav1::batch::testing
