// The working image: the picture being edited, held as two complete BMP file
// images in the fixed layout of codecs/bmp_layout.h, with the geometry values
// every pixel pass uses to walk them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "codecs/bmp_layout.h"
#include "codecs/large_image.h"

namespace tav1 {

// One 24-bit pixel as it lies in a row: blue, green, red.
#pragma pack(push, 1)
struct TTriple {
  std::uint8_t B, G, R;
};
#pragma pack(pop)
static_assert(sizeof(TTriple) == 3);
using PTriple = TTriple*;
using PTripleArray = TTriple*;  // first pixel of a row

inline constexpr int MaxSizeOfImage = 8000;

// Bytes of one BMP file image.
using Store = std::vector<std::uint8_t>;

struct Geometry {
  int ImageWidth = 0;
  int ImageHeight = 0;
  int Xend = 0;      // ImageWidth - 1
  int Yend = 0;      // ImageHeight - 1
  int YEndG = 0;     // ImageHeight - 1; turns a display row into a stored row
  int XBytes24 = 0;  // ((3 * ImageWidth + 3) div 4) * 4
  int XBytes08 = 0;  // ImageWidth rounded up to a multiple of 4

  static Geometry From(int width, int height) {
    Geometry g;
    g.ImageWidth = width;
    g.ImageHeight = height;
    g.Xend = width - 1;
    g.Yend = height - 1;
    g.YEndG = height - 1;
    g.XBytes24 = static_cast<int>(bmp::Stride24(width));
    g.XBytes08 = static_cast<int>(bmp::Stride08(width));
    return g;
  }
};

struct WorkingImage {
  Store MemStBmp1;  // source: the picture as opened
  Store MemStBmp2;  // result: starts as a byte copy of the source
  int biBitFlag = 0;  // 8 or 24
  int ImageWidth = 0;
  int ImageHeight = 0;
  Geometry geo;  // valid after GeometryStep
  bool GrayPaletteFlag = false;
  bool LoadRejected = false;
  bool ReadyFlag = false;

  // Geometry from ImageWidth/ImageHeight, then result := byte copy of source
  // (a large one copied on both cores, into a store whose pages are faulted
  // in beforehand where it must grow).
  void GeometryStep() {
    geo = Geometry::From(ImageWidth, ImageHeight);
    bmp::CopyLarge(MemStBmp2, MemStBmp1);
  }
  int Stride() const { return biBitFlag == 8 ? geo.XBytes08 : geo.XBytes24; }
  std::size_t RowsOffset() const { return bmp::RowsOffset(biBitFlag); }
};

// Names kept for the opened picture (UTF-8 text).
struct OpenedNames {
  std::string OpenedPath;        // full path last given to the open routine (may be a temp file)
  std::string OpenedName;        // its file name
  std::string OpenedExt;         // its extension as written, with the dot
  std::string PathName2;         // its folder
  std::string KeepFName;         // name of the file the user last opened (dialog or drop)
  std::string PathName_keep;     // folder of that file; the save dialog's folder
  std::string FileName_savedlg;  // name offered by the save dialog
  std::string PathName_bckup1;   // where the open dialog starts after rotation/shrink
  std::string ShrinkName;        // caption name while a shrunk picture is re-opened
  std::string RotateName;        // caption name while a rotated picture is re-opened
  std::string PathTemp1;         // temporary folder, with trailing separator
};

// Fixed names of the temporary files in PathTemp1.
namespace tempname {
inline constexpr const char* kJpeg = "TAV1tmp1.bmp";
inline constexpr const char* kPng = "TAV1tmp2.bmp";
inline constexpr const char* kSmall = "TAV1small.bmp";
inline constexpr const char* kRotate = "TAV1rotate.bmp";
inline constexpr const char* kClipboard = "TAV1_Tmp_Clipboard1.bmp";
inline constexpr const char* kUnused4 = "TAV1tmp4.bmp";
inline constexpr const char* kUnusedJpg = "TAV1tmp1.jpg";
// Deletion order at shutdown.
inline constexpr const char* kAll[7] = {kJpeg, kPng, kUnused4, kUnusedJpg, kSmall, kRotate, kClipboard};
}  // namespace tempname

}  // namespace tav1
