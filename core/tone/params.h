// The tone parameter set: per channel a low end (input carried to black), a
// gamma step (-126..126, bends the curve) and a high end (input carried to
// white), the solo bookkeeping around it, the one stepping operation with its
// range check, and the texts of the 3 x 3 parameter grid.
//
// Everything here is a value or a free function over values passed in; the
// owner (the main window's logic) keeps the state.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace tav1 {

// Channel c: 0 = red, 1 = green, 2 = blue; grid row c shows channel c.
inline constexpr int kChannels = 3;
// Parameter (slot / grid column) indexes.
inline constexpr int kSlotLow = 0;
inline constexpr int kSlotGamma = 1;
inline constexpr int kSlotHigh = 2;
inline constexpr int kSlotBackup = 9;  // slots 9..11 hold 0..2 while another channel is solo
inline constexpr int kSlotsPerChannel = 12;

inline constexpr std::int32_t kDefaultLow = 0;
inline constexpr std::int32_t kDefaultGamma = 0;
inline constexpr std::int32_t kDefaultHigh = 255;
inline constexpr std::int32_t kGammaLimit = 126;  // gamma step stays within -126..126

// A muted (non-solo) channel holds 256, 0, 511; its table becomes all zeros.
inline constexpr std::int32_t kPlaceholderLow = 256;
inline constexpr std::int32_t kPlaceholderGamma = 0;
inline constexpr std::int32_t kPlaceholderHigh = 511;

// SoloFlag: 0, 1, 2 = that channel is solo; 3 = no channel is solo.
inline constexpr std::uint8_t kSoloNone = 3;

// The nine values exchanged with history entries, memories and the settings
// file: slots 0..2 of channels 0, 1, 2, in the order red low, gamma, high,
// green low, gamma, high, blue low, gamma, high. Never the backup slots.
struct ToneParams {
  std::array<std::int32_t, 9> v{kDefaultLow, kDefaultGamma, kDefaultHigh,
                                kDefaultLow, kDefaultGamma, kDefaultHigh,
                                kDefaultLow, kDefaultGamma, kDefaultHigh};

  std::int32_t& at(int channel, int slot) { return v[static_cast<std::size_t>(channel * 3 + slot)]; }
  std::int32_t at(int channel, int slot) const { return v[static_cast<std::size_t>(channel * 3 + slot)]; }
  std::int32_t Low(int c) const { return at(c, kSlotLow); }
  std::int32_t Gamma(int c) const { return at(c, kSlotGamma); }
  std::int32_t High(int c) const { return at(c, kSlotHigh); }

  static ToneParams Defaults() { return ToneParams{}; }
  // Every channel 0, 0, 255.
  bool IsDefault() const { return *this == ToneParams{}; }
  bool operator==(const ToneParams&) const = default;
};

// The settings file stores a placeholder low end 256 as 0 and a placeholder
// high end 511 as 255; every other value as it stands.
ToneParams ForSettingsFile(const ToneParams& p);

// The parameter set as the main window holds it: 3 channels x 12 signed
// 32-bit integers, element (channel c, slot k) at index c * 12 + k.
// Slots 0..2 are the parameters, 3..8 carry no meaning, 9..11 are the solo
// backup of 0..2.
struct EditPara {
  std::array<std::int32_t, kChannels * kSlotsPerChannel> v{};

  // First-start values: every triple 0, 0, 255 (slots 0..2, 3..5, 6..8, 9..11).
  static EditPara Defaults();

  std::int32_t& operator[](int index) { return v[static_cast<std::size_t>(index)]; }
  std::int32_t operator[](int index) const { return v[static_cast<std::size_t>(index)]; }
  std::int32_t& at(int channel, int slot) { return (*this)[channel * kSlotsPerChannel + slot]; }
  std::int32_t at(int channel, int slot) const { return (*this)[channel * kSlotsPerChannel + slot]; }
  std::int32_t Low(int c) const { return at(c, kSlotLow); }
  std::int32_t Gamma(int c) const { return at(c, kSlotGamma); }
  std::int32_t High(int c) const { return at(c, kSlotHigh); }

  // Slots 0..2 of the three channels.
  ToneParams Nine() const;
  // Writes slots 0..2 of the three channels; the backup slots keep their values.
  void SetNine(const ToneParams& p);

  bool operator==(const EditPara&) const = default;
};

// MuteChannel: slots 0..2 of the channel into 9..11, then 0..2 := 256, 0, 511.
// RestoreChannel: slots 9..11 back into 0..2. A channel outside 0..2 is ignored.
void MuteChannel(EditPara& para, int channel);
void RestoreChannel(EditPara& para, int channel);

// What a step acts on and how large a coarse step is.
struct StepContext {
  bool CoarseFlag = false;       // set by the coarse buttons
  bool AllChannelsFlag = false;  // the grid selection is a whole column
  bool GrayPaletteFlag = false;  // grey-ramp palette image: every step acts on all channels
  int F4_LineCombo1 = 2;         // coarse size index for the low and high ends (2^(i+1))
  int F4_GammaCombo1 = 2;        // coarse size index for the gamma step
};

// round(2^(index + 1)), ties to even: 0..4 give 2..32, -1 gives 1, lower
// indexes give 0. Indexes above 61 give 2^62 (any such step is refused).
std::int64_t CoarseFactor(int index);

// True when adding step to that slot of that channel would leave its range:
//   slot 0: low + step >= high - 4;  slot 1: outside -126..126;
//   slot 2: high + step <= low + 4;  any other slot: false.
// Sums are formed in 64 bits; a result that would not fit a 32-bit slot is
// also reported as out of range.
bool HannigaiCheck(const EditPara& para, int channel, int parameter, std::int64_t step);

// Applies one step to EditPara. A coarse step is multiplied by the coarse
// factor first. With AllChannelsFlag or GrayPaletteFlag the step is checked
// for all three channels and applied to all or none (each channel moves from
// its own value); otherwise only to the given channel. A step that would leave
// the range is refused whole, never clamped; refusal is silent. Only slots
// 0..2 are ever written: a parameter index outside 0..2 changes nothing.
void Effect1(EditPara& para, const StepContext& ctx, int channel, int parameter, int step);

// Grid texts, [row][column]; row = channel, column = slot 0..2.
using GridRowTexts = std::array<std::string, 3>;
using GridTexts = std::array<GridRowTexts, 3>;

// One grid row from the channel of that index: low end, gamma step with "+"
// in front when greater than 0 ("+8", "0", "-8"), high end, all in decimal.
GridRowTexts WriteColorPara(const EditPara& para, int row);

// All three rows: a row shows its channel when SoloFlag is 3 or the row is
// the solo row; otherwise its three cells are "--".
GridTexts GridUpdate(const EditPara& para, std::uint8_t SoloFlag);

}  // namespace tav1
