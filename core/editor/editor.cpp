#include "core/editor/editor.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <iostream>
#include <utility>

#include "codecs/bmp_codec.h"
#include "codecs/file_io.h"
#include "codecs/png_codec.h"
#include "codecs/png_parallel.h"
#include "core/editor/editor_state.h"
#include "core/editor/names.h"
#include "core/graph/graph.h"
#include "core/graph/histogram.h"
#include "core/image/open_path.h"
#include "core/state/rotate.h"
#include "core/state/settings.h"
#include "core/state/shrink.h"
#include "core/tone/passes.h"

namespace tav1 {

namespace {

// Status line "blank" texts: the width differs by command only so that each
// fully covers the text it replaces.
const std::string kBlank10(10, ' ');
const std::string kBlank20(20, ' ');
const std::string kBlank22(22, ' ');
std::string IdeographicSpaces(int n) {
  std::string s;
  for (int i = 0; i < n; ++i) s += "\u3000";
  return s;
}

constexpr const char* kStartStatus = "手動履歴作成はウィンドウ地を右クリック";
constexpr const char* kOpenFilter =
    "扱えるファイル(jpg,bmp,png)|*.bmp;*.jpg;*.jpeg;*.png|BMPファイル|*.bmp|"
    "JPGファイル|*.jpg;*.jpeg|PNGファイル|*.png";
constexpr const char* kSaveFilter =
    "扱えるファイル|*.bmp;*.jpg;*.jpeg;*.png|BMPファイル|*.bmp|JPGファイル|*.jpg|"
    "JPEGファイル|*.jpeg|PNGファイル| *.png";

// Whole milliseconds since `start`, truncated. The elapsed time itself is
// truncated; a difference of two truncated clock readings could be 1 ms too
// high whenever the interval straddles a millisecond boundary.
std::int64_t ElapsedMs(std::chrono::steady_clock::time_point start) {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now() - start).count();
}

// A radio group given an index past its last item shows its last item; an
// index below -1 shows none (-1). All the dialog's groups have two items.
int RadioShown(int index) { return index > 1 ? 1 : (index < -1 ? -1 : index); }

ParaTriples ToTriples(const ToneParams& p) {
  ParaTriples t{};
  for (int c = 0; c < 3; ++c)
    for (int k = 0; k < 3; ++k) t[c][k] = p.at(c, k);
  return t;
}
ToneParams FromTriples(const ParaTriples& t) {
  ToneParams p;
  for (int c = 0; c < 3; ++c)
    for (int k = 0; k < 3; ++k) p.at(c, k) = t[c][k];
  return p;
}

struct BusyScope {
  explicit BusyScope(EditorState& s) : s_(s) { ++s_.Busy; }
  ~BusyScope() { --s_.Busy; }
  EditorState& s_;
};

bool FileExists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::exists(path, ec) && !std::filesystem::is_directory(path, ec);
}

// (R, G, B) of the pixel at picture point (x, y) of a fixed-layout store; black
// when the point or the store does not hold it.
void DisplayedColour(const Store& s, int x, int y, int& r, int& g, int& b) {
  r = g = b = 0;
  bmp::HeaderView h;
  if (!bmp::ReadHeader(s.data(), s.size(), h)) return;
  if (h.width <= 0 || h.height <= 0 || x < 0 || y < 0 || x >= h.width || y >= h.height) return;
  if (h.bits != 8 && h.bits != 24) return;
  const std::int64_t stride = bmp::Stride(h.width, h.bits);
  const std::int64_t row = h.height - 1 - y;
  const std::int64_t off = static_cast<std::int64_t>(bmp::RowsOffset(h.bits)) + row * stride +
                           (h.bits == 8 ? x : 3 * static_cast<std::int64_t>(x));
  if (h.bits == 24) {
    if (off + 3 > static_cast<std::int64_t>(s.size())) return;
    b = s[off];
    g = s[off + 1];
    r = s[off + 2];
  } else {
    if (off + 1 > static_cast<std::int64_t>(s.size())) return;
    const std::size_t e = bmp::kPaletteOffset + 4u * s[off];
    b = s[e];
    g = s[e + 1];
    r = s[e + 2];
  }
}

}  // namespace

// ===================================================================== plumbing

Editor::Editor(EditorView& view) : view_(view), s_(std::make_unique<EditorState>()) {}
Editor::~Editor() = default;

template <class F>
void Editor::Boundary(F&& f) {
  if (depth_ > 0) {
    f();
    return;
  }
  ++depth_;
  try {
    f();
    --depth_;
  } catch (const std::exception& e) {
    --depth_;
    std::cerr << "tav1: " << e.what() << '\n';
    ResetAfterError();
    view_.MessageBox(e.what());
  } catch (...) {
    --depth_;
    ResetAfterError();
    view_.MessageBox("予期しないエラーが発生しました。");
  }
}

void Editor::ResetAfterError() {
  // A handler that failed inside the pump of another one leaves that outer
  // handler's flags alone; it resets them itself when it ends.
  if (pumpLevel_ == 0) {
    EditorState& s = *s_;
    s.ApplyingFlag = false;
    s.Undoing = false;
    s.IsRestoring = false;
    s.names.ShrinkName.clear();
    s.names.RotateName.clear();
    undoButtonsOff_ = false;
    pngSaving_ = false;
  }
  UpdateEnabled();
}

void Editor::Pump() {
  const int saved = depth_;
  depth_ = 0;
  ++pumpLevel_;
  try {
    view_.PumpEvents();
  } catch (...) {
    --pumpLevel_;
    depth_ = saved;
    throw;
  }
  --pumpLevel_;
  depth_ = saved;
}

void Editor::UpdateEnabled() {
  const EditorState& s = *s_;
  const bool applying = applyDepth_ > 0;
  view_.SetEnabled(EnableTarget::ApplyBB, !s.AutoApplyCB1 && (!applying || applyBBFollowsBox_));
  view_.SetEnabled(EnableTarget::applymenu1, !s.AutoApplyCB1);
  for (EnableTarget t : {EnableTarget::DecBtn1, EnableTarget::IncBtn1, EnableTarget::Dec2,
                         EnableTarget::Inc2})
    view_.SetEnabled(t, !applying);
  view_.SetEnabled(EnableTarget::Undo, !undoButtonsOff_);
  view_.SetEnabled(EnableTarget::Redo, !undoButtonsOff_);
  view_.SetEnabled(EnableTarget::MainWindow, !pngSaving_);
  view_.SetEnabled(EnableTarget::Panel1, !pngSaving_);
  view_.SetEnabled(EnableTarget::ImageWindow, !pngSaving_);
}

// ===================================================================== start and stop

void Editor::FormCreate() {
  Boundary([&] {
    EditorState& s = *s_;
    s.names.PathTemp1 = TmpDir();
    s.names.PathName_bckup1.clear();
    s.names.ShrinkName.clear();
    s.names.RotateName.clear();
    s.ExeFolder = view_.ExeFolder();

    // Settings file: located (and created on first run) before anything is shown.
    SettingsFile file(IniPlaceFromEnvironment());
    s.IniPlaceTXT1 = file.IniPlaceTXT1();
    const Settings st = file.LoadAtStart([&](const std::string& m) { view_.MessageBox(m); });
    s.SettingsLoaded = true;

    view_.SetWindowRect(Window::Main, {st.X1, st.Y1, st.W1, st.H1});
    s.Form2_Left = st.X2;
    s.Form2_Top = st.Y2;
    s.Form3_Left = st.X3;
    s.Form3_Top = st.Y3;
    s.Form4_Left = st.X4;
    s.Form4_Top = st.Y4;
    s.X5_1 = st.X5;
    s.Y5_1 = st.Y5;
    s.para.SetNine(FromTriples(st.Para));
    s.OrderFlag_I = st.Order;
    s.GyakuFlag_I = st.Origin;
    s.MakeHistoryMode_I = st.MakeHistoryMode;
    s.F4_GraphBTF1 = st.GraphFront;
    s.F4_Scale1 = st.Scale;
    s.F4_Pola1 = st.Polarity;
    s.F4_LineCombo1 = st.StepL;
    s.F4_GammaCombo1 = st.StepG;
    s.AutoApply_B = st.AutoApply;
    // Through the controls, so their handlers run (quiet while no image is loaded).
    SetTrackBar1Position(st.Satulation);
    SetByKidoCB1(st.KidoRdc);
    SetBySatuCB1(st.SatuRdc);

    s.Mem1 = kNeutralMemory;
    s.Mem2 = kNeutralMemory;
    for (int c = 0; c < kChannels; ++c) {
      s.para.at(c, kSlotBackup + 0) = kDefaultLow;
      s.para.at(c, kSlotBackup + 1) = kDefaultGamma;
      s.para.at(c, kSlotBackup + 2) = kDefaultHigh;
    }
    SetAutoApplyCB1(s.AutoApply_B);
    s.SoloFlag = kSoloNone;
    GridUpdate();
    s.img.ReadyFlag = false;
    s.UndoFlag = s.ApplyingFlag = s.Undoing = s.IsRestoring = false;
    view_.SetStatus(kStartStatus, false);

    // The other windows take their start-up places.
    view_.SetWindowRect(Window::Image, {s.Form2_Left, s.Form2_Top, 0, 0});
    view_.SetWindowRect(Window::Graph, {s.Form3_Left, s.Form3_Top, 278, 346});
    view_.SetWindowRect(Window::Settings, {s.Form4_Left, s.Form4_Top, 0, 0});

    // The settings dialog's controls, in its own order; the radio groups'
    // handlers write back the value they actually show.
    SetMakeHistoryMode(s.MakeHistoryMode_I);
    s.GrphBTF1 = RadioShown(s.F4_GraphBTF1);
    s.Scale1 = RadioShown(s.F4_Scale1);
    s.Polarity1 = RadioShown(s.F4_Pola1);
    s.LineCombo1 = s.F4_LineCombo1;
    s.GammaCombo1 = s.F4_GammaCombo1;
    SetOrder1(s.OrderFlag_I);
    SetOrigin1(s.GyakuFlag_I);
    // Build the tables once now, from the order and origin the settings window
    // shows (a stored 5 is already 1 here): otherwise the first graph after an
    // open would draw all-zero curves that match neither the parameters nor the
    // untouched picture.
    TableMake();

    view_.ShowControlValue(ValueControl::TrackBar1, s.TrackBar1);
    view_.ShowControlValue(ValueControl::ByKidoCB1, s.ByKidoCB1);
    view_.ShowControlValue(ValueControl::BySatuCB1, s.BySatuCB1);
    view_.ShowControlValue(ValueControl::AutoApplyCB1, s.AutoApplyCB1);
    view_.ShowControlValue(ValueControl::Order1, s.Order1);
    view_.ShowControlValue(ValueControl::Origin1, s.Origin1);
    view_.ShowControlValue(ValueControl::MakeHistoryMode, s.MakeHistoryMode);
    view_.ShowControlValue(ValueControl::GrphBTF1, s.GrphBTF1);
    view_.ShowControlValue(ValueControl::Scale1, s.Scale1);
    view_.ShowControlValue(ValueControl::Polarity1, s.Polarity1);
    view_.ShowControlValue(ValueControl::LineCombo1, s.LineCombo1);
    view_.ShowControlValue(ValueControl::GammaCombo1, s.GammaCombo1);
    view_.SetGridSelection(s.SavedSelection);
    UpdateEnabled();
  });
}

void Editor::OpenCommandLine(const std::vector<std::string>& args) {
  Boundary([&] {
    if (args.size() != 1) return;
    // A picture handed over by a file manager or a shell is the user's own file:
    // it names the save dialog's offer and folder as an open or a drop would, so
    // saving does not start from an empty name in the working folder.
    std::error_code ec;
    const std::filesystem::path given(args[0]);
    if (std::filesystem::is_regular_file(given, ec)) {
      const std::string path = std::filesystem::absolute(given, ec).string();
      EditorState& s = *s_;
      s.names.KeepFName = names::ExtractFileName(path);
      s.names.FileName_savedlg = s.names.KeepFName;
      s.names.PathName_keep = names::ExtractFilePath(path);
      s.names.PathName_bckup1.clear();
      CheckFile1(path);
    } else {
      CheckFile1(args[0]);
    }
    view_.SetMainCaption("TAV1");
  });
}

bool Editor::FormCloseQuery() {
  bool allow = true;
  Boundary([&] {
    EditorState& s = *s_;
    if (s.SettingsLoaded) {
      try {
        Settings st;
        const WindowRect m = view_.GetWindowRect(Window::Main);
        st.X1 = m.Left;
        st.Y1 = m.Top;
        st.H1 = m.Height;
        st.W1 = m.Width;
        const WindowRect i = view_.GetWindowRect(Window::Image);
        st.X2 = i.Left;
        st.Y2 = i.Top;
        const WindowRect g = view_.GetWindowRect(Window::Graph);
        st.X3 = g.Left;
        st.Y3 = g.Top;
        const WindowRect d = view_.GetWindowRect(Window::Settings);
        st.X4 = d.Left;
        st.Y4 = d.Top;
        st.X5 = s.X5_1;
        st.Y5 = s.Y5_1;
        st.Para = ToTriples(s.para.Nine());
        st.Order = s.OrderFlag_I;
        st.Origin = s.GyakuFlag_I;
        st.MakeHistoryMode = s.MakeHistoryMode_I;
        st.GraphFront = s.GrphBTF1;
        st.Scale = s.Scale1;
        st.Polarity = s.Polarity1;
        st.StepL = s.F4_LineCombo1;
        st.StepG = s.F4_GammaCombo1;
        st.AutoApply = s.AutoApply_B;
        st.Satulation = s.TrackBar1;
        st.KidoRdc = s.ByKidoCB1;
        st.SatuRdc = s.BySatuCB1;
        SettingsFile(s.IniPlaceTXT1).Write(st);
        // The placeholder ends of a muted channel were written as 0 and 255
        // and stay replaced in the parameter set.
        s.para.SetNine(FromTriples(st.Para));
      } catch (const std::exception& e) {
        std::cerr << "tav1: " << e.what() << '\n';
        // The user must learn which file could not be written.
        const std::string file = SettingsFile(s.IniPlaceTXT1).FilePath();
        std::string text = e.what();
        if (text.find(file) == std::string::npos)
          text = "設定ファイルを書き込めません: " + file + "\r\n" + text;
        if (!view_.AskQuitAnyway(text + "\r\n\r\n設定を保存せずに終了しますか？")) {
          allow = false;
          return;
        }
      }
    }
    DeleteTempFiles(s.names.PathTemp1);
  });
  return allow;
}

void Editor::Exit1Click() {
  Boundary([&] { view_.CloseMainWindow(); });
}

void Editor::WindowAll_00Click() {
  Boundary([&] {
    for (Window w : {Window::Main, Window::Image, Window::Graph, Window::Settings}) {
      WindowRect r = view_.GetWindowRect(w);
      r.Top = 0;
      r.Left = 0;
      view_.SetWindowRect(w, r);
    }
    s_->X5_1 = 0;
    s_->Y5_1 = 0;
  });
}

void Editor::OpenExeDir1Click() {
  Boundary([&] { view_.OpenFolder(s_->ExeFolder); });
}
void Editor::OpenIniDir1Click() {
  Boundary([&] { view_.OpenFolder(s_->IniPlaceTXT1); });
}
void Editor::Setting1Click() {
  Boundary([&] { view_.SetSettingsWindowVisible(true); });
}
void Editor::Button1Click() {
  Boundary([&] { view_.SetSettingsWindowVisible(false); });
}

// ===================================================================== opening

void Editor::CheckFile1(const std::string& path) {
  Boundary([&] {
    // A second picture must not replace the stores under a running pass.
    if (s_->Busy > 0) return;
    OpenChecked(path);
  });
}

void Editor::OpenChecked(const std::string& path) {
  EditorState& s = *s_;
  {
    BusyScope busy(s);
    // A JPEG is counted band by band while it decodes, on the thread that
    // writes its temporary file, which has time to spare.
    ChannelCounts counted;
    std::int64_t countedRows = 0;
    const DecodedRows countRows = [&](const std::uint8_t* first, int rows, std::size_t stride, int width) {
      for (int r = 0; r < rows; ++r) CountRow24(first + static_cast<std::size_t>(r) * stride, width, counted);
      countedRows += rows;
    };
    if (OpenChecks(path, s.img, s.names, view_, countRows) != OpenOutcome::Accepted) return;
    HistogramHooks hooks;
    if (s.img.biBitFlag == 24 && countedRows == s.img.ImageHeight && s.img.ImageHeight > 0)
      hooks.Counted = &counted;
    hooks.ShowBusy = [&](const std::string& t) {
      view_.SetStatus(t, true);
      view_.SetImageCaption(t);
    };
    hooks.PumpRow = [&] { Pump(); };
    MakeHstgrm_Main(s.img, s.hist, hooks);
    view_.SetStatus(kBlank10, false);
    LoadFile();
    view_.SetStatus(kBlank10, false);
    GraphDraw();
    view_.SetStatus(kBlank10, false);
    view_.SetMainCaption("TAV1");
  }
  FlushPendingApply();
}

void Editor::LoadFile() {
  Boundary([&] {
    EditorState& s = *s_;
    s.DisplayedOverride.reset();  // the result store is a byte copy of the source now
    view_.SetImagePicture(s.Displayed());
    const WindowRect r = view_.GetWindowRect(Window::Image);
    const int h = std::min(s.img.ImageHeight + 4, view_.ScreenHeight() - r.Top - 40);
    const int w = std::min(s.img.ImageWidth + 4, view_.ScreenWidth() - r.Left);
    view_.SetImageClientSize(w, h);
    view_.SetImageScrollRange(s.img.ImageWidth, s.img.ImageHeight);
    view_.SetImageCaption(ImageCaption(false));
    s.history.NewHistory(CurrentEntry());
    s.UndoFlag = false;
    s.img.ReadyFlag = true;
    view_.ShowImageWindow();
    view_.BringToFront(Window::Main);
  });
}

void Editor::OpenButton1Click() {
  Boundary([&] {
    EditorState& s = *s_;
    if (s.Busy > 0) return;
    std::string start;
    if (!s.names.PathName_bckup1.empty()) {
      s.names.PathName2 = s.names.PathName_bckup1;
      start = s.names.PathName_bckup1;
    }
    const std::optional<std::string> path = view_.ShowOpenDialog(kOpenFilter, start);
    if (!path) return;
    s.names.KeepFName = names::ExtractFileName(*path);
    s.names.FileName_savedlg = s.names.KeepFName;
    s.names.PathName_keep = names::ExtractFilePath(*path);
    s.names.PathName_bckup1.clear();
    view_.SetStatus("読込み中...", false);
    OpenChecked(*path);
    view_.SetMainCaption("TAV1");
    view_.BringToFront(Window::Main);
  });
}

void Editor::WMDropFiles(const std::vector<std::string>& paths) {
  Boundary([&] {
    EditorState& s = *s_;
    if (s.Busy > 0 || paths.empty()) return;
    s.img.ReadyFlag = false;
    view_.SetStatus("読込み中...", true);
    if (paths.size() > 1) {
      view_.Beep();
      view_.MessageBox("１ファイルだけドロップして下さい。");
      view_.SetStatus(kBlank10, false);
      return;
    }
    const std::string& path = paths.front();
    s.names.KeepFName = names::ExtractFileName(path);
    s.names.FileName_savedlg = s.names.KeepFName;
    s.names.PathName_keep = names::ExtractFilePath(path);
    s.names.PathName_bckup1.clear();
    OpenChecked(path);
    view_.SetStatus(kBlank10, true);
    view_.BringToFront(Window::Main);
  });
}

void Editor::Form2WMDropFiles(const std::vector<std::string>& paths) {
  Boundary([&] {
    EditorState& s = *s_;
    if (s.Busy > 0 || paths.size() != 1) return;
    const std::string& path = paths.front();
    s.names.KeepFName = names::ExtractFileName(path);
    s.names.FileName_savedlg = s.names.KeepFName;
    s.names.PathName_keep = names::ExtractFilePath(path);
    s.names.PathName_bckup1.clear();
    OpenChecked(path);
  });
}

std::string Editor::ImageCaption(bool afterApply) const {
  const EditorState& s = *s_;
  std::string name;
  if (afterApply) {
    // The name the caption got at load: the shrink and rotation results were
    // shown under their save-dialog name.
    name = (s.names.OpenedName == tempname::kSmall || s.names.OpenedName == tempname::kRotate)
               ? s.names.FileName_savedlg
               : s.names.OpenedName;
  } else {
    name = !s.names.ShrinkName.empty()   ? s.names.ShrinkName
           : !s.names.RotateName.empty() ? s.names.RotateName
                                         : s.names.OpenedName;
  }
  return name + " ( " + std::to_string(s.img.biBitFlag) + " bit )";
}

// ===================================================================== applying

void Editor::GridUpdate() {
  const GridTexts t = tav1::GridUpdate(s_->para, s_->SoloFlag);
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) view_.SetGridCell(c, r, t[r][c]);
}

void Editor::TableMake() {
  Boundary([&] { s_->tables = tav1::TableMake(s_->para, s_->OrderFlag_I, s_->GyakuFlag_I); });
}

void Editor::GraphDraw() {
  Boundary([&] {
    EditorState& s = *s_;
    GraphInput in;
    in.ReadyFlag = s.img.ReadyFlag;
    in.histogram = &s.hist;
    in.HistogramScale = s.Scale1;
    in.TableR = s.tables.TableR;
    in.TableG = s.tables.TableG;
    in.TableB = s.tables.TableB;
    for (int c = 0; c < 3; ++c)
      for (int k = 0; k < 3; ++k) in.Para[c][k] = s.para.at(c, k);
    in.SoloFlag = s.SoloFlag;
    in.GyakuFlag_I = s.GyakuFlag_I;
    in.DecimalSeparator = view_.DecimalSeparator();
    if (tav1::GraphDraw(in, s.graph)) view_.SetGraphPicture(s.graph);
  });
}

void Editor::Refresh3() {
  GridUpdate();
  TableMake();
  GraphDraw();
}

void Editor::GraphToFront() {
  if (view_.IsWindowVisible(Window::Graph) && s_->GrphBTF1 == 0) view_.BringToFront(Window::Graph);
}

void Editor::RunPassAndShow() {
  EditorState& s = *s_;
  if (s.Busy > 0 || TonePassRunning()) {
    s.ApplyPending = true;
    return;
  }
  do {
    s.ApplyPending = false;
    {
      BusyScope busy(s);
      // The pass works on its own copy of the tables: a command run from the
      // pump may rebuild them meanwhile.
      const ToneTables tables = s.tables;
      TonePassRequest req;
      req.biBitFlag = s.img.biBitFlag;
      req.GrayPaletteFlag = s.img.GrayPaletteFlag;
      req.SoloFlag = s.SoloFlag;
      req.SliderPosition = s.TrackBar1;
      req.ByKido = s.ByKidoCB1;
      req.BySatu = s.BySatuCB1;
      PassHooks hooks;
      hooks.pump = [&] { Pump(); };
      hooks.status = [&](const std::string& t) { view_.SetStatus(t, true); };
      ApplyTonePass(s.img.MemStBmp1, s.img.MemStBmp2, s.img.geo, tables, req, hooks);
    }
    s.DisplayedOverride.reset();
    view_.SetImagePicture(s.Displayed());
    view_.SetImageCaption(ImageCaption(true));
  } while (s.ApplyPending && s.img.ReadyFlag);
}

void Editor::FlushPendingApply() {
  EditorState& s = *s_;
  if (s.Busy > 0 || !s.ApplyPending) return;
  if (!s.img.ReadyFlag) {
    s.ApplyPending = false;
    return;
  }
  RunPassAndShow();
}

// The part of an apply around its pass: the flag and the disabled controls,
// undone on every way out. An apply started from inside a running one (from
// the pump) leaves the outer one's flag and disabled controls as they are.
class Editor::ApplyScope {
 public:
  explicit ApplyScope(Editor& e)
      : e_(e), t0_(std::chrono::steady_clock::now()), outerApplying_(e.s_->ApplyingFlag && e.applyDepth_ > 0) {
    e_.s_->ApplyingFlag = true;
    ++e_.applyDepth_;
    e_.applyBBFollowsBox_ = false;
    e_.UpdateEnabled();
  }
  ~ApplyScope() {
    if (!finished_) {
      --e_.applyDepth_;
      e_.s_->ApplyingFlag = outerApplying_;
    }
  }
  // The normal end: controls back, main window to the front, the time.
  void Finish() {
    finished_ = true;
    --e_.applyDepth_;
    e_.UpdateEnabled();
    e_.view_.FocusMain(FocusTarget::MainWindow);
    e_.s_->ApplyingFlag = outerApplying_;
    e_.view_.SetStatus("処理時間: " + std::to_string(ElapsedMs(t0_)) + " ms", false);
  }

 private:
  Editor& e_;
  std::chrono::steady_clock::time_point t0_;
  bool outerApplying_;
  bool finished_ = false;
};

void Editor::ApplyClick() {
  Boundary([&] {
    EditorState& s = *s_;
    ApplyScope apply(*this);
    Refresh3();
    if (s.img.ReadyFlag) {
      GraphToFront();
      RunPassAndShow();
    }
    apply.Finish();
  });
}

void Editor::InUndoNewApply() {
  Boundary([&] {
    EditorState& s = *s_;
    if (!s.img.ReadyFlag) return;
    ApplyScope apply(*this);
    Refresh3();
    GraphToFront();
    if (s.MakeHistoryMode_I == 0) MakeHistory();
    RunPassAndShow();
    apply.Finish();
    s.UndoFlag = false;
    s.history.InUndoNewApplyReset();
    s.IsRestoring = false;
  });
}

void Editor::TrackBar1Change(int position) {
  Boundary([&] {
    EditorState& s = *s_;
    s.TrackBar1 = std::clamp(position, 0, 100);
    if (s.IsRestoring || !s.img.ReadyFlag) return;
    view_.ReleaseCaptureUnlessLeftDown();
    view_.ShowTrackBar1Hint(std::to_string(s.TrackBar1 / 10) + "." +
                            std::to_string(s.TrackBar1 % 10));
    if (s.ApplyingFlag) return;
    if (s.AutoApplyCB1) {
      s.ApplyingFlag = true;
      if (s.UndoFlag)
        InUndoNewApply();
      else
        ApplyClick();
      view_.StopTimer1();
      view_.StartTimer1();
      s.ApplyingFlag = false;
    }
  });
}

void Editor::SetTrackBar1Position(int position) {
  Boundary([&] {
    position = std::clamp(position, 0, 100);
    if (position == s_->TrackBar1) return;
    view_.ShowControlValue(ValueControl::TrackBar1, position);
    TrackBar1Change(position);
  });
}

void Editor::SatuResetBtn1Click() {
  Boundary([&] {
    s_->IsRestoring = false;
    SetTrackBar1Position(10);
  });
}

// The two damping boxes share one handler body; each records its own new state.
void Editor::DampingBoxClick(bool EditorState::*box, bool checked) {
  Boundary([&] {
    EditorState& s = *s_;
    s.*box = checked;
    if (!s.img.ReadyFlag || s.ApplyingFlag || s.Undoing || !s.AutoApplyCB1) return;
    if (!s.IsRestoring && s.MakeHistoryMode_I == 0) MakeHistory();
    if (s.UndoFlag)
      InUndoNewApply();
    else
      ApplyClick();
  });
}

void Editor::ByKidoCB1Click(bool checked) { DampingBoxClick(&EditorState::ByKidoCB1, checked); }

void Editor::BySatuCB1Click(bool checked) { DampingBoxClick(&EditorState::BySatuCB1, checked); }

void Editor::SetByKidoCB1(bool checked) {
  Boundary([&] {
    if (checked == s_->ByKidoCB1) return;
    view_.ShowControlValue(ValueControl::ByKidoCB1, checked);
    ByKidoCB1Click(checked);
  });
}

void Editor::SetBySatuCB1(bool checked) {
  Boundary([&] {
    if (checked == s_->BySatuCB1) return;
    view_.ShowControlValue(ValueControl::BySatuCB1, checked);
    BySatuCB1Click(checked);
  });
}

void Editor::FormMouseUp(MouseButton button) {
  Boundary([&] {
    if (button == MouseButton::Left) view_.EndTrackBar1Tracking();
  });
}

void Editor::AutoApplyCB1Click(bool checked) {
  Boundary([&] {
    s_->AutoApplyCB1 = checked;
    s_->AutoApply_B = checked;
    // Also in the middle of an apply: a click on "適用" then only queues its pass.
    applyBBFollowsBox_ = true;
    UpdateEnabled();
  });
}

void Editor::SetAutoApplyCB1(bool checked) {
  Boundary([&] {
    if (checked != s_->AutoApplyCB1) {
      view_.ShowControlValue(ValueControl::AutoApplyCB1, checked);
      AutoApplyCB1Click(checked);
    }
    UpdateEnabled();
  });
}

// ===================================================================== settings dialog

void Editor::Order1Click(int itemIndex) {
  Boundary([&] {
    s_->Order1 = RadioShown(itemIndex);
    s_->OrderFlag_I = s_->Order1 == 1 ? 1 : 0;
  });
}
void Editor::Origin1Click(int itemIndex) {
  Boundary([&] {
    s_->Origin1 = RadioShown(itemIndex);
    s_->GyakuFlag_I = s_->Origin1 == 1 ? 1 : 0;
  });
}
void Editor::MakeHistoryModeClick(int itemIndex) {
  Boundary([&] {
    s_->MakeHistoryMode = RadioShown(itemIndex);
    s_->MakeHistoryMode_I = s_->MakeHistoryMode;
  });
}
void Editor::LineCombo1Change(int itemIndex) {
  Boundary([&] {
    s_->LineCombo1 = itemIndex;
    s_->F4_LineCombo1 = itemIndex;
  });
}
void Editor::GammaCombo1Change(int itemIndex) {
  Boundary([&] {
    s_->GammaCombo1 = itemIndex;
    s_->F4_GammaCombo1 = itemIndex;
  });
}
void Editor::GrphBTF1Click(int itemIndex) {
  Boundary([&] { s_->GrphBTF1 = RadioShown(itemIndex); });
}
void Editor::Scale1Click(int itemIndex) {
  Boundary([&] { s_->Scale1 = RadioShown(itemIndex); });
}
void Editor::Polarity1Click(int itemIndex) {
  Boundary([&] { s_->Polarity1 = RadioShown(itemIndex); });
}

// Setting a radio group from the program: it shows the item it can show and runs
// its click handler only when that changes the choice.
void Editor::SetRadioGroup(int EditorState::*shownNow, ValueControl control, void (Editor::*click)(int),
                           int itemIndex) {
  Boundary([&] {
    const int shown = RadioShown(itemIndex);
    if (shown == (*s_).*shownNow) return;
    view_.ShowControlValue(control, shown);
    (this->*click)(shown);
  });
}
void Editor::SetOrder1(int itemIndex) {
  SetRadioGroup(&EditorState::Order1, ValueControl::Order1, &Editor::Order1Click, itemIndex);
}
void Editor::SetOrigin1(int itemIndex) {
  SetRadioGroup(&EditorState::Origin1, ValueControl::Origin1, &Editor::Origin1Click, itemIndex);
}
void Editor::SetMakeHistoryMode(int itemIndex) {
  SetRadioGroup(&EditorState::MakeHistoryMode, ValueControl::MakeHistoryMode, &Editor::MakeHistoryModeClick,
                itemIndex);
}

// ===================================================================== parameter commands

void Editor::FollowUpA() {
  EditorState& s = *s_;
  if (s.AutoApply_B) {
    if (s.MakeHistoryMode_I == 0) MakeHistory();
    if (s.UndoFlag)
      InUndoNewApply();
    else
      ApplyClick();
  } else {
    Refresh3();
  }
}

void Editor::FollowUpB() {
  EditorState& s = *s_;
  if (s.AutoApply_B) {
    if (s.MakeHistoryMode_I == 0) MakeHistory();
    ApplyClick();
  } else {
    Refresh3();
  }
}

void Editor::StepButton(int sign, bool coarse, FocusTarget button) {
  Boundary([&] {
    EditorState& s = *s_;
    const GridCell cell = view_.GetGridCurrentCell();
    const int channel = cell.Row;
    const int parameter = cell.Col;
    int step = sign;
    if (parameter == kSlotGamma && s.Polarity1 == 1) step = -step;
    s.CoarseFlag = coarse;
    StepContext ctx;
    ctx.CoarseFlag = s.CoarseFlag;
    ctx.AllChannelsFlag = s.AllChannelsFlag;
    ctx.GrayPaletteFlag = s.img.GrayPaletteFlag;
    ctx.F4_LineCombo1 = s.F4_LineCombo1;
    ctx.F4_GammaCombo1 = s.F4_GammaCombo1;
    if (channel >= 0 && channel < 3) Effect1(s.para, ctx, channel, parameter, step);
    s.IsRestoring = false;
    FollowUpA();
    view_.FocusMain(button);
  });
}

void Editor::IncBtn1Click() { StepButton(+1, false, FocusTarget::IncBtn1); }
void Editor::DecBtn1Click() { StepButton(-1, false, FocusTarget::DecBtn1); }
void Editor::Inc2Click() { StepButton(+1, true, FocusTarget::Inc2); }
void Editor::Dec2Click() { StepButton(-1, true, FocusTarget::Dec2); }

void Editor::EndPreset(int slot, int value) {
  Boundary([&] {
    EditorState& s = *s_;
    for (int c = 0; c < 3; ++c)
      if (s.SoloFlag >= 3 || c == s.SoloFlag) s.para.at(c, slot) = value;
    FollowUpB();
  });
}

void Editor::GammaPreset(int atOrigin0, int atOrigin1) {
  EndPreset(kSlotGamma, s_->GyakuFlag_I == 1 ? atOrigin1 : atOrigin0);
}

void Editor::G_MinusClick() { GammaPreset(-126, -103); }
void Editor::G_ZeroClick() { GammaPreset(0, 0); }
void Editor::G_PlusClick() { GammaPreset(103, 126); }
void Editor::Low0Click() { EndPreset(kSlotLow, 0); }
void Editor::High255Click() { EndPreset(kSlotHigh, 255); }

void Editor::AllClear1Click() { ClearParaAll(); }

void Editor::ClearParaAll() {
  Boundary([&] {
    EditorState& s = *s_;
    const WindowRect m = view_.GetWindowRect(Window::Main);
    int left = m.Left;
    if (left < 0) left = 0;
    if (left > view_.ScreenWidth() - 200) left = view_.ScreenWidth() - 200;
    int top = m.Top + 160;
    if (top < 0) top = 0;
    if (top > view_.ScreenHeight() - 100) top = view_.ScreenHeight() - 100;
    const AllClearAnswer a =
        view_.ShowAllClearDlg("TAV1 確認", "全てクリアしますか？（彩度含む）", left, top);
    if (a == AllClearAnswer::Cancel) return;
    if (a == AllClearAnswer::Yes) {
      SetTrackBar1Position(10);
      SetByKidoCB1(false);
      SetBySatuCB1(false);
    }
    for (int c = 0; c < 3; ++c) {
      s.para.at(c, kSlotLow) = kDefaultLow;
      s.para.at(c, kSlotGamma) = kDefaultGamma;
      s.para.at(c, kSlotHigh) = kDefaultHigh;
    }
    FollowUpB();
    view_.SetGridSelection(s.SavedSelection);
  });
}

void Editor::ClearPara1Color(int channel) {
  Boundary([&] {
    EditorState& s = *s_;
    if (!view_.ShowUndoRedoEdge("TAV1 確認", "この色をクリアしますか？", true)) return;
    if (channel < 0 || channel > 2) return;
    s.para.at(channel, kSlotLow) = kDefaultLow;
    s.para.at(channel, kSlotGamma) = kDefaultGamma;
    s.para.at(channel, kSlotHigh) = kDefaultHigh;
    FollowUpB();
    view_.SetGridSelection(s.SavedSelection);
  });
}

void Editor::ClearPara1(int channel, int parameter) {
  Boundary([&] {
    EditorState& s = *s_;
    view_.SetGridSelection(s.SavedSelection);
    if (!view_.ShowUndoRedoEdge("TAV1 確認", "クリアしますか？", true)) return;
    if (parameter < 0 || parameter > 2) return;
    const int value = parameter == kSlotHigh ? kDefaultHigh : 0;
    if (s.AllChannelsFlag) {
      for (int c = 0; c < 3; ++c) s.para.at(c, parameter) = value;
    } else if (channel >= 0 && channel < 3) {
      s.para.at(channel, parameter) = value;
    }
    FollowUpB();
    view_.SetGridSelection(s.SavedSelection);
  });
}

// ===================================================================== grid and solo

void Editor::SetSelection(int top, int bottom, int left, int right) {
  Boundary([&] { view_.SetGridSelection(GridRect{left, top, right, bottom}); });
}

void Editor::StringGrid1KeyUp(int key) {
  Boundary([&] {
    if (key == kKey0 || key == kKeyNumpad0)
      StringGrid1MouseUp(MouseButton::Right);
    else if (key >= kKeyLeft && key <= kKeyDown)
      StringGrid1MouseUp(MouseButton::Left);
  });
}

void Editor::StringGrid1MouseUp(MouseButton button) {
  Boundary([&] {
    EditorState& s = *s_;
    const bool clearing = button == MouseButton::Right;
    const GridRect S = view_.GetGridSelection();
    const bool single = S.Top == S.Bottom && S.Left == S.Right;
    const bool column = S.Top == 0 && S.Bottom == 2 && S.Left == S.Right;
    const bool row = S.Top == S.Bottom && S.Left == 0 && S.Right == 2;
    const bool whole = S.Top == 0 && S.Bottom == 2 && S.Left == 0 && S.Right == 2;
    const bool gray = s.img.GrayPaletteFlag;

    if (s.SoloFlag >= 3) {
      if (single) {
        if (gray) return;
        if (!clearing) {
          const GridCell cur = view_.GetGridCurrentCell();
          s.AllChannelsFlag = false;
          s.SavedSelection = GridRect{cur.Col, cur.Row, cur.Col, cur.Row};
        } else {
          ClearPara1(S.Top, S.Left);
        }
      } else if (column) {
        s.AllChannelsFlag = true;
        if (!clearing) {
          const GridCell cur = view_.GetGridCurrentCell();
          s.SavedSelection = GridRect{cur.Col, 0, cur.Col, 2};
        } else {
          ClearPara1(S.Top, S.Left);
        }
      } else if (row) {
        if (gray) return;
        SetSoloMode(S.Top);
        if (clearing) ClearPara1(S.Top, 0);
      } else if (whole) {
        if (clearing) ClearParaAll();
      }
      return;
    }

    const int solo = s.SoloFlag;
    if (single && S.Top != solo) {
      SoloEnd();
      if (!clearing)
        s.SavedSelection = S;
      else
        ClearPara1(S.Top, S.Left);
      Refresh3();
    } else if (row) {
      if (gray) return;
      const int r = S.Top;
      s.SavedSelection = GridRect{0, r, 2, r};
      if (!clearing) {
        SoloEnd();
        SetSoloMode(r);
      } else {
        ClearPara1Color(r);
        view_.SetGridSelection(s.SavedSelection);
      }
    } else if (single) {
      s.SavedSelection = S;
      if (clearing) ClearPara1(solo, S.Left);
    } else {
      view_.SetGridSelection(s.SavedSelection);
    }
  });
}

void Editor::SetSoloMode(int channel) {
  Boundary([&] {
    EditorState& s = *s_;
    if (channel < 0 || channel > 2) return;
    s.SoloFlag = static_cast<std::uint8_t>(channel);
    s.AllChannelsFlag = false;
    for (int i = 0; i < 3; ++i)
      if (i != channel) MuteChannel(s.para, i);
    GridUpdate();
    s.Undoing = false;
    if (s.MakeHistoryMode_I == 0) MakeHistory();
    ApplyClick();
  });
}

void Editor::SoloEnd() {
  Boundary([&] {
    EditorState& s = *s_;
    for (int i = 0; i < 3; ++i)
      if (i != s.SoloFlag) RestoreChannel(s.para, i);
    s.SoloFlag = kSoloNone;
    GridUpdate();
    s.Undoing = false;
    if (s.MakeHistoryMode_I == 0) MakeHistory();
    ApplyClick();
  });
}

// ===================================================================== history

HistoryEntry Editor::CurrentEntry() const {
  const EditorState& s = *s_;
  HistoryEntry e;
  e.Para = ToTriples(s.para.Nine());
  e.Order = s.OrderFlag_I;
  e.Origin = s.GyakuFlag_I;
  e.SoloFlag = s.SoloFlag;
  e.TrackBar = s.TrackBar1;
  e.ByKido = s.ByKidoCB1;
  e.BySatu = s.BySatuCB1;
  return e;
}

void Editor::ReadHistoryPara(const HistoryEntry& e) {
  EditorState& s = *s_;
  s.para.SetNine(FromTriples(e.Para));
  s.OrderFlag_I = e.Order;
  SetOrder1(e.Order);
  s.GyakuFlag_I = e.Origin;
  SetOrigin1(e.Origin);
  s.SoloFlag = static_cast<std::uint8_t>(e.SoloFlag);
  SetTrackBar1Position(e.TrackBar);
  SetByKidoCB1(e.ByKido);
  SetBySatuCB1(e.BySatu);
}

void Editor::MakeHistory() {
  Boundary([&] {
    EditorState& s = *s_;
    const bool committed = s.history.MakeHistory(CurrentEntry(), s.UndoFlag);
    view_.SetStatus(kUndoMadeText, false);
    if (!committed) view_.SetStatus(kUndoSameText, false);
  });
}

void Editor::UndoClick() {
  Boundary([&] {
    EditorState& s = *s_;
    if (!s.img.ReadyFlag || s.Undoing) return;
    s.Undoing = s.UndoFlag = s.IsRestoring = true;
    const std::optional<HistoryEntry> e = s.history.Undo();
    if (!e) {
      view_.ShowUndoRedoEdge("メッセージ", kNoMoreUndoText, false);
      s.Undoing = s.IsRestoring = false;
      return;
    }
    undoButtonsOff_ = true;
    UpdateEnabled();
    ReadHistoryPara(*e);
    if (s.AutoApplyCB1)
      ApplyClick();
    else
      Refresh3();
    undoButtonsOff_ = false;
    UpdateEnabled();
    s.IsRestoring = s.Undoing = false;
  });
}

void Editor::RedoClick() {
  Boundary([&] {
    EditorState& s = *s_;
    if (!s.img.ReadyFlag || s.Undoing) return;
    s.Undoing = s.UndoFlag = s.IsRestoring = true;
    const std::optional<HistoryEntry> e = s.history.Redo();
    if (!e) {
      view_.ShowUndoRedoEdge("メッセージ", kNoMoreRedoText, false);
      s.UndoFlag = s.Undoing = s.IsRestoring = false;
      return;
    }
    undoButtonsOff_ = true;
    UpdateEnabled();
    ReadHistoryPara(*e);
    if (s.AutoApplyCB1)
      ApplyClick();
    else
      Refresh3();
    undoButtonsOff_ = false;
    UpdateEnabled();
    s.IsRestoring = s.Undoing = false;
  });
}

void Editor::FormClick(MouseButton button) {
  Boundary([&] {
    if (!s_->img.ReadyFlag || button != MouseButton::Right) return;
    view_.StopTimer1();
    MakeHistory();
  });
}

void Editor::Timer1Timer() {
  Boundary([&] {
    if (!s_->img.ReadyFlag) return;
    view_.StopTimer1();
    if (s_->MakeHistoryMode_I == 0) MakeHistory();
  });
}

// ===================================================================== memories

void Editor::StoreMemory(ParaMemory& m) {
  Boundary([&] {
    const EditorState& s = *s_;
    m.Para = ToTriples(s.para.Nine());
    m.TrackBar = static_cast<std::uint8_t>(s.TrackBar1);
    m.Order = static_cast<std::uint8_t>(s.Order1);
    m.Origin = static_cast<std::uint8_t>(s.Origin1);
    m.SoloFlag = s.SoloFlag;
    m.ByKido = s.ByKidoCB1;
    m.BySatu = s.BySatuCB1;
  });
}

void Editor::RecallMemory(const ParaMemory& stored) {
  Boundary([&] {
    EditorState& s = *s_;
    const ParaMemory m = stored;  // a handler run below must not see a half-read slot
    s.para.SetNine(FromTriples(m.Para));
    SetTrackBar1Position(m.TrackBar);
    SetOrder1(m.Order);
    SetOrigin1(m.Origin);
    s.SoloFlag = m.SoloFlag;
    SetByKidoCB1(m.ByKido);
    SetBySatuCB1(m.BySatu);
    if (s.AutoApply_B)
      ApplyClick();
    else
      Refresh3();
  });
}

void Editor::Mem1WriteClick() { StoreMemory(s_->Mem1); }
void Editor::Mem1CallClick() { RecallMemory(s_->Mem1); }
void Editor::Mem2WriteClick() { StoreMemory(s_->Mem2); }
void Editor::Mem2CallClick() { RecallMemory(s_->Mem2); }

// ===================================================================== graph button

void Editor::GraphShow1Click() {
  Boundary([&] {
    if (!s_->img.ReadyFlag) return;
    TableMake();
    GraphDraw();
    if (view_.IsWindowVisible(Window::Graph)) {
      view_.SetGraphWindowVisible(false);
      return;
    }
    view_.SetGraphWindowVisible(true);
    if (s_->GrphBTF1 == 0) view_.BringToFront(Window::Graph);
    view_.FocusMain(FocusTarget::GraphShow1);
  });
}

// ===================================================================== pick-up

void Editor::Image1MouseDown(MouseButton, int x, int y) {
  Boundary([&] {
    EditorState& s = *s_;
    // The pick-up reads the source store; not while a pass may be rewriting it.
    if (s.Busy > 0 || s.ApplyingFlag || !s.img.ReadyFlag) return;
    const Geometry& g = s.img.geo;
    if (s.img.biBitFlag != 24 || x < 0 || x > g.Xend || y < 0 || y > g.Yend) return;
    const std::int64_t off = static_cast<std::int64_t>(bmp::kRows24Offset) +
                             static_cast<std::int64_t>(g.YEndG - y) * g.XBytes24 + 3LL * x;
    if (off < 0 || off + 3 > static_cast<std::int64_t>(s.img.MemStBmp1.size())) return;
    const int Bs = s.img.MemStBmp1[off];
    const int Gs = s.img.MemStBmp1[off + 1];
    const int Rs = s.img.MemStBmp1[off + 2];
    int Rc, Gc, Bc;
    DisplayedColour(s.Displayed(), x, y, Rc, Gc, Bc);
    const std::string label = "元画像 R=" + std::to_string(Rs) + " G=" + std::to_string(Gs) +
                              " B=" + std::to_string(Bs) + "\r\n" + "現画像 R=" +
                              std::to_string(Rc) + " G=" + std::to_string(Gc) +
                              " B=" + std::to_string(Bc) + "\r\n";
    const PickAnswer a = view_.ShowPickUPDlg(label, view_.ScreenWidth() / 2 - 140,
                                             view_.ScreenHeight() / 2 - 56);
    if (a == PickAnswer::Cancel) return;
    const int picked[3] = {Rs, Gs, Bs};
    const bool black = a == PickAnswer::Black;
    const int endSlot = black ? kSlotHigh : kSlotLow;
    auto refused = [&](int c) {
      return black ? picked[c] >= s.para.at(c, endSlot) : picked[c] <= s.para.at(c, endSlot);
    };
    const char* message = black ? "最大値よりも明る過ぎます" : "最小値よりも暗過ぎます";
    if (s.SoloFlag < 3) {
      if (refused(s.SoloFlag)) {
        view_.Beep();
        view_.MessageBox(message);
        return;
      }
    } else if (refused(0) || refused(1) || refused(2)) {
      view_.MessageBox(message);
      return;
    }
    const int setSlot = black ? kSlotLow : kSlotHigh;
    for (int c = 0; c < 3; ++c) s.para.at(c, setSlot) = picked[c];

    if (s.AutoApplyCB1) {
      if (s.UndoFlag) {
        // Cleared first, so the recording writes at the current position
        // without discarding the redo tail by count.
        s.UndoFlag = false;
        s.IsRestoring = false;
        if (s.MakeHistoryMode_I == 0) MakeHistory();
        InUndoNewApply();
      } else {
        if (s.MakeHistoryMode_I == 0) MakeHistory();
        ApplyClick();
      }
    } else {
      Refresh3();
    }
    if (view_.IsWindowVisible(Window::Graph)) {
      if (s.GrphBTF1 == 0)
        view_.BringToFront(Window::Graph);
      else
        view_.BringToFront(Window::Main);
    }
  });
}

void Editor::Form2KeyPress(int x, int y) { Image1MouseDown(MouseButton::Left, x, y); }

// ===================================================================== saving

std::optional<std::string> Editor::SaveDialog1TypeChange(const std::string& name,
                                                          int filterIndex,
                                                          const std::string& openedExt) {
  if (name.empty()) return std::nullopt;
  std::error_code ec;
  if (std::filesystem::is_directory(name, ec)) return std::nullopt;
  const std::string upper = names::Upper(names::ExtractFileExt(name));
  const bool known = upper == ".BMP" || upper == ".JPG" || upper == ".JPEG" || upper == ".PNG";
  std::string ext;
  switch (filterIndex) {
    case 1: ext = openedExt; break;
    case 2: ext = ".bmp"; break;
    case 3: ext = ".jpg"; break;
    case 4: ext = ".jpeg"; break;
    case 5: ext = ".png"; break;
    default: return std::nullopt;
  }
  const std::string file = names::ExtractFileName(name);
  return known ? names::ChangeFileExt(file, ext) : file + ext;
}

void Editor::SaveButton1Click() {
  Boundary([&] {
    EditorState& s = *s_;
    if (!s.img.ReadyFlag || s.Busy > 0) return;
    for (;;) {
      SaveDialogRequest req;
      req.Filter = kSaveFilter;
      req.FileName =
          names::ChangeFileExt(names::ExtractFileName(s.names.FileName_savedlg), "");
      req.InitialDir = s.names.PathName_keep;
      const std::string openedExt = names::Upper(names::ExtractFileExt(s.names.OpenedName));
      if (openedExt == ".BMP") s.SaveFilterIndex = 2;
      else if (openedExt == ".JPG") s.SaveFilterIndex = 3;
      else if (openedExt == ".JPEG") s.SaveFilterIndex = 4;
      else if (openedExt == ".PNG") s.SaveFilterIndex = 5;
      req.FilterIndex = s.SaveFilterIndex;
      req.OpenedExt = s.names.OpenedExt;
      const bool ok = view_.ShowSaveDialog(req);
      s.SaveFilterIndex = req.FilterIndex;
      if (!ok) return;
      s.SaveFileName1 = req.ChosenPath;
      if (names::ExtractFileExt(s.SaveFileName1).empty()) {
        switch (s.SaveFilterIndex) {
          case 2: s.SaveFileName1 += ".bmp"; break;
          case 3: s.SaveFileName1 += ".jpg"; break;
          case 4: s.SaveFileName1 += ".jpeg"; break;
          case 5: s.SaveFileName1 += ".png"; break;
          default: break;
        }
      }
      if (FileExists(s.SaveFileName1)) {
        view_.Beep();
        if (!view_.AskYesNo("同名のファイルがあります。上書きしますか？")) continue;
      }
      const std::string ext = names::Upper(names::ExtractFileExt(s.SaveFileName1));
      if (ext == ".JPG" || ext == ".JPEG") {
        SaveJpegPath();
      } else if (ext == ".PNG") {
        SavePngPath();
      } else if (ext == ".BMP") {
        SaveBmpPath();
      } else {
        view_.Beep();
        view_.MessageBox("ファイルの種類を指定して下さい");
        continue;
      }
      return;
    }
  });
}

void Editor::SaveJpegPath() {
  EditorState& s = *s_;
  // The dialog draws its previews into a picture of its own; the one shown
  // before stays untouched, so a cancel needs no kept copy to put back.
  Store shown;
  view_.SetStatus("Jpg 保存中...", false);
  JpegSaveRequest req;
  req.SaveFileName = s.SaveFileName1;
  req.Result = &s.img.MemStBmp2;
  req.Displayed = &shown;
  req.X5_1 = s.X5_1;
  req.Y5_1 = s.Y5_1;
  int result = 2;
  try {
    BusyScope busy(s);  // the encoder reads the result store
    result = view_.ShowJpegSaveDialog(req);
  } catch (...) {
    s.X5_1 = req.X5_1;
    s.Y5_1 = req.Y5_1;
    view_.SetImagePicture(s.Displayed());
    view_.SetStatus(kBlank10, true);
    throw;
  }
  s.X5_1 = req.X5_1;
  s.Y5_1 = req.Y5_1;
  if (result == 1 && !shown.empty()) {
    s.DisplayedOverride = std::move(shown);  // the decoded JPEG now on display
  } else {
    // A preview must not outlive a cancelled save.
    view_.SetImagePicture(s.Displayed());
  }
  view_.SetStatus(kBlank10, true);
  FlushPendingApply();
}

void Editor::SavePngPath() {
  EditorState& s = *s_;
  view_.SetStatus("PNG 保存中...", true);
  pngSaving_ = true;
  UpdateEnabled();
  auto finish = [&] {
    view_.ShowProgress(-1);
    view_.SetStatus(kBlank10, true);
    view_.SetMainCaption("TAV1");
    pngSaving_ = false;
    UpdateEnabled();
  };
  try {
    BusyScope busy(s);
    Pump();
    view_.ShowProgress(0);
    // Strips on two threads; after each strip of the calling thread the windows repaint.
    WritePngParallel(s.SaveFileName1, s.img.MemStBmp2, [&](double done) {
      view_.ShowProgress(static_cast<int>(done * 100.0));
      Pump();
    });
  } catch (...) {
    finish();
    throw;
  }
  finish();
  FlushPendingApply();
}

void Editor::SaveBmpPath() {
  EditorState& s = *s_;
  view_.SetStatus("BMP 保存中...", true);
  try {
    WriteBmp(s.SaveFileName1, s.img.MemStBmp2);
  } catch (...) {
    view_.SetStatus(kBlank10, true);
    throw;
  }
  view_.SetStatus(kBlank10, true);
}

// ===================================================================== clipboard

void Editor::Paste1Click() {
  Boundary([&] {
    EditorState& s = *s_;
    if (s.Busy > 0) return;
    view_.SetStatus("クリップボード読込み中", true);
    try {
      std::optional<Store> bmp = view_.ClipboardGetBitmap24();
      bmp::HeaderView h;
      if (!bmp || !bmp::ReadHeader(bmp->data(), bmp->size(), h)) {
        view_.MessageBox("クリップボードの内容に対応できません。");
      } else if (h.width > MaxSizeOfImage || h.height > MaxSizeOfImage) {
        view_.MessageBox("画像が大きすぎます (縦横とも " + std::to_string(MaxSizeOfImage) +
                         " 以下)。");
      } else {
        const std::string path = s.names.PathTemp1 + tempname::kClipboard;
        WriteBmp(path, *bmp);
        bmp.reset();
        OpenChecked(path);
      }
    } catch (...) {
      view_.SetStatus(kBlank22, false);
      throw;
    }
    view_.SetStatus(kBlank22, false);
  });
}

void Editor::Copy1Click() {
  Boundary([&] {
    if (!s_->img.ReadyFlag || s_->Busy > 0) return;
    if (!view_.ClipboardPutBitmap(s_->Displayed()))
      view_.MessageBox("クリップボードにコピーできませんでした。");
  });
}

// ===================================================================== rotation and shrinking

void Editor::Rotate(bool clockwise) {
  Boundary([&] {
    EditorState& s = *s_;
    if (!s.img.ReadyFlag || s.Busy > 0 || s.ApplyingFlag) return;
    view_.SetStatus("回転中...", false);
    s.names.PathName_bckup1 = s.names.PathName2;
    Store turned;
    {
      BusyScope busy(s);
      turned = RotateQuarter(s.Displayed(), clockwise ? Turn::Clockwise : Turn::CounterClockwise,
                             [&] { Pump(); });
    }
    const std::string path = s.names.PathTemp1 + tempname::kRotate;
    WriteBmp(path, turned);
    s.names.RotateName = RotateNameFor(s.names.KeepFName);
    s.names.FileName_savedlg = s.names.RotateName;
    turned = Store();
    try {
      OpenChecked(path);
    } catch (...) {
      s.names.RotateName.clear();
      throw;
    }
    s.names.RotateName.clear();
    view_.SetStatus(IdeographicSpaces(9), false);
    FlushPendingApply();
  });
}

void Editor::Left_Rotate1Click() { Rotate(false); }
void Editor::Right_Rotate1Click() { Rotate(true); }

void Editor::ShrinkMenu1Click() {
  Boundary([&] {
    EditorState& s = *s_;
    if (!s.img.ReadyFlag || s.Busy > 0) return;
    const std::string path = s.names.PathTemp1 + tempname::kSmall;
    int result = 2;
    {
      BusyScope busy(s);  // the dialog reads the result store
      result = view_.ShowShrinkDialog(s.img.MemStBmp2, path);
    }
    if (result != 1) {
      FlushPendingApply();
      return;
    }
    s.names.PathName_bckup1 = s.names.PathName2;
    s.names.ShrinkName = ShrinkNameFor(s.names.KeepFName);
    s.names.FileName_savedlg = s.names.ShrinkName;
    try {
      OpenChecked(path);
    } catch (...) {
      s.names.ShrinkName.clear();
      throw;
    }
    s.names.ShrinkName.clear();
  });
}

}  // namespace tav1
