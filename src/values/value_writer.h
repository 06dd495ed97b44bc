#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "receive/measurement.h"
#include "receive/output_sink.h"

namespace qrt::values {

/// How values are written: CSV (RFC 4180, a header, CRLF) or JSON Lines.
enum class ValueFormat { Csv, JsonLines };

/// "csv" or "jsonl"; empty for anything else.
[[nodiscard]] std::optional<ValueFormat> valueFormatNamed(std::string_view name);

/// Appends a CSV field (RFC 4180), quoted when it holds a comma, a quote or a line break.
void appendCsvField(std::string& row, std::string_view field);

/// ISO 8601 local date and time with milliseconds: "2026-12-08T22:37:14.123".
[[nodiscard]] std::string isoTime(const common::DateTime& time);

/// The value as its text line shows it, with "." as the decimal point: two decimals
/// for a scaled value (temperature, battery, hour meter), none for an integer.
[[nodiscard]] std::string valueText(const receive::Measurement& measurement);

/// One row per value: `time,module,channel,value,unit` after a header line, or one
/// JSON object per line with the same names. Rows go to `out` as they come; the
/// caller flushes and checks the stream.
class ValueWriter {
  public:
    ValueWriter(std::FILE* out, ValueFormat format);
    void write(const receive::Measurement& measurement);

  private:
    std::FILE* out_;
    ValueFormat format_;
    std::string row_;
};

/// Passes lines on to another sink and writes every value with a `ValueWriter`.
class ValueRecorder final : public receive::OutputSink {
  public:
    ValueRecorder(receive::OutputSink& lines, ValueWriter& values)
        : lines_(lines), values_(values) {}
    void pollStarted() override { lines_.pollStarted(); }
    void pollFinished() override { lines_.pollFinished(); }
    void addDebugLine(std::string_view line) override { lines_.addDebugLine(line); }
    void addCommLine(std::string_view line) override { lines_.addCommLine(line); }
    [[nodiscard]] bool wantsMeasurements() const override { return true; }
    void addMeasurements(std::span<const receive::Measurement> measurements) override {
        for (const receive::Measurement& measurement : measurements) {
            values_.write(measurement);
        }
    }

  private:
    receive::OutputSink& lines_;
    ValueWriter& values_;
};

}  // namespace qrt::values
