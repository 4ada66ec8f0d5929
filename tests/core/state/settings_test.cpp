#include "core/state/settings.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

#include "core/state/state_error.h"
#include "core/state/str_to_int.h"

namespace tav1 {
namespace {

namespace fs = std::filesystem;

// A fresh folder under the system temporary folder, removed afterwards.
class TempDir {
 public:
  TempDir() {
    std::string t = (fs::temp_directory_path() / "tav1_state_XXXXXX").string();
    path_ = ::mkdtemp(t.data());
  }
  ~TempDir() {
    std::error_code ec;
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path_, ec);
  }
  std::string Sub(const std::string& name) const { return path_ + "/" + name; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteAll(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

TEST(ParseInt, AcceptsDelphiStyleIntegerText) {
  struct Case {
    const char* text;
    std::optional<int> want;
  };
  const Case cases[] = {
      {"12", 12},          {" 12", 12},     {"12 ", 12},      {"\t-7", -7},
      {"+5", 5},           {"0x10", 16},    {"0X1f", 31},     {"$ff", 255},
      {"-0x10", -16},      {"$FFFFFFFF", -1}, {"2147483647", 2147483647},
      {"-2147483648", -2147483647 - 1},   {"007", 7},
      {"", std::nullopt},  {"  ", std::nullopt},   {"2147483648", std::nullopt},
      {"12abc", std::nullopt}, {"1.5", std::nullopt}, {"0x", std::nullopt},
      {"$", std::nullopt}, {"--3", std::nullopt},  {"+", std::nullopt},
      {"1 2", std::nullopt}, {"0x1g", std::nullopt}, {"$100000000", std::nullopt},
      {"-$80000000", std::nullopt}, {"１２", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseInt(c.text), c.want) << '"' << c.text << '"';
}

TEST(SettingsLocation, FollowsLocalAppDataThenXdgThenHome) {
  EXPECT_EQ(IniPlaceFrom("/l", "/x", "/h"), "/l/Quillmoor/");
  EXPECT_EQ(IniPlaceFrom("/l/", nullptr, nullptr), "/l/Quillmoor/");
  EXPECT_EQ(IniPlaceFrom(nullptr, "/x", "/h"), "/x/Quillmoor/");
  EXPECT_EQ(IniPlaceFrom("", "", "/h"), "/h/.config/Quillmoor/");
  EXPECT_EQ(IniPlaceFrom(nullptr, nullptr, "/h/"), "/h/.config/Quillmoor/");
}

// A fresh account has no ~/.config yet; the first start must still create the
// settings file instead of failing on the one-level folder rule.
TEST(SettingsLocation, FallBackBaseIsCreatedWhenMissing) {
  TempDir home;
  struct Env {
    std::string name;
    std::optional<std::string> old;
    explicit Env(const char* n) : name(n) {
      if (const char* v = std::getenv(n)) old = v;
    }
    ~Env() {
      if (old) ::setenv(name.c_str(), old->c_str(), 1);
      else ::unsetenv(name.c_str());
    }
  } lad("LOCALAPPDATA"), xdg("XDG_CONFIG_HOME"), h("HOME");
  ::unsetenv("LOCALAPPDATA");
  ::unsetenv("XDG_CONFIG_HOME");
  ::setenv("HOME", home.path().c_str(), 1);

  const std::string place = IniPlaceFromEnvironment();
  EXPECT_EQ(place, home.path() + "/.config/Quillmoor/");
  const SettingsFile file(place);
  EXPECT_NO_THROW(file.LoadAtStart([](const std::string&) {}));
  EXPECT_TRUE(fs::exists(place + "TAV1.INI"));
}

TEST(SettingsFile, FirstRunCreatesFolderAndWritesDefaultTextExactly) {
  TempDir dir;
  const SettingsFile file(dir.Sub("Quillmoor/"));
  std::vector<std::string> shown;
  const Settings s = file.LoadAtStart([&](const std::string& m) { shown.push_back(m); });

  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0], dir.Sub("Quillmoor/") +
                          " に TAV1.INI ファイルを作成します。\r\n（メニューから保存フォルダを開けます）");
  const std::string text = ReadAll(dir.Sub("Quillmoor/TAV1.INI"));
  EXPECT_EQ(text, kDefaultSettingsText);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 36);
  EXPECT_EQ(text.find("\n\n"), std::string::npos);
  EXPECT_EQ(text.substr(0, 12), "[Position]\r\n");
  // The first-run text places the main window differently from the read defaults.
  EXPECT_EQ(s.X1, 30);
  EXPECT_EQ(s.Y1, 30);
  EXPECT_EQ(s.W1, 237);
  EXPECT_EQ(s.H1, 410);
  EXPECT_TRUE(s.AutoApply);

  // A second start finds the file and says nothing.
  shown.clear();
  EXPECT_EQ(file.LoadAtStart([&](const std::string& m) { shown.push_back(m); }), s);
  EXPECT_TRUE(shown.empty());
}

TEST(SettingsFile, FolderIsCreatedOneLevelOnly) {
  TempDir dir;
  const SettingsFile file(dir.Sub("missing/Quillmoor/"));
  try {
    file.EnsureFolder();
    FAIL() << "a folder whose parent is missing was created";
  } catch (const StateError& e) {
    EXPECT_NE(std::string(e.what()).find(dir.Sub("missing/Quillmoor/")), std::string::npos);
  }
  EXPECT_FALSE(fs::exists(dir.Sub("missing")));
}

TEST(SettingsFile, ExistingFileIsFoundInAnyCase) {
  TempDir dir;
  WriteAll(dir.Sub("tav1.Ini"), "[settings]\nscale=1\n");
  const SettingsFile file(dir.path() + "/");
  EXPECT_FALSE(file.NeedsFirstRunMessage());
  EXPECT_EQ(file.FilePath(), dir.Sub("tav1.Ini"));
  EXPECT_EQ(file.Read().Scale, 1);

  Settings s;
  s.Scale = 0;
  file.Write(s);
  EXPECT_FALSE(fs::exists(dir.Sub("TAV1.INI")));
  EXPECT_EQ(file.Read().Scale, 0);
  // Only the settings file remains: the temporary file of the write was renamed.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

TEST(SettingsFile, WritingThroughALinkKeepsTheLink) {
  TempDir dir;
  fs::create_directory(dir.Sub("conf"));
  WriteAll(dir.Sub("real.ini"), kDefaultSettingsText);
  fs::create_symlink(dir.Sub("real.ini"), dir.Sub("conf/TAV1.INI"));
  const SettingsFile file(dir.Sub("conf"));
  Settings s;
  s.Scale = 1;
  file.Write(s);
  EXPECT_TRUE(fs::is_symlink(dir.Sub("conf/TAV1.INI")));
  EXPECT_EQ(ParseSettings(ReadAll(dir.Sub("real.ini"))).Scale, 1);
}

TEST(SettingsParse, MissingOrNonIntegerValuesGiveReadDefaults) {
  const Settings s = ParseSettings(
      "[Parameter]\r\nR0=5\r\nR1=abc\r\nG2=\r\n[Settings]\r\nOrder=1\r\nAutoApply=x\r\n");
  Settings want;
  want.Para[0][0] = 5;
  want.Order = 1;
  EXPECT_EQ(s, want);
  // Without [Position] the main window opens at (0, 32).
  EXPECT_EQ(s.X1, 0);
  EXPECT_EQ(s.Y1, 32);
  EXPECT_EQ(ParseSettings(""), Settings{});
}

TEST(SettingsParse, SectionsAndKeysIgnoreCaseAndFirstOccurrenceCounts) {
  const Settings s = ParseSettings(
      "; comment\n[ position ]\nx1 = 11\nX1=99\n[POSITION]\nY1=12\n"
      "[Other]\nH1=1\n[parameter]\nb2=300\n");
  EXPECT_EQ(s.X1, 11);
  EXPECT_EQ(s.Y1, 32);   // in the second [Position] section, which is not read
  EXPECT_EQ(s.H1, 410);  // in another section
  EXPECT_EQ(s.Para[2][2], 300);  // parameters are not range-checked

  const Settings q = ParseSettings("[Position]\nX1=\"5\"\nY1='6'\nH1=\"7'\nW1=\" 8 \"\n");
  EXPECT_EQ(q.X1, 5);
  EXPECT_EQ(q.Y1, 6);
  EXPECT_EQ(q.H1, 410);  // unmatched quotes stay part of the value
  EXPECT_EQ(q.W1, 8);
}

TEST(SettingsParse, OnlyStepsAndSaturationAreCorrected) {
  struct Case {
    const char* line;
    int Settings::*member;
    int want;
  };
  const Case cases[] = {
      {"StepL=7", &Settings::StepL, 2},       {"StepL=4", &Settings::StepL, 4},
      {"StepL=-1", &Settings::StepL, -1},     {"StepG=5", &Settings::StepG, 2},
      {"Satulation=250", &Settings::Satulation, 100},
      {"Satulation=-3", &Settings::Satulation, 0},
      {"Satulation=0", &Settings::Satulation, 0},
      {"Order=9", &Settings::Order, 9},       {"Polarity=-4", &Settings::Polarity, -4},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ParseSettings(std::string("[Settings]\r\n") + c.line + "\r\n").*c.member, c.want)
        << c.line;
}

TEST(SettingsParse, BooleansAreNonZeroIntegers) {
  struct Case {
    const char* value;
    bool want;
  };
  const Case cases[] = {{"-1", true}, {"1", true}, {"2", true}, {"0", false}, {"", false}, {"on", false}};
  for (const Case& c : cases) {
    const Settings s = ParseSettings(std::string("[Settings]\nKidoRdc=") + c.value + "\n");
    EXPECT_EQ(s.KidoRdc, c.want) << c.value;  // read default false
  }
  EXPECT_TRUE(ParseSettings("[Settings]\nAutoApply=on\n").AutoApply);  // read default true
  EXPECT_FALSE(ParseSettings("[Settings]\nAutoApply=0\n").AutoApply);
}

TEST(SettingsWrite, UpdatesDefaultTextInPlace) {
  Settings s = ParseSettings(kDefaultSettingsText);
  s.X1 = -5;
  s.Para[1][1] = -12;
  s.StepL = 4;
  s.AutoApply = true;
  s.SatuRdc = true;
  std::string want = kDefaultSettingsText;
  auto replace = [&](const std::string& from, const std::string& to) {
    const std::size_t at = want.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    want.replace(at, from.size(), to);
  };
  replace("X1=30\r\n", "X1=-5\r\n");
  replace("G1=0\r\n", "G1=-12\r\n");
  replace("StepL=2\r\n", "StepL=4\r\n");
  replace("AutoApply=-1\r\n", "AutoApply=1\r\n");
  replace("SatuRdc=0\r\n", "SatuRdc=1\r\n");
  EXPECT_EQ(UpdateSettingsText(kDefaultSettingsText, s), want);
}

TEST(SettingsWrite, KeepsOtherLinesAndAddsMissingKeysAndSections) {
  const std::string before =
      "; kept\n"
      "[position]\n"
      "x1 = 7\n"
      "Foo=bar\n"
      "\n"
      "[Mine]\n"
      "a=b\n";
  Settings s;
  s.X1 = 8;
  const std::string out = UpdateSettingsText(before, s);
  const std::string want =
      "; kept\r\n"
      "[position]\r\n"
      "x1=8\r\n"
      "Foo=bar\r\n"
      "Y1=32\r\nH1=410\r\nW1=237\r\nX2=190\r\nY2=32\r\nX3=0\r\nY3=380\r\nX4=30\r\nY4=70\r\n"
      "X5=200\r\nY5=100\r\n"
      "\r\n"
      "[Mine]\r\n"
      "a=b\r\n"
      "[Parameter]\r\n"
      "R0=0\r\nR1=0\r\nR2=255\r\nG0=0\r\nG1=0\r\nG2=255\r\nB0=0\r\nB1=0\r\nB2=255\r\n"
      "[Settings]\r\n"
      "Order=0\r\nOrigin=0\r\nMakeHistoryMode=0\r\nGraphFront=0\r\nScale=0\r\nPolarity=0\r\n"
      "StepL=2\r\nStepG=2\r\nAutoApply=1\r\nSatulation=10\r\nKidoRdc=0\r\nSatuRdc=0\r\n";
  EXPECT_EQ(out, want);
  // Writing the result again changes nothing.
  EXPECT_EQ(UpdateSettingsText(out, s), out);
}

TEST(SettingsWrite, SoloPlaceholdersAreWrittenAsEndsAndKeptInTheSet) {
  Settings s;
  s.Para = {{{256, 0, 511}, {10, 5, 200}, {256, 3, 300}}};
  const Settings read = ParseSettings(UpdateSettingsText("", s));
  const ParaTriples want = {{{0, 0, 255}, {10, 5, 200}, {0, 3, 300}}};
  EXPECT_EQ(s.Para, want);
  EXPECT_EQ(read.Para, want);
}

TEST(SettingsFile, WriteThenReadGivesTheSameSettings) {
  TempDir dir;
  const SettingsFile file(dir.path());
  file.WriteDefaultText();
  Settings s;
  s.X2 = 1;  s.Y3 = -2;  s.Para[2] = {-3, 126, 999};
  s.Order = 1;  s.Origin = 1;  s.MakeHistoryMode = 1;  s.GraphFront = 1;  s.Scale = 1;
  s.Polarity = 1;  s.StepL = 0;  s.StepG = 3;  s.AutoApply = false;  s.Satulation = 55;
  s.KidoRdc = true;
  file.Write(s);
  EXPECT_EQ(file.Read(), s);
}

TEST(SettingsFile, WriteFailureNamesTheFileAndLeavesItIntact) {
  TempDir dir;
  const SettingsFile file(dir.path());
  file.WriteDefaultText();
  const std::string path = dir.Sub("TAV1.INI");
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  Settings s;
  s.X1 = 1234;
  try {
    file.Write(s);
    FAIL() << "a read-only settings file was written";
  } catch (const StateError& e) {
    EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
  }
  EXPECT_EQ(ReadAll(path), kDefaultSettingsText);

  // A folder that has gone away: the new file cannot even be started.
  const SettingsFile gone(dir.Sub("gone/"));
  try {
    gone.Write(s);
    FAIL() << "writing into a missing folder succeeded";
  } catch (const StateError& e) {
    EXPECT_NE(std::string(e.what()).find(dir.Sub("gone/TAV1.INI")), std::string::npos) << e.what();
  }
}

}  // namespace
}  // namespace tav1
