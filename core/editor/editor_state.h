// Everything the main window's logic holds between events. Owned by Editor;
// read by the windows (through Editor::State()) and by the tests.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "core/editor/editor_view.h"
#include "core/graph/graph.h"
#include "core/graph/histogram.h"
#include "core/image/working_image.h"
#include "core/state/history.h"
#include "core/state/memory.h"
#include "core/tone/params.h"
#include "core/tone/tables.h"

namespace tav1 {

struct EditorState {
  // ----- working image and names -----
  WorkingImage img;
  OpenedNames names;
  // The image window's picture when it differs from the result store (after a
  // JPEG save it is the decoded JPEG); empty means "the result store".
  std::optional<Store> DisplayedOverride;
  const Store& Displayed() const { return DisplayedOverride ? *DisplayedOverride : img.MemStBmp2; }

  // ----- tone parameter set and selection -----
  EditPara para = EditPara::Defaults();
  std::uint8_t SoloFlag = kSoloNone;
  bool AllChannelsFlag = false;
  bool CoarseFlag = false;
  GridRect SavedSelection{0, 0, 0, 0};
  ToneTables tables{};

  // ----- settings members -----
  int OrderFlag_I = 0;
  int GyakuFlag_I = 0;
  int MakeHistoryMode_I = 0;
  bool AutoApply_B = true;
  int F4_GraphBTF1 = 0;
  int F4_Scale1 = 0;
  int F4_Pola1 = 0;
  int F4_LineCombo1 = 2;
  int F4_GammaCombo1 = 2;
  int Form2_Left = 190, Form2_Top = 32;
  int Form3_Left = 0, Form3_Top = 380;
  int Form4_Left = 30, Form4_Top = 70;
  int X5_1 = 200, Y5_1 = 100;
  std::string IniPlaceTXT1;
  std::string ExeFolder;
  bool SettingsLoaded = false;  // the file was read at start; only then is it written back

  // ----- values shown by the controls -----
  int TrackBar1 = 10;
  bool ByKidoCB1 = false;
  bool BySatuCB1 = false;
  bool AutoApplyCB1 = false;
  // Settings dialog: radio groups start at item 0, the combo boxes at item 2.
  int Order1 = 0;
  int Origin1 = 0;
  int MakeHistoryMode = 0;
  int GrphBTF1 = 0;
  int Scale1 = 0;
  int Polarity1 = 0;
  int LineCombo1 = 2;
  int GammaCombo1 = 2;

  // ----- flags -----
  bool ApplyingFlag = false;
  bool UndoFlag = false;
  bool Undoing = false;
  bool IsRestoring = false;
  // A pass that reads or rewrites the stores (pixel pass, open with its
  // histogram count, rotation, PNG write) is running and letting events through.
  int Busy = 0;
  // An apply was asked for while Busy; its pixel pass runs when the stores are free.
  bool ApplyPending = false;

  // ----- history, memories, pictures -----
  History history;
  ParaMemory Mem1;
  ParaMemory Mem2;
  HistogramPictures hist;
  GraphPicture graph;

  // ----- saving -----
  std::string SaveFileName1;
  int SaveFilterIndex = 1;  // SaveDialog1's filter index, kept between saves
};

}  // namespace tav1
