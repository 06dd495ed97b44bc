#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "common/clock.h"
#include "receive/measurement.h"

namespace qrt::receive {

/// What the next bytes or frame on the receiver's ring are expected to be.
enum class DecoderState { Idle, SkipFirmwareBlock, LoggerBlockExpected, ExtensionExpected };

/// The values of one frame: at most four (a telegram's values with the signal and
/// background levels, or four continuous samples).
class MeasurementList {
  public:
    static constexpr std::size_t kCapacity = 4;
    /// The next slot; a fifth value overwrites the fourth rather than run past the end.
    Measurement& next() { return items_[count_ < kCapacity ? count_++ : kCapacity - 1]; }
    void clear() { count_ = 0; }
    /// The time every following value carries (set once per poll, not per value).
    void setTime(const common::Timestamp& time) {
        for (Measurement& m : items_) {
            m.time = time;
        }
    }
    [[nodiscard]] bool empty() const { return count_ == 0; }
    [[nodiscard]] std::span<const Measurement> view() const {
        return std::span(items_).first(count_);
    }

  private:
    std::array<Measurement, kCapacity> items_{};
    std::size_t count_ = 0;
};

/// State the telegram and reply decoders share with the poller.
struct DecodeState {
    DecoderState decoderState = DecoderState::Idle;
    std::int32_t sampleCounter = 0;  // running number of continuous samples
    std::int32_t loggerBlock = 0;    // block number of the last logger block announcement
    std::int32_t loggerType = 0;     // module type of that announcement
    std::string timestamp;           // time of day of the current poll
    ValueSource source;              // the last module heard: extensions and samples belong to it
    bool recordValues = false;       // whether `measure` keeps the values
    bool levelsMeasured = false;     // the receiver's levels come over the multiplexed link only
    MeasurementList measurements;    // the values of the frame being decoded

    /// Returns a scaled value of `from` for the text line to show, and keeps it as a
    /// measurement when values are recorded.
    double measure(const ValueSource& from, std::string_view channel, std::int32_t raw,
                   double scale, Unit unit) {
        if (recordValues) {
            keep(from, channel, raw, scale, unit, -1);
        }
        return raw * scale;
    }
    /// The same for a value shown as the integer received (a count, a raw word).
    std::int32_t measureInteger(const ValueSource& from, std::string_view channel, std::int32_t raw,
                                Unit unit, std::int32_t channelNumber = -1) {
        if (recordValues) {
            keep(from, channel, raw, 1.0, unit, channelNumber);
        }
        return raw;
    }

    /// The same for a receiver level (signal, background): kept only when the link
    /// measures it; on a direct link the lines show a level that is not measured.
    std::int32_t measureLevel(const ValueSource& from, std::string_view channel,
                              std::int32_t level) {
        return levelsMeasured ? measureInteger(from, channel, level, Unit::Raw) : level;
    }

  private:
    void keep(const ValueSource& from, std::string_view channel, std::int32_t raw, double scale,
              Unit unit, std::int32_t channelNumber) {
        Measurement& m = measurements.next();
        m.source = from;
        m.channel = channel;
        m.channelNumber = channelNumber;
        m.raw = raw;
        m.scale = scale;
        m.unit = unit;
    }
};

}  // namespace qrt::receive
