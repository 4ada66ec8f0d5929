// The desktop services the windows rely on, in one place: file drops from file
// managers, opening a folder in the file browser, the temporary and program
// folders, the default beep, the mouse button state and a monotonic clock.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <QString>

class QMimeData;
class QWidget;

namespace tav1::platform {

QString ToQ(const std::string& utf8);
std::string FromQ(const QString& text);

// Local file paths of a drop (file managers offer them as file:// URLs). A drop
// that carries no local path gives an empty list.
std::vector<std::string> DroppedPaths(const QMimeData* data);
bool OffersFiles(const QMimeData* data);

// Opens the folder in the desktop's file browser; failures are not reported.
void OpenFolder(const std::string& folder);

// The user's temporary folder with a trailing separator.
std::string TempDir();
// The folder of the program file with a trailing separator.
std::string ExeFolder();

// Drops the native window of a hidden top-level window; the next show makes a
// new one. Moving a hidden window that was shown before places its client area
// on X11 (the desktop has taken its frame away), while a window never shown is
// placed by its frame, which is what the stored places mean.
void DropNativeWindow(QWidget* window);

void Beep();
bool LeftButtonDown();
// Milliseconds of a monotonic clock.
std::int64_t MonotonicMs();

}  // namespace tav1::platform
