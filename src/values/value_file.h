#pragma once

#include <span>
#include <string>

#include "common/output_file.h"
#include "receive/output_sink.h"
#include "values/value_writer.h"

namespace qrt::values {

/// The file the tools write values to ("-" for standard output), with its writer.
/// Opened before any decoding starts, so a file that cannot be written stops a tool
/// before anything happens; a write that fails later is kept with its reason.
class ValueFile {
  public:
    ValueFile(common::OutputFile output, ValueFormat format);

    /// Opens `path` ("-": standard output) without waiting.
    [[nodiscard]] static ValueFile open(const std::string& path, ValueFormat format);

    [[nodiscard]] bool isStandardOutput() const { return output_.isStandardOutput(); }
    void write(const receive::Measurement& measurement) {
        writer_.append(measurement, output_.buffer());
        output_.written();
    }
    [[nodiscard]] common::OutputFile& output() { return output_; }
    [[nodiscard]] bool failed() const { return output_.failed(); }
    /// "cannot write NAME: reason" after a failure to open or to write; empty otherwise.
    [[nodiscard]] std::string failure() const { return output_.failure(); }

  private:
    common::OutputFile output_;
    ValueWriter writer_;
};

/// Passes lines on to another sink and writes every value to a values file.
class ValueRecorder final : public receive::OutputSink {
  public:
    ValueRecorder(receive::OutputSink& lines, ValueFile& values) : lines_(lines), values_(values) {}
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
    ValueFile& values_;
};

}  // namespace qrt::values
