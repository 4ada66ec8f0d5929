// Command-line options of tav1-batch. Parsing checks every value before any
// file is touched, so a bad value never leaves half a batch behind.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace tav1::batch {

enum class PictureFormat { kUnknown, kBmp, kPng, kJpeg };

// Values given on the command line that replace those of the settings file.
struct ToneOverrides {
  std::optional<std::array<int, 9>> params;  // R0,R1,R2,G0,G1,G2,B0,B1,B2
  std::optional<int> order;
  std::optional<int> origin;
  std::optional<int> saturation;  // slider position 0..100 (10 is x1.0)
  std::optional<bool> kidoRdc;
  std::optional<bool> satuRdc;
};

struct BatchOptions {
  std::optional<std::string> settingsPath;  // empty: the editor's own file
  ToneOverrides overrides;
  int solo = 3;  // 0, 1, 2: that channel alone; 3: normal
  std::string output;  // -o, only with a single picture
  std::string outDir;
  std::string suffix = "_tav1";
  std::optional<PictureFormat> format;  // empty: the input's own format
  int quality = 100;
  bool progressive = false;
  int jobs = 0;  // 0: one per core
  bool overwrite = false;
  bool printTables = false;
  std::string exportClut;
  bool help = false;
  bool version = false;
  std::vector<std::string> pictures;
};

struct ParseOutcome {
  bool ok = false;
  std::string error;  // one line, for "tav1-batch: <error>"
  BatchOptions options;
};

// args excludes the program name.
ParseOutcome ParseBatchArgs(const std::vector<std::string>& args);

std::string UsageText();
std::string VersionText();

// Bounds of the tone parameters accepted on the command line and from a
// settings file. The gamma step keeps the curve exponent finite; the ends are
// unbounded in the editor, the bound here only keeps end differences far from
// integer overflow.
inline constexpr int kGammaLimit = 126;
inline constexpr int kEndLimit = 100000;

}  // namespace tav1::batch
