// The settings file "TAV1.INI": window places, the last tone parameters and the
// options, read once at start and written once when the main window closes.
#pragma once

#include <functional>
#include <string>

#include "core/state/para_triples.h"

namespace tav1 {

// Every key of the file, named as in the file. Member defaults are the read
// defaults (used for a missing or non-integer value); note that X1 and Y1
// differ from the first-run text (30, 30).
struct Settings {
  // [Position]
  int X1 = 0;    // main window left
  int Y1 = 32;   // main window top
  int H1 = 410;  // main window outer height
  int W1 = 237;  // main window outer width
  int X2 = 190;  // Form2_Left (image window)
  int Y2 = 32;   // Form2_Top
  int X3 = 0;    // Form3_Left (graph window)
  int Y3 = 380;  // Form3_Top
  int X4 = 30;   // Form4_Left (settings window)
  int Y4 = 70;   // Form4_Top
  int X5 = 200;  // X5_1 (JPEG save dialog)
  int Y5 = 100;  // Y5_1
  // [Parameter] R0 R1 R2, G0 G1 G2, B0 B1 B2
  ParaTriples Para = kNeutralTriples;
  // [Settings]
  int Order = 0;            // OrderFlag_I
  int Origin = 0;           // GyakuFlag_I
  int MakeHistoryMode = 0;  // MakeHistoryMode_I
  int GraphFront = 0;       // F4_GraphBTF1
  int Scale = 0;            // F4_Scale1
  int Polarity = 0;         // F4_Pola1
  int StepL = 2;            // F4_LineCombo1; above 4 reads as 2
  int StepG = 2;            // F4_GammaCombo1; above 4 reads as 2
  bool AutoApply = true;    // AutoApply_B
  int Satulation = 10;      // saturation track bar, clamped to 0..100 on reading
  bool KidoRdc = false;     // ByKidoCB1
  bool SatuRdc = false;     // BySatuCB1

  bool operator==(const Settings&) const = default;
};

// The 36 lines written on first run, each ended by CR LF.
extern const char* const kDefaultSettingsText;

// The folder of the settings file, with a trailing "/": $LOCALAPPDATA/Quillmoor/
// when LOCALAPPDATA is set, else $XDG_CONFIG_HOME/Quillmoor/, else
// $HOME/.config/Quillmoor/. The environment is read through the arguments
// (nullptr = unset) so that callers and tests choose the source.
std::string IniPlaceFrom(const char* localAppData, const char* xdgConfigHome, const char* home);
// Same, from the process environment. Without LOCALAPPDATA the fall-back base
// folder ($XDG_CONFIG_HOME or $HOME/.config) is created when it is missing, so
// that the settings folder can be made below it.
std::string IniPlaceFromEnvironment();

// Text form, independent of any file.
// Parses INI text (CR LF or LF) into settings: sections and keys match without
// regard to case, the first occurrence of a key in the first matching section
// counts, missing or non-integer values give the read defaults.
Settings ParseSettings(const std::string& text);
// Writes every key into existing INI text, in key-table order: an existing key
// keeps its line position (its value is replaced), a missing key is added at
// the end of its section, a missing section is added at the end of the text;
// every other line is kept. Output lines end in CR LF. Applies the placeholder
// rule to s first (low end 256 -> 0, high end 511 -> 255), so the caller must
// copy s.Para back into its parameter set.
std::string UpdateSettingsText(const std::string& existing, Settings& s);

// The settings file in one folder.
class SettingsFile {
 public:
  // iniPlace: the folder, with a trailing "/" (IniPlaceTXT1).
  explicit SettingsFile(std::string iniPlace);

  const std::string& IniPlaceTXT1() const { return iniPlace_; }

  // Creates the folder when it does not exist (one level: its parent must
  // exist). Throws StateError naming the folder when that fails.
  void EnsureFolder() const;
  // Full path of the existing settings file: "TAV1.INI" in any case of
  // letters (the first found in name order when several exist); empty when
  // there is none.
  std::string FindExisting() const;
  // The path reads and writes use: the existing file, else iniPlace + "TAV1.INI".
  std::string FilePath() const;
  // True when no settings file exists yet; the caller then shows
  // FirstRunMessage() and waits for OK before WriteDefaultText().
  bool NeedsFirstRunMessage() const { return FindExisting().empty(); }
  std::string FirstRunMessage() const;
  // Writes kDefaultSettingsText to FilePath(). Throws StateError naming the file.
  void WriteDefaultText() const;

  // Reads FilePath(); a missing or unreadable file gives all read defaults.
  Settings Read() const;
  // Updates FilePath() from s (see UpdateSettingsText; s.Para gets the
  // placeholder replacement). The new text goes to a temporary file in the same
  // folder which then replaces the old one, so a failure never leaves a
  // half-written settings file. Throws StateError naming the file when the file
  // exists but may not be written, or when writing or replacing fails.
  void Write(Settings& s) const;

  // Start-up sequence: EnsureFolder; when no file exists, showMessage(FirstRunMessage())
  // then WriteDefaultText; then Read.
  Settings LoadAtStart(const std::function<void(const std::string&)>& showMessage) const;

 private:
  std::string iniPlace_;
};

}  // namespace tav1
