#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "common/output_file.h"

namespace qrt::common {

/// An output that replaces the file at its path only once it is complete: it is written
/// beside it under a temporary name ("NAME.XXXXXX.partial") and renamed over it by
/// `commit()`. Until then, and on any failure, the old file stays as it was and the
/// temporary file is removed; one that a killed save left is removed by the next save of
/// the same file. A symbolic link is followed, also to a file still to be created. A
/// character device, a FIFO and "-" (standard output) are written directly: there is
/// nothing to replace (with a `stallLimit`, one that takes nothing for that long fails).
class ReplacingFile {
  public:
    /// Checks that `path` may be written (without touching it) and opens the temporary
    /// file beside it. The failure, if any, names `path` and says why; when its folder
    /// takes no new file, the reason says so and names the folder.
    explicit ReplacingFile(const std::string& path, std::chrono::milliseconds stallLimit = {});
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    [[nodiscard]] bool isOpen() const { return output_ && reason().empty(); }
    void write(std::string_view bytes) {
        if (output_) {
            output_->write(bytes);
        }
    }
    /// Writes out, syncs and renames over the path; false with the failure kept.
    bool commit();
    /// "cannot write PATH: REASON"; empty while all is well.
    [[nodiscard]] std::string failure() const;
    /// The REASON alone.
    [[nodiscard]] std::string reason() const;

  private:
    void openTemporary(const std::filesystem::path& target, mode_t mode);

    std::string name_;       // what the operator named
    std::string path_;       // the file replaced (links followed)
    std::string temporary_;  // empty when written directly
    std::optional<OutputFile> output_;
    std::string reason_;  // of a failure outside the output: checking, syncing, renaming
    int lock_ = -1;       // holds the temporary's lock until it is renamed or removed
    bool committed_ = false;
};

}  // namespace qrt::common
