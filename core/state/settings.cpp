#include "core/state/settings.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <vector>

#include "core/state/state_error.h"
#include "core/state/str_to_int.h"

namespace tav1 {

const char* const kDefaultSettingsText =
    "[Position]\r\n"
    "X1=30\r\n"
    "Y1=30\r\n"
    "H1=410\r\n"
    "W1=237\r\n"
    "X2=190\r\n"
    "Y2=32\r\n"
    "X3=0\r\n"
    "Y3=380\r\n"
    "X4=30\r\n"
    "Y4=70\r\n"
    "X5=200\r\n"
    "Y5=100\r\n"
    "[Parameter]\r\n"
    "R0=0\r\n"
    "R1=0\r\n"
    "R2=255\r\n"
    "G0=0\r\n"
    "G1=0\r\n"
    "G2=255\r\n"
    "B0=0\r\n"
    "B1=0\r\n"
    "B2=255\r\n"
    "[Settings]\r\n"
    "Order=0\r\n"
    "Origin=0\r\n"
    "MakeHistoryMode=0\r\n"
    "GraphFront=0\r\n"
    "Scale=0\r\n"
    "Polarity=0\r\n"
    "StepL=2\r\n"
    "StepG=2\r\n"
    "AutoApply=-1\r\n"
    "Satulation=10\r\n"
    "KidoRdc=0\r\n"
    "SatuRdc=0\r\n";

namespace {

namespace fs = std::filesystem;

constexpr const char* kFileName = "TAV1.INI";
constexpr const char* kBom = "\xEF\xBB\xBF";

// One key of the file bound to its member: an integer or a boolean.
struct Key {
  const char* section;
  const char* name;
  int* i = nullptr;
  bool* b = nullptr;
};

// Every key in the order the file is read and written.
std::vector<Key> Keys(Settings& s) {
  std::vector<Key> k = {
      {"Position", "X1", &s.X1}, {"Position", "Y1", &s.Y1}, {"Position", "H1", &s.H1},
      {"Position", "W1", &s.W1}, {"Position", "X2", &s.X2}, {"Position", "Y2", &s.Y2},
      {"Position", "X3", &s.X3}, {"Position", "Y3", &s.Y3}, {"Position", "X4", &s.X4},
      {"Position", "Y4", &s.Y4}, {"Position", "X5", &s.X5}, {"Position", "Y5", &s.Y5},
  };
  static const char* const kParaNames[3][3] = {
      {"R0", "R1", "R2"}, {"G0", "G1", "G2"}, {"B0", "B1", "B2"}};
  for (int c = 0; c < 3; ++c)
    for (int p = 0; p < 3; ++p) k.push_back({"Parameter", kParaNames[c][p], &s.Para[c][p]});
  const std::vector<Key> rest = {
      {"Settings", "Order", &s.Order},
      {"Settings", "Origin", &s.Origin},
      {"Settings", "MakeHistoryMode", &s.MakeHistoryMode},
      {"Settings", "GraphFront", &s.GraphFront},
      {"Settings", "Scale", &s.Scale},
      {"Settings", "Polarity", &s.Polarity},
      {"Settings", "StepL", &s.StepL},
      {"Settings", "StepG", &s.StepG},
      {"Settings", "AutoApply", nullptr, &s.AutoApply},
      {"Settings", "Satulation", &s.Satulation},
      {"Settings", "KidoRdc", nullptr, &s.KidoRdc},
      {"Settings", "SatuRdc", nullptr, &s.SatuRdc},
  };
  k.insert(k.end(), rest.begin(), rest.end());
  return k;
}

std::string Lower(std::string_view t) {
  std::string r(t);
  for (char& c : r)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return r;
}

std::string_view Trim(std::string_view t) {
  while (!t.empty() && (t.front() == ' ' || t.front() == '\t')) t.remove_prefix(1);
  while (!t.empty() && (t.back() == ' ' || t.back() == '\t')) t.remove_suffix(1);
  return t;
}

// INI text as lines without their line ends; a leading UTF-8 byte-order mark is
// kept aside so that it neither hides the first section nor gets lost.
struct IniLines {
  bool bom = false;
  std::vector<std::string> lines;

  explicit IniLines(std::string_view text) {
    if (text.substr(0, 3) == kBom) {
      bom = true;
      text.remove_prefix(3);
    }
    while (!text.empty()) {
      const std::size_t nl = text.find('\n');
      std::string_view line = text.substr(0, nl);
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      lines.emplace_back(line);
      if (nl == std::string_view::npos) break;
      text.remove_prefix(nl + 1);
    }
  }

  // Lowercased section name when line i is a section header.
  static std::optional<std::string> SectionOf(std::string_view line) {
    line = Trim(line);
    if (line.size() < 2 || line.front() != '[') return std::nullopt;
    const std::size_t close = line.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    return Lower(Trim(line.substr(1, close - 1)));
  }
  // Lowercased key name when the line is key=value (comments excluded).
  static std::optional<std::string> KeyOf(std::string_view line) {
    const std::string_view t = Trim(line);
    if (t.empty() || t.front() == ';' || t.front() == '[') return std::nullopt;
    const std::size_t eq = t.find('=');
    if (eq == std::string_view::npos) return std::nullopt;
    return Lower(Trim(t.substr(0, eq)));
  }

  // First header of the section; npos when absent.
  std::size_t FindSection(const std::string& lowerName) const {
    for (std::size_t i = 0; i < lines.size(); ++i)
      if (SectionOf(lines[i]) == lowerName) return i;
    return std::string::npos;
  }
  // End of the section that starts at header h: the next header or the end.
  std::size_t SectionEnd(std::size_t h) const {
    std::size_t i = h + 1;
    while (i < lines.size() && !SectionOf(lines[i])) ++i;
    return i;
  }
  // Line of the key inside the first matching section; npos when absent.
  std::size_t FindKey(const std::string& lowerSection, const std::string& lowerKey) const {
    const std::size_t h = FindSection(lowerSection);
    if (h == std::string::npos) return std::string::npos;
    const std::size_t end = SectionEnd(h);
    for (std::size_t i = h + 1; i < end; ++i)
      if (KeyOf(lines[i]) == lowerKey) return i;
    return std::string::npos;
  }
  std::optional<std::string_view> Value(const char* section, const char* key) const {
    const std::size_t i = FindKey(Lower(section), Lower(key));
    if (i == std::string::npos) return std::nullopt;
    const std::string& line = lines[i];
    std::string_view v = Trim(std::string_view(line).substr(line.find('=') + 1));
    // One pair of matching quotes around the value is not part of it, as with
    // the profile functions this file format comes from.
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
      v = v.substr(1, v.size() - 2);
    return v;
  }

  void Set(const char* section, const char* key, const std::string& value) {
    const std::string ls = Lower(section), lk = Lower(key);
    const std::size_t at = FindKey(ls, lk);
    if (at != std::string::npos) {
      // Keep the file's spelling of the key, replace the value.
      const std::string_view old = lines[at];
      lines[at] = std::string(Trim(old.substr(0, old.find('=')))) + "=" + value;
      return;
    }
    const std::string line = std::string(key) + "=" + value;
    const std::size_t h = FindSection(ls);
    if (h == std::string::npos) {
      lines.push_back(std::string(1, '[').append(section).append("]"));
      lines.push_back(line);
      return;
    }
    // After the section's last non-blank line, so blank separators stay below it.
    std::size_t pos = SectionEnd(h);
    while (pos > h + 1 && Trim(lines[pos - 1]).empty()) --pos;
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(pos), line);
  }

  std::string Text() const {
    std::string out = bom ? kBom : "";
    for (const std::string& l : lines) out += l + "\r\n";
    return out;
  }
};

std::string WithoutTrailingSlash(std::string s) {
  while (s.size() > 1 && s.back() == '/') s.pop_back();
  return s;
}

std::string ErrnoText(int e) { return std::strerror(e); }

// Writes text to path through a temporary file in the same folder and a rename,
// so readers see either the old or the whole new file.
void WriteAtomically(const std::string& path, const std::string& text, mode_t mode) {
  const fs::path target(path);
  std::string tmpl = (target.parent_path() / std::string(1, '.').append(target.filename().string()).append(".XXXXXX")).string();
  std::vector<char> name(tmpl.begin(), tmpl.end());
  name.push_back('\0');
  const int fd = ::mkstemp(name.data());
  if (fd < 0) throw StateError("Cannot write the settings file " + path + ": " + ErrnoText(errno));
  const std::string tmp(name.data());
  auto fail = [&](int e) {
    ::close(fd);
    ::unlink(tmp.c_str());
    throw StateError("Cannot write the settings file " + path + ": " + ErrnoText(e));
  };
  const char* p = text.data();
  std::size_t left = text.size();
  while (left > 0) {
    const ssize_t n = ::write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      fail(errno);
    }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  if (::fchmod(fd, mode) != 0) fail(errno);
  if (::fsync(fd) != 0) fail(errno);
  if (::close(fd) != 0) {
    const int e = errno;
    ::unlink(tmp.c_str());
    throw StateError("Cannot write the settings file " + path + ": " + ErrnoText(e));
  }
  if (::rename(tmp.c_str(), path.c_str()) != 0) {
    const int e = errno;
    ::unlink(tmp.c_str());
    throw StateError("Cannot write the settings file " + path + ": " + ErrnoText(e));
  }
  // Make the rename itself durable; a failure here leaves a complete file either way.
  const int dfd = ::open(target.parent_path().empty() ? "." : target.parent_path().c_str(),
                         O_RDONLY | O_DIRECTORY);
  if (dfd >= 0) {
    ::fsync(dfd);
    ::close(dfd);
  }
}

}  // namespace

std::string IniPlaceFrom(const char* localAppData, const char* xdgConfigHome, const char* home) {
  auto set = [](const char* v) { return v != nullptr && *v != '\0'; };
  if (set(localAppData)) return WithoutTrailingSlash(localAppData) + "/Quillmoor/";
  if (set(xdgConfigHome)) return WithoutTrailingSlash(xdgConfigHome) + "/Quillmoor/";
  // No home known at all: relative to the working folder.
  if (!set(home)) return ".config/Quillmoor/";
  return WithoutTrailingSlash(home) + "/.config/Quillmoor/";
}

std::string IniPlaceFromEnvironment() {
  const char* localAppData = std::getenv("LOCALAPPDATA");
  const std::string place =
      IniPlaceFrom(localAppData, std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
  if (localAppData == nullptr || *localAppData == '\0') {
    // The settings folder is created one level deep only, below a base that
    // must exist. LOCALAPPDATA names a folder the system keeps; the fall-back
    // base is missing on a fresh account, so it is created here (0700, as
    // the XDG base-directory rules ask). A failure shows when the settings
    // folder itself cannot be created.
    const fs::path base = fs::path(WithoutTrailingSlash(place)).parent_path();
    std::error_code ec;
    if (!base.empty() && !fs::exists(base, ec) && fs::create_directories(base, ec))
      fs::permissions(base, fs::perms::owner_all, fs::perm_options::replace, ec);
  }
  return place;
}

Settings ParseSettings(const std::string& text) {
  const IniLines ini(text);
  Settings s;
  Settings d;  // supplies each key's read default
  std::vector<Key> keys = Keys(s);
  const std::vector<Key> defs = Keys(d);
  for (std::size_t k = 0; k < keys.size(); ++k) {
    const std::optional<std::string_view> v = ini.Value(keys[k].section, keys[k].name);
    if (keys[k].i != nullptr) {
      *keys[k].i = v ? StrToIntDef(*v, *defs[k].i) : *defs[k].i;
    } else {
      *keys[k].b = v ? StrToIntDef(*v, *defs[k].b ? 1 : 0) != 0 : *defs[k].b;
    }
  }
  // The value read is stored first and then corrected, as the combo boxes have
  // only the items 0..4; negative values are kept.
  if (s.StepL > 4) s.StepL = 2;
  if (s.StepG > 4) s.StepG = 2;
  s.Satulation = std::clamp(s.Satulation, 0, 100);
  return s;
}

std::string UpdateSettingsText(const std::string& existing, Settings& s) {
  // 256 and 511 are the placeholders of a channel hidden by solo mode; the
  // replacement stays in the caller's parameter set.
  for (auto& t : s.Para) {
    if (t[0] == 256) t[0] = 0;
    if (t[2] == 511) t[2] = 255;
  }
  IniLines ini(existing);
  for (const Key& k : Keys(s)) {
    const std::string value = k.i != nullptr ? std::to_string(*k.i) : (*k.b ? "1" : "0");
    ini.Set(k.section, k.name, value);
  }
  return ini.Text();
}

SettingsFile::SettingsFile(std::string iniPlace) : iniPlace_(std::move(iniPlace)) {
  if (iniPlace_.empty() || iniPlace_.back() != '/') iniPlace_ += '/';
}

void SettingsFile::EnsureFolder() const {
  const std::string dir = WithoutTrailingSlash(iniPlace_);
  std::error_code ec;
  if (fs::is_directory(dir, ec)) return;
  // One level only: a missing parent is an error, as on the original platform.
  if (!fs::create_directory(dir, ec) || ec) {
    throw StateError("Cannot create the settings folder " + iniPlace_ +
                     (ec ? ": " + ec.message() : std::string()));
  }
}

std::string SettingsFile::FindExisting() const {
  std::error_code ec;
  std::vector<std::string> found;
  for (fs::directory_iterator it(WithoutTrailingSlash(iniPlace_), ec), end; !ec && it != end;
       it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (Lower(name) == "tav1.ini" && it->is_regular_file(ec)) found.push_back(name);
  }
  if (found.empty()) return {};
  return iniPlace_ + *std::min_element(found.begin(), found.end());
}

std::string SettingsFile::FilePath() const {
  std::string p = FindExisting();
  return p.empty() ? iniPlace_ + kFileName : p;
}

std::string SettingsFile::FirstRunMessage() const {
  return iniPlace_ + " に TAV1.INI ファイルを作成します。" + "\r\n" + "（メニューから保存フォルダを開けます）";
}

void SettingsFile::WriteDefaultText() const {
  WriteAtomically(FilePath(), kDefaultSettingsText, 0644);
}

Settings SettingsFile::Read() const {
  std::ifstream in(FilePath(), std::ios::binary);
  if (!in) return Settings{};
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return ParseSettings(text);
}

void SettingsFile::Write(Settings& s) const {
  // A link to the settings file is kept: the file it names is the one replaced.
  std::string path = FilePath();
  std::error_code ec;
  if (fs::is_symlink(path, ec)) {
    const fs::path real = fs::canonical(path, ec);
    if (!ec) path = real.string();
  }
  std::string existing;
  mode_t mode = 0644;
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) {
    // A rename would replace even a read-only file; refuse as writing in place
    // would. A file without any write permission counts as read-only even for
    // a user whom access() lets through (root).
    if (::access(path.c_str(), W_OK) != 0)
      throw StateError("Cannot write the settings file " + path + ": " + ErrnoText(errno));
    if ((st.st_mode & 0222) == 0)
      throw StateError("Cannot write the settings file " + path + ": the file is read-only");
    std::ifstream in(path, std::ios::binary);
    if (!in) throw StateError("Cannot read the settings file " + path);
    existing.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad()) throw StateError("Cannot read the settings file " + path);
    mode = st.st_mode & 07777;
  }
  WriteAtomically(path, UpdateSettingsText(existing, s), mode);
}

Settings SettingsFile::LoadAtStart(
    const std::function<void(const std::string&)>& showMessage) const {
  EnsureFolder();
  if (NeedsFirstRunMessage()) {
    if (showMessage) showMessage(FirstRunMessage());
    WriteDefaultText();
  }
  return Read();
}

}  // namespace tav1
