// Every BMP, JPEG and PNG of the shared corpus goes through the open path: it is
// either accepted with the pixels an independent decoder (ImageMagick's
// convert) sees, or rejected with one message. Nothing may crash or hang.
#include <gtest/gtest.h>

#include <cstdio>
#include <deque>
#include <future>
#include <optional>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "codecs/file_io.h"
#include "core/image/open_path.h"
#include "core/image/recording_port.h"

namespace fs = std::filesystem;

namespace {

struct Picture {
  int width = 0;
  int height = 0;
  std::vector<std::uint16_t> rgb;  // 16-bit samples, top row first
};

// Reads a binary PPM or PGM as convert writes it (maxval 255 or 65535).
bool ReadPnm(const std::string& path, Picture& out) {
  std::vector<std::uint8_t> b;
  try {
    b = tav1::ReadFileBytes(path);
  } catch (const tav1::CodecError&) {
    return false;
  }
  std::size_t p = 0;
  auto token = [&]() {
    while (p < b.size() && (std::isspace(b[p]) || b[p] == '#')) {
      if (b[p] == '#')
        while (p < b.size() && b[p] != '\n') ++p;
      else
        ++p;
    }
    std::string t;
    while (p < b.size() && !std::isspace(b[p])) t += static_cast<char>(b[p++]);
    return t;
  };
  const std::string magic = token();
  if (magic != "P6" && magic != "P5") return false;
  out.width = std::atoi(token().c_str());
  out.height = std::atoi(token().c_str());
  const int maxval = std::atoi(token().c_str());
  ++p;  // the one whitespace byte before the samples
  const int channels = magic == "P6" ? 3 : 1;
  const int bytes = maxval > 255 ? 2 : 1;
  const std::size_t count = static_cast<std::size_t>(out.width) * out.height;
  if (out.width <= 0 || out.height <= 0 || b.size() < p + count * channels * bytes) return false;
  out.rgb.resize(count * 3);
  for (std::size_t i = 0; i < count; ++i)
    for (int c = 0; c < 3; ++c) {
      const std::size_t at = p + (i * channels + (channels == 3 ? c : 0)) * bytes;
      const unsigned v = bytes == 2 ? (b[at] << 8) | b[at + 1] : b[at] * 257u;
      out.rgb[i * 3 + c] = static_cast<std::uint16_t>(v);
    }
  return true;
}

bool HaveConvert() { return std::system("convert -version > /dev/null 2>&1") == 0; }

// Largest channel difference between the source store and the reference, in
// 8-bit units: the reference's 16-bit samples are cut to their high byte, as
// the PNG reader cuts 16-bit files.
int MaxDifference(const tav1::WorkingImage& img, const Picture& ref) {
  const int w = img.ImageWidth, h = img.ImageHeight;
  const std::size_t stride = static_cast<std::size_t>(tav1::bmp::Stride(w, img.biBitFlag));
  const std::uint8_t* rows = img.MemStBmp1.data() + tav1::bmp::RowsOffset(img.biBitFlag);
  const std::uint8_t* pal = img.MemStBmp1.data() + tav1::bmp::kPaletteOffset;
  int worst = 0;
  for (int y = 0; y < h; ++y) {
    const std::uint8_t* row = rows + static_cast<std::size_t>(h - 1 - y) * stride;
    for (int x = 0; x < w; ++x) {
      const std::uint8_t* bgr = img.biBitFlag == 8 ? pal + 4 * row[x] : row + 3 * x;
      const std::uint16_t* want = &ref.rgb[(static_cast<std::size_t>(y) * w + x) * 3];
      for (int c = 0; c < 3; ++c) worst = std::max(worst, std::abs(bgr[2 - c] - (want[c] >> 8)));
    }
  }
  return worst;
}

TEST(CorpusOpen, EveryFileIsAcceptedWithTheReferencePixelsOrRejectedWithAMessage) {
  const fs::path corpus = TAV1_CORPUS_DIR;
  std::ifstream manifest(corpus / "MANIFEST.tsv");
  if (!manifest) GTEST_SKIP() << "no corpus at " << corpus;
  const bool compare = HaveConvert();

  const fs::path scratch = fs::temp_directory_path() / "tav1_corpus_open";
  fs::remove_all(scratch);
  fs::create_directories(scratch);
  tav1::OpenedNames names;
  names.PathTemp1 = scratch.string() + "/";

  struct Entry {
    std::string rel, format;
    bool fourComponents = false;  // CMYK or YCCK JPEG
  };
  std::vector<Entry> entries;
  std::string line;
  std::getline(manifest, line);  // column names
  while (std::getline(manifest, line)) {
    std::istringstream cols(line);
    Entry e;
    std::getline(cols, e.rel, '\t');
    std::getline(cols, e.format, '\t');
    e.fourComponents = line.find("nc=4") != std::string::npos;
    if (e.format == "BMP" || e.format == "JPEG" || e.format == "PNG") entries.push_back(e);
  }

  // The reference decodes run two at a time ahead of the open path: the test
  // spends most of its time waiting for convert processes.
  auto reference = [&](std::size_t i) {
    std::optional<Picture> ref;
    if (!compare) return ref;
    const std::string out = (scratch / ("ref" + std::to_string(i % 4) + ".ppm")).string();
    fs::remove(out);
    // convert turns PNGs whose gAMA says linear into sRGB on output; the
    // program shows stored values, so the reference is relabelled, not converted.
    const std::string relabel = entries[i].format == "PNG" ? " -set colorspace sRGB" : "";
    const std::string cmd = "convert '" + (corpus / entries[i].rel).string() + "[0]'" + relabel +
                            " -alpha off -depth 16 'ppm:" + out + "' > /dev/null 2>&1";
    Picture p;
    if (std::system(cmd.c_str()) == 0 && ReadPnm(out, p)) ref = std::move(p);
    return ref;
  };
  std::deque<std::future<std::optional<Picture>>> ahead;
  std::size_t next = 0;
  auto fill = [&] {
    while (next < entries.size() && ahead.size() < 2) ahead.push_back(std::async(std::launch::async, reference, next++));
  };

  int accepted = 0, rejected = 0, compared = 0, unreadableByReference = 0;
  std::ostringstream rejectedButReadable;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    fill();
    const std::string& rel = entries[i].rel;
    const std::string path = (corpus / rel).string();

    tav1::WorkingImage img;
    tav1::testing::RecordingPort port;
    const tav1::OpenOutcome outcome = tav1::OpenChecks(path, img, names, port);

    std::optional<Picture> refOpt = ahead.front().get();
    ahead.pop_front();
    ASSERT_TRUE(outcome == tav1::OpenOutcome::Accepted || outcome == tav1::OpenOutcome::Rejected) << rel;
    const bool haveRef = refOpt.has_value();
    if (compare && !haveRef) ++unreadableByReference;
    const Picture ref = haveRef ? std::move(*refOpt) : Picture{};

    if (outcome == tav1::OpenOutcome::Rejected) {
      ++rejected;
      std::string message;
      int boxes = 0;
      for (const auto& c : port.calls)
        if (c.rfind("box:", 0) == 0) ++boxes, message = c.substr(4);
      EXPECT_EQ(boxes, 1) << rel;
      EXPECT_TRUE(img.MemStBmp1.empty()) << rel;
      if (haveRef) rejectedButReadable << "  " << rel << ": " << message << "\n";
      continue;
    }
    ++accepted;
    EXPECT_FALSE(img.LoadRejected) << rel;
    EXPECT_GE(img.MemStBmp1.size(), tav1::bmp::ImageBytes(img.ImageWidth, img.ImageHeight, img.biBitFlag)) << rel;
    if (!haveRef) continue;
    ++compared;
    ASSERT_EQ(ref.width, img.ImageWidth) << rel;
    ASSERT_EQ(ref.height, img.ImageHeight) << rel;
    // The same libjpeg decodes for both; only the CMYK to RGB step rounds differently.
    const int tolerance = entries[i].fourComponents ? 1 : 0;
    EXPECT_LE(MaxDifference(img, ref), tolerance) << rel;
  }
  fs::remove_all(scratch);
  std::printf("corpus: %d accepted (%d compared with convert), %d rejected, %d unreadable by convert\n", accepted,
              compared, rejected, unreadableByReference);
  if (!rejectedButReadable.str().empty())
    std::printf("rejected although convert reads them:\n%s", rejectedButReadable.str().c_str());
}

}  // namespace
