#include "sim/playback.h"

#include "link/recording_reader.h"

namespace qrt::sim {

common::Result<Playback> Playback::load(const std::string& path) {
    auto opened = link::RecordingReader::open(path);
    if (const auto* failure = common::failureOf(opened)) {
        return *failure;
    }
    auto& reader = std::get<link::RecordingReader>(opened);
    Playback playback;
    std::int64_t first = 0;
    for (;;) {
        auto next = reader.nextReceived();
        if (const auto* failure = common::failureOf(next)) {
            return *failure;
        }
        const auto& record = std::get<std::optional<link::Record>>(next);
        if (!record) {
            break;
        }
        if (playback.records_.empty()) {
            first = record->utcMicroseconds;
        }
        playback.records_.push_back(
            {record->utcMicroseconds - first, Bytes(record->bytes.begin(), record->bytes.end())});
    }
    if (playback.records_.empty()) {
        return common::Failure{path + " holds nothing received on interface A"};
    }
    return playback;
}

void Playback::start(Clock::time_point start, double speed) {
    start_ = start;
    speed_ = speed;
    next_ = 0;
}

void Playback::sendDue(Clock::time_point now, const std::function<void(const Bytes&)>& send) {
    while (next_ < records_.size()) {
        // A clock set back between two records sends the later one at once.
        const auto offset = std::chrono::microseconds(static_cast<std::int64_t>(
            static_cast<double>(std::max<std::int64_t>(records_[next_].microseconds, 0)) / speed_));
        if (now < start_ + offset) {
            return;
        }
        send(records_[next_].bytes);
        ++next_;
    }
}

}  // namespace qrt::sim
