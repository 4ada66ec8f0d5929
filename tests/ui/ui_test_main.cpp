// The UI tests run offscreen in one QApplication; the style is the program's own.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>
#include <cstring>

#include "ui/look.h"

namespace {

QtMessageHandler g_fallback = nullptr;

// The offscreen platform reports every window operation it cannot do (raise,
// size hints); those lines would hide the test output.
void QuietHandler(QtMsgType type, const QMessageLogContext& ctx, const QString& msg) {
  if (msg.startsWith(QStringLiteral("This plugin does not support"))) return;
  if (g_fallback) g_fallback(type, ctx, msg);
}

}  // namespace

int main(int argc, char** argv) {
  g_fallback = qInstallMessageHandler(QuietHandler);
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  tav1::look::ApplyStyle(app);
  QApplication::setApplicationName(QStringLiteral("Quill Moor"));
  return RUN_ALL_TESTS();
}
