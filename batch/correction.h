// The one correction a batch applies: the nine parameters, the table switches
// and the saturation options, taken from a settings file and the command line,
// and the tables built from them once for every picture.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "batch/options.h"
#include "core/tone/params.h"
#include "core/tone/tables.h"

namespace tav1::batch {

struct Correction {
  ToneParams params;  // as given; muted channels are not yet replaced
  int order = 0;      // OrderFlag_I
  int origin = 0;     // GyakuFlag_I
  int saturation = 10;
  bool kidoRdc = false;
  bool satuRdc = false;
  std::uint8_t solo = kSoloNone;

  // The parameters the tables are built from: in solo mode the two other
  // channels carry the muted placeholder 256, 0, 511, as in the editor.
  ToneParams TableParams() const;
  ToneTables Tables() const;
};

struct CorrectionOutcome {
  bool ok = false;
  std::string error;  // when !ok: exit status 2
  Correction correction;
};

// Settings file: options.settingsPath when given (it must exist and be
// readable), else the editor's own file in defaultIniPlace, where a missing
// file means the read defaults. The file is only read, never created.
// Command-line values replace the file's. Parameters from the file are held to
// the same bounds as those of --params (gamma step -126..126).
CorrectionOutcome LoadCorrection(const BatchOptions& options, const std::string& defaultIniPlace);

// Three lines "R: ...", "G: ...", "B: ..." of 256 decimal numbers each.
std::string FormatTables(const ToneTables& tables);

// 256 x 1 RGB colour lookup strip: pixel i = (TableR[i], TableG[i], TableB[i]),
// as a fixed-layout 24-bit BMP image (bottom-up, one row).
std::vector<std::uint8_t> ClutStripBmp(const ToneTables& tables);

}  // namespace tav1::batch
