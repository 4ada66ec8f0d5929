// How the open path (and the other commands of the editor) speak to the user.
// The Qt windows implement it; tests record every call.
#pragma once

#include <string>

namespace tav1 {

class UserReport {
 public:
  virtual ~UserReport() = default;
  // Modal message box, one OK button, caption "Quill Moor".
  virtual void MessageBox(const std::string& text) = 0;
  // The desktop's default beep.
  virtual void Beep() = 0;
  // Replaces the status line text; repaintNow makes it visible before a long step.
  virtual void SetStatus(const std::string& text, bool repaintNow) = 0;
  // Lets pending window events run once (between rows of a long pass).
  virtual void PumpEvents() = 0;
};

}  // namespace tav1
