// One picture of a batch: open it as the editor opens it, apply the
// correction as the editor's apply does, and write it as the editor saves it.
// A job touches only its own working image and its own temporary folder, so
// jobs can run side by side.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "batch/correction.h"
#include "batch/naming.h"
#include "core/image/working_image.h"
#include "core/tone/tables.h"

namespace tav1::batch {

struct OutputSettings {
  int quality = 100;
  bool progressive = false;
  bool overwrite = false;
};

// The picture as the editor holds it after opening and applying.
struct CorrectedPicture {
  bool ok = false;
  bool rejected = false;  // refused by the open checks (message is the editor's text)
  std::string message;    // why not ok
  WorkingImage image;     // MemStBmp2 holds the result when ok
};

// tempFolder: an existing folder of this job's own, with a trailing "/"; the
// JPEG and PNG decoders put their temporary BMP files there.
CorrectedPicture OpenAndCorrect(const std::string& path, const Correction& correction,
                                const ToneTables& tables, const std::string& tempFolder);

// Writes the result store to path in the format as the editor's save does:
// BMP of the same depth, PNG at zlib level 9 (8-bit stays indexed), JPEG at
// the given quality (8-bit expanded through its palette). Throws CodecError.
void SaveResult(const WorkingImage& image, PictureFormat format, const OutputSettings& settings,
                const std::string& path);

enum class JobOutcome { kWritten, kRejected, kSkipped, kFailed };

struct JobResult {
  JobOutcome outcome = JobOutcome::kFailed;
  std::string message;  // one line for stderr, without the file name
};

// The whole job. Its temporary folder is made below tempRoot and removed
// afterwards, whatever happens.
JobResult RunPictureJob(const PlannedPicture& picture, const Correction& correction,
                        const ToneTables& tables, const OutputSettings& settings,
                        const std::string& tempRoot);

}  // namespace tav1::batch
