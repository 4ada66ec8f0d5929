#include "batch/batch.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <system_error>
#include <thread>

#include "batch/atomic_write.h"
#include "batch/correction.h"
#include "batch/job.h"
#include "batch/naming.h"
#include "batch/options.h"
#include "batch/progress.h"
#include "core/state/settings.h"

namespace tav1::batch {
namespace fs = std::filesystem;

BatchEnvironment ProcessEnvironment() {
  BatchEnvironment env;
  env.iniPlace = IniPlaceFromEnvironment();
  std::error_code ec;
  const fs::path temp = fs::temp_directory_path(ec);
  env.tempRoot = ec ? std::string("/tmp") : temp.string();
  env.stderrIsTerminal = ::isatty(STDERR_FILENO) == 1;
  env.cores = std::max(1u, std::thread::hardware_concurrency());
  return env;
}

namespace {

int Usage(std::ostream& err, const std::string& message) {
  err << "tav1-batch: " << message << '\n';
  return kExitUsage;
}

int ExportClut(const std::string& path, const Correction& correction, const ToneTables& tables,
               bool overwrite, std::ostream& err) {
  if (correction.saturation != 10 || correction.solo <= 2) {
    err << "tav1-batch: note: the strip holds the tone tables only; saturation and solo mode "
           "are not part of it\n";
  }
  WorkingImage strip;
  strip.MemStBmp2 = ClutStripBmp(tables);
  strip.MemStBmp1 = strip.MemStBmp2;
  strip.biBitFlag = 24;
  strip.ImageWidth = 256;
  strip.ImageHeight = 1;
  strip.geo = Geometry::From(256, 1);
  const WriteResult w =
      PublishFile(path, overwrite, [&strip](const std::string& temp, std::string& error) {
        try {
          SaveResult(strip, PictureFormat::kPng, OutputSettings{}, temp);
          return true;
        } catch (const std::exception& e) {
          error = e.what();
          return false;
        }
      });
  if (w.status == WriteStatus::kExists) {
    err << "tav1-batch: " << path << ": exists; give --overwrite to replace it\n";
    return kExitSomeNotWritten;
  }
  if (w.status == WriteStatus::kFailed) {
    err << "tav1-batch: " << w.error << '\n';
    return kExitSomeNotWritten;
  }
  return kExitAllWritten;
}

}  // namespace

int RunBatch(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
             const BatchEnvironment& env) {
  const ParseOutcome parsed = ParseBatchArgs(args);
  if (!parsed.ok) return Usage(err, parsed.error);
  const BatchOptions& o = parsed.options;
  if (o.help) {
    out << UsageText();
    return kExitAllWritten;
  }
  if (o.version) {
    out << VersionText();
    return kExitAllWritten;
  }

  const CorrectionOutcome loaded = LoadCorrection(o, env.iniPlace);
  if (!loaded.ok) return Usage(err, loaded.error);
  const Correction& correction = loaded.correction;
  // Built once; every job reads the same tables and none writes them.
  const ToneTables tables = correction.Tables();

  if (o.printTables || !o.exportClut.empty()) {
    if (o.printTables) out << FormatTables(tables) << std::flush;
    if (!o.exportClut.empty()) return ExportClut(o.exportClut, correction, tables, o.overwrite, err);
    return kExitAllWritten;
  }

  const Plan plan = PlanOutputs(o);
  if (!plan.ok) return Usage(err, plan.usageError);
  if (!o.outDir.empty()) {
    std::error_code ec;
    fs::create_directories(o.outDir, ec);
    if (ec || !fs::is_directory(o.outDir)) {
      return Usage(err, "cannot make the output folder \"" + o.outDir + "\"");
    }
  }

  OutputSettings settings;
  settings.quality = o.quality;
  settings.progressive = o.progressive;
  settings.overwrite = o.overwrite;

  const int total = static_cast<int>(plan.pictures.size());
  Progress progress(err, total, env.stderrIsTerminal);
  std::atomic<int> next{0};
  auto stopped = [&env] { return env.stopRequested != nullptr && env.stopRequested->load(); };
  auto worker = [&]() {
    for (int i = next.fetch_add(1); i < total && !stopped(); i = next.fetch_add(1)) {
      const PlannedPicture& pic = plan.pictures[static_cast<std::size_t>(i)];
      JobResult r;
      if (pic.problem == PlannedPicture::Problem::kUnsupportedInput) {
        r = {JobOutcome::kRejected, pic.problemText};
      } else if (pic.problem != PlannedPicture::Problem::kNone) {
        r = {JobOutcome::kFailed, pic.problemText};
      } else {
        r = RunPictureJob(pic, correction, tables, settings, env.tempRoot);
      }
      if (!r.message.empty()) progress.Message(pic.input + ": " + r.message);
      switch (r.outcome) {
        case JobOutcome::kWritten: progress.Count(&Tally::processed); break;
        case JobOutcome::kRejected: progress.Count(&Tally::rejected); break;
        case JobOutcome::kSkipped: progress.Count(&Tally::skipped); break;
        case JobOutcome::kFailed: progress.Count(&Tally::failed); break;
      }
    }
  };

  const unsigned wanted = o.jobs > 0 ? static_cast<unsigned>(o.jobs) : env.cores;
  const unsigned count = std::max(1u, std::min(wanted, static_cast<unsigned>(total)));
  if (count == 1) {
    worker();
  } else {
    std::vector<std::thread> threads;
    threads.reserve(count);
    for (unsigned t = 0; t < count; ++t) threads.emplace_back(worker);
    for (std::thread& t : threads) t.join();
  }
  const int notStarted = total - progress.tally().Done();
  if (notStarted > 0) {
    progress.Message("tav1-batch: interrupted; " + std::to_string(notStarted) +
                     (notStarted == 1 ? " picture was" : " pictures were") + " not started");
  }
  progress.Finish();
  return (notStarted == 0 && progress.tally().AllWritten()) ? kExitAllWritten : kExitSomeNotWritten;
}

}  // namespace tav1::batch
