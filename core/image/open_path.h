// The checks through which every picture enters the program: dispatch on the
// extension, validate the file, fill the source store. The caller (the editor)
// then runs the histogram (with the geometry step), LoadFile and GraphDraw.
//
// Every check validates before it changes anything: a rejected file of any kind
// (wrong depth, compressed, too large, 0 or less in size, too few colours,
// damaged, content not matching its extension) leaves the stores, the geometry,
// ImageWidth/ImageHeight, biBitFlag, GrayPaletteFlag and the image cursor as
// they were; only LoadRejected is set (OpenChecks clears it again).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "core/image/open_report.h"
#include "core/image/working_image.h"

namespace tav1 {

// What the open path needs of the windows beyond the user report.
class OpenPort : public UserReport {
 public:
  // Arrow for 8-bit pictures, cross-hair for 24-bit ones (pick-up works on 24-bit only).
  virtual void SetImageCursor(bool crossHair) = 0;
  // Discards the image window and creates a hidden one in its place (PNG path).
  virtual void RecreateImageWindow() = 0;
  virtual void SetMainCaption(const std::string& caption) = 0;
};

// The program's texts of the open path.
namespace openmsg {
inline constexpr const char* kReading = "読み込み中...";        // set by OpenChecks
inline constexpr const char* kReadingCommand = "読込み中...";   // set by the open command and drops
inline constexpr const char* kReadingJpeg = "JPG 読込み中...";
inline constexpr const char* kReadingPng = "PNG 読込み中...";
inline constexpr const char* kDialogShown = "ダイアログ表示中";
inline constexpr const char* kBlank = "          ";
inline constexpr const char* kCaption = "TAV1";
inline constexpr const char* kBadBits = "256色(8bit)かフルカラー(24bit)の画像だけロード可能";
inline constexpr const char* kCompressed = "圧縮形式は扱えません";
inline constexpr const char* kFewColours = "パレットが256個未満なので非対応です";
inline constexpr const char* kGrayRamp =
    "パレットが256階調グレイスケールなので\r\nパレットを維持してピクセルを補正します。";
inline constexpr const char* kOneFileOnly = "１ファイルだけドロップして下さい。";
inline constexpr const char* kNotPositive = "幅か高さが0以下の画像は扱えません";
// Reasons of the damaged-file message, which reads: file name + " を開けません" CR LF + reason.
inline constexpr const char* kCannotOpenSuffix = " を開けません";
inline constexpr const char* kUnreadable = "ファイルを読み込めません";
inline constexpr const char* kBmpShortHeader = "ファイルがヘッダの途中で終わっています";
inline constexpr const char* kBmpUnknownHeader = "BMPファイルではないか、対応していないヘッダ形式です";
inline constexpr const char* kBmpShortRows = "ファイルがパレットか画素データの途中で終わっています";
inline constexpr const char* kJpegBroken = "JPEGファイルではないか、データが壊れています";
inline constexpr const char* kPngBroken = "PNGファイルではないか、データが壊れています";
inline constexpr const char* kTempWrite = "一時ファイルを書き込めません";

// "画像が大きすぎます(縦横 8000 以下のみ)"
std::string BmpTooLarge();
// "画像が大きすぎます (縦横とも 8000 以下)"
std::string DecodedTooLarge();
// file name + " を開けません" CR LF + reason
std::string Damaged(const std::string& fileName, const std::string& reason);
}  // namespace openmsg

enum class OpenOutcome { NoFile, UnknownExtension, Rejected, Accepted };

// Bands of a picture's final 24-bit rows while it still decodes: `rows` stored
// rows from `first`, `stride` bytes apart, the first `width` pixels of each
// being the picture's. Called on the thread that writes the temporary file,
// one band at a time, while decoding goes on in the stored rows above them;
// the bytes stay unchanged afterwards. Lets the caller count a picture
// without a pass of its own after the open. Must not throw.
using DecodedRows = std::function<void(const std::uint8_t* first, int rows, std::size_t stride, int width)>;

// Everything of an open up to the histogram: nothing when no regular file
// exists at `path` (a folder, a pipe or a device included); status
// "読み込み中..."; the names OpenedPath, OpenedName, OpenedExt and PathName2;
// dispatch on the upper-cased extension (.BMP, .JPG, .JPEG, .PNG; any other
// ends here silently with the status left as it is); main caption "TAV1" and
// a blank status; LoadRejected cleared on rejection. Only Accepted lets the
// caller go on.
// JPEG and PNG pass through names.PathTemp1 + "TAV1tmp1.bmp" / "TAV1tmp2.bmp",
// written while the picture decodes. Once decoding has begun the old file of
// that name is gone, so a file refused after that leaves neither it nor a
// partial new one.
//
// With onRows, a JPEG hands the rows of its source store to onRows, each at
// most once, and every one of them before OpenChecks returns; nothing else
// calls it. Only a caller that got ImageHeight rows of an accepted picture
// has them all: a decoder asking for a row twice would end the bands early.
OpenOutcome OpenChecks(const std::string& path, WorkingImage& img, OpenedNames& names, OpenPort& port,
                       const DecodedRows& onRows = {});

// The three checks. Each accepts the file (source store filled in the fixed
// layout, biBitFlag, ImageWidth, ImageHeight, GrayPaletteFlag set, cursor set)
// or rejects it (beep, status "ダイアログ表示中", its message, LoadRejected).
// The result store is left to the geometry step that follows every open, which
// makes it a byte copy of the source; filling it here as well would cost one
// more full copy of the picture.
void BmpCheck1(const std::string& path, WorkingImage& img, OpenPort& port);
void JpgCheck1(const std::string& path, WorkingImage& img, const OpenedNames& names, OpenPort& port,
               const DecodedRows& onRows = {});
void PngCheck2(const std::string& path, WorkingImage& img, const OpenedNames& names, OpenPort& port);

// The temporary folder with a trailing "/": $TMPDIR when set and not empty, else /tmp.
std::string TmpDir();
// Deletes the seven temporary names in their shutdown order, each only if
// present; errors are ignored.
void DeleteTempFiles(const std::string& pathTemp1);

// Path pieces as the open path splits them: the name after the last "/", the
// folder up to and including it, and the name's extension from its last "."
// with the dot ("" when the name has none).
std::string FileNameOf(const std::string& path);
std::string FolderOf(const std::string& path);
std::string ExtensionOf(const std::string& path);
// ASCII letters to upper case; other bytes (UTF-8 included) unchanged.
std::string UpperAscii(std::string s);

}  // namespace tav1
