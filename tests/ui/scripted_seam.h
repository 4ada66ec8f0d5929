// A dialog seam that answers from a script and records what was asked, so the
// windows can be driven offscreen without anything waiting for a person.
#pragma once

#include <QDialog>
#include <QPoint>
#include <ostream>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "core/editor/editor_view.h"
#include "ui/dialog_seam.h"

namespace tav1::test {

class ScriptedSeam : public DialogSeam {
 public:
  std::vector<QString> messages;
  std::vector<QWidget*> messageParents;
  std::vector<QString> questions;
  std::deque<bool> yesNoAnswers;  // no answer left: "いいえ"
  std::vector<QString> execTitles;
  // Drives a modal dialog and returns its result; unset: the title-bar close.
  std::function<int(QDialog&)> onExec;
  std::deque<QString> openAnswers;
  std::deque<QString> saveAnswers;
  std::optional<SaveRequest> lastSave;

  void Message(QWidget* parent, const QString& text) override {
    messages.push_back(text);
    messageParents.push_back(parent);
  }
  bool AskYesNo(QWidget*, const QString&, const QString& text) override {
    questions.push_back(text);
    if (yesNoAnswers.empty()) return false;
    const bool a = yesNoAnswers.front();
    yesNoAnswers.pop_front();
    return a;
  }
  int Exec(QDialog& dialog) override {
    execTitles.push_back(dialog.windowTitle());
    return onExec ? onExec(dialog) : mrCancel;
  }
  QString OpenFile(QWidget*, const QString&, const QString&) override {
    if (openAnswers.empty()) return {};
    QString a = openAnswers.front();
    openAnswers.pop_front();
    return a;
  }
  std::optional<QString> SaveFile(QWidget*, SaveRequest& request) override {
    lastSave = request;
    if (saveAnswers.empty()) return std::nullopt;
    QString a = saveAnswers.front();
    saveAnswers.pop_front();
    return a;
  }
};

}  // namespace tav1::test

// Readable values in failure messages.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
inline void PrintTo(const QPoint& p, std::ostream* os) { *os << '(' << p.x() << ", " << p.y() << ')'; }

namespace tav1 {
inline void PrintTo(const GridRect& r, std::ostream* os) {
  *os << "{L" << r.Left << " T" << r.Top << " R" << r.Right << " B" << r.Bottom << '}';
}
inline void PrintTo(const GridCell& c, std::ostream* os) { *os << "{C" << c.Col << " R" << c.Row << '}'; }
}  // namespace tav1
