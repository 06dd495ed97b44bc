#include "gateway/publisher.h"

#include "gateway/messages.h"

namespace qrt::gateway {

namespace {

using namespace std::chrono_literals;

// Values in flight at once. libmosquitto finds each acknowledgement by walking what is
// in flight: a few thousand keep a local broker busy, more only cost.
constexpr std::size_t kWindow = 2000;
constexpr std::size_t kBatch = 500;      // values read from the queue at once
constexpr std::int64_t kBacklog = 1000;  // a queue this long is said to drain
constexpr auto kCommitEvery = 200ms;     // acknowledged values leave the disk this often
constexpr auto kLastValuesEvery = 1s;    // a channel's retained last value is this fresh
constexpr auto kDropReportEvery = 1min;
constexpr auto kHealthEvery = 10s;

}  // namespace

Publisher::Publisher(ValueQueue& queue, MqttSession& mqtt, common::Clock& clock, std::string prefix,
                     Say say)
    : queue_(queue),
      mqtt_(mqtt),
      clock_(clock),
      prefix_(std::move(prefix)),
      say_(std::move(say)),
      droppedReported_(queue.dropped()) {}

void Publisher::retainNow(const std::string& topic, const std::string& payload) {
    queue_.keepRetained(topic, payload);
    retainedNow_ = true;
}

void Publisher::retainLastValue(const std::string& topic, const std::string& payload) {
    queue_.keepRetained(topic, payload);
    retainedChanged_ = true;
}

void Publisher::acknowledge() {
    for (const int mid : mqtt_.takeAcknowledged()) {
        if (const auto value = valuesInFlight_.find(mid); value != valuesInFlight_.end()) {
            queue_.remove(value->second);
            valuesInFlight_.erase(value);
        } else if (const auto retained = retainedInFlight_.find(mid);
                   retained != retainedInFlight_.end()) {
            queue_.retainedSent(retained->second);
            retainedInFlight_.erase(retained);
        }
    }
}

void Publisher::restartOnNewSession() {
    if (mqtt_.session() == session_) {
        return;
    }
    // A new connection: what was in flight on the last one goes again, in order, and every
    // retained message, as the broker may have lost them (restarted without persistence).
    session_ = mqtt_.session();
    valuesInFlight_.clear();
    retainedInFlight_.clear();
    cursor_ = 0;
    queue_.sendRetainedAgain();
    retainedNow_ = true;
}

void Publisher::sendRetainedRound(std::chrono::steady_clock::time_point now) {
    // At once for a new connection, a status or a new channel; for the channels' last
    // values at most once a second.
    const bool due = retainedNow_ || (retainedChanged_ && now >= nextLastValues_);
    if (!mqtt_.connected() || !due || !retainedInFlight_.empty()) {
        return;
    }
    retainedNow_ = false;
    retainedChanged_ = false;
    nextLastValues_ = now + kLastValuesEvery;
    for (const RetainedMessage& message : queue_.pendingRetained()) {
        if (const auto mid = mqtt_.publish(message.topic, message.payload, true)) {
            retainedInFlight_[*mid] = message;
        }
    }
}

Publisher::Pumped Publisher::publishValues() {
    if (!mqtt_.connected()) {
        return Pumped::Idle;
    }
    if (valuesInFlight_.size() >= kWindow) {
        return Pumped::WindowFull;
    }
    const auto batch = queue_.next(cursor_, std::min(kBatch, kWindow - valuesInFlight_.size()));
    std::size_t sent = 0;
    for (const StoredValue& value : batch) {
        const auto mid = mqtt_.publish(valueTopic(prefix_, value), valuePayload(value), false);
        if (!mid) {
            break;
        }
        valuesInFlight_[*mid] = value.id;
        cursor_ = value.id;
        ++sent;
    }
    if (batch.empty()) {
        return Pumped::Idle;
    }
    // A broker that takes nothing now is waited on, not asked again at once.
    return sent > 0 ? Pumped::Sent : Pumped::WindowFull;
}

void Publisher::tellBacklog() {
    // Told before any of it is published on this connection, with all of it counted.
    const std::int64_t waiting = queue_.size();
    if (!draining_ && mqtt_.connected() && waiting >= kBacklog) {
        draining_ = true;
        say_("queue draining: " + std::to_string(waiting) + " values");
    }
}

void Publisher::commitNowAndThen(std::chrono::steady_clock::time_point now, Pumped pumped) {
    if (lastCommit_ && now - *lastCommit_ < kCommitEvery) {
        return;
    }
    lastCommit_ = now;
    queue_.commit();
    if (draining_ && mqtt_.connected() && pumped == Pumped::Idle) {
        draining_ = false;  // all published; new values go out as they come
        say_("queue drained");
    }
    reportDrops(false);
    reportHealth(now);
}

void Publisher::reportHealth(std::chrono::steady_clock::time_point now) {
    if (lastHealth_ && now - *lastHealth_ < kHealthEvery) {
        return;
    }
    lastHealth_ = now;
    const auto oldest = queue_.oldestWaiting();
    const std::int64_t ageMs = oldest
                                   ? std::max<std::int64_t>(0, clock_.timestamp().utcMilliseconds -
                                                                   oldest->utcMilliseconds)
                                   : 0;
    std::string health = "{\"waiting\":" + std::to_string(queue_.size()) +
                         ",\"oldest_age_s\":" + std::to_string(ageMs / 1000) +
                         ",\"dropped\":" + std::to_string(queue_.dropped()) + "}";
    if (health != health_) {
        health_ = std::move(health);
        retainNow(prefix_ + "/status/queue", health_);
    }
}

Publisher::Pumped Publisher::pump() {
    acknowledge();  // acknowledgements of the last connection still count
    restartOnNewSession();
    const auto now = clock_.now();
    sendRetainedRound(now);
    tellBacklog();
    const Pumped pumped = publishValues();
    commitNowAndThen(now, pumped);
    return pumped;
}

void Publisher::serve(std::chrono::milliseconds most) {
    switch (pump()) {
        case Pumped::Sent:
            mqtt_.service(0ms);  // a backlog goes on without a pause
            break;
        case Pumped::WindowFull:
            mqtt_.service(most);  // the broker's next acknowledgements end the wait
            break;
        case Pumped::Idle:
            // Acknowledgements trickle in one by one: they are taken together after the
            // pause rather than each waking the gateway.
            clock_.sleep(most);
            mqtt_.service(0ms);
            break;
    }
}

void Publisher::reportDrops(bool force) {
    const auto now = clock_.now();
    const std::uint64_t dropped = queue_.dropped();
    if (dropped == droppedReported_ ||
        (!force && lastDropReport_ && now - *lastDropReport_ < kDropReportEvery)) {
        return;
    }
    lastDropReport_ = now;
    const std::uint64_t recent = dropped - droppedReported_;
    droppedReported_ = dropped;
    say_("queue full or disk full: " + std::to_string(recent) + " values dropped (" +
         queue_.dropReason() + ")");
    retainNow(prefix_ + "/status/dropped", "{\"dropped\":" + std::to_string(recent) + "}");
}

bool Publisher::allSent() const {
    return !retainedNow_ && valuesInFlight_.empty() && retainedInFlight_.empty();
}

void Publisher::finish(std::chrono::milliseconds most, std::string_view status) {
    retainedNow_ = true;
    const auto until = clock_.now() + most;
    while (mqtt_.connected() && clock_.now() < until) {
        if (pump() == Pumped::Idle && allSent()) {
            break;
        }
        mqtt_.service(20ms);
    }
    queue_.commit();
    mqtt_.close(status);
}

}  // namespace qrt::gateway
