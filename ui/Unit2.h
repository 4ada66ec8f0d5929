// TForm2: the image window. Shows the displayed picture 1:1 in a scrolling
// view, reports presses on the picture and character keys as pick-ups at the
// picture point (scroll offset included), opens a single dropped file, and asks
// "画像ウィンドウを閉じますか？" before it hides.
#pragma once

#include <QImage>
#include <QScrollArea>
#include <QWidget>

namespace tav1 {

class Editor;
class TForm2CloseDlg;

// The picture control: exactly the picture's size, painted from its top-left.
class TImage : public QWidget {
  Q_OBJECT
 public:
  explicit TImage(QWidget* parent) : QWidget(parent) {}
  void SetPicture(const QImage& image);
  const QImage& Picture() const { return picture_; }

 signals:
  void MouseDown(Qt::MouseButton button, QPoint at);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  QImage picture_;
};

class TForm2 : public QWidget {
  Q_OBJECT
 public:
  TForm2();
  // The close question, created after this window at start-up.
  void SetCloseDlg(TForm2CloseDlg* dlg) { closeDlg_ = dlg; }
  void SetEditor(Editor* editor) { editor_ = editor; }

  QScrollArea* ScrollBox1;
  TImage* Image1;

  void SetPicture(const QImage& image);
  void SetCrossHair(bool crossHair);
  // The scrolling area: the picture control takes exactly this size.
  void SetScrollRange(int width, int height);
  void SetClientSize(int width, int height);
  // Back to the state of a new window: hidden, empty, at its start-up place.
  void Recreate();
  void SetStartPlace(QPoint place) { startPlace_ = place; }
  bool HasStartPlace() const { return hasStartPlace_; }
  void MarkStartPlaced() { hasStartPlace_ = true; }
  // While the program ends, the window closes without its question (the
  // application's quit closes every window and stops if one refuses).
  void SetClosingWithProgram(bool closing) { closingWithProgram_ = closing; }

 public slots:
  void Image1MouseDown(Qt::MouseButton button, QPoint at);

 protected:
  void closeEvent(QCloseEvent* event) override;  // FormCloseQuery
  void keyPressEvent(QKeyEvent* event) override;  // FormKeyPress
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;  // WMDropFiles

 private:
  Editor* editor_ = nullptr;
  TForm2CloseDlg* closeDlg_ = nullptr;
  QPoint startPlace_;
  bool hasStartPlace_ = false;
  bool closingWithProgram_ = false;
};

}  // namespace tav1
