#include "core/editor/names.h"

namespace tav1::names {

namespace {
std::size_t NameStart(const std::string& path) {
  const std::size_t sep = path.find_last_of('/');
  return sep == std::string::npos ? 0 : sep + 1;
}
std::size_t ExtStart(const std::string& path) {
  const std::size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || dot < NameStart(path)) return path.size();
  return dot;
}
}  // namespace

std::string ExtractFileName(const std::string& path) { return path.substr(NameStart(path)); }
std::string ExtractFilePath(const std::string& path) { return path.substr(0, NameStart(path)); }
std::string ExtractFileExt(const std::string& path) { return path.substr(ExtStart(path)); }
std::string ChangeFileExt(const std::string& path, const std::string& ext) {
  return path.substr(0, ExtStart(path)) + ext;
}
std::string Upper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return s;
}

}  // namespace tav1::names
