#include "receive/traffic_recorder.h"

#include <algorithm>

#include "link/link.h"
#include "link/receive_ring.h"

namespace qrt::receive {

namespace {

link::RecordChannel channelOf(link::Target target) {
    switch (target) {
        case link::Target::PortA:
            return link::RecordChannel::A;
        case link::Target::PortB:
            return link::RecordChannel::B;
        case link::Target::BoxChannel:
            return link::RecordChannel::Box;
    }
    return link::RecordChannel::A;
}

}  // namespace

void TrafficRecorder::sent(link::Target target, std::span<const std::uint8_t> bytes) {
    writer_.add(clock_.utcMicroseconds(), {.sent = true, .channel = channelOf(target)}, bytes);
}

void TrafficRecorder::received(std::span<const std::uint8_t> bytes) {
    pending_.insert(pending_.end(), bytes.begin(), bytes.end());
    arrivals_.push_back({recorded_ + (pending_.size() - head_), clock_.utcMicroseconds()});
    // A ring that overflowed lost its oldest bytes unread: they formed no frame.
    const std::size_t held = pending_.size() - head_ - noise_;
    if (held > link::ReceiveRing::kCapacity) {
        noise_ += held - link::ReceiveRing::kCapacity;
    }
}

void TrafficRecorder::taken(link::RecordKind kind, std::size_t count) {
    if (kind == link::RecordKind::NoFrame) {
        noise_ += count;
        return;
    }
    recordNoise();
    record(kind, count);
}

void TrafficRecorder::pollFinished() {
    recordNoise();
    (void)writer_.flush();
}

bool TrafficRecorder::finish() {
    recordUntaken();
    return writer_.flush();
}

void TrafficRecorder::recordNoise() {
    if (noise_ > 0) {
        record(link::RecordKind::NoFrame, std::exchange(noise_, 0));
    }
}

void TrafficRecorder::recordUntaken() {
    noise_ = pending_.size() - head_;
    recordNoise();
}

void TrafficRecorder::record(link::RecordKind kind, std::size_t count) {
    // The poller never takes more than reached the ring; should it, the record holds
    // what there is.
    count = std::min(count, pending_.size() - head_);
    if (count == 0) {
        return;
    }
    const std::uint64_t end = recorded_ + count;
    const auto arrival = std::find_if(arrivals_.begin(), arrivals_.end(),
                                      [end](const Arrival& a) { return a.end >= end; });
    const std::int64_t at =
        arrival != arrivals_.end() ? arrival->utcMicroseconds : clock_.utcMicroseconds();
    writer_.add(at, {.kind = kind}, std::span(pending_).subspan(head_, count));
    head_ += count;
    recorded_ = end;
    arrivals_.erase(arrivals_.begin(),
                    arrival != arrivals_.end() && arrival->end == end ? arrival + 1 : arrival);
    if (head_ == pending_.size()) {
        pending_.clear();
        head_ = 0;
    } else if (head_ >= 4096) {
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(head_));
        head_ = 0;
    }
}

}  // namespace qrt::receive
