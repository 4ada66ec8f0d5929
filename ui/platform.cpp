#include "ui/platform.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

namespace tav1::platform {

QString ToQ(const std::string& utf8) {
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string FromQ(const QString& text) { return text.toUtf8().toStdString(); }

namespace {
// QWidget::destroy is protected; a member pointer taken inside a subclass
// reaches it for any widget.
struct NativeWindowDropper : QWidget {
  static void Drop(QWidget* w) { (w->*(&NativeWindowDropper::destroy))(true, true); }
};
}  // namespace

void DropNativeWindow(QWidget* window) {
  if (window == nullptr || window->isVisible() || !window->testAttribute(Qt::WA_WState_Created)) return;
  NativeWindowDropper::Drop(window);
}

std::vector<std::string> DroppedPaths(const QMimeData* data) {
  std::vector<std::string> out;
  if (data == nullptr || !data->hasUrls()) return out;
  for (const QUrl& url : data->urls()) {
    if (url.isLocalFile()) out.push_back(FromQ(QDir::toNativeSeparators(url.toLocalFile())));
  }
  return out;
}

bool OffersFiles(const QMimeData* data) { return !DroppedPaths(data).empty(); }

void OpenFolder(const std::string& folder) {
  QDesktopServices::openUrl(QUrl::fromLocalFile(ToQ(folder)));
}

static std::string WithSeparator(QString path) {
  path = QDir::toNativeSeparators(path);
  if (!path.endsWith(QDir::separator())) path += QDir::separator();
  return FromQ(path);
}

std::string TempDir() { return WithSeparator(QDir::tempPath()); }

std::string ExeFolder() { return WithSeparator(QCoreApplication::applicationDirPath()); }

void Beep() { QApplication::beep(); }

bool LeftButtonDown() { return (QGuiApplication::mouseButtons() & Qt::LeftButton) != 0; }

std::int64_t MonotonicMs() {
  static QElapsedTimer clock = [] {
    QElapsedTimer t;
    t.start();
    return t;
  }();
  return clock.elapsed();
}

}  // namespace tav1::platform
