// Bounds that keep hostile files from hogging memory or time in the decoders.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "codecs/bmp_layout.h"
#include "codecs/jpeg_codec.h"
#include "codecs/png_codec.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Gradient24(int w, int h) {
  Bytes b = tav1::bmp::MakeImage(w, h, 24);
  const std::size_t stride = static_cast<std::size_t>(tav1::bmp::Stride24(w));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      std::uint8_t* p = b.data() + tav1::bmp::kRows24Offset + static_cast<std::size_t>(y) * stride + 3u * x;
      p[0] = static_cast<std::uint8_t>(16 * x);
      p[1] = static_cast<std::uint8_t>(16 * y);
      p[2] = static_cast<std::uint8_t>(8 * (x + y));
    }
  return b;
}

// A progressive JPEG whose last scan is repeated `extra` more times. Each copy
// is a complete scan (a refinement the decoder only warns about), so the file
// stays decodable while its scan count grows by a dozen bytes a scan.
// With claimedSide > 0 the frame header claims a square of that side, so every
// scan walks that many blocks although its data runs out after a few.
Bytes ProgressiveWithExtraScans(int extra, int claimedSide = 0) {
  Bytes jpg = tav1::EncodeJpeg(Gradient24(16, 16), 75, /*progressive=*/true);
  for (std::size_t i = 0; claimedSide > 0 && i + 9 < jpg.size(); ++i)
    if (jpg[i] == 0xFF && jpg[i + 1] == 0xC2) {
      for (std::size_t at : {i + 5, i + 7}) {
        jpg[at] = static_cast<std::uint8_t>(claimedSide >> 8);
        jpg[at + 1] = static_cast<std::uint8_t>(claimedSide);
      }
      break;
    }
  std::size_t lastSos = 0;
  for (std::size_t i = 0; i + 1 < jpg.size(); ++i)
    if (jpg[i] == 0xFF && jpg[i + 1] == 0xDA) lastSos = i;
  const std::size_t eoi = jpg.size() - 2;
  EXPECT_TRUE(lastSos > 0 && jpg[eoi] == 0xFF && jpg[eoi + 1] == 0xD9);
  const Bytes scan(jpg.begin() + static_cast<std::ptrdiff_t>(lastSos), jpg.begin() + static_cast<std::ptrdiff_t>(eoi));
  Bytes out(jpg.begin(), jpg.begin() + static_cast<std::ptrdiff_t>(eoi));
  for (int k = 0; k < extra; ++k) out.insert(out.end(), scan.begin(), scan.end());
  out.push_back(0xFF);
  out.push_back(0xD9);
  return out;
}

void DecodeAll(const Bytes& jpg) {
  tav1::JpegReader reader(jpg.data(), jpg.size());
  Bytes row(static_cast<std::size_t>(reader.Width()) * 3);
  reader.ReadRows([&](int) { return row.data(); });
}

TEST(DecoderBounds, JpegWithHundredsOfScansStillDecodes) {
  // Well above what encoders write (a 3-component picture split into every
  // coefficient and refinement bit stays under 400 scans).
  EXPECT_NO_THROW(DecodeAll(ProgressiveWithExtraScans(500)));
}

TEST(DecoderBounds, JpegWhoseScansWouldTakeTooLongIsStoppedWithAMessage) {
  struct Case {
    const char* what;
    int extra;
    int claimedSide;
    const char* reason;
  };
  // 300 scans of the 4096 x 4096 luminance (262144 blocks each) visit more
  // than 2^26 blocks although there are fewer than 1000 scans.
  for (const Case& c : {Case{"more than 1000 scans", 1000, 0, "scans"},
                        Case{"too many blocks for the picture's size", 300, 4096, "blocks"}}) {
    SCOPED_TRACE(c.what);
    const Bytes jpg = ProgressiveWithExtraScans(c.extra, c.claimedSide);
    const auto start = std::chrono::steady_clock::now();
    try {
      DecodeAll(jpg);
      ADD_FAILURE() << "decoded " << jpg.size() << " bytes of scans without a bound";
    } catch (const tav1::CodecError& e) {
      EXPECT_NE(std::string(e.what()).find(c.reason), std::string::npos) << e.what();
    }
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 10.0);
  }
}

}  // namespace
