#include "core/tone/params.h"

#include <gtest/gtest.h>

#include <climits>

#include "core/tone/tables.h"

namespace tav1 {
namespace {

StepContext Fine() { return StepContext{}; }

StepContext Coarse(int lineIndex, int gammaIndex) {
  StepContext ctx;
  ctx.CoarseFlag = true;
  ctx.F4_LineCombo1 = lineIndex;
  ctx.F4_GammaCombo1 = gammaIndex;
  return ctx;
}

TEST(EditPara, DefaultsAndLayout) {
  const EditPara p = EditPara::Defaults();
  for (int c = 0; c < kChannels; ++c)
    for (int k = 0; k < kSlotsPerChannel; k += 3) {
      EXPECT_EQ(p[c * 12 + k], 0);
      EXPECT_EQ(p[c * 12 + k + 1], 0);
      EXPECT_EQ(p[c * 12 + k + 2], 255);
    }
  EditPara q = p;
  q.at(2, kSlotGamma) = -7;
  EXPECT_EQ(q[25], -7);
  EXPECT_EQ(q.Nine().at(2, kSlotGamma), -7);
  EXPECT_EQ(q.Nine().v[7], -7);
  EXPECT_TRUE(p.Nine().IsDefault());
}

TEST(EditPara, NineValuesLeaveTheBackupSlots) {
  EditPara p = EditPara::Defaults();
  p.at(1, 9) = 42;
  ToneParams nine;
  nine.v = {1, 2, 30, 4, 5, 60, 7, 8, 90};
  p.SetNine(nine);
  EXPECT_EQ(p.Nine(), nine);
  EXPECT_EQ(p.at(1, 9), 42);
  EXPECT_EQ(p.at(2, kSlotHigh), 90);
}

TEST(EditPara, MuteAndRestoreRoundTrip) {
  EditPara p = EditPara::Defaults();
  p.SetNine(ToneParams{{10, -3, 200, 20, 4, 210, 30, 5, 220}});
  MuteChannel(p, 0);
  MuteChannel(p, 2);
  EXPECT_EQ(p.Low(0), kPlaceholderLow);
  EXPECT_EQ(p.Gamma(0), kPlaceholderGamma);
  EXPECT_EQ(p.High(2), kPlaceholderHigh);
  EXPECT_EQ(p.High(1), 210);
  // Muted channels build all-zero tables.
  const ToneTables t = TableMake(p, kOrderLinearFirst, kOriginBlack);
  EXPECT_EQ(t.TableR[255], 0);
  EXPECT_EQ(t.TableB[255], 0);
  RestoreChannel(p, 0);
  RestoreChannel(p, 2);
  EXPECT_EQ(p.Nine(), (ToneParams{{10, -3, 200, 20, 4, 210, 30, 5, 220}}));
  MuteChannel(p, 3);  // outside 0..2: ignored
  EXPECT_EQ(p.Nine(), (ToneParams{{10, -3, 200, 20, 4, 210, 30, 5, 220}}));
}

TEST(ToneParams, SettingsFileStoresPlaceholdersAsDefaults) {
  const ToneParams p{{256, 0, 511, 256, 7, 300, -5, 0, 511}};
  EXPECT_EQ(ForSettingsFile(p), (ToneParams{{0, 0, 255, 0, 7, 300, -5, 0, 255}}));
}

TEST(CoarseFactor, PowersOfTwoRoundedHalfToEven) {
  const std::pair<int, std::int64_t> cases[] = {{0, 2}, {1, 4}, {2, 8}, {3, 16}, {4, 32},
                                                {-1, 1}, {-2, 0}, {-9, 0}, {INT_MIN, 0}, {5, 64}};
  for (auto [index, factor] : cases) EXPECT_EQ(CoarseFactor(index), factor) << index;
  EXPECT_GT(CoarseFactor(INT_MAX), 0);
}

TEST(HannigaiCheck, Limits) {
  EditPara p = EditPara::Defaults();
  p.at(0, kSlotLow) = 250;
  p.at(0, kSlotGamma) = 120;
  p.at(1, kSlotHigh) = 5;
  struct Case {
    int channel, parameter;
    std::int64_t step;
    bool refused;
  } cases[] = {
      {0, 0, 1, true},      // 251 >= 255 - 4
      {0, 0, 0, false},     // 250 < 251
      {0, 0, -1000, false}, // no lower bound
      {0, 1, 6, false},     // 126
      {0, 1, 7, true},      // 127
      {0, 1, 8, true},
      {2, 1, -127, true},
      {2, 1, -126, false},
      {1, 2, -1, true},     // 4 <= 0 + 4
      {1, 2, 0, false},
      {1, 2, 1000, false},  // no upper bound
      {0, 5, 1000, false},  // other slots never refused
  };
  for (const Case& c : cases)
    EXPECT_EQ(HannigaiCheck(p, c.channel, c.parameter, c.step), c.refused)
        << c.channel << "/" << c.parameter << " step " << c.step;
}

TEST(Effect1, FineStepsStopFiveApart) {
  EditPara p = EditPara::Defaults();
  for (int i = 0; i < 300; ++i) Effect1(p, Fine(), 0, kSlotLow, +1);
  EXPECT_EQ(p.Low(0), 250);
  for (int i = 0; i < 300; ++i) Effect1(p, Fine(), 1, kSlotHigh, -1);
  EXPECT_EQ(p.High(1), 5);
  for (int i = 0; i < 300; ++i) Effect1(p, Fine(), 2, kSlotLow, -1);
  EXPECT_EQ(p.Low(2), -300);
  for (int i = 0; i < 300; ++i) Effect1(p, Fine(), 2, kSlotHigh, +1);
  EXPECT_EQ(p.High(2), 555);
  EXPECT_EQ(p.High(0), 255);
  EXPECT_EQ(p.Low(1), 0);
}

TEST(Effect1, CoarseStepIsRefusedWholeNotClamped) {
  EditPara p = EditPara::Defaults();
  p.at(0, kSlotGamma) = 120;
  Effect1(p, Coarse(2, 2), 0, kSlotGamma, +1);  // +8 would reach 128
  EXPECT_EQ(p.Gamma(0), 120);
  Effect1(p, Fine(), 0, kSlotGamma, +1);
  EXPECT_EQ(p.Gamma(0), 121);
  Effect1(p, Coarse(0, 4), 0, kSlotGamma, -1);  // gamma uses its own size: -32
  EXPECT_EQ(p.Gamma(0), 89);
  Effect1(p, Coarse(3, 0), 0, kSlotHigh, -1);  // line size 16
  EXPECT_EQ(p.High(0), 239);
  Effect1(p, Coarse(-1, 0), 0, kSlotLow, +1);  // nothing chosen: factor 1
  EXPECT_EQ(p.Low(0), 1);
  Effect1(p, Coarse(-5, 0), 0, kSlotLow, +1);  // factor 0: no change
  EXPECT_EQ(p.Low(0), 1);
  Effect1(p, Coarse(40, 40), 0, kSlotLow, -1);  // huge factor: refused, no overflow
  EXPECT_EQ(p.Low(0), 1);
}

TEST(Effect1, AllChannelsMoveTogetherOrNotAtAll) {
  for (bool byColumn : {true, false}) {
    StepContext ctx;
    ctx.AllChannelsFlag = byColumn;
    ctx.GrayPaletteFlag = !byColumn;
    EditPara p = EditPara::Defaults();
    p.SetNine(ToneParams{{10, 0, 255, 20, 0, 255, 249, 0, 255}});
    Effect1(p, ctx, 0, kSlotLow, +1);  // blue reaches 250, still below 255 - 4
    EXPECT_EQ(p.Nine(), (ToneParams{{11, 0, 255, 21, 0, 255, 250, 0, 255}}));
    Effect1(p, ctx, 0, kSlotLow, +1);  // blue 251 >= 251: refused for all
    EXPECT_EQ(p.Nine(), (ToneParams{{11, 0, 255, 21, 0, 255, 250, 0, 255}}));
    Effect1(p, ctx, 1, kSlotGamma, -1);  // the given channel does not matter
    EXPECT_EQ(p.Nine(), (ToneParams{{11, -1, 255, 21, -1, 255, 250, -1, 255}}));
  }
}

TEST(Effect1, OnlyParameterSlotsAreWritten) {
  EditPara p = EditPara::Defaults();
  const EditPara before = p;
  Effect1(p, Fine(), 0, 9, +1);
  Effect1(p, Fine(), 0, -1, +1);
  Effect1(p, Fine(), 3, kSlotLow, +1);
  EXPECT_EQ(p, before);
}

TEST(Grid, TextsPerRowAndSolo) {
  EditPara p = EditPara::Defaults();
  p.SetNine(ToneParams{{-3, 5, 255, 12, -5, 300, 0, 0, 255}});
  EXPECT_EQ(WriteColorPara(p, 0), (GridRowTexts{"-3", "+5", "255"}));
  EXPECT_EQ(WriteColorPara(p, 1), (GridRowTexts{"12", "-5", "300"}));
  EXPECT_EQ(WriteColorPara(p, 2), (GridRowTexts{"0", "0", "255"}));

  const GridTexts all = GridUpdate(p, kSoloNone);
  EXPECT_EQ(all[1], (GridRowTexts{"12", "-5", "300"}));
  const GridTexts greenSolo = GridUpdate(p, 1);
  const GridRowTexts dashes{"--", "--", "--"};
  EXPECT_EQ(greenSolo[0], dashes);
  EXPECT_EQ(greenSolo[1], (GridRowTexts{"12", "-5", "300"}));
  EXPECT_EQ(greenSolo[2], dashes);
  EXPECT_EQ(GridUpdate(EditPara::Defaults(), kSoloNone)[2], (GridRowTexts{"0", "0", "255"}));
}

}  // namespace
}  // namespace tav1
