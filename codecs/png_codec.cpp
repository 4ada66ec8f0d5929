#include "codecs/png_codec.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <string>

#include "codecs/bmp_codec.h"
#include "codecs/bmp_layout.h"
#include "codecs/file_io.h"

namespace tav1 {
namespace {

// libpng's default error handler prints and jumps to png_jmpbuf; ours keeps the
// message so it can be passed on in the CodecError.
struct Messages {
  char error[256] = {0};
};

void OnError(png_structp png, png_const_charp msg) {
  auto* m = static_cast<Messages*>(png_get_error_ptr(png));
  if (m != nullptr) std::snprintf(m->error, sizeof m->error, "%s", msg);
  png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp msg) { std::fprintf(stderr, "tav1: libpng warning: %s\n", msg); }

[[noreturn]] void ThrowBroken(const char* detail) {
  throw CodecError(std::string("PNGデータが壊れています (") + detail + ")");
}

struct Source {
  const std::uint8_t* data = nullptr;
  std::size_t size = 0;
  std::size_t pos = 0;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t n) {
  auto* src = static_cast<Source*>(png_get_io_ptr(png));
  if (src->size - src->pos < n) png_error(png, "unexpected end of file");
  std::memcpy(out, src->data + src->pos, n);
  src->pos += n;
}

}  // namespace

struct PngReader::State {
  png_structp png = nullptr;
  png_infop info = nullptr;
  Messages msg;
  Source src;
  png_uint_32 width = 0;
  png_uint_32 height = 0;
  int passes = 1;

  void Destroy() {
    if (png != nullptr) png_destroy_read_struct(&png, info != nullptr ? &info : nullptr, nullptr);
    png = nullptr;
    info = nullptr;
  }
};

PngReader::PngReader(const std::uint8_t* data, std::size_t size) : s_(std::make_unique<State>()) {
  s_->src = Source{data, size, 0};
  if (size < 8 || png_sig_cmp(data, 0, 8) != 0) ThrowBroken("not a PNG signature");
  Start(nullptr);
}

PngReader::PngReader(std::FILE* file) : s_(std::make_unique<State>()) {
  png_byte sig[8];
  if (std::fread(sig, 1, 8, file) != 8 || png_sig_cmp(sig, 0, 8) != 0) ThrowBroken("not a PNG signature");
  Start(file);
}

void PngReader::Start(std::FILE* file) {
  State& s = *s_;
  s.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &s.msg, OnError, OnWarning);
  if (s.png == nullptr) ThrowBroken("out of memory");
  s.info = png_create_info_struct(s.png);
  if (s.info == nullptr) {
    s.Destroy();
    ThrowBroken("out of memory");
  }
  if (setjmp(png_jmpbuf(s.png))) {
    s.Destroy();
    ThrowBroken(s.msg.error);
  }
  // The size limit is the caller's; libpng's own million-pixel default would
  // turn an oversized picture into a decoding error.
  png_set_user_limits(s.png, 0x7fffffffu, 0x7fffffffu);
  // Only IHDR, PLTE, tRNS and IDAT matter for the pixels; every other chunk is
  // skipped unread. libpng's own size check on those chunks is only a warning,
  // after which it would allocate whatever length a text or profile chunk claims.
  png_set_keep_unknown_chunks(s.png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
  if (file != nullptr) {
    png_init_io(s.png, file);
    png_set_sig_bytes(s.png, 8);
  } else {
    png_set_read_fn(s.png, &s.src, ReadFromMemory);
  }
  png_read_info(s.png, s.info);
  s.width = png_get_image_width(s.png, s.info);
  s.height = png_get_image_height(s.png, s.info);
}

PngReader::~PngReader() {
  if (s_) s_->Destroy();
}

int PngReader::Width() const { return static_cast<int>(s_->width); }
int PngReader::Height() const { return static_cast<int>(s_->height); }

void PngReader::ReadRows(const std::function<std::uint8_t*(int y)>& rowAt) {
  State& s = *s_;
  if (s.png == nullptr) ThrowBroken("reader already failed");
  if (setjmp(png_jmpbuf(s.png))) {
    s.Destroy();
    ThrowBroken(s.msg.error);
  }
  const int colorType = png_get_color_type(s.png, s.info);
  const int depth = png_get_bit_depth(s.png, s.info);
  if (depth == 16) png_set_strip_16(s.png);
  if (colorType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(s.png);
  if ((colorType & PNG_COLOR_MASK_COLOR) == 0) {
    if (depth < 8) png_set_expand_gray_1_2_4_to_8(s.png);
    png_set_gray_to_rgb(s.png);
  }
  // Drops an alpha channel, and the one a palette's tRNS would have become.
  png_set_strip_alpha(s.png);
  png_set_bgr(s.png);
  s.passes = png_set_interlace_handling(s.png);
  png_read_update_info(s.png, s.info);
  if (png_get_channels(s.png, s.info) != 3 || png_get_bit_depth(s.png, s.info) != 8 ||
      png_get_rowbytes(s.png, s.info) != static_cast<png_size_t>(s.width) * 3)
    png_error(s.png, "unexpected pixel format after conversion");
  for (int pass = 0; pass < s.passes; ++pass) {
    for (png_uint_32 y = 0; y < s.height; ++y) {
      png_bytep row = rowAt(static_cast<int>(y));
      png_read_row(s.png, row, nullptr);
    }
  }
  // The chunks after the image data are not needed; a damaged tail is ignored.
}

std::vector<std::uint8_t> DecodePngToStore(const std::uint8_t* data, std::size_t size) {
  PngReader reader(data, size);
  const int w = reader.Width();
  const int h = reader.Height();
  if (w <= 0 || h <= 0) ThrowBroken("image size out of range");
  std::vector<std::uint8_t> store = bmp::MakeImage(w, h, 24);
  const std::size_t stride = static_cast<std::size_t>(bmp::Stride24(w));
  std::uint8_t* base = store.data() + bmp::kRows24Offset;
  reader.ReadRows([&](int y) { return base + static_cast<std::size_t>(h - 1 - y) * stride; });
  return store;
}

namespace {

struct WriteState {
  png_structp png = nullptr;
  png_infop info = nullptr;
  Messages msg;
  AtomicFileWriter* out = nullptr;
  std::string writeError;
};

void WriteToFile(png_structp png, png_bytep data, png_size_t n) {
  auto* s = static_cast<WriteState*>(png_get_io_ptr(png));
  bool ok = true;
  try {
    s->out->Write(data, n);
  } catch (const CodecError& e) {
    s->writeError = e.what();
    ok = false;
  }
  // Jump only once the handler has finished; longjmp must not leave a catch block.
  if (!ok) png_error(png, "write failed");
}

void FlushNothing(png_structp) {}

// The row loop of the writer: rows go to libpng top row first, straight from
// the bottom-up store. Kept apart so that it can be replaced by a parallel
// encoder without touching the chunk handling around it.
void WritePngRows(png_structp png, const std::uint8_t* rows, std::size_t stride, int height,
                  const PngProgress& progress) {
  const int step = height >= 8 ? height / 8 : 1;
  for (int y = 0; y < height; ++y) {
    png_write_row(png, rows + static_cast<std::size_t>(height - 1 - y) * stride);
    if (progress && (y + 1) % step == 0) progress();
  }
}

bool WriteCore(WriteState& s, const std::vector<std::uint8_t>& bmp, const bmp::HeaderView& h,
               const PngProgress& progress) {
  s.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &s.msg, OnError, OnWarning);
  if (s.png == nullptr) return false;
  s.info = png_create_info_struct(s.png);
  if (s.info == nullptr) {
    png_destroy_write_struct(&s.png, nullptr);
    return false;
  }
  if (setjmp(png_jmpbuf(s.png))) {
    png_destroy_write_struct(&s.png, &s.info);
    return false;
  }
  png_set_write_fn(s.png, &s, WriteToFile, FlushNothing);
  png_set_compression_level(s.png, 9);
  png_set_compression_buffer_size(s.png, 1u << 18);
  const bool indexed = h.bits == 8;
  png_set_IHDR(s.png, s.info, static_cast<png_uint_32>(h.width), static_cast<png_uint_32>(h.height), 8,
               indexed ? PNG_COLOR_TYPE_PALETTE : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_color palette[256];
  if (indexed) {
    const std::uint8_t* pal = bmp.data() + bmp::kPaletteOffset;
    for (int i = 0; i < 256; ++i) {
      palette[i].blue = pal[4 * i + 0];
      palette[i].green = pal[4 * i + 1];
      palette[i].red = pal[4 * i + 2];
    }
    png_set_PLTE(s.png, s.info, palette, 256);
  }
  png_write_info(s.png, s.info);
  if (!indexed) png_set_bgr(s.png);
  WritePngRows(s.png, bmp.data() + bmp::RowsOffset(h.bits), static_cast<std::size_t>(bmp::Stride(h.width, h.bits)),
               h.height, progress);
  png_write_end(s.png, nullptr);
  png_destroy_write_struct(&s.png, &s.info);
  return true;
}

}  // namespace

void WritePng(const std::string& path, const std::vector<std::uint8_t>& bmp, const PngProgress& progress) {
  const bmp::HeaderView h = CheckFixedImage(bmp);
  AtomicFileWriter out(path);
  WriteState s;
  s.out = &out;
  if (!WriteCore(s, bmp, h, progress)) {
    if (!s.writeError.empty()) throw CodecError(s.writeError);
    std::fprintf(stderr, "tav1: PNG encoding failed: %s\n", s.msg.error);
    throw CodecError("PNGファイルを書き込めません: " + path + " (" + s.msg.error + ")");
  }
  out.Commit();
}

}  // namespace tav1
