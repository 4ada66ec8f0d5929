// What the editor logic needs of its windows. The Qt main window implements it
// (forwarding to the image, graph and settings windows and the modal dialogs);
// the editor tests implement it with a recording fake.
//
// Contract for implementers:
// - Every Show*/Set* call only shows a value the Editor already holds; the view
//   must not call back into the Editor from inside any of these calls (block
//   widget signals while setting them).
// - PumpEvents (from UserReport) may run queued user events, and those may call
//   Editor handlers; the Editor guards itself against re-entry.
// - The modal dialogs return the user's answer; closing a dialog by its title
//   bar gives the answer named "closed" in each comment.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/graph/graph.h"
#include "core/image/open_report.h"
#include "core/image/working_image.h"

#include "core/image/open_path.h"

namespace tav1 {

// A rectangle of grid cells: columns are parameters (0 low end, 1 gamma step,
// 2 high end), rows are channels (0 red, 1 green, 2 blue).
struct GridRect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;
  bool operator==(const GridRect&) const = default;
};

struct GridCell {
  int Col = 0;
  int Row = 0;
  bool operator==(const GridCell&) const = default;
};

// The top-level windows of the program.
enum class Window { Main, Image, Graph, Settings };

struct WindowRect {
  int Left = 0;
  int Top = 0;
  int Width = 0;   // outer width
  int Height = 0;  // outer height
};

// Controls whose shown value the Editor owns. Check boxes take 0/1; radio
// groups and combo boxes take the item index (-1: nothing chosen).
enum class ValueControl {
  TrackBar1,        // 0..100
  ByKidoCB1,        // "輝度が低いほど強調を抑制"
  BySatuCB1,        // "彩度が高いほど強調を抑制"
  AutoApplyCB1,     // "自動適用"
  Order1,           // settings dialog "適用順序"
  Origin1,          // "ガンマカーブ原点"
  MakeHistoryMode,  // "履歴作成モード"
  GrphBTF1,         // "グラフ前面化"
  Scale1,           // "ヒストグラムスケール"
  Polarity1,        // "ボタン極性(ガンマ)"
  LineCombo1,       // "<<,>>時ステップ" linear
  GammaCombo1,      // "<<,>>時ステップ" gamma
};

// Controls whose enabled state the Editor decides.
enum class EnableTarget {
  ApplyBB,
  applymenu1,
  DecBtn1,
  IncBtn1,
  Dec2,
  Inc2,
  Undo,         // toolbar button (the menu items stay enabled)
  Redo,
  MainWindow,   // whole main window (disabled while a PNG is written)
  Panel1,       // the main window's toolbar
  ImageWindow,
};

// Where the keyboard focus goes when the main window is brought to the front.
enum class FocusTarget { MainWindow, GraphShow1, IncBtn1, DecBtn1, Inc2, Dec2 };

enum class AllClearAnswer { Yes /* "含む" */, No /* "含まずに" */, Cancel /* also closed */ };
enum class PickAnswer { Black /* "黒(&B)" */, White /* "白(&W)" */, Cancel /* also closed */ };

// The save dialog's state; the dialog is prepared from it and, on OK, writes the
// chosen path and the filter index it ended with back into it.
struct SaveDialogRequest {
  std::string Filter;      // "desc|patterns|desc|patterns..."
  std::string FileName;    // name offered (no folder)
  std::string InitialDir;  // folder to start in
  int FilterIndex = 1;     // 1-based, in and out
  std::string OpenedExt;   // for SaveDialog1TypeChange while the dialog is open
  std::string ChosenPath;  // out: full path chosen
};

// The JPEG save dialog's inputs and outputs.
struct JpegSaveRequest {
  std::string SaveFileName;  // target path
  const Store* Result = nullptr;  // the result image to encode (fixed-layout BMP)
  // Starts empty. The dialog puts each preview here and shows it in the image
  // window; after writing the file it puts the decoded JPEG here (and shows
  // it), which then stays the image window's picture. On a cancel the Editor
  // shows the picture of before again.
  Store* Displayed = nullptr;
  int X5_1 = 200;  // dialog position in; updated on OK or Cancel
  int Y5_1 = 100;
};

class EditorView : public OpenPort {
 public:
  // ----- grid StringGrid1 -----
  virtual void SetGridCell(int col, int row, const std::string& text) = 0;
  virtual GridRect GetGridSelection() = 0;
  // Top-left becomes the anchor, bottom-right the current cell.
  virtual void SetGridSelection(const GridRect& r) = 0;
  virtual GridCell GetGridCurrentCell() = 0;

  // ----- control values and enabled states -----
  virtual void ShowControlValue(ValueControl c, int value) = 0;
  virtual void SetEnabled(EnableTarget t, bool enabled) = 0;
  // The slider's value as a hint at the mouse cursor, shown at once ("1.5").
  virtual void ShowTrackBar1Hint(const std::string& text) = 0;
  // Releases the mouse capture unless the left button is held at this moment.
  virtual void ReleaseCaptureUnlessLeftDown() = 0;
  // Ends a slider drag (left button released over the main window).
  virtual void EndTrackBar1Tracking() = 0;

  // ----- image window TForm2 -----
  // Renders the displayed picture (a fixed-layout BMP store) 1:1.
  virtual void SetImagePicture(const Store& bmp) = 0;
  virtual void SetImageCaption(const std::string& caption) = 0;
  virtual void SetImageClientSize(int width, int height) = 0;
  virtual void SetImageScrollRange(int width, int height) = 0;
  // Shows the window, repaints its picture and brings it to the front.
  virtual void ShowImageWindow() = 0;

  // ----- graph window TForm3 -----
  // The 272 x 320 raster (core/graph) and the equation lines to draw on it.
  virtual void SetGraphPicture(const GraphPicture& picture) = 0;
  virtual void SetGraphWindowVisible(bool visible) = 0;

  // ----- windows in general -----
  virtual bool IsWindowVisible(Window w) = 0;
  virtual WindowRect GetWindowRect(Window w) = 0;
  // Moves a window; for Window::Main also sets its outer size when width/height > 0.
  // The first move of Window::Image is also where a recreated image window is placed.
  virtual void SetWindowRect(Window w, const WindowRect& r) = 0;
  virtual void BringToFront(Window w) = 0;
  // Brings the main window to the front and gives the focus to `focus`.
  virtual void FocusMain(FocusTarget focus) = 0;
  virtual void SetSettingsWindowVisible(bool visible) = 0;
  // Asks the main window to close (the close goes through FormCloseQuery).
  virtual void CloseMainWindow() = 0;
  virtual int ScreenWidth() = 0;
  virtual int ScreenHeight() = 0;

  // ----- Timer1 (2000 ms) -----
  virtual void StartTimer1() = 0;
  virtual void StopTimer1() = 0;

  // ----- modal dialogs -----
  // TAllClearDlg at (left, top).
  virtual AllClearAnswer ShowAllClearDlg(const std::string& caption, const std::string& text,
                                         int left, int top) = 0;
  // TUndoRedoEdge, centred on the main window; keepOnDesktop moves it so that
  // its left and top edges do not lie beyond the desktop's. true = OK.
  virtual bool ShowUndoRedoEdge(const std::string& caption, const std::string& text,
                                bool keepOnDesktop) = 0;
  // TPickUPDlg with its two-line label, at (left, top).
  virtual PickAnswer ShowPickUPDlg(const std::string& label, int left, int top) = 0;
  // Open dialog with a filter; startDir empty = where the dialog last was.
  // Returns the chosen path, or nothing when cancelled.
  virtual std::optional<std::string> ShowOpenDialog(const std::string& filter,
                                                    const std::string& startDir) = 0;
  // Save dialog; false when cancelled. May call Editor::SaveDialog1TypeChange
  // (a pure function) while open.
  virtual bool ShowSaveDialog(SaveDialogRequest& req) = 0;
  // Confirmation box titled "確認" with "はい(&Y)" and "いいえ(&N)"; true = yes.
  virtual bool AskYesNo(const std::string& text) = 0;
  // JPEG save dialog (TForm5); returns 1 when it wrote the file, 2 otherwise.
  virtual int ShowJpegSaveDialog(JpegSaveRequest& req) = 0;
  // Shrink dialog (TForm6) on the result image; on result 1 it has written the
  // reduced picture to smallPath. Returns 1 or 2.
  virtual int ShowShrinkDialog(const Store& result, const std::string& smallPath) = 0;
  // Asks whether to quit although something failed (settings not written).
  virtual bool AskQuitAnyway(const std::string& text) = 0;

  // ----- clipboard and desktop -----
  // The clipboard bitmap converted to a 24-bit fixed-layout store, or nothing
  // when the clipboard holds no picture.
  virtual std::optional<Store> ClipboardGetBitmap24() = 0;
  // Puts the picture (8-bit with its palette, or 24-bit) on the clipboard; false on failure.
  virtual bool ClipboardPutBitmap(const Store& bmp) = 0;
  // Opens a folder in the desktop's file browser; failures are not reported.
  virtual void OpenFolder(const std::string& path) = 0;
  // Folder of the program file, with a trailing separator.
  virtual std::string ExeFolder() = 0;
  // The user's locale decimal separator, for the graph's equation lines.
  virtual std::string DecimalSeparator() { return "."; }
  // Progress of a long write, 0..100, shown beside the status line without
  // touching its text; -1 hides it.
  virtual void ShowProgress(int /*percent*/) {}
};

}  // namespace tav1
