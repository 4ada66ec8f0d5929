#include "ui/Unit1.h"

#include <algorithm>

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QCursor>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLocale>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressBar>
#include <QScreen>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <QToolTip>

#include "core/editor/editor.h"
#include "ui/Dialog1.h"
#include "ui/Dialog2.h"
#include "ui/Dialog3.h"
#include "ui/OKCANCL1.h"
#include "ui/Unit2.h"
#include "ui/Unit3.h"
#include "ui/Unit4.h"
#include "ui/Unit5.h"
#include "ui/Unit6.h"
#include "ui/Unit7.h"
#include "ui/dialog_seam.h"
#include "ui/look.h"
#include "ui/picture.h"
#include "ui/platform.h"

namespace tav1 {

using look::Q;
using platform::FromQ;
using platform::ToQ;

namespace {

// Draws the current cell in the selection colours even where it is not part of
// the selection, and without the dotted focus frame.
class GridDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* p, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QStyleOptionViewItem o(option);
    if (o.state & QStyle::State_HasFocus) o.state |= QStyle::State_Selected;
    o.state &= ~QStyle::State_HasFocus;
    QStyledItemDelegate::paint(p, o, index);
  }
};

// Hints stay this long.
constexpr int kHintMs = 10000;

MouseButton ToButton(Qt::MouseButton b) {
  if (b == Qt::RightButton) return MouseButton::Right;
  if (b == Qt::MiddleButton) return MouseButton::Middle;
  return MouseButton::Left;
}

// The grid's key codes: 0 on either keyboard and the arrows are what the grid
// handler acts on; letters and digits keep their character code, others give 0.
int VirtualKey(const QKeyEvent* e) {
  switch (e->key()) {
    case Qt::Key_Left: return kKeyLeft;
    case Qt::Key_Up: return kKeyUp;
    case Qt::Key_Right: return kKeyRight;
    case Qt::Key_Down: return kKeyDown;
    case Qt::Key_0: return (e->modifiers() & Qt::KeypadModifier) ? kKeyNumpad0 : kKey0;
    default: break;
  }
  const int k = e->key();
  if ((k >= Qt::Key_1 && k <= Qt::Key_9) || (k >= Qt::Key_A && k <= Qt::Key_Z)) return k;
  return 0;
}

QToolButton* ToolButton(QWidget* parent, look::Picture pic, int x, const char* tip) {
  auto* b = new QToolButton(parent);
  b->setIcon(look::ButtonIcon(pic));
  b->setIconSize(QSize(16, 16));
  b->setAutoRaise(true);
  b->setGeometry(x, 0, 23, 22);
  b->setFocusPolicy(Qt::NoFocus);
  b->setToolTip(Q(tip));
  b->setToolTipDuration(kHintMs);
  return b;
}

QPushButton* PictureButton(QWidget* parent, look::Picture pic, int x, int y) {
  auto* b = new QPushButton(parent);
  b->setIcon(look::ButtonIcon(pic));
  b->setIconSize(QSize(16, 16));
  b->setGeometry(x, y, 25, 25);
  b->setAutoDefault(false);
  return b;
}

}  // namespace

// ---------------------------------------------------------------- TStringGrid

TStringGrid::TStringGrid(QWidget* parent) : QTableWidget(3, 3, parent) {
  horizontalHeader()->hide();
  verticalHeader()->hide();
  horizontalHeader()->setMinimumSectionSize(1);
  verticalHeader()->setMinimumSectionSize(1);
  for (int i = 0; i < 3; ++i) {
    setColumnWidth(i, 42);
    setRowHeight(i, 24);
  }
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionMode(QAbstractItemView::ContiguousSelection);
  setSelectionBehavior(QAbstractItemView::SelectItems);
  setTabKeyNavigation(false);
  setShowGrid(true);
  setItemDelegate(new GridDelegate(this));
  setFont(look::GothicMonoFont(16));
  setStyleSheet(QStringLiteral(
      "QTableWidget { background: black; color: white; gridline-color: #7f8a96;"
      " selection-background-color: #2f5f9a; selection-color: white; border: 1px solid #5a6674; }"));
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c) {
      auto* item = new QTableWidgetItem;
      item->setTextAlignment(Qt::AlignCenter);
      item->setForeground(Qt::white);
      setItem(r, c, item);
    }
  SetSelection(GridRect{0, 0, 0, 0});
}

GridRect TStringGrid::Selection() const {
  const QList<QTableWidgetSelectionRange> ranges = selectedRanges();
  if (ranges.isEmpty()) {
    const GridCell c = CurrentCell();
    return GridRect{c.Col, c.Row, c.Col, c.Row};
  }
  GridRect r{ranges.front().leftColumn(), ranges.front().topRow(), ranges.front().rightColumn(),
             ranges.front().bottomRow()};
  for (const auto& s : ranges) {
    r.Left = std::min(r.Left, s.leftColumn());
    r.Top = std::min(r.Top, s.topRow());
    r.Right = std::max(r.Right, s.rightColumn());
    r.Bottom = std::max(r.Bottom, s.bottomRow());
  }
  return r;
}

void TStringGrid::SetSelection(const GridRect& r) {
  auto clampCell = [](int v) { return std::clamp(v, 0, 2); };
  const QModelIndex topLeft = model()->index(clampCell(r.Top), clampCell(r.Left));
  const QModelIndex bottomRight = model()->index(clampCell(r.Bottom), clampCell(r.Right));
  // The view's own setCurrentIndex makes the top-left cell the anchor of a later
  // Shift+arrow; the model's then moves only the current cell.
  setCurrentIndex(topLeft);
  selectionModel()->select(QItemSelection(topLeft, bottomRight), QItemSelectionModel::ClearAndSelect);
  selectionModel()->setCurrentIndex(bottomRight, QItemSelectionModel::NoUpdate);
  viewport()->update();
}

GridCell TStringGrid::CurrentCell() const {
  const QModelIndex i = currentIndex();
  if (!i.isValid()) return GridCell{0, 0};
  return GridCell{i.column(), i.row()};
}

void TStringGrid::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::RightButton) {
    setFocus(Qt::MouseFocusReason);
    event->accept();
    return;
  }
  QTableWidget::mousePressEvent(event);
}

void TStringGrid::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::RightButton) QTableWidget::mouseReleaseEvent(event);
  emit MouseUp(event->button());
}

void TStringGrid::keyReleaseEvent(QKeyEvent* event) {
  QTableWidget::keyReleaseEvent(event);
  if (!event->isAutoRepeat()) emit KeyUp(VirtualKey(event));
}

void TShape::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(Qt::black, 1));
  p.setBrush(colour_);
  p.drawEllipse(QRectF(0.5, 0.5, width() - 1.0, height() - 1.0));
}

// --------------------------------------------------------------------- TForm1

TForm1::TForm1() {
  setWindowTitle(QStringLiteral("TAV1"));
  setWindowIcon(look::WindowIcon());
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setFont(look::UiFont(11));
  BuildControls();
  BuildMenus();
  resize(250, 370 + menuBar()->sizeHint().height());
  setAcceptDrops(true);

  // The other long-lived windows, in their start-up order; each is a top-level
  // window of its own (no parent), with its own taskbar entry.
  form2_ = std::make_unique<TForm2>();
  form3_ = std::make_unique<TForm3>();
  form4_ = std::make_unique<TForm4>();
  okBottomDlg_ = std::make_unique<TOKBottomDlg>();
  form2CloseDlg_ = std::make_unique<TForm2CloseDlg>();
  form2_->SetCloseDlg(form2CloseDlg_.get());

  editor_ = std::make_unique<Editor>(*this);
  form2_->SetEditor(editor_.get());
  form4_->SetEditor(editor_.get());
  Connect();
}

TForm1::~TForm1() {
  // The Editor speaks to the windows until it is gone.
  editor_.reset();
}

void TForm1::BuildControls() {
  client_ = new QWidget(this);
  setCentralWidget(client_);
  client_->installEventFilter(this);

  Panel1 = new QFrame(client_);
  Panel1->setFrameShape(QFrame::NoFrame);
  Panel1->setGeometry(0, 0, 250, 25);
  OpenButton1 = ToolButton(Panel1, look::Picture::OpenFolder, 0, "開く");
  SaveButton1 = ToolButton(Panel1, look::Picture::Floppy, 23, "名前をつけて保存");
  Undo = ToolButton(Panel1, look::Picture::UndoArrow, 62, "アンドゥー");
  Redo = ToolButton(Panel1, look::Picture::RedoArrow, 85, "リドゥー");
  SettingButton1 = ToolButton(Panel1, look::Picture::Spanner, 130, "設定");

  Shape1 = new TShape(QColor(255, 0, 0), client_);
  Shape1->setGeometry(8, 36, 15, 15);
  Shape2 = new TShape(QColor(0, 255, 0), client_);
  Shape2->setGeometry(8, 60, 15, 15);
  Shape3 = new TShape(QColor(0, 0, 255), client_);
  Shape3->setGeometry(8, 84, 15, 15);

  StringGrid1 = new TStringGrid(client_);
  StringGrid1->setGeometry(29, 28, 132, 78);

  GraphShow1 = PictureButton(client_, look::Picture::CurvePlot, 8, 110);
  GraphShow1->setToolTip(Q("グラフ"));
  GraphShow1->setToolTipDuration(kHintMs);
  Dec2 = PictureButton(client_, look::Picture::DoubleLeft, 59, 110);
  Inc2 = PictureButton(client_, look::Picture::DoubleRight, 84, 110);
  DecBtn1 = PictureButton(client_, look::Picture::Left, 111, 110);
  IncBtn1 = PictureButton(client_, look::Picture::Right, 136, 110);

  const QFont font12 = look::UiFont(12);
  ApplyBB = new QPushButton(Q("適用"), client_);
  ApplyBB->setGeometry(83, 141, 78, 25);
  ApplyBB->setAutoDefault(false);
  AutoApplyCB1 = new QCheckBox(Q("自動適用"), client_);
  AutoApplyCB1->setFont(font12);
  AutoApplyCB1->setGeometry(8, 149, 74, 17);

  GroupBox1 = new QGroupBox(Q("彩度"), client_);
  GroupBox1->setFont(font12);
  GroupBox1->setGeometry(8, 187, 153, 77);
  TrackBar1 = new QSlider(Qt::Horizontal, GroupBox1);
  TrackBar1->setRange(0, 100);
  TrackBar1->setTickInterval(10);
  TrackBar1->setTickPosition(QSlider::TicksBelow);
  TrackBar1->setSingleStep(1);
  TrackBar1->setPageStep(10);
  TrackBar1->setValue(10);
  TrackBar1->setGeometry(3, 16, 147, 32);
  SatuResetBtn1 = new QPushButton(QStringLiteral("x1"), GroupBox1);
  SatuResetBtn1->setFont(look::UiFont(13));
  SatuResetBtn1->setGeometry(16, 47, 26, 23);
  SatuResetBtn1->setAutoDefault(false);

  // The two long captions need more than the 153 pixels of the reference
  // layout with the fall-back fonts; the window is wide enough for 180.
  ByKidoCB1 = new QCheckBox(Q("輝度が低いほど強調を抑制"), client_);
  ByKidoCB1->setFont(font12);
  ByKidoCB1->setGeometry(8, 280, 180, 17);
  BySatuCB1 = new QCheckBox(Q("彩度が高いほど強調を抑制"), client_);
  BySatuCB1->setFont(font12);
  BySatuCB1->setGeometry(8, 303, 180, 17);

  Panel2 = new QLabel(Q("手動履歴作成はウィンドウ地を右クリック"), client_);
  Panel2->setFont(font12);
  Panel2->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  Panel2->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  Panel2->setGeometry(0, 348, 250, 22);
  Panel2->setFocusPolicy(Qt::NoFocus);
  SaveProgress_ = new QProgressBar(client_);
  SaveProgress_->setRange(0, 100);
  SaveProgress_->setTextVisible(false);
  SaveProgress_->setFocusPolicy(Qt::NoFocus);
  SaveProgress_->hide();

  Timer1 = new QTimer(this);
  Timer1->setInterval(2000);

  // Keyboard focus order of the panel.
  setTabOrder(AutoApplyCB1, StringGrid1);
  setTabOrder(StringGrid1, GraphShow1);
  setTabOrder(GraphShow1, Dec2);
  setTabOrder(Dec2, Inc2);
  setTabOrder(Inc2, DecBtn1);
  setTabOrder(DecBtn1, IncBtn1);
  setTabOrder(IncBtn1, TrackBar1);
  setTabOrder(TrackBar1, SatuResetBtn1);
  setTabOrder(SatuResetBtn1, ApplyBB);
  setTabOrder(ApplyBB, ByKidoCB1);
  setTabOrder(ByKidoCB1, BySatuCB1);
}

void TForm1::BuildMenus() {
  QMenuBar* bar = menuBar();
  bar->setFont(look::UiFont(12));
  File1 = bar->addMenu(Q("ファイル(&F)"));
  Open1 = File1->addAction(Q("開く(&O)"));
  Saveas1 = File1->addAction(Q("名前をつけて保存(&S)"));
  File1->addSeparator();
  Paste1 = File1->addAction(Q("クリップボードから開く(&P)"));
  File1->addSeparator();
  Copy1 = File1->addAction(Q("クリップボードへ保存(&C)"));
  File1->addSeparator();
  WindowAll_00 = File1->addAction(Q("ウィンドウを(0, 0)に集める(&W)"));
  File1->addSeparator();
  Exit1 = File1->addAction(Q("終了(&E)"));

  Edit1 = bar->addMenu(Q("編集(&E)"));
  applymenu1 = Edit1->addAction(Q("適用(&P)"));
  Edit1->addSeparator();
  M1 = Edit1->addMenu(Q("メモリー１(&M)"));
  Mem1Write = M1->addAction(Q("保存(&S)"));
  Mem1Call = M1->addAction(Q("呼出(&L)"));
  N4 = Edit1->addMenu(Q("メモリー２(&N)"));
  Mem2Write = N4->addAction(Q("保存(&S)"));
  Mem2Call = N4->addAction(Q("呼出(&L)"));
  Edit1->addSeparator();
  Undo1 = Edit1->addAction(Q("アンドゥー(&U)"));
  Redo1 = Edit1->addAction(Q("リドゥー(&R)"));
  Edit1->addSeparator();
  G_Minus = Edit1->addAction(Q("ガンマ=1/7(&5)"));
  G_Zero = Edit1->addAction(Q("ガンマ=1(&6)"));
  G_Plus = Edit1->addAction(Q("ガンマ=7(&7)"));
  Edit1->addSeparator();
  Low0 = Edit1->addAction(Q("下端=0(&L)"));
  High255 = Edit1->addAction(Q("上端=255(&H)"));
  Edit1->addSeparator();
  AllParaAndSatuClear = Edit1->addAction(Q("全てクリア(&A)"));
  Edit1->addSeparator();
  ShrinkMenu1 = Edit1->addAction(Q("縮小...(&S)"));
  Edit1->addSeparator();
  E1 = Edit1->addAction(Q("左回転(&F)"));
  J1 = Edit1->addAction(Q("右回転(&J)"));

  OptionO1 = bar->addMenu(Q("オプション(&O)"));
  Setting1 = OptionO1->addAction(Q("設定(&S)"));
  OptionO1->addSeparator();
  OpenExeDir1 = OptionO1->addAction(Q("Tav1.exe のフォルダを開く..."));
  OpenIniDir1 = OptionO1->addAction(Q("Tav1.ini のフォルダを開く..."));
  OptionO1->addSeparator();
  ver1111 = OptionO1->addAction(QStringLiteral("ver.1.35"));  // no action
}

void TForm1::Connect() {
  connect(OpenButton1, &QToolButton::clicked, this, &TForm1::OpenButton1Click);
  connect(Open1, &QAction::triggered, this, &TForm1::OpenButton1Click);
  connect(SaveButton1, &QToolButton::clicked, this, &TForm1::SaveButton1Click);
  connect(Saveas1, &QAction::triggered, this, &TForm1::SaveButton1Click);
  connect(Paste1, &QAction::triggered, this, &TForm1::Paste1Click);
  connect(Copy1, &QAction::triggered, this, &TForm1::Copy1Click);
  connect(WindowAll_00, &QAction::triggered, this, &TForm1::WindowAll_00Click);
  connect(Exit1, &QAction::triggered, this, &TForm1::Exit1Click);
  connect(ApplyBB, &QPushButton::clicked, this, &TForm1::ApplyClick);
  connect(applymenu1, &QAction::triggered, this, &TForm1::ApplyClick);
  connect(AutoApplyCB1, &QCheckBox::toggled, this, &TForm1::AutoApplyCB1Click);
  connect(Mem1Write, &QAction::triggered, this, &TForm1::Mem1WriteClick);
  connect(Mem1Call, &QAction::triggered, this, &TForm1::Mem1CallClick);
  connect(Mem2Write, &QAction::triggered, this, &TForm1::Mem2WriteClick);
  connect(Mem2Call, &QAction::triggered, this, &TForm1::Mem2CallClick);
  connect(Undo, &QToolButton::clicked, this, &TForm1::UndoClick);
  connect(Undo1, &QAction::triggered, this, &TForm1::UndoClick);
  connect(Redo, &QToolButton::clicked, this, &TForm1::RedoClick);
  connect(Redo1, &QAction::triggered, this, &TForm1::RedoClick);
  connect(Timer1, &QTimer::timeout, this, &TForm1::Timer1Timer);
  connect(G_Minus, &QAction::triggered, this, &TForm1::G_MinusClick);
  connect(G_Zero, &QAction::triggered, this, &TForm1::G_ZeroClick);
  connect(G_Plus, &QAction::triggered, this, &TForm1::G_PlusClick);
  connect(Low0, &QAction::triggered, this, &TForm1::Low0Click);
  connect(High255, &QAction::triggered, this, &TForm1::High255Click);
  connect(AllParaAndSatuClear, &QAction::triggered, this, &TForm1::AllClear1Click);
  connect(IncBtn1, &QPushButton::clicked, this, &TForm1::IncBtn1Click);
  connect(DecBtn1, &QPushButton::clicked, this, &TForm1::DecBtn1Click);
  connect(Inc2, &QPushButton::clicked, this, &TForm1::Inc2Click);
  connect(Dec2, &QPushButton::clicked, this, &TForm1::Dec2Click);
  connect(StringGrid1, &TStringGrid::KeyUp, this, &TForm1::StringGrid1KeyUp);
  connect(StringGrid1, &TStringGrid::MouseUp, this, &TForm1::StringGrid1MouseUp);
  connect(GraphShow1, &QPushButton::clicked, this, &TForm1::GraphShow1Click);
  connect(TrackBar1, &QSlider::valueChanged, this, &TForm1::TrackBar1Change);
  connect(SatuResetBtn1, &QPushButton::clicked, this, &TForm1::SatuResetBtn1Click);
  connect(ByKidoCB1, &QCheckBox::toggled, this, &TForm1::ByKidoCB1Click);
  connect(BySatuCB1, &QCheckBox::toggled, this, &TForm1::BySatuCB1Click);
  connect(ShrinkMenu1, &QAction::triggered, this, &TForm1::ShrinkMenu1Click);
  connect(E1, &QAction::triggered, this, &TForm1::Left_Rotate1Click);
  connect(J1, &QAction::triggered, this, &TForm1::Right_Rotate1Click);
  connect(SettingButton1, &QToolButton::clicked, this, &TForm1::Setting1Click);
  connect(Setting1, &QAction::triggered, this, &TForm1::Setting1Click);
  connect(OpenExeDir1, &QAction::triggered, this, &TForm1::OpenExeDir1Click);
  connect(OpenIniDir1, &QAction::triggered, this, &TForm1::OpenIniDir1Click);
}

void TForm1::FormCreate() { editor_->FormCreate(); }

void TForm1::OpenCommandLine(const std::vector<std::string>& args) { editor_->OpenCommandLine(args); }

// ----- slots: one per event, each the Editor's handler of the same name -----

void TForm1::OpenButton1Click() { editor_->OpenButton1Click(); }
void TForm1::SaveButton1Click() { editor_->SaveButton1Click(); }
void TForm1::Paste1Click() { editor_->Paste1Click(); }
void TForm1::Copy1Click() { editor_->Copy1Click(); }
void TForm1::WindowAll_00Click() { editor_->WindowAll_00Click(); }
void TForm1::Exit1Click() { editor_->Exit1Click(); }
void TForm1::ApplyClick() { editor_->ApplyClick(); }
void TForm1::AutoApplyCB1Click(bool checked) { editor_->AutoApplyCB1Click(checked); }
void TForm1::Mem1WriteClick() { editor_->Mem1WriteClick(); }
void TForm1::Mem1CallClick() { editor_->Mem1CallClick(); }
void TForm1::Mem2WriteClick() { editor_->Mem2WriteClick(); }
void TForm1::Mem2CallClick() { editor_->Mem2CallClick(); }
void TForm1::UndoClick() { editor_->UndoClick(); }
void TForm1::RedoClick() { editor_->RedoClick(); }
void TForm1::Timer1Timer() { editor_->Timer1Timer(); }
void TForm1::G_MinusClick() { editor_->G_MinusClick(); }
void TForm1::G_ZeroClick() { editor_->G_ZeroClick(); }
void TForm1::G_PlusClick() { editor_->G_PlusClick(); }
void TForm1::Low0Click() { editor_->Low0Click(); }
void TForm1::High255Click() { editor_->High255Click(); }
void TForm1::AllClear1Click() { editor_->AllClear1Click(); }
void TForm1::IncBtn1Click() { editor_->IncBtn1Click(); }
void TForm1::DecBtn1Click() { editor_->DecBtn1Click(); }
void TForm1::Inc2Click() { editor_->Inc2Click(); }
void TForm1::Dec2Click() { editor_->Dec2Click(); }
void TForm1::StringGrid1KeyUp(int virtualKey) { editor_->StringGrid1KeyUp(virtualKey); }
void TForm1::StringGrid1MouseUp(Qt::MouseButton button) { editor_->StringGrid1MouseUp(ToButton(button)); }
void TForm1::GraphShow1Click() { editor_->GraphShow1Click(); }
void TForm1::TrackBar1Change(int position) {
  pendingHint_.reset();
  editor_->TrackBar1Change(position);
  if (pendingHint_) {
    QToolTip::showText(QCursor::pos(), *pendingHint_, TrackBar1, QRect(), kHintMs);
    pendingHint_.reset();
  }
}
void TForm1::SatuResetBtn1Click() { editor_->SatuResetBtn1Click(); }
void TForm1::ByKidoCB1Click(bool checked) { editor_->ByKidoCB1Click(checked); }
void TForm1::BySatuCB1Click(bool checked) { editor_->BySatuCB1Click(checked); }
void TForm1::ShrinkMenu1Click() { editor_->ShrinkMenu1Click(); }
void TForm1::Left_Rotate1Click() { editor_->Left_Rotate1Click(); }
void TForm1::Right_Rotate1Click() { editor_->Right_Rotate1Click(); }
void TForm1::Setting1Click() { editor_->Setting1Click(); }
void TForm1::OpenExeDir1Click() { editor_->OpenExeDir1Click(); }
void TForm1::OpenIniDir1Click() { editor_->OpenIniDir1Click(); }

// ----- window events -----

void TForm1::closeEvent(QCloseEvent* event) {
  if (closing_) {
    event->accept();
    return;
  }
  if (!editor_->FormCloseQuery()) {
    event->ignore();
    return;
  }
  closing_ = true;
  // The other windows go with the main window, without their own questions.
  form2_->SetClosingWithProgram(true);
  form4_->SetClosingWithProgram(true);
  form2_->hide();
  form3_->hide();
  form4_->hide();
  setAcceptDrops(false);
  event->accept();
}

void TForm1::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() != QEvent::WindowStateChange) return;
  const auto* e = static_cast<QWindowStateChangeEvent*>(event);
  const bool was = (e->oldState() & Qt::WindowMinimized) != 0;
  const bool now = (windowState() & Qt::WindowMinimized) != 0;
  if (was == now) return;
  // Image window, settings window, graph window, in this order. A hidden window
  // is left alone: on X11 a state change of a hidden window that was shown
  // before maps it again. It takes the main window's state when it is next
  // shown (ShowBesideMain).
  for (QWidget* w : {static_cast<QWidget*>(form2_.get()), static_cast<QWidget*>(form4_.get()),
                     static_cast<QWidget*>(form3_.get())}) {
    if (!w->isVisible()) continue;
    if (now)
      w->setWindowState(w->windowState() | Qt::WindowMinimized);
    else
      w->setWindowState(w->windowState() & ~Qt::WindowMinimized);
  }
  if (!now) {
    raise();
    activateWindow();
  }
}

void TForm1::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TForm1::dropEvent(QDropEvent* event) {
  const std::vector<std::string> paths = platform::DroppedPaths(event->mimeData());
  event->acceptProposedAction();
  editor_->WMDropFiles(paths);
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  if (watched == client_) {
    if (event->type() == QEvent::MouseButtonPress) {
      // Only a press on the bare background: a button, check box or slider
      // passes on the right button it does not use, and such a press reaching
      // the window must not make a history entry.
      const auto* me = static_cast<QMouseEvent*>(event);
      if (client_->childAt(me->position().toPoint()) == nullptr)
        editor_->FormClick(ToButton(me->button()));
    } else if (event->type() == QEvent::MouseButtonRelease) {
      editor_->FormMouseUp(ToButton(static_cast<QMouseEvent*>(event)->button()));
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

void TForm1::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  // The toolbar is aligned to the top and the status line to the bottom.
  const int w = client_->width();
  Panel1->setGeometry(0, 0, w, 25);
  Panel2->setGeometry(0, std::max(client_->height() - 22, 0), w, 22);
  SaveProgress_->setGeometry(std::max(w - 92, 0), Panel2->y() + 4, 88, 14);
}

// ----- EditorView -----

void TForm1::MessageBox(const std::string& text) {
  // The first-run message comes before the main window is shown. A hidden
  // parent would get its native window made early, so the stored frame place
  // became the client area's place and the outer size was never corrected; the
  // box would also sit over a window nobody sees.
  DialogSeam::Current().Message(isVisible() ? this : nullptr, ToQ(text));
}

void TForm1::Beep() { platform::Beep(); }

void TForm1::SetStatus(const std::string& text, bool repaintNow) {
  Panel2->setText(ToQ(text));
  if (repaintNow) Panel2->repaint();
}

void TForm1::PumpEvents() { QCoreApplication::processEvents(); }

void TForm1::SetImageCursor(bool crossHair) { form2_->SetCrossHair(crossHair); }

void TForm1::RecreateImageWindow() { form2_->Recreate(); }

void TForm1::SetMainCaption(const std::string& caption) { setWindowTitle(ToQ(caption)); }

void TForm1::SetGridCell(int col, int row, const std::string& text) {
  if (QTableWidgetItem* item = StringGrid1->item(row, col)) item->setText(ToQ(text));
}

GridRect TForm1::GetGridSelection() { return StringGrid1->Selection(); }

void TForm1::SetGridSelection(const GridRect& r) {
  const QSignalBlocker block(StringGrid1);
  StringGrid1->SetSelection(r);
}

GridCell TForm1::GetGridCurrentCell() { return StringGrid1->CurrentCell(); }

void TForm1::ShowControlValue(ValueControl c, int value) {
  auto check = [value](QCheckBox* box) {
    const QSignalBlocker block(box);
    box->setChecked(value != 0);
  };
  auto combo = [value](QComboBox* box) {
    const QSignalBlocker block(box);
    box->setCurrentIndex(value >= 0 && value < box->count() ? value : -1);
  };
  switch (c) {
    case ValueControl::TrackBar1: {
      const QSignalBlocker block(TrackBar1);
      TrackBar1->setValue(value);
      break;
    }
    case ValueControl::ByKidoCB1: check(ByKidoCB1); break;
    case ValueControl::BySatuCB1: check(BySatuCB1); break;
    case ValueControl::AutoApplyCB1: check(AutoApplyCB1); break;
    case ValueControl::Order1: form4_->Order1->SetItemIndex(value); break;
    case ValueControl::Origin1: form4_->Origin1->SetItemIndex(value); break;
    case ValueControl::MakeHistoryMode: form4_->MakeHistoryMode->SetItemIndex(value); break;
    case ValueControl::GrphBTF1: form4_->GrphBTF1->SetItemIndex(value); break;
    case ValueControl::Scale1: form4_->Scale1->SetItemIndex(value); break;
    case ValueControl::Polarity1: form4_->Polarity1->SetItemIndex(value); break;
    case ValueControl::LineCombo1: combo(form4_->LineCombo1); break;
    case ValueControl::GammaCombo1: combo(form4_->GammaCombo1); break;
  }
}

void TForm1::SetEnabled(EnableTarget t, bool enabled) {
  switch (t) {
    case EnableTarget::ApplyBB: ApplyBB->setEnabled(enabled); break;
    case EnableTarget::applymenu1: applymenu1->setEnabled(enabled); break;
    case EnableTarget::DecBtn1: DecBtn1->setEnabled(enabled); break;
    case EnableTarget::IncBtn1: IncBtn1->setEnabled(enabled); break;
    case EnableTarget::Dec2: Dec2->setEnabled(enabled); break;
    case EnableTarget::Inc2: Inc2->setEnabled(enabled); break;
    case EnableTarget::Undo: Undo->setEnabled(enabled); break;
    case EnableTarget::Redo: Redo->setEnabled(enabled); break;
    case EnableTarget::MainWindow: setEnabled(enabled); break;
    case EnableTarget::Panel1: Panel1->setEnabled(enabled); break;
    case EnableTarget::ImageWindow: form2_->setEnabled(enabled); break;
  }
}

void TForm1::ShowTrackBar1Hint(const std::string& text) {
  TrackBar1->setToolTip(ToQ(text));
  QToolTip::showText(QCursor::pos(), ToQ(text), TrackBar1, QRect(), kHintMs);
  pendingHint_ = ToQ(text);
}

void TForm1::ReleaseCaptureUnlessLeftDown() {
  if (platform::LeftButtonDown()) return;
  if (QWidget* grabber = QWidget::mouseGrabber()) grabber->releaseMouse();
}

void TForm1::EndTrackBar1Tracking() {
  if (TrackBar1->isSliderDown()) TrackBar1->setSliderDown(false);
}

void TForm1::SetImagePicture(const Store& bmp) { form2_->SetPicture(ImageFromStore(bmp)); }

void TForm1::SetImageCaption(const std::string& caption) { form2_->setWindowTitle(ToQ(caption)); }

void TForm1::SetImageClientSize(int width, int height) { form2_->SetClientSize(width, height); }

void TForm1::SetImageScrollRange(int width, int height) { form2_->SetScrollRange(width, height); }

void TForm1::ShowBesideMain(QWidget* w) {
  if (isMinimized()) {
    w->showMinimized();
  } else {
    if (w->windowState() & Qt::WindowMinimized) w->setWindowState(w->windowState() & ~Qt::WindowMinimized);
    w->show();
  }
}

void TForm1::ShowImageWindow() {
  ShowBesideMain(form2_.get());
  form2_->Image1->repaint();
  form2_->raise();
  form2_->activateWindow();
}

void TForm1::SetGraphPicture(const GraphPicture& picture) { form3_->SetPicture(picture); }

void TForm1::SetGraphWindowVisible(bool visible) {
  if (visible)
    ShowBesideMain(form3_.get());
  else
    form3_->hide();
}

QWidget* TForm1::TopLevel(Window w) {
  switch (w) {
    case Window::Main: return this;
    case Window::Image: return form2_.get();
    case Window::Graph: return form3_.get();
    case Window::Settings: return form4_.get();
  }
  return this;
}

bool TForm1::IsWindowVisible(Window w) { return TopLevel(w)->isVisible(); }

WindowRect TForm1::GetWindowRect(Window w) {
  const QRect f = TopLevel(w)->frameGeometry();
  return WindowRect{f.left(), f.top(), f.width(), f.height()};
}

void TForm1::SetOuterSize(QWidget* w, int width, int height) {
  const QSize frame = w->frameGeometry().size() - w->size();
  w->resize(std::max(width - frame.width(), 1), std::max(height - frame.height(), 1));
  if (w == this && frame.isNull()) pendingOuter_ = QSize(width, height);
}

void TForm1::moveEvent(QMoveEvent* event) {
  QMainWindow::moveEvent(event);
  const QSize frame = frameGeometry().size() - size();
  if (pendingOuter_ && !frame.isNull()) {
    const QSize outer = *pendingOuter_;
    pendingOuter_.reset();
    resize(std::max(outer.width() - frame.width(), 1), std::max(outer.height() - frame.height(), 1));
  }
}

void TForm1::SetWindowRect(Window w, const WindowRect& r) {
  QWidget* win = TopLevel(w);
  if (w == Window::Image && !form2_->HasStartPlace()) {
    form2_->SetStartPlace(QPoint(r.Left, r.Top));
    form2_->MarkStartPlaced();
  }
  // Hidden after use, the window would come back with its client area at the
  // place and its title bar above it, off the screen at (0, 0).
  if (win != this) platform::DropNativeWindow(win);
  win->move(r.Left, r.Top);
  if (w == Window::Main && r.Width > 0 && r.Height > 0) SetOuterSize(win, r.Width, r.Height);
}

void TForm1::BringToFront(Window w) {
  QWidget* win = TopLevel(w);
  win->raise();
  // Only the main window takes activation: the graph is put in front in the
  // middle of an apply, and activating it would close every tooltip of the
  // main window, the slider's hint among them.
  if (w == Window::Main) {
    win->activateWindow();
    // A window manager gives the activation to a window when it maps it; the
    // image window shown just before (first open, or after it was closed) is
    // mapped only after this request and would end up in front. Once it has
    // been mapped, the main window takes the front again, unless the user has
    // moved on to a dialog or another program meanwhile.
    QTimer::singleShot(150, this, [this] {
      QWidget* active = QApplication::activeWindow();
      if (QApplication::activeModalWidget() != nullptr || isMinimized() || !isVisible()) return;
      if (active == TopLevel(Window::Image) || active == TopLevel(Window::Graph)) {
        raise();
        activateWindow();
      }
    });
  }
}

void TForm1::FocusMain(FocusTarget focus) {
  raise();
  activateWindow();
  QWidget* target = this;
  switch (focus) {
    case FocusTarget::MainWindow: target = nullptr; break;
    case FocusTarget::GraphShow1: target = GraphShow1; break;
    case FocusTarget::IncBtn1: target = IncBtn1; break;
    case FocusTarget::DecBtn1: target = DecBtn1; break;
    case FocusTarget::Inc2: target = Inc2; break;
    case FocusTarget::Dec2: target = Dec2; break;
  }
  if (target != nullptr) target->setFocus(Qt::OtherFocusReason);
}

void TForm1::SetSettingsWindowVisible(bool visible) {
  if (visible) {
    ShowBesideMain(form4_.get());
    form4_->raise();
    form4_->activateWindow();
  } else {
    form4_->hide();
  }
}

void TForm1::CloseMainWindow() { close(); }

int TForm1::ScreenWidth() {
  const QScreen* s = QGuiApplication::primaryScreen();
  return s != nullptr ? s->geometry().width() : 1024;
}

int TForm1::ScreenHeight() {
  const QScreen* s = QGuiApplication::primaryScreen();
  return s != nullptr ? s->geometry().height() : 768;
}

void TForm1::StartTimer1() { Timer1->start(); }

void TForm1::StopTimer1() { Timer1->stop(); }

AllClearAnswer TForm1::ShowAllClearDlg(const std::string& caption, const std::string& text,
                                       int left, int top) {
  TAllClearDlg dlg(this);
  dlg.setWindowTitle(ToQ(caption));
  dlg.Panel1->setText(ToQ(text));
  dlg.move(left, top);
  const int r = DialogSeam::Current().Exec(dlg);
  if (r == mrYes) return AllClearAnswer::Yes;
  if (r == mrNo) return AllClearAnswer::No;
  return AllClearAnswer::Cancel;
}

bool TForm1::ShowUndoRedoEdge(const std::string& caption, const std::string& text,
                              bool keepOnDesktop) {
  TUndoRedoEdge dlg(this);
  if (!caption.empty()) dlg.setWindowTitle(ToQ(caption));
  dlg.Label2->setText(ToQ(text));
  dlg.PlaceOver(this, keepOnDesktop);
  return DialogSeam::Current().Exec(dlg) == mrOk;
}

PickAnswer TForm1::ShowPickUPDlg(const std::string& label, int left, int top) {
  TPickUPDlg dlg(form2_.get());
  QString text = ToQ(label);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  dlg.Label1->setText(text.trimmed());
  dlg.move(left, top);
  const int r = DialogSeam::Current().Exec(dlg);
  if (r == mrYes) return PickAnswer::Black;
  if (r == mrNo) return PickAnswer::White;
  return PickAnswer::Cancel;
}

std::optional<std::string> TForm1::ShowOpenDialog(const std::string& filter,
                                                  const std::string& startDir) {
  const QString folder = startDir.empty() ? lastOpenFolder_ : ToQ(startDir);
  const QString path = DialogSeam::Current().OpenFile(this, folder, ToQ(filter));
  if (path.isEmpty()) return std::nullopt;
  lastOpenFolder_ = QFileInfo(path).absolutePath();
  return FromQ(QDir::toNativeSeparators(path));
}

bool TForm1::ShowSaveDialog(SaveDialogRequest& req) {
  SaveRequest r;
  r.folder = ToQ(req.InitialDir);
  r.name = ToQ(req.FileName);
  r.filter = ToQ(req.Filter);
  r.filterIndex = req.FilterIndex;
  const std::string openedExt = req.OpenedExt;
  r.onTypeChange = [openedExt](const QString& typed, int index) -> std::optional<QString> {
    const std::optional<std::string> name = Editor::SaveDialog1TypeChange(FromQ(typed), index, openedExt);
    if (!name) return std::nullopt;
    return ToQ(*name);
  };
  const std::optional<QString> chosen = DialogSeam::Current().SaveFile(this, r);
  req.FilterIndex = r.filterIndex;
  if (!chosen) return false;
  req.ChosenPath = FromQ(QDir::toNativeSeparators(*chosen));
  return true;
}

bool TForm1::AskYesNo(const std::string& text) {
  return DialogSeam::Current().AskYesNo(this, Q("確認"), ToQ(text));
}

int TForm1::ShowJpegSaveDialog(JpegSaveRequest& req) {
  TForm5 dlg(*this, req, this);
  const int r = DialogSeam::Current().Exec(dlg);
  return r == mrOk ? mrOk : mrCancel;
}

int TForm1::ShowShrinkDialog(const Store& result, const std::string& smallPath) {
  TForm6 dlg(*this, result, smallPath, this);
  const int r = DialogSeam::Current().Exec(dlg);
  return r == mrOk ? mrOk : mrCancel;
}

bool TForm1::AskQuitAnyway(const std::string& text) {
  return DialogSeam::Current().AskYesNo(this, QStringLiteral("Quill Moor"), ToQ(text));
}

std::optional<Store> TForm1::ClipboardGetBitmap24() {
  const QClipboard* cb = QGuiApplication::clipboard();
  if (cb == nullptr) return std::nullopt;
  const QImage img = cb->image();
  if (img.isNull()) return std::nullopt;
  return Store24FromImage(img);
}

bool TForm1::ClipboardPutBitmap(const Store& bmp) {
  QClipboard* cb = QGuiApplication::clipboard();
  const QImage img = ImageFromStore(bmp);
  if (cb == nullptr || img.isNull()) return false;
  cb->setImage(img);
  return true;
}

void TForm1::OpenFolder(const std::string& path) { platform::OpenFolder(path); }

std::string TForm1::ExeFolder() { return platform::ExeFolder(); }

void TForm1::ShowProgress(int percent) {
  if (percent < 0) {
    SaveProgress_->hide();
    return;
  }
  SaveProgress_->setValue(std::clamp(percent, 0, 100));
  SaveProgress_->raise();
  SaveProgress_->show();
  SaveProgress_->repaint();
}

// The equation lines of the graph write numbers with the user's decimal separator.
std::string TForm1::DecimalSeparator() { return QLocale().decimalPoint().toStdString(); }

}  // namespace tav1
