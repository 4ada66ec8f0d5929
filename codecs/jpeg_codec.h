// JPEG through the IJG libjpeg API. Library errors never end the process: they
// become CodecError, and every libjpeg object is released on the way out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

#include "codecs/codec_error.h"

namespace tav1 {

// Reads the header when constructed, so the size is known before any pixel
// memory exists; ReadRows then streams the picture out one row at a time.
class JpegReader {
 public:
  // `data` must outlive the reader. Throws CodecError when the header is unreadable.
  JpegReader(const std::uint8_t* data, std::size_t size);
  // Streams from an open file (positioned at its start), so the compressed
  // file is never held in memory; `file` must outlive the reader.
  explicit JpegReader(std::FILE* file);
  ~JpegReader();
  JpegReader(const JpegReader&) = delete;
  JpegReader& operator=(const JpegReader&) = delete;

  int Width() const;
  int Height() const;

  // Decodes every row, top row first, into rowAt(y): 3 * Width() bytes in the
  // order blue, green, red. Gray pictures give three equal channels; CMYK and
  // YCCK pictures (Adobe's inverted form included) are converted to RGB. Call
  // once. Throws CodecError when the data is broken.
  void ReadRows(const std::function<std::uint8_t*(int y)>& rowAt);

  struct State;

 private:
  void Start(const std::uint8_t* data, std::size_t size, std::FILE* file);
  std::unique_ptr<State> s_;
};

// Encodes a fixed-layout store of 8 bits (expanded through its palette) or 24
// bits as a three-component JPEG: jpeg_set_defaults, jpeg_set_quality(quality,
// forced baseline tables), jpeg_simple_progression when asked.
std::vector<std::uint8_t> EncodeJpeg(const std::vector<std::uint8_t>& bmp, int quality, bool progressive);

// Decodes a JPEG into a 24-bit fixed-layout store.
std::vector<std::uint8_t> DecodeJpegToStore(const std::uint8_t* data, std::size_t size);
inline std::vector<std::uint8_t> DecodeJpegToStore(const std::vector<std::uint8_t>& bytes) {
  return DecodeJpegToStore(bytes.data(), bytes.size());
}

}  // namespace tav1
