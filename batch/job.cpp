#include "batch/job.h"

#include <stdlib.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "batch/atomic_write.h"
#include "codecs/bmp_codec.h"
#include "codecs/codec_error.h"
#include "codecs/file_io.h"
#include "codecs/jpeg_codec.h"
#include "codecs/png_codec.h"
#include "codecs/png_parallel.h"
#include "core/image/open_path.h"
#include "core/tone/passes.h"

namespace tav1::batch {
namespace fs = std::filesystem;

namespace {

// This job's own temporary folder, removed with everything in it when the
// job ends.
class TempFolder {
 public:
  explicit TempFolder(const std::string& root) {
    std::string pattern = (fs::path(root) / "tav1-batch-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) {
      path_ = pattern + "/";
    } else {
      error_ = "cannot make a temporary folder in " + root + ": " + std::strerror(errno);
    }
  }
  ~TempFolder() {
    if (path_.empty()) return;
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& path() const { return path_; }
  const std::string& error() const { return error_; }

 private:
  std::string path_;
  std::string error_;
};

// The open path's view of the windows: a batch has none, so only the
// messages are kept; the last one of a rejected open says why.
class QuietPort : public OpenPort {
 public:
  void MessageBox(const std::string& text) override { last_ = text; }
  void Beep() override {}
  void SetStatus(const std::string&, bool) override {}
  void PumpEvents() override {}
  void SetImageCursor(bool) override {}
  void RecreateImageWindow() override {}
  void SetMainCaption(const std::string&) override {}

  const std::string& last() const { return last_; }

 private:
  std::string last_;
};

// The editor's messages break lines with CR LF; stderr wants LF.
std::string ForTerminal(std::string text) {
  for (std::size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at)) {
    text.erase(at, 1);
  }
  return text;
}

}  // namespace

CorrectedPicture OpenAndCorrect(const std::string& path, const Correction& correction,
                                const ToneTables& tables, const std::string& tempFolder) {
  CorrectedPicture out;
  QuietPort port;
  OpenedNames names;
  names.PathTemp1 = tempFolder;
  switch (OpenChecks(path, out.image, names, port)) {
    case OpenOutcome::NoFile:
      out.message = "no such file";
      return out;
    case OpenOutcome::UnknownExtension:
      out.rejected = true;
      out.message = "not a BMP, JPEG or PNG file name";
      return out;
    case OpenOutcome::Rejected:
      out.rejected = true;
      out.message = ForTerminal(port.last());
      return out;
    case OpenOutcome::Accepted:
      break;
  }
  // As after every open: geometry, then the result store as a copy of the source.
  out.image.GeometryStep();
  TonePassRequest request;
  request.biBitFlag = out.image.biBitFlag;
  request.GrayPaletteFlag = out.image.GrayPaletteFlag;
  request.SoloFlag = correction.solo;
  request.SliderPosition = correction.saturation;
  request.ByKido = correction.kidoRdc;
  request.BySatu = correction.satuRdc;
  const PassResult pass =
      ApplyTonePass(out.image.MemStBmp1, out.image.MemStBmp2, out.image.geo, tables, request);
  if (pass.status != PassStatus::Done) {
    out.message = "the tone pass could not run on this picture";
    return out;
  }
  out.ok = true;
  return out;
}

void SaveResult(const WorkingImage& image, PictureFormat format, const OutputSettings& settings,
                const std::string& path) {
  switch (format) {
    case PictureFormat::kBmp:
      WriteBmp(path, image.MemStBmp2);
      return;
    case PictureFormat::kJpeg: {
      const std::vector<std::uint8_t> jpeg =
          EncodeJpeg(image.MemStBmp2, settings.quality, settings.progressive);
      tav1::WriteFileAtomic(path, jpeg.data(), jpeg.size());
      return;
    }
    case PictureFormat::kPng:
      WritePngParallel(path, image.MemStBmp2);
      return;
    case PictureFormat::kUnknown:
      break;
  }
  throw CodecError("no writer for this output format");
}

JobResult RunPictureJob(const PlannedPicture& picture, const Correction& correction,
                        const ToneTables& tables, const OutputSettings& settings,
                        const std::string& tempRoot) {
  try {
    std::error_code ec;
    if (!settings.overwrite && fs::exists(fs::symlink_status(picture.output, ec))) {
      return {JobOutcome::kSkipped,
              "skipped: \"" + picture.output + "\" exists; give --overwrite to replace it"};
    }
    const TempFolder temp(tempRoot);
    if (temp.path().empty()) return {JobOutcome::kFailed, temp.error()};

    const CorrectedPicture done = OpenAndCorrect(picture.input, correction, tables, temp.path());
    if (!done.ok) {
      return {done.rejected ? JobOutcome::kRejected : JobOutcome::kFailed, done.message};
    }
    const WriteResult w = PublishFile(
        picture.output, settings.overwrite, [&](const std::string& tempPath, std::string& error) {
          try {
            SaveResult(done.image, picture.outFormat, settings, tempPath);
            return true;
          } catch (const std::exception& e) {
            error = e.what();
            return false;
          }
        });
    switch (w.status) {
      case WriteStatus::kWritten: return {JobOutcome::kWritten, ""};
      case WriteStatus::kExists:
        return {JobOutcome::kSkipped,
                "skipped: \"" + picture.output + "\" exists; give --overwrite to replace it"};
      case WriteStatus::kFailed: break;
    }
    return {JobOutcome::kFailed, w.error};
  } catch (const std::bad_alloc&) {
    return {JobOutcome::kFailed, "out of memory"};
  } catch (const std::exception& e) {
    return {JobOutcome::kFailed, e.what()};
  }
}

}  // namespace tav1::batch
