#include "core/state/str_to_int.h"

#include <cstdint>

namespace tav1 {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::optional<int> ParseInt(std::string_view t) {
  while (!t.empty() && IsBlank(t.front())) t.remove_prefix(1);
  while (!t.empty() && IsBlank(t.back())) t.remove_suffix(1);
  bool negative = false;
  if (!t.empty() && (t.front() == '+' || t.front() == '-')) {
    negative = t.front() == '-';
    t.remove_prefix(1);
  }
  bool hex = false;
  if (!t.empty() && t.front() == '$') {
    hex = true;
    t.remove_prefix(1);
  } else if (t.size() >= 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
    hex = true;
    t.remove_prefix(2);
  }
  if (t.empty()) return std::nullopt;

  std::uint64_t v = 0;
  for (char c : t) {
    const int d = hex ? HexDigit(c) : (c >= '0' && c <= '9' ? c - '0' : -1);
    if (d < 0) return std::nullopt;
    v = v * (hex ? 16 : 10) + static_cast<std::uint64_t>(d);
    if (v > 0xFFFFFFFFull) return std::nullopt;  // also keeps v * 16 from overflowing
  }
  std::int64_t r;
  if (hex) {
    // The 32-bit pattern: "$FFFFFFFF" is -1.
    r = static_cast<std::int32_t>(static_cast<std::uint32_t>(v));
  } else {
    if (v > (negative ? 2147483648ull : 2147483647ull)) return std::nullopt;
    r = static_cast<std::int64_t>(v);
  }
  if (negative) r = -r;
  if (r < INT32_MIN || r > INT32_MAX) return std::nullopt;  // "-$80000000" would be +2^31
  return static_cast<int>(r);
}

}  // namespace tav1
