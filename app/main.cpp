// Quill Moor: start the toolkit, apply the style, create the windows in their
// order, open a single command-line picture and run until the main window closes.
#include <QApplication>
#include <string>
#include <vector>

#include "ui/Unit1.h"
#include "ui/look.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  tav1::look::ApplyStyle(app);
  tav1::look::InstallJapaneseToolkitTexts(app);
  QApplication::setApplicationName(QStringLiteral("Quill Moor"));
  // No display name: on X11 Qt appends it to every window title ("TAV1 — Quill
  // Moor"), and each window's caption is the program's own text.
  QApplication::setWindowIcon(tav1::look::WindowIcon());
  QApplication::setFont(tav1::look::UiFont(11));

  tav1::TForm1 form1;  // creates the image, graph and settings windows too
  form1.FormCreate();
  form1.show();

  std::vector<std::string> args;
  const QStringList all = QCoreApplication::arguments();
  for (qsizetype i = 1; i < all.size(); ++i) args.push_back(all.at(i).toStdString());
  form1.OpenCommandLine(args);
  return app.exec();
}
