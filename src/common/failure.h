#pragma once

#include <string>
#include <variant>

namespace qrt::common {

/// Why something could not be set up or done: the reason in words, for the operator or a
/// log, and the system's error number when the system gave one (0 otherwise).
struct Failure {
    std::string reason;
    int systemError = 0;
};

/// A value, or the failure that kept it from being made.
template <typename T>
using Result = std::variant<T, Failure>;

/// The failure a result holds; none when it holds its value.
template <typename T>
[[nodiscard]] const Failure* failureOf(const Result<T>& result) {
    return std::get_if<Failure>(&result);
}

}  // namespace qrt::common
