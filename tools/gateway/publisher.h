#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>

#include "common/clock.h"
#include "gateway/mqtt_session.h"
#include "gateway/value_queue.h"

namespace qrt::gateway {

/// Moves the queue to the broker: publishes the queued values in order, a window of them in
/// flight at a time, lets each go once the broker acknowledged it, and sends again what
/// was in flight when a connection broke. Retained messages (the status, announcements,
/// the channels' last values) go in rounds, each once the broker has the last, and all of
/// them again on every new connection. Says when a backlog drains and when values had to
/// be dropped, and how the queue stands on PREFIX/status/queue.
class Publisher {
  public:
    /// One line of the gateway's log.
    using Say = std::function<void(const std::string&)>;

    /// Values go to PREFIX/MODULE/CHANNEL, the count of values dropped to
    /// PREFIX/status/dropped, the queue's health to PREFIX/status/queue.
    Publisher(ValueQueue& queue, MqttSession& mqtt, common::Clock& clock, std::string prefix,
              Say say);

    /// Keeps a retained message for the broker and sends it in the next round, at once.
    void retainNow(const std::string& topic, const std::string& payload);
    /// Keeps a channel's last value for the broker; the last values go at most once a
    /// second, so a busy line does not send each value twice.
    void retainLastValue(const std::string& topic, const std::string& payload);
    /// Serves the broker for at most `most` between two polls: a backlog without pause, a
    /// full window until the broker's next acknowledgements, else one pause.
    void serve(std::chrono::milliseconds most);
    /// Says how many values were dropped since the last report, and why: the first drop at
    /// once, later ones at most once a minute, every one at once when `force`.
    void reportDrops(bool force);
    /// The queue and the retained messages get up to `most` to reach the broker; the
    /// gateway then leaves `status` on its status topic and disconnects.
    void finish(std::chrono::milliseconds most, std::string_view status);

  private:
    /// What a pump did: published values, found the broker's window full, or had
    /// nothing to publish (or no broker).
    enum class Pumped { Sent, WindowFull, Idle };
    /// Publishes from the queue while the broker takes more, and lets go of what it
    /// acknowledged.
    Pumped pump();
    void acknowledge();
    void restartOnNewSession();
    void sendRetainedRound(std::chrono::steady_clock::time_point now);
    Pumped publishValues();
    void tellBacklog();
    void commitNowAndThen(std::chrono::steady_clock::time_point now, Pumped pumped);
    /// {"waiting":N,"oldest_age_s":S,"dropped":D} on PREFIX/status/queue, at most every
    /// 10 s and only when it changed.
    void reportHealth(std::chrono::steady_clock::time_point now);
    [[nodiscard]] bool allSent() const;

    ValueQueue& queue_;
    MqttSession& mqtt_;
    common::Clock& clock_;
    std::string prefix_;
    Say say_;
    std::uint64_t session_ = 0;
    std::int64_t cursor_ = 0;                     // the last queued value published
    std::map<int, std::int64_t> valuesInFlight_;  // message ID to the value's row
    std::map<int, RetainedMessage> retainedInFlight_;
    bool retainedNow_ = true;       // a retained message to send at once
    bool retainedChanged_ = false;  // channels' last values to send in the next round
    std::chrono::steady_clock::time_point nextLastValues_{};
    bool draining_ = false;
    std::optional<std::chrono::steady_clock::time_point> lastCommit_;
    std::optional<std::chrono::steady_clock::time_point> lastDropReport_;
    std::uint64_t droppedReported_ = 0;
    std::optional<std::chrono::steady_clock::time_point> lastHealth_;
    std::string health_;  // the last health report sent
};

}  // namespace qrt::gateway
