#pragma once

#include <cstdint>
#include <string>

namespace qrt::cli {

/// Progress of a long task on standard error: a bar redrawn in place on a terminal,
/// else a plain line at every tenth of the way.
class Progress {
  public:
    explicit Progress(std::string what);
    void show(std::uint32_t done, std::uint32_t total);
    /// Ends the bar's line (on a terminal).
    void finish();
    /// Ends with what was done in words ("704 blocks read") in place of the bar, when a
    /// task ends short of the total it set out with because it needs no more.
    void finish(const std::string& done);

  private:
    std::string what_;
    bool terminal_;
    int shownTenth_ = -1;
    bool drawn_ = false;
};

}  // namespace qrt::cli
