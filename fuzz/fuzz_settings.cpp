// The settings file reader and writer on any text: reading never fails, and
// what the writer makes of a text reads back as the settings it was given;
// writing the same settings again changes nothing.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/state/settings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tav1;
  const std::string text(reinterpret_cast<const char*>(data), size);
  Settings s = ParseSettings(text);
  if (s.StepL > 4 || s.StepG > 4 || s.Satulation < 0 || s.Satulation > 100) std::abort();
  const std::string written = UpdateSettingsText(text, s);
  if (!(ParseSettings(written) == s)) std::abort();
  Settings again = s;
  if (UpdateSettingsText(written, again) != written) std::abort();
  return 0;
}
