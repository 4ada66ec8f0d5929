// The whole open path, from the bytes of a file to the source store: the bytes
// are written to a file whose extension matches their signature (or, without
// one, is picked from the last byte) and opened as the editor opens it. Every
// open ends accepted with a store that matches the geometry, or rejected with
// a message to the user and the picture already open left untouched; nothing
// else may happen.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "codecs/bmp_codec.h"
#include "core/image/open_path.h"
#include "fuzz/png_crc.h"

namespace {

class CountingPort : public tav1::OpenPort {
 public:
  void MessageBox(const std::string&) override { ++boxes; }
  void Beep() override {}
  void SetStatus(const std::string&, bool) override {}
  void PumpEvents() override {}
  void SetImageCursor(bool) override {}
  void RecreateImageWindow() override {}
  void SetMainCaption(const std::string&) override {}
  int boxes = 0;
};

std::string ScratchFolder() {
  static std::string folder = [] {
    const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    std::string t = std::string(base) + "/tav1-fuzz-open-XXXXXX";
    if (mkdtemp(t.data()) == nullptr) std::abort();
    return t + "/";
  }();
  return folder;
}

const char* ExtensionFor(const std::uint8_t* d, std::size_t n) {
  if (n >= 2 && d[0] == 'B' && d[1] == 'M') return ".bmp";
  if (n >= 4 && std::memcmp(d, "\x89PNG", 4) == 0) return ".png";
  if (n >= 2 && d[0] == 0xFF && d[1] == 0xD8) return ".jpg";
  static const char* const kAny[] = {".bmp", ".JPEG", ".png"};
  return n == 0 ? ".bmp" : kAny[d[n - 1] % 3];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tav1;
  const std::string folder = ScratchFolder();
  const std::string path = folder + "input" + ExtensionFor(data, size);
  std::vector<std::uint8_t> bytes(data, data + size);
  fuzz::FixPngCrcs(bytes);  // only files with the PNG signature are touched
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) std::abort();
  if (size > 0 && std::fwrite(bytes.data(), 1, size, f) != size) std::abort();
  std::fclose(f);

  // A picture is already open: a refusal must leave it exactly as it was.
  WorkingImage img;
  img.MemStBmp1 = bmp::MakeImage(3, 2, 8);
  img.MemStBmp1[bmp::kRows08Offset] = 7;
  img.biBitFlag = 8;
  img.ImageWidth = 3;
  img.ImageHeight = 2;
  img.GrayPaletteFlag = true;
  const WorkingImage before = img;
  OpenedNames names;
  names.PathTemp1 = folder;
  CountingPort port;
  const OpenOutcome out = OpenChecks(path, img, names, port);
  std::remove(path.c_str());
  if (img.LoadRejected) std::abort();  // OpenChecks clears it on every way out
  if (out == OpenOutcome::Rejected) {
    if (port.boxes == 0) std::abort();
    if (img.MemStBmp1 != before.MemStBmp1 || img.biBitFlag != before.biBitFlag ||
        img.ImageWidth != before.ImageWidth || img.ImageHeight != before.ImageHeight ||
        img.GrayPaletteFlag != before.GrayPaletteFlag)
      std::abort();
    return 0;
  }
  if (out != OpenOutcome::Accepted) std::abort();
  const bmp::HeaderView h = CheckFixedImage(img.MemStBmp1);
  if (h.width != img.ImageWidth || h.height != img.ImageHeight || h.bits != img.biBitFlag) std::abort();
  if (img.ImageWidth > MaxSizeOfImage || img.ImageHeight > MaxSizeOfImage) std::abort();
  img.GeometryStep();
  const std::size_t last = img.RowsOffset() + static_cast<std::size_t>(img.geo.Yend) * img.Stride() + img.Stride();
  if (img.MemStBmp2.size() < last) std::abort();
  return 0;
}
