// Every picture of the shared corpus (valid, odd and deliberately broken files)
// through tav1-batch and through the editor's open path, in process: each one
// ends with a written output or a message, within a few seconds, and nothing
// crashes. Run under scripts/sanitize.sh this is also the sanitizers' sweep of
// real-world files. Skipped when the corpus is absent.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "batch_fixture.h"
#include "codecs/bmp_codec.h"
#include "core/image/open_path.h"

namespace tav1::batch::testing {
namespace {

const fs::path kCorpus = TAV1_CORPUS_DIR;

// Far above any corpus file's real cost (the largest is 2 MB decoded), even
// under the sanitizers; what it catches is a file that makes a decoder spin.
#if defined(__SANITIZE_ADDRESS__)
constexpr double kSecondsPerFile = 20.0;
#else
constexpr double kSecondsPerFile = 5.0;
#endif

std::vector<std::string> CorpusPictures() {
  std::vector<std::string> paths;
  std::ifstream manifest(kCorpus / "MANIFEST.tsv");
  std::string line;
  std::getline(manifest, line);  // column names
  while (std::getline(manifest, line)) {
    std::istringstream cols(line);
    std::string path, format;
    std::getline(cols, path, '\t');
    std::getline(cols, format, '\t');
    if (format == "BMP" || format == "JPEG" || format == "PNG") paths.push_back((kCorpus / path).string());
  }
  return paths;
}

class OpenOnly : public OpenPort {
 public:
  void MessageBox(const std::string& text) override { messages.push_back(text); }
  void Beep() override {}
  void SetStatus(const std::string&, bool) override {}
  void PumpEvents() override {}
  void SetImageCursor(bool) override {}
  void RecreateImageWindow() override {}
  void SetMainCaption(const std::string&) override {}
  std::vector<std::string> messages;
};

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

class CorpusSweep : public BatchTest {};

TEST_F(CorpusSweep, EveryPictureEndsWithAnOutputOrAMessageQuickly) {
  if (!fs::exists(kCorpus / "MANIFEST.tsv")) GTEST_SKIP() << "no corpus at " << kCorpus;
  const std::vector<std::string> pictures = CorpusPictures();
  ASSERT_FALSE(pictures.empty());
  fs::create_directories(Path("out"));
  fs::create_directories(Path("opentmp"));
  OpenedNames names;
  names.PathTemp1 = P("opentmp") + "/";
  int written = 0, refused = 0;

  for (const std::string& picture : pictures) {
    SCOPED_TRACE(picture);

    // The editor's open path.
    WorkingImage img;
    OpenOnly port;
    auto start = std::chrono::steady_clock::now();
    const OpenOutcome opened = OpenChecks(picture, img, names, port);
    EXPECT_LT(SecondsSince(start), kSecondsPerFile) << "open path";
    if (opened == OpenOutcome::Accepted) {
      const bmp::HeaderView h = CheckFixedImage(img.MemStBmp1);
      EXPECT_EQ(h.width, img.ImageWidth);
      EXPECT_EQ(h.height, img.ImageHeight);
      EXPECT_EQ(h.bits, img.biBitFlag);
    } else {
      EXPECT_EQ(opened, OpenOutcome::Rejected);
      EXPECT_FALSE(port.messages.empty()) << "refused without a message";
    }

    // tav1-batch on the same file, with a correction that touches every channel.
    const std::string out = P("out") + "/result" + fs::path(picture).extension().string();
    fs::remove(out);
    start = std::chrono::steady_clock::now();
    const RunOutput r = Run({"--params", "10,-20,240,0,15,250,5,0,255", "--saturation", "15", "-o", out, picture});
    EXPECT_LT(SecondsSince(start), kSecondsPerFile) << "tav1-batch";
    if (r.code == kExitAllWritten) {
      ++written;
      EXPECT_TRUE(fs::is_regular_file(out)) << r.err;
      EXPECT_GT(fs::file_size(out), 0u) << r.err;
    } else {
      ++refused;
      EXPECT_EQ(r.code, kExitSomeNotWritten) << r.err;
      EXPECT_FALSE(fs::exists(out)) << "a refused picture left an output behind";
      EXPECT_NE(r.err.find(fs::path(picture).filename().string()), std::string::npos)
          << "the message does not name the picture: " << r.err;
    }
    // The editor accepts exactly what the batch writes.
    EXPECT_EQ(opened == OpenOutcome::Accepted, r.code == kExitAllWritten) << r.err;
  }
  EXPECT_GT(written, 0);
  EXPECT_GT(refused, 0);
}

}  // namespace
}  // namespace tav1::batch::testing
