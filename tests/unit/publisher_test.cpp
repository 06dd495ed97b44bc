// The publisher's rules with a broker session in memory and virtual time: the order and
// the acknowledgements of queued values, a reconnect with values in flight, retained
// rounds, drops told once, and a stop that waits no longer than its limit.
#include "gateway/publisher.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

#include "gateway/messages.h"
#include "support/fake_clock.h"
#include "support/fake_mqtt_session.h"
#include "support/temp_folder.h"

namespace qrt::gateway {
namespace {

using namespace std::chrono_literals;
using testing::FakeClock;
using testing::FakeMqttSession;

constexpr const char* kTopic = "qrt/test/5.1234/Count1";

class PublisherTest : public ::testing::Test {
  protected:
    explicit PublisherTest(std::uint64_t queueLimit = 1 << 30) {
        auto opened = ValueQueue::open(folder.path().string(), queueLimit);
        queue = std::get<std::unique_ptr<ValueQueue>>(std::move(opened));
        publisher =
            std::make_unique<Publisher>(*queue, mqtt, clock, "qrt/test",
                                        [this](const std::string& line) { said.push_back(line); });
    }
    void queueCounts(std::int32_t from, std::int32_t to) {
        for (std::int32_t count = from; count <= to; ++count) {
            receive::Measurement m;
            m.source.module = {5, 1234};
            m.channel = "Count1";
            m.raw = count;
            m.unit = receive::Unit::Count;
            queue->add({&m, 1});
        }
        queue->commit();
    }
    /// The counts published on the value topic, in order.
    [[nodiscard]] std::vector<std::string> countsPublished() const {
        std::vector<std::string> counts;
        for (const std::string& payload : mqtt.payloadsOn(kTopic)) {
            const auto at = payload.find("\"value\":") + 8;
            counts.push_back(payload.substr(at, payload.find(',', at) - at));
        }
        return counts;
    }
    void serveFor(std::chrono::milliseconds time) {
        for (const auto until = clock.elapsed + time; clock.elapsed < until;) {
            publisher->serve(50ms);
        }
    }

    testing::TempFolder folder{"qrt_publisher"};
    FakeClock clock;
    FakeMqttSession mqtt{clock};
    std::unique_ptr<ValueQueue> queue;
    std::unique_ptr<Publisher> publisher;
    std::vector<std::string> said;
};

TEST_F(PublisherTest, AcknowledgementsInAnyOrderLetEachValueGoOnce) {
    mqtt.connect();
    queueCounts(1, 3);
    publisher->serve(50ms);
    ASSERT_EQ(countsPublished(), (std::vector<std::string>{"1", "2", "3"}));
    const int first = mqtt.published[0].mid;
    const int third = mqtt.published[2].mid;
    mqtt.acknowledged = {third, first};
    serveFor(1s);
    EXPECT_EQ(queue->size(), 1);
    EXPECT_EQ(queue->next(0, 10).at(0).raw, 2);
    EXPECT_EQ(countsPublished().size(), 3u);  // nothing sent twice on one connection
}

TEST_F(PublisherTest, AReconnectSendsWhatWasInFlightAgainInOrder) {
    mqtt.connect();
    queueCounts(1, 3);
    publisher->serve(50ms);
    mqtt.acknowledged = {mqtt.published[0].mid};
    mqtt.drop();
    queueCounts(4, 4);
    serveFor(1s);  // nothing goes while the broker is away
    mqtt.connect();
    serveFor(1s);
    EXPECT_EQ(countsPublished(), (std::vector<std::string>{"1", "2", "3", "2", "3", "4"}));
    mqtt.acknowledgeAll();
    serveFor(1s);
    EXPECT_EQ(queue->size(), 0);
}

TEST_F(PublisherTest, RetainedMessagesGoInRoundsAgainAfterAReconnect) {
    mqtt.connect();
    publisher->retainNow("qrt/test/status", "online");
    publisher->serve(50ms);
    EXPECT_EQ(mqtt.payloadsOn("qrt/test/status"), std::vector<std::string>{"online"});
    // A channel's last value waits for the next round, at most one a second.
    publisher->retainLastValue("qrt/test/5.1234/Count1/last", "a");
    publisher->retainLastValue("qrt/test/5.1234/Count1/last", "b");
    mqtt.acknowledgeAll();
    serveFor(2s);
    EXPECT_EQ(mqtt.payloadsOn("qrt/test/5.1234/Count1/last"), std::vector<std::string>{"b"});
    // Not acknowledged before the connection broke: sent again on the next one.
    mqtt.drop();
    mqtt.connect();
    serveFor(1s);
    EXPECT_EQ(mqtt.payloadsOn("qrt/test/5.1234/Count1/last"), (std::vector<std::string>{"b", "b"}));
    EXPECT_EQ(mqtt.payloadsOn("qrt/test/status").size(), 1u);  // acknowledged: not again
}

class SmallQueuePublisher : public PublisherTest {
  protected:
    SmallQueuePublisher() : PublisherTest(64 * 1024) {}
};

TEST_F(SmallQueuePublisher, DropsAreToldOnceWithTheirCount) {
    mqtt.connect();
    for (std::int32_t from = 1; from <= 20'000; from += 1000) {
        queueCounts(from, from + 999);
    }
    const std::uint64_t dropped = queue->dropped();
    ASSERT_GT(dropped, 0u);
    serveFor(2s);
    publisher->reportDrops(true);
    const std::string told = "{\"dropped\":" + std::to_string(dropped) + "}";
    EXPECT_EQ(mqtt.payloadsOn("qrt/test/status/dropped"), std::vector<std::string>{told});
    std::vector<std::string> drops;
    std::copy_if(said.begin(), said.end(), std::back_inserter(drops),
                 [](const std::string& line) { return line.find("dropped") != std::string::npos; });
    ASSERT_EQ(drops.size(), 1u);
    EXPECT_NE(drops[0].find(std::to_string(dropped) + " values dropped"), std::string::npos);
}

TEST_F(PublisherTest, AStopWaitsForTheBrokerNoLongerThanItsLimit) {
    mqtt.connect();
    queueCounts(1, 3);
    publisher->serve(50ms);
    const auto started = clock.elapsed;
    publisher->finish(1s, "offline");  // the broker never acknowledges
    EXPECT_GE(clock.elapsed - started, 1s);
    EXPECT_LT(clock.elapsed - started, 1s + 100ms);
    EXPECT_EQ(mqtt.closedWith, "offline");
    EXPECT_EQ(queue->size(), 3);  // kept for the next start
}

}  // namespace
}  // namespace qrt::gateway
