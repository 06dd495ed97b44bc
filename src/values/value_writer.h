#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "receive/measurement.h"

namespace qrt::values {

/// How values are written: CSV (RFC 4180, a header, CRLF) or JSON Lines.
enum class ValueFormat { Csv, JsonLines };

/// "csv" or "jsonl"; empty for anything else.
[[nodiscard]] std::optional<ValueFormat> valueFormatNamed(std::string_view name);

/// Appends a CSV field (RFC 4180), quoted when it holds a comma, a quote or a line break.
void appendCsvField(std::string& row, std::string_view field);

/// Appends the ISO 8601 local date and time with milliseconds: "2026-12-08T22:37:14.123".
void appendIsoTime(std::string& out, const common::DateTime& time);

/// Appends the value as its text line shows it, with "." as the decimal point: two
/// decimals for a scaled value (temperature, battery, hour meter), none for an integer.
void appendValueText(std::string& out, std::int32_t raw, double scale);

/// Appends a JSON string: quoted, with quotes, backslashes and control characters escaped.
void appendJsonString(std::string& out, std::string_view text);

/// One row per value: `time,module,channel,value,unit` after a header line, or one
/// JSON object per line with the same names.
class ValueWriter {
  public:
    explicit ValueWriter(ValueFormat format) : format_(format) {}
    /// What comes before the first row: the CSV header line (nothing for JSON Lines).
    [[nodiscard]] std::string header() const;
    /// Appends the value's row to `out`.
    void append(const receive::Measurement& measurement, std::string& out);

  private:
    ValueFormat format_;
    common::Timestamp shownTime_{};
    std::string timeText_;  // the text of `shownTime_`
    std::string module_;    // the row's module and channel, made in place
    std::string channel_;
};

}  // namespace qrt::values
