// The program's look: the "Aqua Light Slate" style, the fonts with their
// fall-backs, and the pictures of the buttons and the window icon, all drawn
// here so that no image file is needed at run time.
#pragma once

#include <QFont>
#include <QIcon>
#include <QPixmap>
#include <QString>

class QApplication;
class QWidget;

namespace tav1::look {

inline const char* const kStyleName = "Aqua Light Slate";

// Installs the style and its palette on the whole application.
void ApplyStyle(QApplication& app);
// Puts the toolkit's own texts (file dialogs, standard buttons) into Japanese
// like the rest of the program, where Qt's Japanese translation is installed.
void InstallJapaneseToolkitTexts(QApplication& app);

// "Yu Gothic UI" where installed, else Noto Sans CJK JP.
QFont UiFont(int pixelSize);
// "ＭＳ ゴシック" where installed, else Noto Sans Mono CJK JP; fixed pitch.
QFont GothicMonoFont(int pixelSize);
// "ＭＳ Ｐゴシック" where installed, else Noto Sans CJK JP.
QFont PGothicFont(int pixelSize);
// Tahoma where installed, else Noto Sans CJK JP (the dialogs carry Japanese text).
QFont TahomaFont(int pixelSize);

enum class Picture {
  OpenFolder,
  Floppy,
  UndoArrow,
  RedoArrow,
  Spanner,
  CurvePlot,
  DoubleLeft,
  DoubleRight,
  Left,
  Right,
  BlackPoint,
  WhitePoint,
  Dropper,
};

// 16 x 16 button picture.
QPixmap ButtonPicture(Picture which);
QIcon ButtonIcon(Picture which);
// The one window icon of every window and dialog (16 x 16 and 32 x 32 drawn).
QPixmap WindowIconPixmap(int size);
QIcon WindowIcon();

// Qt text from UTF-8.
inline QString Q(const char* utf8) { return QString::fromUtf8(utf8); }

}  // namespace tav1::look
