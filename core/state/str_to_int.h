// Integer text as the settings file and the shrink dialog's boxes accept it.
//
// Accepted: surrounding blanks (space, tab), an optional '+' or '-', then either
// decimal digits or hexadecimal digits after "$", "0x" or "0X". Decimal values
// must lie in the signed 32-bit range; hexadecimal values up to FFFFFFFF are
// taken as the 32-bit pattern (so "$FFFFFFFF" is -1). Anything else, including
// the empty text, "12abc", "1.5", "0x" and "--3", is not an integer.
//   " 12" -> 12, "+5" -> 5, "0x10" -> 16, "$ff" -> 255, "-0x10" -> -16
#pragma once

#include <optional>
#include <string_view>

namespace tav1 {

std::optional<int> ParseInt(std::string_view text);

inline int StrToIntDef(std::string_view text, int def) {
  const std::optional<int> v = ParseInt(text);
  return v ? *v : def;
}

}  // namespace tav1
