// The real dialogs behind the seam, driven from inside their own modal loop.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include "core/editor/editor.h"
#include "scripted_seam.h"
#include "ui/dialog_seam.h"
#include "ui/look.h"

namespace tav1 {
namespace {

using look::Q;

const char* const kSaveFilter =
    "扱えるファイル|*.bmp;*.jpg;*.jpeg;*.png|BMPファイル|*.bmp|JPGファイル|*.jpg|"
    "JPEGファイル|*.jpeg|PNGファイル| *.png";

// Runs `step` once the next modal dialog is up.
template <typename Dialog>
void WhenShown(std::function<void(Dialog&)> step) {
  QTimer::singleShot(0, [step] {
    auto* d = qobject_cast<Dialog*>(QApplication::activeModalWidget());
    ASSERT_NE(d, nullptr);
    step(*d);
  });
}

TEST(DialogSeamTest, EditorFiltersBecomeQtNameFilters) {
  EXPECT_EQ(QtNameFilters(Q(kSaveFilter)),
            (QStringList{Q("扱えるファイル (*.bmp *.jpg *.jpeg *.png)"), Q("BMPファイル (*.bmp)"),
                         Q("JPGファイル (*.jpg)"), Q("JPEGファイル (*.jpeg)"), Q("PNGファイル (*.png)")}));
}

// Qt's own dialog swaps the extension when the type changes; the program's rule
// must see the name as typed: an unknown extension is kept and the new one added.
TEST(DialogSeamTest, SaveDialogTypeChangeSeesTheNameAsTyped) {
  QTemporaryDir dir;
  struct Case {
    const char* typed;
    int newIndex;
    const char* expected;
  };
  const Case cases[] = {{"photo.txt", 5, "photo.txt.png"},
                        {"photo.jpg", 5, "photo.png"},
                        {"photo.png", 1, "photo.JPG"},
                        {"photo", 2, "photo.bmp"}};
  for (const Case& c : cases) {
    SaveRequest r;
    r.folder = dir.path();
    r.name = QString::fromUtf8(c.typed);
    r.filter = Q(kSaveFilter);
    r.filterIndex = 3;
    r.onTypeChange = [](const QString& typed, int index) -> std::optional<QString> {
      const auto name = Editor::SaveDialog1TypeChange(typed.toStdString(), index, ".JPG");
      if (!name) return std::nullopt;
      return QString::fromStdString(*name);
    };
    QString nameAfterChange;
    WhenShown<QFileDialog>([&](QFileDialog& d) {
      auto* combo = d.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
      ASSERT_NE(combo, nullptr);
      EXPECT_EQ(combo->currentIndex(), 2);  // the request's third type
      // What a user's choice in the list emits.
      combo->setCurrentIndex(c.newIndex - 1);
      emit combo->activated(c.newIndex - 1);
      emit combo->textActivated(combo->currentText());
      nameAfterChange = d.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text();
      QMetaObject::invokeMethod(&d, "accept");
    });
    const std::optional<QString> chosen = DialogSeam::Current().SaveFile(nullptr, r);
    EXPECT_EQ(nameAfterChange, QString::fromUtf8(c.expected)) << c.typed;
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(QFileInfo(*chosen).fileName(), QString::fromUtf8(c.expected));
    EXPECT_EQ(r.filterIndex, c.newIndex);
  }
}

TEST(DialogSeamTest, YesNoBoxUsesTheProgramsButtonTexts) {
  for (const bool yes : {true, false}) {
    WhenShown<QMessageBox>([yes](QMessageBox& box) {
      QStringList texts;
      for (QAbstractButton* b : box.buttons()) texts << b->text();
      EXPECT_EQ(texts.size(), 2);
      EXPECT_TRUE(texts.contains(Q("はい(&Y)")));
      EXPECT_TRUE(texts.contains(Q("いいえ(&N)")));
      for (QAbstractButton* b : box.buttons())
        if (b->text() == Q(yes ? "はい(&Y)" : "いいえ(&N)")) b->click();
    });
    EXPECT_EQ(DialogSeam::Current().AskYesNo(nullptr, Q("確認"), Q("同名のファイルがあります。上書きしますか？")), yes);
  }
}

TEST(DialogSeamTest, MessageBoxIsCaptionedWithTheProgramNameAndOneButton) {
  WhenShown<QMessageBox>([](QMessageBox& box) {
    EXPECT_EQ(box.windowTitle(), QStringLiteral("Quill Moor"));
    EXPECT_EQ(box.buttons().size(), 1);
    EXPECT_EQ(box.text(), Q("圧縮形式は扱えません"));
    box.buttons().front()->click();
  });
  DialogSeam::Current().Message(nullptr, Q("圧縮形式は扱えません"));
}

}  // namespace
}  // namespace tav1
