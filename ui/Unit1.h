// TForm1: the main window. It carries the controls and menus of the control
// panel, owns the other long-lived windows and the Editor, forwards every event
// to the Editor's handler of the same name, and shows what the Editor tells it
// through EditorView (setting a control from there never re-runs its handler).
#pragma once

#include <QAction>
#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>
#include <QGroupBox>
#include <memory>

#include "core/editor/editor_view.h"

namespace tav1 {

class Editor;
class TForm2;
class TForm3;
class TForm4;
class TOKBottomDlg;
class TForm2CloseDlg;

// StringGrid1: a 3 x 3 black grid of white fixed-pitch text with a rectangular
// range selection and a current cell. A right press leaves the selection alone,
// so a clearing click acts on the selection already there.
class TStringGrid : public QTableWidget {
  Q_OBJECT
 public:
  explicit TStringGrid(QWidget* parent);
  GridRect Selection() const;
  void SetSelection(const GridRect& r);
  GridCell CurrentCell() const;
  // Typed characters never move the selection: 0 is the clearing key.
  void keyboardSearch(const QString&) override {}

 signals:
  void MouseUp(Qt::MouseButton button);
  void KeyUp(int virtualKey);

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
};

// A filled circle marking a grid row.
class TShape : public QWidget {
 public:
  TShape(QColor colour, QWidget* parent) : QWidget(parent), colour_(colour) {}

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QColor colour_;
};

class TForm1 : public QMainWindow, public EditorView {
  Q_OBJECT
 public:
  TForm1();
  ~TForm1() override;

  // Start-up: the Editor reads the settings and fills every window.
  void FormCreate();
  // Opens the command line's picture (exactly one argument).
  void OpenCommandLine(const std::vector<std::string>& args);

  Editor& editor() { return *editor_; }
  TForm2& Form2() { return *form2_; }
  TForm3& Form3() { return *form3_; }
  TForm4& Form4() { return *form4_; }

  // Controls, named as the program's handlers know them.
  QFrame* Panel1;
  QToolButton* OpenButton1;
  QToolButton* SaveButton1;
  QToolButton* Undo;
  QToolButton* Redo;
  QToolButton* SettingButton1;
  TShape* Shape1;
  TShape* Shape2;
  TShape* Shape3;
  TStringGrid* StringGrid1;
  QPushButton* GraphShow1;
  QPushButton* Dec2;
  QPushButton* Inc2;
  QPushButton* DecBtn1;
  QPushButton* IncBtn1;
  QPushButton* ApplyBB;
  QCheckBox* AutoApplyCB1;
  QGroupBox* GroupBox1;
  QSlider* TrackBar1;
  QPushButton* SatuResetBtn1;
  QCheckBox* ByKidoCB1;
  QCheckBox* BySatuCB1;
  QLabel* Panel2;
  QProgressBar* SaveProgress_;  // beside the status line during a long write
  QTimer* Timer1;

  QMenu* File1;
  QAction* Open1;
  QAction* Saveas1;
  QAction* Paste1;
  QAction* Copy1;
  QAction* WindowAll_00;
  QAction* Exit1;
  QMenu* Edit1;
  QAction* applymenu1;
  QMenu* M1;
  QAction* Mem1Write;
  QAction* Mem1Call;
  QMenu* N4;
  QAction* Mem2Write;
  QAction* Mem2Call;
  QAction* Undo1;
  QAction* Redo1;
  QAction* G_Minus;
  QAction* G_Zero;
  QAction* G_Plus;
  QAction* Low0;
  QAction* High255;
  QAction* AllParaAndSatuClear;
  QAction* ShrinkMenu1;
  QAction* E1;
  QAction* J1;
  QMenu* OptionO1;
  QAction* Setting1;
  QAction* OpenExeDir1;
  QAction* OpenIniDir1;
  QAction* ver1111;

  // ----- EditorView -----
  void MessageBox(const std::string& text) override;
  void Beep() override;
  void SetStatus(const std::string& text, bool repaintNow) override;
  void PumpEvents() override;
  void SetImageCursor(bool crossHair) override;
  void RecreateImageWindow() override;
  void SetMainCaption(const std::string& caption) override;
  void SetGridCell(int col, int row, const std::string& text) override;
  GridRect GetGridSelection() override;
  void SetGridSelection(const GridRect& r) override;
  GridCell GetGridCurrentCell() override;
  void ShowControlValue(ValueControl c, int value) override;
  void SetEnabled(EnableTarget t, bool enabled) override;
  void ShowTrackBar1Hint(const std::string& text) override;
  void ReleaseCaptureUnlessLeftDown() override;
  void EndTrackBar1Tracking() override;
  void SetImagePicture(const Store& bmp) override;
  void SetImageCaption(const std::string& caption) override;
  void SetImageClientSize(int width, int height) override;
  void SetImageScrollRange(int width, int height) override;
  void ShowImageWindow() override;
  void SetGraphPicture(const GraphPicture& picture) override;
  void SetGraphWindowVisible(bool visible) override;
  bool IsWindowVisible(Window w) override;
  WindowRect GetWindowRect(Window w) override;
  void SetWindowRect(Window w, const WindowRect& r) override;
  void BringToFront(Window w) override;
  void FocusMain(FocusTarget focus) override;
  void SetSettingsWindowVisible(bool visible) override;
  void CloseMainWindow() override;
  int ScreenWidth() override;
  int ScreenHeight() override;
  void StartTimer1() override;
  void StopTimer1() override;
  AllClearAnswer ShowAllClearDlg(const std::string& caption, const std::string& text, int left,
                                 int top) override;
  bool ShowUndoRedoEdge(const std::string& caption, const std::string& text,
                        bool keepOnDesktop) override;
  PickAnswer ShowPickUPDlg(const std::string& label, int left, int top) override;
  std::optional<std::string> ShowOpenDialog(const std::string& filter,
                                            const std::string& startDir) override;
  bool ShowSaveDialog(SaveDialogRequest& req) override;
  bool AskYesNo(const std::string& text) override;
  int ShowJpegSaveDialog(JpegSaveRequest& req) override;
  int ShowShrinkDialog(const Store& result, const std::string& smallPath) override;
  bool AskQuitAnyway(const std::string& text) override;
  std::optional<Store> ClipboardGetBitmap24() override;
  bool ClipboardPutBitmap(const Store& bmp) override;
  void OpenFolder(const std::string& path) override;
  std::string ExeFolder() override;
  std::string DecimalSeparator() override;
  void ShowProgress(int percent) override;

 public slots:
  void OpenButton1Click();
  void SaveButton1Click();
  void Paste1Click();
  void Copy1Click();
  void WindowAll_00Click();
  void Exit1Click();
  void ApplyClick();
  void AutoApplyCB1Click(bool checked);
  void Mem1WriteClick();
  void Mem1CallClick();
  void Mem2WriteClick();
  void Mem2CallClick();
  void UndoClick();
  void RedoClick();
  void Timer1Timer();
  void G_MinusClick();
  void G_ZeroClick();
  void G_PlusClick();
  void Low0Click();
  void High255Click();
  void AllClear1Click();
  void IncBtn1Click();
  void DecBtn1Click();
  void Inc2Click();
  void Dec2Click();
  void StringGrid1KeyUp(int virtualKey);
  void StringGrid1MouseUp(Qt::MouseButton button);
  void GraphShow1Click();
  void TrackBar1Change(int position);
  void SatuResetBtn1Click();
  void ByKidoCB1Click(bool checked);
  void BySatuCB1Click(bool checked);
  void ShrinkMenu1Click();
  void Left_Rotate1Click();
  void Right_Rotate1Click();
  void Setting1Click();
  void OpenExeDir1Click();
  void OpenIniDir1Click();

 protected:
  void closeEvent(QCloseEvent* event) override;     // FormCloseQuery
  void changeEvent(QEvent* event) override;         // WMSysCommand (minimise, restore)
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;       // WMDropFiles
  bool eventFilter(QObject* watched, QEvent* event) override;  // FormClick, FormMouseUp
  void resizeEvent(QResizeEvent* event) override;
  void moveEvent(QMoveEvent* event) override;

 private:
  void BuildControls();
  void BuildMenus();
  void Connect();
  QWidget* TopLevel(Window w);
  // Shows another top-level window minimised while the main window is, so a
  // window hidden during a minimise takes the state when it is next shown.
  void ShowBesideMain(QWidget* w);
  // Sets a window's outer size, whatever the frame the desktop draws.
  void SetOuterSize(QWidget* w, int width, int height);

  QWidget* client_ = nullptr;
  std::unique_ptr<TOKBottomDlg> okBottomDlg_;
  std::unique_ptr<TForm2CloseDlg> form2CloseDlg_;
  std::unique_ptr<TForm2> form2_;
  std::unique_ptr<TForm3> form3_;
  std::unique_ptr<TForm4> form4_;
  std::unique_ptr<Editor> editor_;
  // An outer size asked for before the desktop drew the frame; applied once the
  // frame is known, so that the size stored at exit does not grow every run.
  std::optional<QSize> pendingOuter_;
  // The slider's hint, shown again once its change handler has finished: the
  // apply it starts brings the main window to the front, which hides tooltips.
  std::optional<QString> pendingHint_;
  QString lastOpenFolder_;
  bool closing_ = false;
};

}  // namespace tav1
