#include "cli/progress.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace qrt::cli {

namespace {

constexpr int kBarWidth = 30;

}  // namespace

Progress::Progress(std::string what)
    : what_(std::move(what)), terminal_(isatty(STDERR_FILENO) != 0) {}

void Progress::show(std::uint32_t done, std::uint32_t total) {
    total = std::max<std::uint32_t>(total, 1);
    done = std::min(done, total);
    if (terminal_) {
        const auto filled = static_cast<int>(static_cast<std::uint64_t>(done) * kBarWidth / total);
        std::fprintf(stderr, "\r%s [%s%s] %u/%u", what_.c_str(),
                     std::string(static_cast<std::size_t>(filled), '#').c_str(),
                     std::string(static_cast<std::size_t>(kBarWidth - filled), ' ').c_str(), done,
                     total);
        drawn_ = true;
        return;
    }
    const auto tenth = static_cast<int>(static_cast<std::uint64_t>(done) * 10 / total);
    if (tenth != shownTenth_) {
        shownTenth_ = tenth;
        std::fprintf(stderr, "%s %u/%u\n", what_.c_str(), done, total);
    }
}

void Progress::finish() {
    if (drawn_) {
        std::fputc('\n', stderr);
        drawn_ = false;
    }
}

void Progress::finish(const std::string& done) {
    std::fprintf(stderr, terminal_ ? "\r\033[K%s %s\n" : "%s %s\n", what_.c_str(), done.c_str());
    drawn_ = false;
}

}  // namespace qrt::cli
