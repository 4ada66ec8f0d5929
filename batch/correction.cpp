#include "batch/correction.h"

#include <filesystem>
#include <sstream>
#include <system_error>

#include "codecs/bmp_layout.h"
#include "codecs/file_io.h"
#include "core/image/working_image.h"
#include "core/state/settings.h"

namespace tav1::batch {
namespace fs = std::filesystem;

ToneParams Correction::TableParams() const {
  if (solo > 2) return params;
  EditPara para = EditPara::Defaults();
  para.SetNine(params);
  for (int c = 0; c < kChannels; ++c) {
    if (c != solo) MuteChannel(para, c);
  }
  return para.Nine();
}

ToneTables Correction::Tables() const { return TableMake(TableParams(), order, origin); }

namespace {

// Reads the settings text; false with a message when the file cannot be read.
bool ReadSettingsText(const std::string& path, std::string& text, std::string& error) {
  std::error_code ec;
  if (fs::is_directory(path, ec)) {
    error = "settings file \"" + path + "\" is a folder";
    return false;
  }
  try {
    const std::vector<std::uint8_t> bytes = ReadFileBytes(path);
    text.assign(bytes.begin(), bytes.end());
  } catch (const std::exception& e) {
    error = "cannot read the settings file \"" + path + "\": " + e.what();
    return false;
  }
  return true;
}

}  // namespace

CorrectionOutcome LoadCorrection(const BatchOptions& options, const std::string& defaultIniPlace) {
  CorrectionOutcome out;
  Settings s;  // read defaults
  std::string source;
  if (options.settingsPath) {
    source = *options.settingsPath;
    std::error_code ec;
    if (!fs::exists(source, ec)) {
      // A mistyped name must not silently run the default correction.
      out.error = "settings file \"" + source + "\" does not exist";
      return out;
    }
  } else {
    source = SettingsFile(defaultIniPlace).FindExisting();
  }
  if (!source.empty()) {
    std::string text;
    if (!ReadSettingsText(source, text, out.error)) return out;
    s = ParseSettings(text);
  }

  Correction& c = out.correction;
  for (int ch = 0; ch < 3; ++ch) {
    for (int k = 0; k < 3; ++k) c.params.at(ch, k) = s.Para[ch][k];
  }
  if (options.overrides.params) {
    c.params.v = *options.overrides.params;
  } else {
    static const char* const kKeys[9] = {"R0", "R1", "R2", "G0", "G1", "G2", "B0", "B1", "B2"};
    for (int k = 0; k < 9; ++k) {
      const int limit = (k % 3 == 1) ? kGammaLimit : kEndLimit;
      const std::int32_t v = c.params.v[static_cast<std::size_t>(k)];
      if (v < -limit || v > limit) {
        out.error = "settings file \"" + source + "\": " + kKeys[k] + "=" + std::to_string(v) +
                    " is outside " + std::to_string(-limit) + ".." + std::to_string(limit) +
                    " (give --params to replace it)";
        return out;
      }
    }
  }
  c.order = options.overrides.order.value_or(s.Order);
  c.origin = options.overrides.origin.value_or(s.Origin);
  c.saturation = options.overrides.saturation.value_or(s.Satulation);
  c.kidoRdc = options.overrides.kidoRdc.value_or(s.KidoRdc);
  c.satuRdc = options.overrides.satuRdc.value_or(s.SatuRdc);
  c.solo = static_cast<std::uint8_t>(options.solo);
  out.ok = true;
  return out;
}

std::string FormatTables(const ToneTables& tables) {
  std::ostringstream os;
  const std::uint8_t* rows[3] = {tables.TableR, tables.TableG, tables.TableB};
  const char names[3] = {'R', 'G', 'B'};
  for (int t = 0; t < 3; ++t) {
    os << names[t] << ':';
    for (int i = 0; i < 256; ++i) os << ' ' << static_cast<int>(rows[t][i]);
    os << '\n';
  }
  return os.str();
}

std::vector<std::uint8_t> ClutStripBmp(const ToneTables& tables) {
  std::vector<std::uint8_t> bmp = bmp::MakeImage(256, 1, 24);
  auto* px = reinterpret_cast<TTriple*>(bmp.data() + bmp::kRows24Offset);
  for (int i = 0; i < 256; ++i) {
    px[i].R = tables.TableR[i];
    px[i].G = tables.TableG[i];
    px[i].B = tables.TableB[i];
  }
  return bmp;
}

}  // namespace tav1::batch
