// A real Editor on a FakeView, with its settings and temporary files in a
// private folder, and small hand-made pictures written there.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "codecs/bmp_codec.h"
#include "codecs/bmp_layout.h"
#include "core/editor/editor.h"
#include "core/editor/editor_state.h"
#include "fake_view.h"

namespace tav1::test {

// Colour of the pixel at picture point (x, y), y = 0 at the top.
using PixelFn = std::function<TTriple(int x, int y)>;

// A fixed-layout 24-bit store.
inline Store MakeStore24(int w, int h, const PixelFn& px) {
  const std::int64_t stride = bmp::Stride24(w);
  Store s(54 + static_cast<std::size_t>(stride * h), 0);
  bmp::WriteHeaders(s.data(), w, h, 24);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const TTriple t = px(x, y);
      const std::size_t off = 54 + static_cast<std::size_t>((h - 1 - y) * stride + 3 * x);
      s[off] = t.B;
      s[off + 1] = t.G;
      s[off + 2] = t.R;
    }
  return s;
}

// A fixed-layout 8-bit store with a palette that is not the grey ramp.
inline Store MakeStore8(int w, int h) {
  const std::int64_t stride = bmp::Stride08(w);
  Store s(1078 + static_cast<std::size_t>(stride * h), 0);
  bmp::WriteHeaders(s.data(), w, h, 8);
  for (int i = 0; i < 256; ++i) {
    s[54 + 4 * i] = static_cast<std::uint8_t>(255 - i);
    s[54 + 4 * i + 1] = static_cast<std::uint8_t>(i);
    s[54 + 4 * i + 2] = static_cast<std::uint8_t>(i / 2);
  }
  for (std::size_t i = 1078; i < s.size(); ++i) s[i] = static_cast<std::uint8_t>(i * 7);
  return s;
}

class EditorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/tav1-editor-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    std::filesystem::create_directories(dir_ + "/appdata");
    std::filesystem::create_directories(dir_ + "/tmp");
    std::filesystem::create_directories(dir_ + "/pics");
    setenv("LOCALAPPDATA", (dir_ + "/appdata").c_str(), 1);
    setenv("TMPDIR", (dir_ + "/tmp").c_str(), 1);
    ed = std::make_unique<Editor>(view);
    ed->FormCreate();
    view.messages.clear();  // the first-run notice
    view.log.clear();
  }
  void TearDown() override {
    ed.reset();
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }

  const EditorState& S() const { return ed->State(); }
  std::string Pic(const std::string& name) const { return dir_ + "/pics/" + name; }
  std::string Dir() const { return dir_; }

  std::string Write24(const std::string& name, int w, int h, const PixelFn& px) {
    const std::string path = Pic(name);
    WriteBmp(path, MakeStore24(w, h, px));
    return path;
  }
  // A 6 x 4 picture of distinct colours, opened from the open dialog.
  void OpenSample(const std::string& name = "sample.bmp") {
    // Through the open command, so the names of a user's open are set too.
    view.openAnswers.push_back(Write24(name, 6, 4, [](int x, int y) {
      return TTriple{static_cast<std::uint8_t>(20 + 30 * x), static_cast<std::uint8_t>(40 + 40 * y),
                     static_cast<std::uint8_t>(200 - 20 * x)};
    }));
    ed->OpenButton1Click();
    ASSERT_TRUE(S().img.ReadyFlag);
  }
  void Select(int left, int top, int right, int bottom) {
    view.selection = {left, top, right, bottom};
    view.current = {right, bottom};
  }
  int Low(int c) const { return S().para.at(c, 0); }
  int Gamma(int c) const { return S().para.at(c, 1); }
  int High(int c) const { return S().para.at(c, 2); }

  FakeView view;
  std::unique_ptr<Editor> ed;

 private:
  std::string dir_;
};

}  // namespace tav1::test
