// PNG writing with the image data deflated in strips on two threads.
//
// The file has the chunks of WritePng (IHDR, PLTE for 8-bit stores, IDAT, IEND),
// bit depth 8, not interlaced, and one zlib stream at level 9 in its IDAT
// chunks, so any PNG reader decodes it to the same pixels. Each strip of rows
// is an independent raw deflate stream primed with the window of filtered data
// before it (what a single stream would have had: 32 KB, or 16 KB for rows
// longer than that) and ended with a sync flush, which byte-aligns it; the
// strips are joined behind one zlib header and the Adler-32 values combined. RGB rows take the filter with the smallest
// sum of absolute byte values (libpng's own choice); palette rows are not
// filtered.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "codecs/png_codec.h"

namespace tav1 {

// Called on the calling thread after each strip it has deflated, with the share
// of all strips done so far (0..1); a caller lets window events run there.
using PngStripProgress = std::function<void(double fractionDone)>;

// The PNG file bytes of a fixed-layout store (8 or 24 bits). threads <= 0
// means one per core (at most two). stripRows <= 0 picks strips of about 4 MB.
// The bytes do not depend on the number of threads. Throws CodecError for an
// invalid store.
std::vector<std::uint8_t> EncodePngParallel(const std::vector<std::uint8_t>& bmp,
                                            const PngStripProgress& progress = {}, int threads = 0,
                                            int stripRows = 0);

// Encodes as above and writes the file atomically (as WritePng does).
void WritePngParallel(const std::string& path, const std::vector<std::uint8_t>& bmp,
                      const PngStripProgress& progress = {}, int threads = 0);

}  // namespace tav1
