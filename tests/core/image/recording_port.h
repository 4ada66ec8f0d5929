// An OpenPort that records every call as one line of text, so a test can
// compare the whole conversation with the user.
#pragma once

#include <string>
#include <vector>

#include "core/image/open_path.h"

namespace tav1::testing {

class RecordingPort : public OpenPort {
 public:
  void MessageBox(const std::string& text) override { calls.push_back("box:" + text); }
  void Beep() override { calls.push_back("beep"); }
  void SetStatus(const std::string& text, bool repaintNow) override {
    calls.push_back("status:" + text + (repaintNow ? "!" : ""));
  }
  void PumpEvents() override {}
  void SetImageCursor(bool crossHair) override { calls.push_back(crossHair ? "cursor:cross" : "cursor:arrow"); }
  void RecreateImageWindow() override { calls.push_back("recreate"); }
  void SetMainCaption(const std::string& caption) override { calls.push_back("caption:" + caption); }

  std::vector<std::string> calls;
};

}  // namespace tav1::testing
