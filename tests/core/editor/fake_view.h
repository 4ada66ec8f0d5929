// A recording EditorView: keeps what the Editor told the windows and answers
// the modal dialogs from scripts, so handlers run without any window.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/editor/editor_view.h"

namespace tav1::test {

class FakeView : public EditorView {
 public:
  // ----- recorded -----
  std::vector<std::string> messages;
  std::vector<std::string> statuses;
  std::vector<std::string> log;  // "beep", "msg:...", "dlg:...", "status:..."
  int beeps = 0;
  std::string mainCaption, imageCaption;
  std::string grid[3][3];
  GridRect selection{0, 0, 0, 0};
  GridCell current{0, 0};
  std::map<ValueControl, int> shown;
  std::map<EnableTarget, bool> enabled;
  std::string hint;
  int pictures = 0;  // SetImagePicture calls
  Store picture;
  bool imageVisible = false, graphVisible = false, settingsVisible = false;
  GraphPicture graph;
  std::vector<int> progress;  // every ShowProgress value
  std::map<Window, WindowRect> rects;
  bool timerRunning = false;
  int timerStarts = 0;
  bool crossHair = false;
  std::vector<std::string> edgeTexts;  // TUndoRedoEdge texts
  std::vector<std::string> pickLabels;
  std::vector<SaveDialogRequest> saveRequests;  // as each save dialog was opened
  std::vector<std::string> yesNoTexts;
  int pumpDepth = 0, maxPumpDepth = 0;

  // ----- scripted -----
  std::deque<AllClearAnswer> allClearAnswers;
  std::deque<bool> edgeAnswers;  // default OK
  std::deque<PickAnswer> pickAnswers;
  std::deque<std::optional<std::string>> openAnswers;
  // One entry per save dialog: nothing = cancel, else (chosen path, filter index).
  std::deque<std::optional<std::pair<std::string, int>>> saveAnswers;
  std::deque<bool> yesNoAnswers;
  int jpegResult = 2;
  std::optional<Store> jpegPicture;
  std::string jpegTarget;
  bool quitAnyway = true;
  std::optional<Store> clipboard;
  std::function<void()> onPump;  // runs inside PumpEvents (events arriving mid-pass)
  std::function<int(const Store&, const std::string&)> onShrink;  // the shrink dialog

  // UserReport
  void MessageBox(const std::string& text) override {
    messages.push_back(text);
    log.push_back("msg:" + text);
  }
  void Beep() override {
    ++beeps;
    log.push_back("beep");
  }
  void SetStatus(const std::string& text, bool) override {
    statuses.push_back(text);
    log.push_back("status:" + text);
  }
  void PumpEvents() override {
    ++pumpDepth;
    if (pumpDepth > maxPumpDepth) maxPumpDepth = pumpDepth;
    if (onPump) onPump();
    --pumpDepth;
  }
  // OpenPort
  void SetImageCursor(bool c) override { crossHair = c; }
  void RecreateImageWindow() override { imageVisible = false; }
  void SetMainCaption(const std::string& c) override { mainCaption = c; }

  // EditorView
  void SetGridCell(int col, int row, const std::string& text) override { grid[row][col] = text; }
  GridRect GetGridSelection() override { return selection; }
  void SetGridSelection(const GridRect& r) override {
    selection = r;
    current = {r.Right, r.Bottom};
  }
  GridCell GetGridCurrentCell() override { return current; }
  void ShowControlValue(ValueControl c, int v) override { shown[c] = v; }
  void SetEnabled(EnableTarget t, bool e) override { enabled[t] = e; }
  void ShowTrackBar1Hint(const std::string& t) override { hint = t; }
  void ReleaseCaptureUnlessLeftDown() override {}
  void EndTrackBar1Tracking() override {}
  void SetImagePicture(const Store& bmp) override {
    ++pictures;
    picture = bmp;
  }
  void SetImageCaption(const std::string& c) override { imageCaption = c; }
  void SetImageClientSize(int, int) override {}
  void SetImageScrollRange(int, int) override {}
  void ShowImageWindow() override { imageVisible = true; }
  void SetGraphPicture(const GraphPicture& g) override { graph = g; }
  void ShowProgress(int percent) override { progress.push_back(percent); }
  void SetGraphWindowVisible(bool v) override { graphVisible = v; }
  bool IsWindowVisible(Window w) override {
    switch (w) {
      case Window::Image: return imageVisible;
      case Window::Graph: return graphVisible;
      case Window::Settings: return settingsVisible;
      default: return true;
    }
  }
  WindowRect GetWindowRect(Window w) override { return rects[w]; }
  void SetWindowRect(Window w, const WindowRect& r) override { rects[w] = r; }
  void BringToFront(Window) override {}
  void FocusMain(FocusTarget) override {}
  void SetSettingsWindowVisible(bool v) override { settingsVisible = v; }
  void CloseMainWindow() override {}
  int ScreenWidth() override { return 1920; }
  int ScreenHeight() override { return 1080; }
  void StartTimer1() override {
    timerRunning = true;
    ++timerStarts;
  }
  void StopTimer1() override { timerRunning = false; }
  AllClearAnswer ShowAllClearDlg(const std::string&, const std::string& text, int, int) override {
    log.push_back("dlg:" + text);
    return Pop(allClearAnswers, AllClearAnswer::Cancel);
  }
  bool ShowUndoRedoEdge(const std::string&, const std::string& text, bool) override {
    edgeTexts.push_back(text);
    log.push_back("dlg:" + text);
    return Pop(edgeAnswers, true);
  }
  PickAnswer ShowPickUPDlg(const std::string& label, int, int) override {
    pickLabels.push_back(label);
    return Pop(pickAnswers, PickAnswer::Cancel);
  }
  std::optional<std::string> ShowOpenDialog(const std::string&, const std::string&) override {
    return Pop(openAnswers, std::optional<std::string>{});
  }
  bool ShowSaveDialog(SaveDialogRequest& req) override {
    saveRequests.push_back(req);
    const auto a = Pop(saveAnswers, std::optional<std::pair<std::string, int>>{});
    if (!a) return false;
    req.ChosenPath = a->first;
    req.FilterIndex = a->second;
    return true;
  }
  bool AskYesNo(const std::string& text) override {
    yesNoTexts.push_back(text);
    log.push_back("ask:" + text);
    return Pop(yesNoAnswers, false);
  }
  int ShowJpegSaveDialog(JpegSaveRequest& req) override {
    jpegTarget = req.SaveFileName;
    if (jpegPicture) {  // what a preview (and the decoded file) would show
      *req.Displayed = *jpegPicture;
      SetImagePicture(*req.Displayed);
    }
    return jpegResult;
  }
  int ShowShrinkDialog(const Store& result, const std::string& path) override {
    return onShrink ? onShrink(result, path) : 2;
  }
  bool AskQuitAnyway(const std::string& text) override {
    log.push_back("quit?:" + text);
    return quitAnyway;
  }
  std::optional<Store> ClipboardGetBitmap24() override { return clipboard; }
  bool ClipboardPutBitmap(const Store& bmp) override {
    clipboard = bmp;
    return true;
  }
  void OpenFolder(const std::string&) override {}
  std::string ExeFolder() override { return "/opt/tav1/"; }

  std::string LastStatus() const { return statuses.empty() ? std::string() : statuses.back(); }
  std::string Row(int r) const { return grid[r][0] + " " + grid[r][1] + " " + grid[r][2]; }

 private:
  template <class T>
  static T Pop(std::deque<T>& q, T fallback) {
    if (q.empty()) return fallback;
    T v = q.front();
    q.pop_front();
    return v;
  }
};

}  // namespace tav1::test
