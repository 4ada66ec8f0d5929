#include "core/image/open_path.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <filesystem>
#include <system_error>
#include <utility>
#include <vector>

#include "codecs/bmp_codec.h"
#include "codecs/file_io.h"
#include "codecs/jpeg_codec.h"
#include "codecs/large_image.h"
#include "codecs/png_codec.h"

namespace tav1 {

namespace openmsg {
std::string BmpTooLarge() { return "画像が大きすぎます(縦横 " + std::to_string(MaxSizeOfImage) + " 以下のみ)"; }
std::string DecodedTooLarge() {
  return "画像が大きすぎます (縦横とも " + std::to_string(MaxSizeOfImage) + " 以下)";
}
std::string Damaged(const std::string& fileName, const std::string& reason) {
  return fileName + kCannotOpenSuffix + "\r\n" + reason;
}
}  // namespace openmsg

std::string FileNameOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string FolderOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string ExtensionOf(const std::string& path) {
  const std::string name = FileNameOf(path);
  const auto dot = name.find_last_of('.');
  return dot == std::string::npos ? std::string() : name.substr(dot);
}

std::string UpperAscii(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return s;
}

namespace {

void Reject(WorkingImage& img, OpenPort& port, const std::string& message) {
  img.LoadRejected = true;
  port.Beep();
  port.SetStatus(openmsg::kDialogShown, true);
  port.MessageBox(message);
}

void RejectDamaged(WorkingImage& img, OpenPort& port, const std::string& path, const char* reason,
                   const char* detail) {
  std::fprintf(stderr, "tav1: %s refused: %s\n", path.c_str(), detail);
  Reject(img, port, openmsg::Damaged(FileNameOf(path), reason));
}

// The BMP check proper, on bytes already read. `path` names the file in messages.
void BmpCheckBytes(const std::string& path, std::vector<std::uint8_t> bytes, WorkingImage& img, OpenPort& port) {
  BmpReadResult r = ReadBmp(std::move(bytes), MaxSizeOfImage);
  switch (r.refusal) {
    case BmpRefusal::None:
      break;
    case BmpRefusal::ShortHeader:
      return RejectDamaged(img, port, path, openmsg::kBmpShortHeader, "file ends inside its headers");
    case BmpRefusal::UnknownHeader:
      return RejectDamaged(img, port, path, openmsg::kBmpUnknownHeader, "unknown information-header size");
    case BmpRefusal::BadBits:
      return Reject(img, port, openmsg::kBadBits);
    case BmpRefusal::Compressed:
      return Reject(img, port, openmsg::kCompressed);
    case BmpRefusal::TooLarge:
      return Reject(img, port, openmsg::BmpTooLarge());
    case BmpRefusal::NotPositive:
      return Reject(img, port, openmsg::kNotPositive);
    case BmpRefusal::FewColours:
      return Reject(img, port, openmsg::kFewColours);
    case BmpRefusal::ShortRows:
      return RejectDamaged(img, port, path, openmsg::kBmpShortRows, "file ends inside its palette or rows");
  }
  img.MemStBmp1 = std::move(r.image);
  img.biBitFlag = r.bits;
  img.ImageWidth = static_cast<int>(r.width);
  img.ImageHeight = static_cast<int>(r.height);
  port.SetImageCursor(r.bits == 24);
  img.GrayPaletteFlag = r.bits == 8 && IsGrayRampPalette(img.MemStBmp1);
  if (img.GrayPaletteFlag) {
    port.SetStatus(openmsg::kDialogShown, true);
    port.MessageBox(openmsg::kGrayRamp);
  }
}

bool ReadAll(const std::string& path, std::vector<std::uint8_t>& bytes, WorkingImage& img, OpenPort& port) {
  try {
    bytes = ReadFileBytes(path);
    return true;
  } catch (const CodecError& e) {
    RejectDamaged(img, port, path, openmsg::kUnreadable, e.what());
    return false;
  }
}

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// JPEG and PNG are decoded from the open file, so the compressed bytes are
// never held beside the decoded picture.
FilePtr OpenForDecoding(const std::string& path, WorkingImage& img, OpenPort& port) {
  FilePtr f(std::fopen(path.c_str(), "rb"));
  if (!f) RejectDamaged(img, port, path, openmsg::kUnreadable, std::strerror(errno));
  return f;
}

// True unless the file's interlace method (byte 28, in the IHDR chunk every PNG
// starts with) says rows come once each. Read beside the decoder's position.
bool PngInterlaced(std::FILE* file) {
  unsigned char method = 1;
  return ::pread(::fileno(file), &method, 1, 28) != 1 || method != 0;
}

// A decoded picture and the writer of its temporary BMP, which may still be
// writing from the store. The writer is declared last so it is destroyed
// first and never writes from freed memory (assigning a Decoded does not
// keep that order: reset the writer first).
struct Decoded {
  std::vector<std::uint8_t> store;
  std::unique_ptr<BackgroundFileWriter> temp;
};

// Finishes the temporary BMP of a decoded picture (a byte copy of the store:
// the fixed layout is a BMP file), starting its writer first if decoding did
// not. The store itself becomes the source, so the file is not read back.
bool WriteTemp(const std::string& path, const std::string& tempPath, Decoded& d, WorkingImage& img,
               OpenPort& port) {
  try {
    if (!d.temp) {
      d.temp = std::make_unique<BackgroundFileWriter>(tempPath);
      d.temp->Put(0, d.store.data(), d.store.size());
    }
    d.temp->Finish();
  } catch (const CodecError& e) {
    RejectDamaged(img, port, path, openmsg::kTempWrite, e.what());
    return false;
  } catch (const std::bad_alloc&) {
    RejectDamaged(img, port, path, openmsg::kTempWrite, "out of memory");
    return false;
  }
  return true;
}

enum class HeaderVerdict { Ok, TooLarge, NotPositive };

HeaderVerdict CheckDecodedSize(long long w, long long h) {
  if (w > MaxSizeOfImage || h > MaxSizeOfImage) return HeaderVerdict::TooLarge;
  if (w <= 0 || h <= 0) return HeaderVerdict::NotPositive;
  return HeaderVerdict::Ok;
}

// Rows handed to the temporary file's writer at a time: about 1 MiB.
std::size_t BandRows(std::size_t stride) { return std::max<std::size_t>(1, (std::size_t{1} << 20) / stride); }

// Reads a JPEG or PNG header, refuses a size the store cannot take, then
// decodes every row straight into a new 24-bit fixed-layout store (rows
// bottom-up). afterHeader runs once the size is accepted. An empty store means
// the file was refused and the refusal already reported.
//
// With a non-empty bandedTemp, the temporary BMP of that name is written while
// decoding goes on: the header first, then each band of rows once the decoder
// has moved past it. A reader that asks for a row again (an interlaced
// picture comes in passes) ends the banding: the rows are written once more,
// whole, after the last pass, over what the earlier bands put there.
template <class Reader, class AfterHeader>
Decoded DecodeToStore24(const std::string& path, std::FILE* file, const char* broken, WorkingImage& img,
                        OpenPort& port, AfterHeader&& afterHeader, const std::string& bandedTemp,
                        const DecodedRows& onRows = {}) {
  Decoded d;
  try {
    Reader reader(file);
    const int w = reader.Width();
    const int h = reader.Height();
    switch (CheckDecodedSize(w, h)) {
      case HeaderVerdict::TooLarge:
        Reject(img, port, openmsg::DecodedTooLarge());
        return {};
      case HeaderVerdict::NotPositive:
        Reject(img, port, openmsg::kNotPositive);
        return {};
      case HeaderVerdict::Ok:
        break;
    }
    afterHeader();
    d.store = bmp::MakeLargeImage(w, h, 24);
    const std::size_t stride = static_cast<std::size_t>(bmp::Stride24(w));
    std::uint8_t* base = d.store.data() + bmp::kRows24Offset;
    std::uint8_t* const end = d.store.data() + d.store.size();
    const std::size_t band = BandRows(stride);
    int sent = 0;  // rows [0, sent) are with the writer
    // Rows [0, done) are final. Top rows lie at the store's end, so row band
    // [sent, done) is the byte range just below the one sent before.
    auto rowsDone = [&](int done) {
      if (!d.temp || (static_cast<std::size_t>(done - sent) < band && done != h)) return;
      std::uint8_t* from = end - static_cast<std::size_t>(done) * stride;
      d.temp->Put(static_cast<std::uint64_t>(from - d.store.data()), from,
                  static_cast<std::size_t>(done - sent) * stride);
      if (onRows) d.temp->Post([&onRows, from, n = done - sent, stride, w] { onRows(from, n, stride, w); });
      sent = done;
    };
    if (!bandedTemp.empty()) {
      d.temp = std::make_unique<BackgroundFileWriter>(bandedTemp);
      d.temp->Put(0, d.store.data(), bmp::kRows24Offset);
    }
    int asked = -1;
    bool again = false;
    reader.ReadRows([&](int y) {
      again = again || y <= asked;
      asked = y;
      if (!again) rowsDone(y);  // asked for row y: the rows above it are complete
      return base + static_cast<std::size_t>(h - 1 - y) * stride;
    });
    if (again && d.temp) d.temp->Put(bmp::kRows24Offset, base, static_cast<std::size_t>(h) * stride);
    if (!again) rowsDone(h);
  } catch (const CodecError& e) {
    d.temp.reset();  // stops the writer before the store goes
    RejectDamaged(img, port, path, broken, e.what());
    return {};
  } catch (const std::bad_alloc&) {
    d.temp.reset();  // stops the writer before the store goes
    RejectDamaged(img, port, path, broken, "out of memory");
    return {};
  }
  return d;
}

}  // namespace

void BmpCheck1(const std::string& path, WorkingImage& img, OpenPort& port) {
  std::vector<std::uint8_t> bytes;
  if (!ReadAll(path, bytes, img, port)) return;
  BmpCheckBytes(path, std::move(bytes), img, port);
}

void JpgCheck1(const std::string& path, WorkingImage& img, const OpenedNames& names, OpenPort& port,
               const DecodedRows& onRows) {
  port.SetStatus(openmsg::kReadingJpeg, true);
  const FilePtr file = OpenForDecoding(path, img, port);
  if (!file) return;
  const std::string tempPath = names.PathTemp1 + tempname::kJpeg;
  Decoded d = DecodeToStore24<JpegReader>(path, file.get(), openmsg::kJpegBroken, img, port, [] {}, tempPath, onRows);
  if (d.store.empty()) return;
  if (!WriteTemp(path, tempPath, d, img, port)) return;
  const bmp::HeaderView h = CheckFixedImage(d.store);
  img.MemStBmp1 = std::move(d.store);
  img.ImageWidth = h.width;
  img.ImageHeight = h.height;
  img.GrayPaletteFlag = false;
  img.biBitFlag = 24;
  port.SetImageCursor(true);
  port.SetStatus(openmsg::kBlank, false);
}

void PngCheck2(const std::string& path, WorkingImage& img, const OpenedNames& names, OpenPort& port) {
  port.RecreateImageWindow();
  const FilePtr file = OpenForDecoding(path, img, port);
  if (!file) return;
  // Interlaced rows arrive once per pass, so their file is written after decoding.
  const std::string tempPath = names.PathTemp1 + tempname::kPng;
  Decoded d = DecodeToStore24<PngReader>(path, file.get(), openmsg::kPngBroken, img, port,
                                         [&] { port.SetStatus(openmsg::kReadingPng, true); },
                                         PngInterlaced(file.get()) ? std::string() : tempPath);
  if (d.store.empty()) return;
  if (!WriteTemp(path, tempPath, d, img, port)) return;
  // The same check a BMP file gets, on the bytes just written to the temporary file.
  BmpCheckBytes(tempPath, std::move(d.store), img, port);
  port.SetStatus(openmsg::kBlank, true);
}

OpenOutcome OpenChecks(const std::string& path, WorkingImage& img, OpenedNames& names, OpenPort& port,
                       const DecodedRows& onRows) {
  std::error_code ec;
  const auto st = std::filesystem::status(path, ec);
  // Only a regular file (or a link to one) is a picture: reading a pipe or a
  // device named like one would block or never end.
  if (ec || !std::filesystem::is_regular_file(st)) return OpenOutcome::NoFile;
  port.SetStatus(openmsg::kReading, true);
  names.OpenedPath = path;
  names.OpenedName = FileNameOf(path);
  names.PathName2 = FolderOf(path);
  names.OpenedExt = ExtensionOf(path);
  const std::string ext = UpperAscii(names.OpenedExt);
  if (ext == ".BMP") {
    BmpCheck1(path, img, port);
  } else if (ext == ".JPG" || ext == ".JPEG") {
    JpgCheck1(path, img, names, port, onRows);
  } else if (ext == ".PNG") {
    PngCheck2(path, img, names, port);
  } else {
    return OpenOutcome::UnknownExtension;
  }
  port.SetMainCaption(openmsg::kCaption);
  port.SetStatus(openmsg::kBlank, false);
  if (img.LoadRejected) {
    img.LoadRejected = false;
    return OpenOutcome::Rejected;
  }
  return OpenOutcome::Accepted;
}

std::string TmpDir() {
  const char* env = std::getenv("TMPDIR");
  std::string dir = (env != nullptr && *env != '\0') ? env : "/tmp";
  if (dir.back() != '/') dir += '/';
  return dir;
}

void DeleteTempFiles(const std::string& pathTemp1) {
  for (const char* name : tempname::kAll) {
    const std::filesystem::path p = pathTemp1 + name;
    std::error_code ec;
    if (std::filesystem::exists(p, ec)) std::filesystem::remove(p, ec);
  }
}

}  // namespace tav1
