// The one way the windows ask the user anything modal: message boxes, yes/no
// questions, the program's own modal dialogs and the file dialogs. The default
// shows the real dialogs; tests install a scripted seam so that nothing waits
// for a person.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class QDialog;
class QWidget;

namespace tav1 {

// Modal results, numbered as the dialogs' callers expect them.
enum ModalResult : int {
  mrNone = 0,
  mrOk = 1,
  mrCancel = 2,
  mrYes = 6,
  mrNo = 7,
};

struct SaveRequest {
  QString folder;     // where the dialog starts
  QString name;       // name offered in the name box
  QString filter;     // "desc|patterns|desc|patterns..." as the editor gives it
  int filterIndex = 1;  // 1-based; updated to the user's last choice
  // Called when the user picks another file type: (typed name joined to the
  // dialog's folder, or empty when nothing is typed; new 1-based index) -> the
  // text for the name box, or an empty optional to leave it.
  std::function<std::optional<QString>(const QString&, int)> onTypeChange;
};

class DialogSeam {
 public:
  virtual ~DialogSeam() = default;

  // Message box captioned "Quill Moor" with one OK button.
  virtual void Message(QWidget* parent, const QString& text);
  // Confirmation box with "はい(&Y)" and "いいえ(&N)", centred on the screen.
  virtual bool AskYesNo(QWidget* parent, const QString& caption, const QString& text);
  // Shows one of the program's dialogs modally; returns its ModalResult.
  virtual int Exec(QDialog& dialog);
  // File-open dialog; empty when cancelled.
  virtual QString OpenFile(QWidget* parent, const QString& folder, const QString& filter);
  // File-save dialog; nothing when cancelled.
  virtual std::optional<QString> SaveFile(QWidget* parent, SaveRequest& request);

  static DialogSeam& Current();
  // Installs a replacement (not owned); nullptr puts the real dialogs back.
  static void Install(DialogSeam* seam);
};

// "desc|pat1;pat2|desc|pat" -> Qt name filters "desc (pat1 pat2)".
QStringList QtNameFilters(const QString& editorFilter);

}  // namespace tav1
