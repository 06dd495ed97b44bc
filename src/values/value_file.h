#pragma once

#include <span>
#include <string>

#include "common/output_file.h"
#include "receive/sinks.h"
#include "values/value_writer.h"

namespace qrt::values {

/// The file the tools write values to ("-" for standard output), with its writer.
/// Opened before any decoding starts, so a file that cannot be written stops a tool
/// before anything happens; a write that fails later is kept with its reason.
class ValueFile final : public receive::MeasurementSink {
  public:
    ValueFile(common::OutputFile output, ValueFormat format);

    /// Opens `path` ("-": standard output) without waiting.
    [[nodiscard]] static ValueFile open(const std::string& path, ValueFormat format);

    [[nodiscard]] bool isStandardOutput() const { return output_.isStandardOutput(); }
    void write(const receive::Measurement& measurement) {
        writer_.append(measurement, output_.buffer());
        output_.written();
    }
    void addMeasurements(std::span<const receive::Measurement> measurements) override {
        for (const receive::Measurement& measurement : measurements) {
            write(measurement);
        }
    }
    [[nodiscard]] common::OutputFile& output() { return output_; }
    [[nodiscard]] bool failed() const { return output_.failed(); }
    /// "cannot write NAME: reason" after a failure to open or to write; empty otherwise.
    [[nodiscard]] std::string failure() const { return output_.failure(); }

  private:
    common::OutputFile output_;
    ValueWriter writer_;
};

}  // namespace qrt::values
