// File-name pieces the way the open and save commands take them apart: the
// folder keeps its trailing separator, the extension keeps its dot and is
// taken from the last dot of the file-name part only.
#pragma once

#include <string>

namespace tav1::names {

// "dir/photo.jpg" -> "photo.jpg"
std::string ExtractFileName(const std::string& path);
// "dir/photo.jpg" -> "dir/"; no separator -> ""
std::string ExtractFilePath(const std::string& path);
// "photo.JPG" -> ".JPG"; "a.b.c" -> ".c"; "photo" -> ""; "dir.x/photo" -> ""
std::string ExtractFileExt(const std::string& path);
// Replaces the extension (or appends when there is none): ("a.b.c", "") -> "a.b"
std::string ChangeFileExt(const std::string& path, const std::string& ext);
// ASCII letters to upper case; other bytes (UTF-8 included) unchanged.
std::string Upper(std::string s);

}  // namespace tav1::names
