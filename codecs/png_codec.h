// PNG through libpng. Library errors become CodecError; nothing ends the process.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "codecs/codec_error.h"

namespace tav1 {

// Reads every chunk up to the image data when constructed, so the size is
// known before any pixel memory exists; ReadRows then decodes the picture.
class PngReader {
 public:
  // `data` must outlive the reader. Throws CodecError when the header is unreadable.
  PngReader(const std::uint8_t* data, std::size_t size);
  // Streams from an open file (positioned at its start), so the compressed
  // file is never held in memory; `file` must outlive the reader.
  explicit PngReader(std::FILE* file);
  ~PngReader();
  PngReader(const PngReader&) = delete;
  PngReader& operator=(const PngReader&) = delete;

  int Width() const;
  int Height() const;

  // Decodes the picture, top row first, into rowAt(y): 3 * Width() bytes blue,
  // green, red, 8 bits per channel. Every colour type and bit depth is taken:
  // palettes and gray are expanded, 16-bit samples keep their high byte, and
  // transparency (alpha channel or tRNS) is dropped with the stored colours
  // kept, never blended. For interlaced files rowAt(y) is asked for each row
  // once per pass and must return the same memory every time. Call once.
  void ReadRows(const std::function<std::uint8_t*(int y)>& rowAt);

  struct State;

 private:
  void Start(std::FILE* file);
  std::unique_ptr<State> s_;
};

// Decodes a PNG into a 24-bit fixed-layout store.
std::vector<std::uint8_t> DecodePngToStore(const std::uint8_t* data, std::size_t size);

// Called a few times while a file is written (after each eighth of the rows);
// the editor lets window events run there. It must not throw.
using PngProgress = std::function<void()>;

// Writes a fixed-layout store as a PNG, atomically: 8-bit stores as colour type
// 3 with a 256-entry PLTE, 24-bit stores as colour type 2; bit depth 8, zlib
// level 9, not interlaced, chunks IHDR, PLTE (indexed only), IDAT, IEND.
// Rows are read straight from the store; no second copy of the picture is made.
void WritePng(const std::string& path, const std::vector<std::uint8_t>& bmp, const PngProgress& progress = {});

}  // namespace tav1
