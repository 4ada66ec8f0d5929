#include "batch/options.h"

#include <charconv>
#include <string_view>

namespace tav1::batch {
namespace {

// Whole decimal integer with an optional sign; nothing before or after it.
bool ParseInt(std::string_view text, int& value) {
  if (text.empty()) return false;
  const char* first = text.data();
  const char* last = text.data() + text.size();
  if (*first == '+') ++first;  // from_chars takes '-' only
  if (first == last) return false;
  const auto [ptr, ec] = std::from_chars(first, last, value);
  return ec == std::errc() && ptr == last;
}

class Parser {
 public:
  explicit Parser(const std::vector<std::string>& args) : args_(args) {}

  ParseOutcome Run() {
    bool optionsEnded = false;
    for (i_ = 0; i_ < args_.size() && error_.empty(); ++i_) {
      const std::string& a = args_[i_];
      if (optionsEnded || a.size() < 2 || a[0] != '-') {
        out_.options.pictures.push_back(a);
        continue;
      }
      if (a == "--") {
        optionsEnded = true;
        continue;
      }
      if (a[1] == '-') {
        Long(a);
      } else {
        Short(a);
      }
    }
    if (error_.empty()) Check();
    out_.ok = error_.empty();
    out_.error = error_;
    return out_;
  }

 private:
  // Value of the current option: the text after '=' (or after a short
  // option letter), else the next argument.
  bool Value(const std::string& name, const std::optional<std::string>& inline_, std::string& v) {
    if (inline_) {
      v = *inline_;
      return true;
    }
    if (i_ + 1 >= args_.size()) {
      error_ = "option " + name + " needs a value";
      return false;
    }
    v = args_[++i_];
    return true;
  }

  bool IntIn(const std::string& name, const std::string& v, int lo, int hi, int& result) {
    if (!ParseInt(v, result) || result < lo || result > hi) {
      error_ = "option " + name + ": \"" + v + "\" is not an integer from " + std::to_string(lo) +
               " to " + std::to_string(hi);
      return false;
    }
    return true;
  }

  void NoValue(const std::string& name, const std::optional<std::string>& inline_) {
    if (inline_) error_ = "option " + name + " takes no value";
  }

  void Params(const std::string& name, const std::string& v) {
    std::array<int, 9> p{};
    std::size_t start = 0;
    for (int k = 0; k < 9; ++k) {
      const std::size_t comma = v.find(',', start);
      const bool last = (k == 8);
      if (last != (comma == std::string::npos)) {
        error_ = "option " + name + " needs nine integers separated by commas: R0,R1,R2,G0,G1,G2,B0,B1,B2";
        return;
      }
      const std::string item = v.substr(start, last ? std::string::npos : comma - start);
      const bool gamma = (k % 3 == 1);
      const int limit = gamma ? kGammaLimit : kEndLimit;
      if (!ParseInt(item, p[k]) || p[k] < -limit || p[k] > limit) {
        error_ = "option " + name + ": value " + std::to_string(k + 1) + " (\"" + item +
                 "\") is not an integer from " + std::to_string(-limit) + " to " +
                 std::to_string(limit);
        return;
      }
      start = comma + 1;
    }
    static const char* const kChannel[3] = {"red", "green", "blue"};
    for (int c = 0; c < 3; ++c) {
      // The editor's steps keep the ends at least 5 apart; a closer pair is a typing slip.
      if (p[3 * c] + 4 >= p[3 * c + 2]) {
        error_ = "option " + name + ": the " + kChannel[c] +
                 " high end must exceed the low end by at least 5";
        return;
      }
    }
    out_.options.overrides.params = p;
  }

  void Long(const std::string& a) {
    std::string name = a;
    std::optional<std::string> inline_;
    if (const auto eq = a.find('='); eq != std::string::npos) {
      name = a.substr(0, eq);
      inline_ = a.substr(eq + 1);
    }
    BatchOptions& o = out_.options;
    std::string v;
    int n = 0;
    if (name == "--help") {
      NoValue(name, inline_);
      o.help = true;
    } else if (name == "--version") {
      NoValue(name, inline_);
      o.version = true;
    } else if (name == "--settings") {
      if (Value(name, inline_, v)) {
        if (v.empty()) error_ = "option --settings needs a file name";
        o.settingsPath = v;
      }
    } else if (name == "--params") {
      if (Value(name, inline_, v)) Params(name, v);
    } else if (name == "--order") {
      if (Value(name, inline_, v) && IntIn(name, v, 0, 1, n)) o.overrides.order = n;
    } else if (name == "--origin") {
      if (Value(name, inline_, v) && IntIn(name, v, 0, 1, n)) o.overrides.origin = n;
    } else if (name == "--saturation") {
      if (Value(name, inline_, v) && IntIn(name, v, 0, 100, n)) o.overrides.saturation = n;
    } else if (name == "--kido-rdc") {
      if (Value(name, inline_, v) && IntIn(name, v, 0, 1, n)) o.overrides.kidoRdc = (n != 0);
    } else if (name == "--satu-rdc") {
      if (Value(name, inline_, v) && IntIn(name, v, 0, 1, n)) o.overrides.satuRdc = (n != 0);
    } else if (name == "--solo") {
      if (Value(name, inline_, v) && IntIn(name, v, 0, 2, n)) o.solo = n;
    } else if (name == "--output") {
      if (Value(name, inline_, v)) SetOutput(v);
    } else if (name == "--out-dir") {
      if (Value(name, inline_, v)) {
        if (v.empty()) error_ = "option --out-dir needs a folder name";
        o.outDir = v;
      }
    } else if (name == "--suffix") {
      if (Value(name, inline_, v)) {
        if (v.find('/') != std::string::npos) error_ = "option --suffix must not contain '/'";
        o.suffix = v;
      }
    } else if (name == "--format") {
      if (Value(name, inline_, v)) {
        if (v == "bmp") {
          o.format = PictureFormat::kBmp;
        } else if (v == "png") {
          o.format = PictureFormat::kPng;
        } else if (v == "jpg" || v == "jpeg") {
          o.format = PictureFormat::kJpeg;
        } else {
          error_ = "option --format: \"" + v + "\" is not one of bmp, png, jpg";
        }
      }
    } else if (name == "--quality") {
      if (Value(name, inline_, v) && IntIn(name, v, 1, 100, n)) o.quality = n;
    } else if (name == "--progressive") {
      NoValue(name, inline_);
      o.progressive = true;
    } else if (name == "--jobs") {
      if (Value(name, inline_, v)) SetJobs(name, v);
    } else if (name == "--overwrite") {
      NoValue(name, inline_);
      o.overwrite = true;
    } else if (name == "--print-tables") {
      NoValue(name, inline_);
      o.printTables = true;
    } else if (name == "--export-clut") {
      if (Value(name, inline_, v)) {
        if (v.empty()) error_ = "option --export-clut needs a file name";
        o.exportClut = v;
      }
    } else {
      error_ = "unknown option " + name + " (see --help)";
    }
  }

  void Short(const std::string& a) {
    const char letter = a[1];
    std::optional<std::string> inline_;
    if (a.size() > 2) inline_ = a.substr(2);
    std::string v;
    const std::string name = a.substr(0, 2);
    if (letter == 'h' && !inline_) {
      out_.options.help = true;
    } else if (letter == 'o') {
      if (Value(name, inline_, v)) SetOutput(v);
    } else if (letter == 'j') {
      if (Value(name, inline_, v)) SetJobs(name, v);
    } else {
      error_ = "unknown option " + a + " (see --help)";
    }
  }

  void SetOutput(const std::string& v) {
    if (v.empty()) error_ = "option -o needs a file name";
    out_.options.output = v;
  }

  void SetJobs(const std::string& name, const std::string& v) {
    int n = 0;
    if (IntIn(name, v, 1, 1024, n)) out_.options.jobs = n;
  }

  void Check() {
    const BatchOptions& o = out_.options;
    if (o.help || o.version) return;
    const bool tablesOnly = o.printTables || !o.exportClut.empty();
    if (tablesOnly) {
      if (!o.pictures.empty()) error_ = "--print-tables and --export-clut take no pictures";
      return;
    }
    if (o.pictures.empty()) {
      error_ = "no picture given (see --help)";
    } else if (!o.output.empty() && o.pictures.size() != 1) {
      error_ = "-o names the output of a single picture; use --out-dir for several";
    } else if (!o.output.empty() && !o.outDir.empty()) {
      error_ = "-o and --out-dir cannot be used together";
    }
  }

  const std::vector<std::string>& args_;
  std::size_t i_ = 0;
  std::string error_;
  ParseOutcome out_;
};

}  // namespace

ParseOutcome ParseBatchArgs(const std::vector<std::string>& args) { return Parser(args).Run(); }

std::string UsageText() {
  return "Usage: tav1-batch [options] PICTURE...\n"
         "Applies one tone correction to BMP, JPEG and PNG pictures, exactly as the\n"
         "Quill Moor editor saves them after applying.\n"
         "\n"
         "Correction (defaults: the editor's settings file):\n"
         "  --settings FILE       read the parameters and options from this settings file\n"
         "  --params R0,R1,R2,G0,G1,G2,B0,B1,B2\n"
         "                        the nine tone parameters (low end, gamma step, high end\n"
         "                        per channel; gamma step -126..126)\n"
         "  --order 0|1           0: L->G, 1: G->L\n"
         "  --origin 0|1          curve origin 0: (0,0), 1: (255,255)\n"
         "  --saturation 0..100   saturation in tenths (10 leaves it unchanged)\n"
         "  --kido-rdc 0|1        damp the boost for dark colours\n"
         "  --satu-rdc 0|1        damp the boost for saturated colours\n"
         "  --solo 0|1|2          show red, green or blue alone as grey\n"
         "\n"
         "Output:\n"
         "  -o, --output FILE     output file of a single picture\n"
         "  --out-dir DIR         write outputs into DIR\n"
         "  --suffix TEXT         added to each input's name before the extension\n"
         "                        (default \"_tav1\"); outputs go beside the inputs\n"
         "                        unless -o or --out-dir is given\n"
         "  --format bmp|png|jpg  output format (default: the input's own)\n"
         "  --quality 1..100      JPEG quality (default 100)\n"
         "  --progressive         progressive JPEG\n"
         "  --overwrite           replace existing output files\n"
         "  -j, --jobs N          pictures processed in parallel (default: cores)\n"
         "\n"
         "Tables:\n"
         "  --print-tables        print the three lookup tables and exit\n"
         "  --export-clut FILE    write the tables as a 256 x 1 PNG colour lookup strip\n"
         "                        and exit\n"
         "\n"
         "  -h, --help            show this text\n"
         "  --version             show the version\n"
         "\n"
         "Exit status: 0 every picture written, 1 some picture rejected, skipped or\n"
         "failed, 2 bad usage or unreadable settings file.\n";
}

std::string VersionText() { return "tav1-batch (Quill Moor) 1.35\n"; }

}  // namespace tav1::batch
