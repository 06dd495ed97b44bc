#pragma once

#include <optional>
#include <string>

#include "common/clock.h"

namespace qrt::archive {

/// A date and time as days since 30.12.1899, the fraction being the time of day: the
/// form in which the archive's times are computed and compared.
using DateTimeValue = double;

/// The value of a calendar date; empty for a date that does not exist.
[[nodiscard]] std::optional<DateTimeValue> encodeDate(int year, int month, int day);
/// The day fraction of a time; empty for hours above 23 or minutes or seconds above 59.
[[nodiscard]] std::optional<DateTimeValue> encodeTime(int hour, int minute, int second);
/// The value of a calendar date and time of day (milliseconds included).
[[nodiscard]] DateTimeValue toValue(const common::DateTime& time);

/// The calendar date and time of day of a value, milliseconds rounded.
[[nodiscard]] common::DateTime toDateTime(DateTimeValue value);

/// "dd.MM.yyyy" and "HH:mm:ss"; milliseconds are rounded from the day fraction, so
/// 10:30 stays 10:30:00.
[[nodiscard]] std::string shortDate(DateTimeValue value);
[[nodiscard]] std::string longTime(DateTimeValue value);
/// "dd.MM.yyyy HH:mm:ss", as a CSV row begins.
[[nodiscard]] std::string dateAndTime(DateTimeValue value);

}  // namespace qrt::archive
