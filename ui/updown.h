// Small up/down arrow pairs: TUpDown on its own (bound to a read-only text by
// its owner) and TSpinEdit, a whole-number box that may also be empty or hold
// any typed text.
#pragma once

#include <QLineEdit>
#include <QToolButton>
#include <QWidget>

namespace tav1 {

class TUpDown : public QWidget {
  Q_OBJECT
 public:
  explicit TUpDown(QWidget* parent);
  QToolButton* UpButton() const { return up_; }
  QToolButton* DownButton() const { return down_; }

 signals:
  void Up();
  void Down();

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  QToolButton* up_;
  QToolButton* down_;
};

class TSpinEdit : public QWidget {
  Q_OBJECT
 public:
  explicit TSpinEdit(QWidget* parent);
  QString Text() const { return edit_->text(); }
  // Writes the box without raising Changed.
  void SetText(const QString& text);
  QLineEdit* Edit() const { return edit_; }
  TUpDown* Arrows() const { return arrows_; }

 signals:
  // The user typed or pressed an arrow; the box holds the new text.
  void Changed(const QString& text);

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void Step(int by);
  QLineEdit* edit_;
  TUpDown* arrows_;
};

}  // namespace tav1
