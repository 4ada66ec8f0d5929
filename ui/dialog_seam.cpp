#include "ui/dialog_seam.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>

#include "ui/look.h"

namespace tav1 {
namespace {

DialogSeam* g_installed = nullptr;

void CentreOnScreen(QWidget& w) {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return;
  w.adjustSize();
  const QRect area = screen->geometry();
  w.move(area.center() - QPoint(w.width() / 2, w.height() / 2));
}

}  // namespace

void DialogSeam::Message(QWidget* parent, const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Quill Moor"), text, QMessageBox::Ok, parent);
  box.setWindowIcon(look::WindowIcon());
  // Without a window to sit over (the first-run message) the box is centred on
  // the screen, not left wherever the desktop puts new windows.
  if (parent == nullptr) CentreOnScreen(box);
  box.exec();
}

bool DialogSeam::AskYesNo(QWidget* parent, const QString& caption, const QString& text) {
  QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::NoButton, parent);
  box.setWindowIcon(look::WindowIcon());
  QPushButton* yes = box.addButton(look::Q("はい(&Y)"), QMessageBox::YesRole);
  QPushButton* no = box.addButton(look::Q("いいえ(&N)"), QMessageBox::NoRole);
  box.setDefaultButton(yes);
  box.setEscapeButton(no);
  CentreOnScreen(box);
  box.exec();
  return box.clickedButton() == yes;
}

int DialogSeam::Exec(QDialog& dialog) { return dialog.exec(); }

QString DialogSeam::OpenFile(QWidget* parent, const QString& folder, const QString& filter) {
  QFileDialog dlg(parent);
  dlg.setFileMode(QFileDialog::ExistingFile);
  dlg.setAcceptMode(QFileDialog::AcceptOpen);
  if (!folder.isEmpty()) dlg.setDirectory(folder);
  dlg.setNameFilters(QtNameFilters(filter));
  if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return {};
  return dlg.selectedFiles().front();
}

std::optional<QString> DialogSeam::SaveFile(QWidget* parent, SaveRequest& request) {
  QFileDialog dlg(parent);
  // Qt's own dialog, so that the typed name can be rewritten on a type change.
  dlg.setOption(QFileDialog::DontUseNativeDialog, true);
  dlg.setOption(QFileDialog::DontConfirmOverwrite, true);  // the editor asks itself
  dlg.setAcceptMode(QFileDialog::AcceptSave);
  dlg.setFileMode(QFileDialog::AnyFile);
  const QStringList filters = QtNameFilters(request.filter);
  dlg.setNameFilters(filters);
  if (request.filterIndex >= 1 && request.filterIndex <= filters.size())
    dlg.selectNameFilter(filters.at(request.filterIndex - 1));
  if (!request.folder.isEmpty()) dlg.setDirectory(request.folder);
  dlg.selectFile(request.name);
  // The type handler must see the name as the user left it. Qt's dialog swaps
  // the extension itself when the type changes, so the text is taken before
  // that happens: the dialog's own handler is moved behind ours.
  auto* combo = dlg.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
  auto* edit = dlg.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
  QString typedBefore;
  if (combo != nullptr && edit != nullptr) {
    const bool detached =
        QObject::disconnect(combo, SIGNAL(activated(int)), &dlg, SLOT(_q_useNameFilter(int)));
    QObject::connect(combo, &QComboBox::activated, &dlg, [&, detached](int index) {
      typedBefore = edit->text();
      if (detached) QMetaObject::invokeMethod(&dlg, "_q_useNameFilter", Q_ARG(int, index));
    });
  }
  QObject::connect(&dlg, &QFileDialog::filterSelected, &dlg, [&](const QString& chosen) {
    request.filterIndex = static_cast<int>(filters.indexOf(chosen)) + 1;
    if (edit == nullptr || !request.onTypeChange) return;
    const QString typed = typedBefore;
    const QString full = typed.isEmpty() ? QString() : QDir(dlg.directory()).filePath(typed);
    const std::optional<QString> replaced = request.onTypeChange(full, request.filterIndex);
    edit->setText(replaced ? *replaced : typed);
  });
  const bool ok = dlg.exec() == QDialog::Accepted && !dlg.selectedFiles().isEmpty();
  const int chosen = static_cast<int>(filters.indexOf(dlg.selectedNameFilter())) + 1;
  if (chosen >= 1) request.filterIndex = chosen;
  if (!ok) return std::nullopt;
  return dlg.selectedFiles().front();
}

DialogSeam& DialogSeam::Current() {
  static DialogSeam real;
  return g_installed != nullptr ? *g_installed : real;
}

void DialogSeam::Install(DialogSeam* seam) { g_installed = seam; }

QStringList QtNameFilters(const QString& editorFilter) {
  const QStringList parts = editorFilter.split(QLatin1Char('|'));
  QStringList out;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QStringList patterns = parts.at(i + 1).split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (QString& p : patterns) p = p.trimmed();
    out << parts.at(i) + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
  }
  return out;
}

}  // namespace tav1
