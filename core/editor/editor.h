// The main window's logic without Qt. `Editor` owns the whole editing state
// (working image, names, parameter set, settings members, flags, tables,
// history, memories, histogram pictures, the displayed picture) and carries one
// method per window event, named after the control and the event. The Qt
// window's slots call these methods and render what the Editor tells its
// EditorView.
//
// Controls whose change handler runs whenever their value changes, whether the
// user or the program changed it (the slider, the damping boxes, the automatic
// application box, the settings dialog's choices), are values held here:
// - the user path: the Qt slot calls the handler with the new value
//   (TrackBar1Change(pos), ByKidoCB1Click(checked), Order1Click(index) ...);
// - the program path: Set...() stores the value, tells the view to show it and
//   runs the same handler, only when the value actually changes.
//
// Every public handler catches unexpected errors (exceptions) at its boundary
// and shows their text in a message box; no second pixel pass starts while one
// is running (apply requests are deferred until the running pass ends, commands
// that replace or read the stores are refused meanwhile).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/editor/editor_view.h"
#include "core/state/history.h"
#include "core/state/memory.h"

namespace tav1 {

struct EditorState;  // core/editor/editor_state.h

enum class MouseButton { Left, Right, Middle };

// Key codes for StringGrid1KeyUp, as the grid reports them (virtual-key values).
inline constexpr int kKey0 = 0x30;
inline constexpr int kKeyNumpad0 = 0x60;
inline constexpr int kKeyLeft = 0x25;
inline constexpr int kKeyUp = 0x26;
inline constexpr int kKeyRight = 0x27;
inline constexpr int kKeyDown = 0x28;

class Editor {
 public:
  explicit Editor(EditorView& view);
  ~Editor();
  Editor(const Editor&) = delete;
  Editor& operator=(const Editor&) = delete;

  // ----- start-up and shutdown -----
  // Reads the settings (first run: tells where the file is created), positions
  // the windows, fills the grid and the controls.
  void FormCreate();
  // The command line without the program name: exactly one argument is opened.
  void OpenCommandLine(const std::vector<std::string>& args);
  // Writes the settings and deletes the temporary files. Returns whether the
  // window may close; on a write failure the error (naming the file) is shown
  // and the view is asked whether to quit anyway.
  bool FormCloseQuery();
  void Exit1Click();
  void WindowAll_00Click();
  void OpenExeDir1Click();
  void OpenIniDir1Click();
  void Setting1Click();
  // Settings dialog "決定" (and its close box): hides it.
  void Button1Click();

  // ----- opening -----
  void CheckFile1(const std::string& path);
  void LoadFile();
  void OpenButton1Click();
  void WMDropFiles(const std::vector<std::string>& paths);       // main window
  void Form2WMDropFiles(const std::vector<std::string>& paths);  // image window

  // ----- applying and the saturation controls -----
  void ApplyClick();
  void TrackBar1Change(int position);  // user moved the slider to `position`
  void SatuResetBtn1Click();
  void ByKidoCB1Click(bool checked);
  void BySatuCB1Click(bool checked);
  void FormMouseUp(MouseButton button);
  void AutoApplyCB1Click(bool checked);

  // Program-side setters: run the handler only when the value changes.
  void SetTrackBar1Position(int position);
  void SetByKidoCB1(bool checked);
  void SetBySatuCB1(bool checked);
  void SetAutoApplyCB1(bool checked);

  // ----- settings dialog TForm4 -----
  // Radio groups: an index past the last item shows the last item, below -1 none.
  void Order1Click(int itemIndex);
  void Origin1Click(int itemIndex);
  void MakeHistoryModeClick(int itemIndex);
  void LineCombo1Change(int itemIndex);
  void GammaCombo1Change(int itemIndex);
  // Choices read where they are used (no handler of their own).
  void GrphBTF1Click(int itemIndex);
  void Scale1Click(int itemIndex);
  void Polarity1Click(int itemIndex);
  void SetOrder1(int itemIndex);
  void SetOrigin1(int itemIndex);
  void SetMakeHistoryMode(int itemIndex);

  // ----- parameter commands -----
  void IncBtn1Click();
  void DecBtn1Click();
  void Inc2Click();
  void Dec2Click();
  void G_MinusClick();
  void G_ZeroClick();
  void G_PlusClick();
  void Low0Click();
  void High255Click();
  void AllClear1Click();
  void ClearParaAll();
  void ClearPara1Color(int channel);
  void ClearPara1(int channel, int parameter);

  // ----- grid selection and solo mode -----
  void StringGrid1MouseUp(MouseButton button);
  void StringGrid1KeyUp(int key);
  void SetSelection(int top, int bottom, int left, int right);
  void SetSoloMode(int channel);
  void SoloEnd();

  // ----- history -----
  void MakeHistory();
  void UndoClick();
  void RedoClick();
  void InUndoNewApply();
  void FormClick(MouseButton button);  // mouse pressed on the main window's background
  void Timer1Timer();

  // ----- memories -----
  void Mem1WriteClick();
  void Mem1CallClick();
  void Mem2WriteClick();
  void Mem2CallClick();

  // ----- tables and graph -----
  void TableMake();
  void GraphDraw();
  void GraphShow1Click();

  // ----- image window: pick-up -----
  // (x, y) in picture coordinates (the view adds the scroll offset).
  void Image1MouseDown(MouseButton button, int x, int y);
  // A character key in the image window: a left press at the cursor's picture point.
  void Form2KeyPress(int x, int y);

  // ----- saving -----
  void SaveButton1Click();
  // The save dialog's file-type change: the new text for its file-name box, or
  // nothing when the name is empty or names an existing folder.
  static std::optional<std::string> SaveDialog1TypeChange(const std::string& name,
                                                          int filterIndex,
                                                          const std::string& openedExt);

  // ----- clipboard, rotation, shrinking -----
  void Paste1Click();
  void Copy1Click();
  void Left_Rotate1Click();
  void Right_Rotate1Click();
  void ShrinkMenu1Click();

  // ----- state, read-only (windows and tests) -----
  const EditorState& State() const { return *s_; }
  EditorState& MutableState() { return *s_; }  // tests and start-up wiring only

 private:
  // Runs one handler; at the outermost level an exception is caught, the flags
  // a handler may leave set are reset and the message is shown.
  template <class F>
  void Boundary(F&& f);
  void ResetAfterError();
  // Lets queued events run; handlers started there get their own boundary.
  void Pump();
  // Pushes every enabled state the Editor decides to the view.
  void UpdateEnabled();
  // Shared body of SetOrder1, SetOrigin1 and SetMakeHistoryMode.
  void SetRadioGroup(int EditorState::*shownNow, ValueControl control, void (Editor::*click)(int), int itemIndex);
  // Shared body of ByKidoCB1Click and BySatuCB1Click.
  void DampingBoxClick(bool EditorState::*box, bool checked);

  void GridUpdate();
  void Refresh3();  // GridUpdate, TableMake, GraphDraw
  void FollowUpA();
  void FollowUpB();
  void StepButton(int sign, bool coarse, FocusTarget button);
  void GammaPreset(int atOrigin0, int atOrigin1);
  void EndPreset(int slot, int value);
  void GraphToFront();
  std::string ImageCaption(bool afterApply) const;
  // The pixel pass from source to result, then the picture and caption; deferred
  // while another store pass runs.
  void RunPassAndShow();
  void FlushPendingApply();
  class ApplyScope;

  HistoryEntry CurrentEntry() const;
  void ReadHistoryPara(const HistoryEntry& e);
  void StoreMemory(ParaMemory& m);
  void RecallMemory(const ParaMemory& m);

  void OpenChecked(const std::string& path);  // CheckFile1 without the busy refusal
  void Rotate(bool clockwise);
  void SaveJpegPath();
  void SavePngPath();
  void SaveBmpPath();

  EditorView& view_;
  std::unique_ptr<EditorState> s_;
  int depth_ = 0;      // handler nesting below the current boundary
  int pumpLevel_ = 0;  // PumpEvents calls in progress
  int applyDepth_ = 0;      // applies in progress (their controls stay disabled)
  // "自動適用" changed during the running apply: "適用" follows the box again.
  bool applyBBFollowsBox_ = false;
  bool undoButtonsOff_ = false;
  bool pngSaving_ = false;
};

}  // namespace tav1
