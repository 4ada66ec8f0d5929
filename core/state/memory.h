// One parameter memory ("メモリー１" / "メモリー２"): a state kept for recall
// while the program runs; never written to the settings file.
#pragma once

#include <cstdint>

#include "core/state/para_triples.h"

namespace tav1 {

struct ParaMemory {
  ParaTriples Para = kNeutralTriples;  // EditPara slots 0..2 of channels 0..2
  std::uint8_t TrackBar = 10;          // saturation slider position, 0..100
  std::uint8_t Order = 0;              // "適用順序" item index
  std::uint8_t Origin = 0;             // "ガンマカーブ原点" item index
  std::uint8_t SoloFlag = 3;           // 0..3, 3 = no solo channel
  bool ByKido = false;                 // ByKidoCB1 checked
  bool BySatu = false;                 // BySatuCB1 checked

  bool operator==(const ParaMemory&) const = default;
};

// What both memories hold at start: recalling a never-stored slot gives these.
inline constexpr ParaMemory kNeutralMemory{};

}  // namespace tav1
