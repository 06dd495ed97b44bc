#pragma once

#include <span>

#include "receive/sinks.h"
#include "values/value_history.h"

namespace qrt::values {

/// Keeps every decoded value in a history, then passes it on to the next consumer (a
/// values window, a values file, a broker), so every face of the tool gets the same
/// history without a window in between.
class HistoryRecorder final : public receive::MeasurementSink {
  public:
    explicit HistoryRecorder(ValueHistory& history) : history_(history) {}

    /// The consumer after the history; none keeps the history alone.
    void setNext(receive::MeasurementSink* next) { next_ = next; }

    void addMeasurements(std::span<const receive::Measurement> measurements) override {
        for (const receive::Measurement& measurement : measurements) {
            history_.add(measurement);
        }
        if (next_ != nullptr) {
            next_->addMeasurements(measurements);
        }
    }
    void pollFinished() override {
        if (next_ != nullptr) {
            next_->pollFinished();
        }
    }

  private:
    ValueHistory& history_;
    receive::MeasurementSink* next_ = nullptr;
};

}  // namespace qrt::values
