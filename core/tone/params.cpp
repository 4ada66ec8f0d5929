#include "core/tone/params.h"

#include <cmath>
#include <cstdlib>
#include <limits>

namespace tav1 {

namespace {

bool ValidChannel(int c) { return c >= 0 && c < kChannels; }

bool FitsSlot(std::int64_t v) {
  return v >= std::numeric_limits<std::int32_t>::min() && v <= std::numeric_limits<std::int32_t>::max();
}

// Saturates so that step * factor never overflows; any saturated step is far
// outside every range and is refused.
std::int64_t ScaleStep(std::int64_t step, std::int64_t factor) {
  constexpr std::int64_t kCap = std::int64_t{1} << 62;
  if (step == 0 || factor == 0) return 0;
  if (std::llabs(step) > kCap / factor) return step > 0 ? kCap : -kCap;
  return step * factor;
}

}  // namespace

ToneParams ForSettingsFile(const ToneParams& p) {
  ToneParams out = p;
  for (int c = 0; c < kChannels; ++c) {
    if (out.at(c, kSlotLow) == kPlaceholderLow) out.at(c, kSlotLow) = 0;
    if (out.at(c, kSlotHigh) == kPlaceholderHigh) out.at(c, kSlotHigh) = 255;
  }
  return out;
}

EditPara EditPara::Defaults() {
  EditPara p;
  for (int c = 0; c < kChannels; ++c) {
    for (int k = 0; k < kSlotsPerChannel; k += 3) {
      p.at(c, k + kSlotLow) = kDefaultLow;
      p.at(c, k + kSlotGamma) = kDefaultGamma;
      p.at(c, k + kSlotHigh) = kDefaultHigh;
    }
  }
  return p;
}

ToneParams EditPara::Nine() const {
  ToneParams out;
  for (int c = 0; c < kChannels; ++c)
    for (int k = 0; k < 3; ++k) out.at(c, k) = at(c, k);
  return out;
}

void EditPara::SetNine(const ToneParams& p) {
  for (int c = 0; c < kChannels; ++c)
    for (int k = 0; k < 3; ++k) at(c, k) = p.at(c, k);
}

void MuteChannel(EditPara& para, int channel) {
  if (!ValidChannel(channel)) return;
  for (int k = 0; k < 3; ++k) para.at(channel, kSlotBackup + k) = para.at(channel, k);
  para.at(channel, kSlotLow) = kPlaceholderLow;
  para.at(channel, kSlotGamma) = kPlaceholderGamma;
  para.at(channel, kSlotHigh) = kPlaceholderHigh;
}

void RestoreChannel(EditPara& para, int channel) {
  if (!ValidChannel(channel)) return;
  for (int k = 0; k < 3; ++k) para.at(channel, k) = para.at(channel, kSlotBackup + k);
}

std::int64_t CoarseFactor(int index) {
  // round(2^(index+1)) with ties to even: index -1 -> 1, index -2 -> round(0.5) = 0,
  // anything lower rounds to 0 as well.
  if (index < -1) return 0;
  if (index > 61) return std::int64_t{1} << 62;
  return std::int64_t{1} << (index + 1);
}

bool HannigaiCheck(const EditPara& para, int channel, int parameter, std::int64_t step) {
  if (!ValidChannel(channel)) return false;
  const std::int64_t low = para.Low(channel);
  const std::int64_t r = para.Gamma(channel);
  const std::int64_t high = para.High(channel);
  switch (parameter) {
    case kSlotLow:
      return low + step >= high - 4 || !FitsSlot(low + step);
    case kSlotGamma:
      return r + step > kGammaLimit || r + step < -kGammaLimit;
    case kSlotHigh:
      return high + step <= low + 4 || !FitsSlot(high + step);
    default:
      return false;
  }
}

void Effect1(EditPara& para, const StepContext& ctx, int channel, int parameter, int step) {
  std::int64_t s = step;
  if (ctx.CoarseFlag) {
    if (parameter == kSlotLow || parameter == kSlotHigh)
      s = ScaleStep(s, CoarseFactor(ctx.F4_LineCombo1));
    else if (parameter == kSlotGamma)
      s = ScaleStep(s, CoarseFactor(ctx.F4_GammaCombo1));
  }
  // Slots other than 0..2 pass the check; touching them would only corrupt
  // meaningless or backup slots, so nothing outside 0..2 is written.
  if (parameter < 0 || parameter > 2) return;

  if (ctx.AllChannelsFlag || ctx.GrayPaletteFlag) {
    for (int c = 0; c < kChannels; ++c)
      if (HannigaiCheck(para, c, parameter, s)) return;
    for (int c = 0; c < kChannels; ++c)
      para.at(c, parameter) = static_cast<std::int32_t>(para.at(c, parameter) + s);
    return;
  }
  if (!ValidChannel(channel)) return;
  if (!HannigaiCheck(para, channel, parameter, s))
    para.at(channel, parameter) = static_cast<std::int32_t>(para.at(channel, parameter) + s);
}

GridRowTexts WriteColorPara(const EditPara& para, int row) {
  if (!ValidChannel(row)) return {};
  const std::int32_t r = para.Gamma(row);
  std::string gamma = std::to_string(r);
  if (r > 0) gamma.insert(gamma.begin(), '+');
  return {std::to_string(para.Low(row)), gamma, std::to_string(para.High(row))};
}

GridTexts GridUpdate(const EditPara& para, std::uint8_t SoloFlag) {
  GridTexts out;
  for (int row = 0; row < kChannels; ++row) {
    if (SoloFlag == kSoloNone || SoloFlag == row)
      out[static_cast<std::size_t>(row)] = WriteColorPara(para, row);
    else
      out[static_cast<std::size_t>(row)] = {"--", "--", "--"};
  }
  return out;
}

}  // namespace tav1
