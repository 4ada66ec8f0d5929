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
Bytes ProgressiveWithExtraScans(int extra) {
  Bytes jpg = tav1::EncodeJpeg(Gradient24(16, 16), 75, /*progressive=*/true);
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

TEST(DecoderBounds, JpegWithMoreThanAThousandScansIsStoppedWithAMessage) {
  const Bytes jpg = ProgressiveWithExtraScans(1000);
  const auto start = std::chrono::steady_clock::now();
  try {
    DecodeAll(jpg);
    FAIL() << "decoded " << jpg.size() << " bytes of scans without a bound";
  } catch (const tav1::CodecError& e) {
    EXPECT_NE(std::string(e.what()).find("scans"), std::string::npos) << e.what();
  }
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 5.0);
}

}  // namespace
