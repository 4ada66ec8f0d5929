// The nine tone parameters as the settings file, the history and the memories
// exchange them: for red, green, blue (index 0, 1, 2) the low end, the gamma
// step and the high end (index 0, 1, 2). The solo backup slots are never part
// of it.
#pragma once

#include <array>
#include <cstdint>

namespace tav1 {

using ParaTriples = std::array<std::array<std::int32_t, 3>, 3>;

// 0, 0, 255 for every channel.
inline constexpr ParaTriples kNeutralTriples = {{{0, 0, 255}, {0, 0, 255}, {0, 0, 255}}};

}  // namespace tav1
