#pragma once

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

namespace qrt::testing {

/// The process's time zone set to `zone` (a TZ value) while the object lives; the one
/// before comes back with it.
class ScopedTimeZone {
  public:
    explicit ScopedTimeZone(const char* zone) {
        if (const char* before = std::getenv("TZ"); before != nullptr) {
            saved_ = before;
        }
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    ~ScopedTimeZone() {
        if (saved_) {
            ::setenv("TZ", saved_->c_str(), 1);
        } else {
            ::unsetenv("TZ");
        }
        ::tzset();
    }
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

  private:
    std::optional<std::string> saved_;
};

}  // namespace qrt::testing
