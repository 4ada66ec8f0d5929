// TForm4 "設定": the modeless settings window with its eight choices. Every
// choice takes effect at once through the Editor's handler; "決定" (Enter) and
// the close box only hide the window.
#pragma once

#include <QButtonGroup>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

namespace tav1 {

class Editor;

// A framed group of exclusive choices laid out in columns, with an item index
// (-1: nothing chosen).
class TRadioGroup : public QGroupBox {
  Q_OBJECT
 public:
  TRadioGroup(const QString& caption, const QStringList& items, int columns, QWidget* parent);
  int ItemIndex() const;
  // Past the last item shows the last item; below 0 shows none. Emits nothing.
  void SetItemIndex(int index);
  QRadioButton* Item(int i) const { return items_.at(i); }
  int Count() const { return static_cast<int>(items_.size()); }

 signals:
  // The user chose item `index`.
  void Click(int index);

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  QButtonGroup group_;
  QList<QRadioButton*> items_;
  int columns_;
};

class TForm4 : public QDialog {
  Q_OBJECT
 public:
  TForm4();
  void SetEditor(Editor* editor) { editor_ = editor; }
  // While the program ends, a close is a real close (the application's quit
  // closes every window and stops if one refuses).
  void SetClosingWithProgram(bool closing) { closingWithProgram_ = closing; }

  TRadioGroup* Order1;
  TRadioGroup* Origin1;
  TRadioGroup* MakeHistoryMode;
  TRadioGroup* GrphBTF1;
  TRadioGroup* Scale1;
  TRadioGroup* Polarity1;
  QGroupBox* GroupBox1;
  QLabel* Label1;
  QLabel* Label2;
  QComboBox* LineCombo1;
  QComboBox* GammaCombo1;
  QPushButton* Button1;

 public slots:
  void Order1Click(int index);
  void Origin1Click(int index);
  void MakeHistoryModeClick(int index);
  void GrphBTF1Click(int index);
  void Scale1Click(int index);
  void Polarity1Click(int index);
  void LineCombo1Change(int index);
  void GammaCombo1Change(int index);
  void Button1Click();

 protected:
  void closeEvent(QCloseEvent* event) override;
  // The window has no cancel: Escape does nothing, only "決定" and the close box hide it.
  void reject() override {}

 private:
  Editor* editor_ = nullptr;
  bool closingWithProgram_ = false;
};

}  // namespace tav1
