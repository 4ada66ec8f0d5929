// Writing an output so that readers see either the old file or the whole new
// one: the bytes go to a new file in the target's folder, which is then renamed.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tav1::batch {

enum class WriteStatus { kWritten, kExists, kFailed };

struct WriteResult {
  WriteStatus status = WriteStatus::kFailed;
  std::string error;  // when kFailed
};

// fill writes the content into the temporary path it is given and returns
// false with a reason on failure. Without overwrite an existing target is left
// alone (kExists), also when it appears while the content is being written.
// The temporary file never survives a failure.
using FillFile = std::function<bool(const std::string& tempPath, std::string& error)>;
WriteResult PublishFile(const std::string& target, bool overwrite, const FillFile& fill);

WriteResult PublishBytes(const std::string& target, bool overwrite,
                             const std::vector<std::uint8_t>& bytes);

// Writes bytes to a path, replacing it; for temporary files that only this
// process uses.
bool WriteWholeFile(const std::string& path, const std::vector<std::uint8_t>& bytes,
                    std::string& error);

}  // namespace tav1::batch
