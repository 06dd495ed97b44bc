#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <utility>

#include "common/clock.h"
#include "gateway/home_assistant.h"
#include "gateway/known_channels.h"
#include "gateway/publisher.h"
#include "gateway/value_queue.h"

namespace qrt::gateway {

/// Keeps Home Assistant's view of the installation: announces every channel when it is
/// first seen and again when its telegram period, and so its expiry, changes; at the
/// start everything the queue's database remembers, with the gateway itself, at once
/// (announcements an earlier gateway left under other topics are cleared); and
/// everything again a few seconds (at random, so that many gateways do not answer at
/// once) after Home Assistant says it started: its birth message, exactly `online`, on
/// DISCOVERY/status. Nothing else received is kept or acted on. A new connection to the
/// broker sends every announcement again through the publisher's retained messages.
class Announcer {
  public:
    /// An announcer for `context` whose site identity is `siteId`, or when that is empty
    /// the one kept in the queue's database (made there at the first start); or why the
    /// identity or the channels cannot be kept.
    [[nodiscard]] static common::Result<std::unique_ptr<Announcer>> make(DiscoveryContext context,
                                                                         ValueQueue& queue,
                                                                         Publisher& publisher,
                                                                         common::Clock& clock);

    /// DISCOVERY/status, the only topic the gateway subscribes to.
    [[nodiscard]] std::string birthTopic() const { return context_.discoveryPrefix + "/status"; }

    /// Forgets a retired module: its announcements and its channels' last values are
    /// cleared on the broker, and it is no longer remembered (until it sends again).
    void forget(const receive::ValueSource& module);
    /// Announces what the database remembers and the gateway; clears older announcements.
    void start();
    /// A decoded value: its channel is announced if new, or if its expiry changed.
    void noteValue(const StoredValue& value);
    /// A message on a subscribed topic.
    void received(const std::string& topic, std::string_view payload);
    /// Announces everything again once the delay after a birth message has passed.
    void announceWhenDue();

  private:
    Announcer(DiscoveryContext context, std::unique_ptr<KnownChannels> known, ValueQueue& queue,
              Publisher& publisher, common::Clock& clock);
    struct Seen {
        AnnouncedChannel channel;
        std::int64_t lastMs = 0;               // when its last value was measured
        std::array<std::int64_t, 8> recent{};  // the last times between two values, in ms
        std::size_t times = 0;                 // how many were taken, the oldest overwritten
    };
    /// The channel's period after a value `since` ms after the one before: a shorter time
    /// at once; else the shortest of the recent times, so a module set to send less often
    /// is followed once they are all longer, while a lost telegram (twice the period) is
    /// not taken for a longer period.
    [[nodiscard]] static std::int64_t nextPeriod(Seen& seen, std::int64_t since);
    void announce(const AnnouncedChannel& channel);
    void announceAll();

    DiscoveryContext context_;
    std::unique_ptr<KnownChannels> known_;
    ValueQueue& queue_;
    Publisher& publisher_;
    common::Clock& clock_;
    std::map<std::pair<receive::ValueSource, std::string>, Seen> channels_;
    std::optional<std::chrono::steady_clock::time_point> announceAt_;
    std::mt19937 random_{std::random_device{}()};
};

}  // namespace qrt::gateway
