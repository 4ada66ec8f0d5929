#include "batch/naming.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <set>
#include <system_error>

namespace tav1::batch {
namespace fs = std::filesystem;

namespace {

std::string Upper(std::string_view s) {
  std::string u(s);
  for (char& ch : u) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  return u;
}

// Two spellings of one file compare equal: absolute, lexically normal, with
// symbolic links of the existing part resolved.
std::string Key(const std::string& path) {
  std::error_code ec;
  fs::path p = fs::weakly_canonical(fs::absolute(fs::path(path), ec), ec);
  if (ec) p = fs::absolute(fs::path(path)).lexically_normal();
  return p.string();
}

}  // namespace

PictureFormat FormatFromExtension(std::string_view extension) {
  const std::string u = Upper(extension);
  if (u == ".BMP") return PictureFormat::kBmp;
  if (u == ".PNG") return PictureFormat::kPng;
  if (u == ".JPG" || u == ".JPEG") return PictureFormat::kJpeg;
  return PictureFormat::kUnknown;
}

const char* FormatExtension(PictureFormat format) {
  switch (format) {
    case PictureFormat::kBmp: return ".bmp";
    case PictureFormat::kPng: return ".png";
    case PictureFormat::kJpeg: return ".jpg";
    case PictureFormat::kUnknown: break;
  }
  return "";
}

Plan PlanOutputs(const BatchOptions& options) {
  Plan plan;
  PictureFormat outputFileFormat = PictureFormat::kUnknown;
  if (!options.output.empty()) {
    outputFileFormat = FormatFromExtension(fs::path(options.output).extension().string());
    if (outputFileFormat == PictureFormat::kUnknown) {
      if (!options.format) {
        plan.usageError = "cannot tell the format of \"" + options.output +
                          "\": name it .bmp, .png or .jpg, or give --format";
        return plan;
      }
      outputFileFormat = *options.format;
    } else if (options.format && *options.format != outputFileFormat) {
      plan.usageError = "--format disagrees with the extension of \"" + options.output + "\"";
      return plan;
    }
  }

  std::set<std::string> inputKeys;
  for (const std::string& in : options.pictures) inputKeys.insert(Key(in));
  std::map<std::string, std::string> claimed;  // output key -> the input that got it

  for (const std::string& in : options.pictures) {
    PlannedPicture pic;
    pic.input = in;
    const fs::path inPath(in);
    const std::string inExt = inPath.extension().string();
    pic.inFormat = FormatFromExtension(inExt);
    if (pic.inFormat == PictureFormat::kUnknown) {
      pic.problem = PlannedPicture::Problem::kUnsupportedInput;
      pic.problemText = "not a BMP, JPEG or PNG file name";
      plan.pictures.push_back(std::move(pic));
      continue;
    }
    if (!options.output.empty()) {
      pic.output = options.output;
      pic.outFormat = outputFileFormat;
    } else {
      pic.outFormat = options.format.value_or(pic.inFormat);
      const std::string ext =
          (pic.outFormat == pic.inFormat) ? inExt : std::string(FormatExtension(pic.outFormat));
      const std::string name = inPath.stem().string() + options.suffix + ext;
      const fs::path folder = options.outDir.empty() ? inPath.parent_path() : fs::path(options.outDir);
      pic.output = (folder / name).string();
    }
    const std::string key = Key(pic.output);
    if (inputKeys.count(key) != 0) {
      pic.problem = PlannedPicture::Problem::kOutputIsInput;
      pic.problemText = "output \"" + pic.output + "\" would replace an input picture";
    } else if (const auto it = claimed.find(key); it != claimed.end()) {
      pic.problem = PlannedPicture::Problem::kOutputCollides;
      pic.problemText = "output \"" + pic.output + "\" is already the output of \"" + it->second + "\"";
    } else {
      claimed.emplace(key, in);
    }
    plan.pictures.push_back(std::move(pic));
  }
  plan.ok = true;
  return plan;
}

}  // namespace tav1::batch
