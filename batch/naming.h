// Where each picture's output goes and in which format, decided for the
// whole batch before any picture is opened.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "batch/options.h"

namespace tav1::batch {

// ".bmp", ".png", ".jpg", ".jpeg" in any case; anything else is kUnknown.
PictureFormat FormatFromExtension(std::string_view extension);
const char* FormatExtension(PictureFormat format);  // ".bmp", ".png", ".jpg"

struct PlannedPicture {
  std::string input;
  PictureFormat inFormat = PictureFormat::kUnknown;
  std::string output;
  PictureFormat outFormat = PictureFormat::kUnknown;
  // Set when the picture cannot be done at all; the batch goes on with the others.
  enum class Problem { kNone, kUnsupportedInput, kOutputIsInput, kOutputCollides } problem =
      Problem::kNone;
  std::string problemText;
};

struct Plan {
  bool ok = false;
  std::string usageError;  // when !ok: exit status 2
  std::vector<PlannedPicture> pictures;
};

// Output name: -o as given; otherwise the input's stem + suffix + extension,
// in --out-dir or beside the input. The extension is the input's own as written
// when the format does not change, else the format's. A name shared by two
// inputs goes to the first only; an output that names an input is refused.
Plan PlanOutputs(const BatchOptions& options);

}  // namespace tav1::batch
