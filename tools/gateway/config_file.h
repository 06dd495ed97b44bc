#pragma once

#include <optional>
#include <string>

#include "common/failure.h"

namespace CLI {
class App;
}

namespace qrt::gateway {

/// Why the configuration file named on the command line (--config FILE) may not be read;
/// none when it may, or when none is named. It must be a regular file of sane size and
/// text, each line blank, a comment (# or ; first) or KEY = VALUE with a KEY of `app`'s
/// options. A # inside a value is refused rather than taken as the start of a comment,
/// which would cut the value short without a word.
[[nodiscard]] std::optional<common::Failure> configFileProblem(const CLI::App& app, int argc,
                                                               char** argv);

}  // namespace qrt::gateway
