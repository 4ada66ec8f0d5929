#include "codecs/jpeg_codec.h"

// jpeglib.h needs size_t and FILE declared first.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <csetjmp>
#include <string>

#include <jpeglib.h>
#include <jerror.h>

#include "codecs/bmp_codec.h"
#include "codecs/bmp_layout.h"

namespace tav1 {
namespace {

// libjpeg reports fatal errors through error_exit, which by default ends the
// process; ours jumps back to the setjmp of the call in progress instead.
struct ErrorMgr {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

void ErrorExit(j_common_ptr c) {
  auto* e = reinterpret_cast<ErrorMgr*>(c->err);
  (*c->err->format_message)(c, e->message);
  std::longjmp(e->jump, 1);
}

void OutputMessage(j_common_ptr c) {
  char buf[JMSG_LENGTH_MAX];
  (*c->err->format_message)(c, buf);
  std::fprintf(stderr, "tav1: libjpeg: %s\n", buf);
}

void InitErrors(ErrorMgr& e) {
  jpeg_std_error(&e.pub);
  e.pub.error_exit = ErrorExit;
  e.pub.output_message = OutputMessage;
  e.message[0] = '\0';
}

[[noreturn]] void ThrowBroken(const char* detail) {
  throw CodecError(std::string("JPEGデータが壊れています (") + detail + ")");
}

// Every scan of a progressive file walks all the blocks of its components, and
// a scan can be a dozen bytes long, so a small file could keep the decoder busy
// for minutes. Two bounds stop such a file before the scan that crosses them
// is decoded: the number of scans (real encoders stay under 400 even with one
// scan per coefficient, component and refinement bit of a 3-component
// picture), and the blocks all scans visit together: 2^26, 22 times the
// blocks of an 8000 x 8000 colour picture without chroma subsampling (a usual
// progressive file visits each block 4 to 6 times), a few seconds of decoding.
constexpr int kMaxScans = 1000;
constexpr std::uint64_t kMaxBlockVisits = std::uint64_t{1} << 26;

struct ScanBudget {
  jpeg_progress_mgr pub;  // first, so the library's pointer is also ours
  int lastScan = 0;
  std::uint64_t blockVisits = 0;
};

[[noreturn]] void StopDecoding(j_common_ptr c, const char* format, unsigned long long limit) {
  auto* e = reinterpret_cast<ErrorMgr*>(c->err);
  std::snprintf(e->message, sizeof e->message, format, limit);
  std::longjmp(e->jump, 1);
}

// Called at least once between reading a scan's header and decoding its data;
// the scan's geometry (MCUs and blocks per MCU) is set by then.
void LimitScans(j_common_ptr c) {
  if (!c->is_decompressor) return;
  const auto* d = reinterpret_cast<j_decompress_ptr>(c);
  auto* budget = reinterpret_cast<ScanBudget*>(c->progress);
  if (d->input_scan_number == budget->lastScan) return;
  budget->lastScan = d->input_scan_number;
  if (d->input_scan_number > kMaxScans) StopDecoding(c, "more than %llu scans", kMaxScans);
  budget->blockVisits += static_cast<std::uint64_t>(d->MCUs_per_row) * d->MCU_rows_in_scan *
                         static_cast<std::uint64_t>(d->blocks_in_MCU);
  if (budget->blockVisits > kMaxBlockVisits)
    StopDecoding(c, "scans would visit more than %llu blocks", kMaxBlockVisits);
}

inline std::uint8_t MulDiv255(unsigned a, unsigned b) {
  return static_cast<std::uint8_t>((a * b + 127) / 255);
}

}  // namespace

struct JpegReader::State {
  jpeg_decompress_struct cinfo;
  ErrorMgr err;
  ScanBudget progress;
  bool created = false;
  bool cmyk = false;
  bool adobeInverted = false;
  std::vector<JSAMPLE> rowBuf;
};

JpegReader::JpegReader(const std::uint8_t* data, std::size_t size) : s_(std::make_unique<State>()) {
  Start(data, size, nullptr);
}

JpegReader::JpegReader(std::FILE* file) : s_(std::make_unique<State>()) { Start(nullptr, 0, file); }

void JpegReader::Start(const std::uint8_t* data, std::size_t size, std::FILE* file) {
  State& s = *s_;
  std::memset(&s.cinfo, 0, sizeof s.cinfo);
  InitErrors(s.err);
  s.cinfo.err = &s.err.pub;
  if (setjmp(s.err.jump)) {
    std::string msg = s.err.message;
    jpeg_destroy_decompress(&s.cinfo);
    s.created = false;
    ThrowBroken(msg.c_str());
  }
  jpeg_create_decompress(&s.cinfo);
  s.created = true;
  s.progress = ScanBudget{};
  s.progress.pub.progress_monitor = LimitScans;
  s.cinfo.progress = &s.progress.pub;
  if (file != nullptr) {
    jpeg_stdio_src(&s.cinfo, file);
  } else {
    if (size == 0) ERREXIT(&s.cinfo, JERR_INPUT_EMPTY);
    jpeg_mem_src(&s.cinfo, const_cast<unsigned char*>(data), static_cast<unsigned long>(size));
  }
  jpeg_read_header(&s.cinfo, TRUE);
  if (s.cinfo.jpeg_color_space == JCS_CMYK || s.cinfo.jpeg_color_space == JCS_YCCK) {
    s.cmyk = true;
    s.adobeInverted = s.cinfo.saw_Adobe_marker;
    s.cinfo.out_color_space = JCS_CMYK;
  } else {
    // Gray is widened to three channels by libjpeg itself.
#ifdef JCS_EXTENSIONS
    s.cinfo.out_color_space = JCS_EXT_BGR;  // the stores' byte order: rows go straight in
#else
    s.cinfo.out_color_space = JCS_RGB;
#endif
  }
}

JpegReader::~JpegReader() {
  if (s_ && s_->created) jpeg_destroy_decompress(&s_->cinfo);
}

int JpegReader::Width() const { return static_cast<int>(s_->cinfo.image_width); }
int JpegReader::Height() const { return static_cast<int>(s_->cinfo.image_height); }

void JpegReader::ReadRows(const std::function<std::uint8_t*(int y)>& rowAt) {
  State& s = *s_;
  if (!s.created) throw CodecError("JPEGデータが壊れています");
  const std::size_t w = s.cinfo.image_width;
  if (setjmp(s.err.jump)) {
    std::string msg = s.err.message;
    jpeg_destroy_decompress(&s.cinfo);
    s.created = false;
    ThrowBroken(msg.c_str());
  }
  jpeg_start_decompress(&s.cinfo);
  if (s.cinfo.output_components != (s.cmyk ? 4 : 3)) ERREXIT(&s.cinfo, JERR_BAD_J_COLORSPACE);
  s.rowBuf.resize(w * static_cast<std::size_t>(s.cinfo.output_components));
  while (s.cinfo.output_scanline < s.cinfo.output_height) {
    const int y = static_cast<int>(s.cinfo.output_scanline);
    if (!s.cmyk && s.cinfo.out_color_space != JCS_RGB) {
      JSAMPROW direct = rowAt(y);  // blue, green, red already
      jpeg_read_scanlines(&s.cinfo, &direct, 1);
      continue;
    }
    JSAMPROW row = s.rowBuf.data();
    jpeg_read_scanlines(&s.cinfo, &row, 1);
    std::uint8_t* out = rowAt(y);
    const JSAMPLE* in = s.rowBuf.data();
    if (!s.cmyk) {
      for (std::size_t x = 0; x < w; ++x, in += 3, out += 3) {
        out[0] = in[2];
        out[1] = in[1];
        out[2] = in[0];
      }
    } else if (s.adobeInverted) {
      // Adobe writes CMYK inverted: 0 is full ink, so the channel is c * k.
      for (std::size_t x = 0; x < w; ++x, in += 4, out += 3) {
        out[0] = MulDiv255(in[2], in[3]);
        out[1] = MulDiv255(in[1], in[3]);
        out[2] = MulDiv255(in[0], in[3]);
      }
    } else {
      for (std::size_t x = 0; x < w; ++x, in += 4, out += 3) {
        out[0] = MulDiv255(255u - in[2], 255u - in[3]);
        out[1] = MulDiv255(255u - in[1], 255u - in[3]);
        out[2] = MulDiv255(255u - in[0], 255u - in[3]);
      }
    }
  }
  jpeg_finish_decompress(&s.cinfo);
}

std::vector<std::uint8_t> DecodeJpegToStore(const std::uint8_t* data, std::size_t size) {
  JpegReader reader(data, size);
  const int w = reader.Width();
  const int h = reader.Height();
  std::vector<std::uint8_t> store = bmp::MakeImage(w, h, 24);
  if (store.empty()) throw CodecError("JPEGデータが壊れています (画像の幅か高さが0です)");
  const std::size_t stride = static_cast<std::size_t>(bmp::Stride24(w));
  std::uint8_t* base = store.data() + bmp::kRows24Offset;
  reader.ReadRows([&](int y) { return base + static_cast<std::size_t>(h - 1 - y) * stride; });
  return store;
}

namespace {

struct EncodeState {
  jpeg_compress_struct cinfo;
  ErrorMgr err;
  unsigned char* out = nullptr;
  unsigned long outSize = 0;
  std::vector<JSAMPLE> rowBuf;
};

// All C++ objects this touches live in `s`, outside the setjmp frame.
bool EncodeCore(EncodeState& s, const std::vector<std::uint8_t>& bmp, const bmp::HeaderView& h, int quality,
                bool progressive) {
  std::memset(&s.cinfo, 0, sizeof s.cinfo);
  InitErrors(s.err);
  s.cinfo.err = &s.err.pub;
  if (setjmp(s.err.jump)) {
    jpeg_destroy_compress(&s.cinfo);
    return false;
  }
  jpeg_create_compress(&s.cinfo);
  jpeg_mem_dest(&s.cinfo, &s.out, &s.outSize);
  s.cinfo.image_width = static_cast<JDIMENSION>(h.width);
  s.cinfo.image_height = static_cast<JDIMENSION>(h.height);
  s.cinfo.input_components = 3;
  s.cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&s.cinfo);
  jpeg_set_quality(&s.cinfo, quality, TRUE);
  if (progressive) jpeg_simple_progression(&s.cinfo);
  jpeg_start_compress(&s.cinfo, TRUE);

  const std::size_t w = static_cast<std::size_t>(h.width);
  const std::size_t stride = static_cast<std::size_t>(bmp::Stride(h.width, h.bits));
  const std::uint8_t* base = bmp.data() + bmp::RowsOffset(h.bits);
  const std::uint8_t* pal = bmp.data() + bmp::kPaletteOffset;
  while (s.cinfo.next_scanline < s.cinfo.image_height) {
    const std::size_t y = s.cinfo.next_scanline;
    const std::uint8_t* src = base + (static_cast<std::size_t>(h.height) - 1 - y) * stride;
    JSAMPLE* dst = s.rowBuf.data();
    if (h.bits == 8) {
      for (std::size_t x = 0; x < w; ++x, dst += 3) {
        const std::uint8_t* e = pal + 4 * src[x];
        dst[0] = e[2];
        dst[1] = e[1];
        dst[2] = e[0];
      }
    } else {
      for (std::size_t x = 0; x < w; ++x, src += 3, dst += 3) {
        dst[0] = src[2];
        dst[1] = src[1];
        dst[2] = src[0];
      }
    }
    JSAMPROW row = s.rowBuf.data();
    jpeg_write_scanlines(&s.cinfo, &row, 1);
  }
  jpeg_finish_compress(&s.cinfo);
  jpeg_destroy_compress(&s.cinfo);
  return true;
}

}  // namespace

std::vector<std::uint8_t> EncodeJpeg(const std::vector<std::uint8_t>& bmp, int quality, bool progressive) {
  const bmp::HeaderView h = CheckFixedImage(bmp);
  EncodeState s;
  s.rowBuf.resize(static_cast<std::size_t>(h.width) * 3);
  const bool ok = EncodeCore(s, bmp, h, quality, progressive);
  std::vector<std::uint8_t> bytes;
  if (ok) bytes.assign(s.out, s.out + s.outSize);
  std::free(s.out);  // jpeg_mem_dest's buffer is ours to release
  if (!ok) {
    std::fprintf(stderr, "tav1: JPEG encoding failed: %s\n", s.err.message);
    throw CodecError(std::string("JPEGに変換できません (") + s.err.message + ")");
  }
  return bytes;
}

}  // namespace tav1
