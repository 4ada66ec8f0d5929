// Shrinking by area averaging, and the shrink dialog's logic without windows.
#pragma once

#include <string>

#include "core/image/working_image.h"
#include "core/state/rotate.h"

namespace tav1 {

// Reduces src (8 or 24 bits, at least 1 x 1; 8-bit is expanded through its
// palette) to a new 24-bit fixed-layout store of exactly w x h. Each target
// pixel is the area-weighted mean of the source pixels it covers, each span
// ending 0.000001 short so that no pixel outside the source is read and a
// uniform area keeps its value; channel = round-half-even(sum / A) with
// A = sw * sh / w / h. Equal size reproduces the picture.
// Throws StateError "アサートの失敗 (Unit6)" when the source or target size is
// not positive; throws StateError when src is not a valid store.
Store Shrink(const Store& src, int w, int h);

// Which column-sum kernel Shrink runs: the best this CPU has (Auto), or one
// chosen by tests so that each is compared with the reference on any machine
// that can run it. Returns false (and changes nothing) when the CPU cannot.
enum class ShrinkKernel { Auto, Scalar, Avx2 };
bool UseShrinkKernel(ShrinkKernel k);

// ShrinkName: ReplaceExtension(keepFName, "_small.bmp").
inline std::string ShrinkNameFor(const std::string& keepFName) {
  return ReplaceExtension(keepFName, "_small.bmp");
}

inline constexpr const char* kShrinkTooSmallText = "10 X 10 以上のサイズが必要です";
inline constexpr const char* kShrinkEnlargeText = "拡大はできません";

// The two linked size boxes of the shrink dialog. The dialog forwards each
// change the user makes to a box (typing or arrows) and then shows both texts;
// a box written here is not forwarded back (the dialog blocks that signal), so
// an edited box drives the other and a written box drives nothing.
class ShrinkSizeBoxes {
 public:
  enum class Check { Ok, TooSmall, Enlarge };

  // Both boxes start at the source size.
  ShrinkSizeBoxes(int srcWidth, int srcHeight);

  // Source height / width, computed in extended precision, stored as float.
  float AspectRatio() const { return AspectRatio_; }

  // The width box now holds `text`: height := round(width * AspectRatio) when
  // the width reads above 0, else both boxes are emptied.
  void WidthEdited(const std::string& text);
  // The height box now holds `text`: width := round(height / AspectRatio) when
  // the height reads above 0, else both boxes are emptied.
  void HeightEdited(const std::string& text);

  const std::string& WidthText() const { return width_; }
  const std::string& HeightText() const { return height_; }
  // A box that is empty or does not hold a whole number reads as 0.
  static int ReadBox(const std::string& text);
  int Width() const { return ReadBox(width_); }
  int Height() const { return ReadBox(height_); }

  // The shrink button's checks, in order: both at least 10, neither above the source.
  Check CheckSize() const { return CheckSizes(Width(), Height(), srcWidth_, srcHeight_); }
  static Check CheckSizes(int w, int h, int srcWidth, int srcHeight);
  // The message of a failed check; nullptr for Ok.
  static const char* CheckMessage(Check c);

 private:
  int srcWidth_;
  int srcHeight_;
  float AspectRatio_;
  std::string width_;
  std::string height_;
};

}  // namespace tav1
