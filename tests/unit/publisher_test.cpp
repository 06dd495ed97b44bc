// The publisher's rules with a broker session in memory and virtual time: the order and
// the acknowledgements of queued values, a reconnect with values in flight, retained
// rounds, a full disk, drops and the queue's health told, and a stop that waits no longer
// than its limit.
#include "gateway/publisher.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

#include "gateway/messages.h"
#include "support/fake_clock.h"
#include "support/fake_mqtt_session.h"
#include "support/file_size_limit.h"
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
            m.time = clock.timestamp();
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
    void serveFor(std::chrono::milliseconds time, bool acknowledging = false) {
        for (const auto until = clock.elapsed + time; clock.elapsed < until;) {
            publisher->serve(50ms);
            if (acknowledging) {
                mqtt.acknowledgeAll();
            }
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
    // A new connection may be to a broker that lost its retained messages: all go again.
    mqtt.drop();
    mqtt.connect();
    serveFor(1s);
    EXPECT_EQ(mqtt.payloadsOn("qrt/test/5.1234/Count1/last"), (std::vector<std::string>{"b", "b"}));
    EXPECT_EQ(mqtt.payloadsOn("qrt/test/status"), (std::vector<std::string>{"online", "online"}));
}

TEST_F(PublisherTest, WhileTheDiskTakesNothingValuesGoStraightToTheBrokerAndNoneIsLost) {
    mqtt.connect();
    std::size_t mostInMemory = 0;
    {
        const testing::FileSizeLimit full(64 * 1024);
        for (std::int32_t from = 1; from <= 20'000; from += 500) {
            queueCounts(from, from + 499);
            mostInMemory = std::max(mostInMemory, queue->inMemory());
            publisher->serve(50ms);
            mqtt.acknowledgeAll();
        }
        serveFor(2s);
    }
    EXPECT_GT(mostInMemory, 0U);  // the disk took none of them
    serveFor(2s);
    std::vector<std::string> expected;
    for (int count = 1; count <= 20'000; ++count) {
        expected.push_back(std::to_string(count));
    }
    EXPECT_EQ(countsPublished(), expected);
    EXPECT_EQ(queue->dropped(), 0U);
    EXPECT_EQ(queue->size(), 0);
}

TEST_F(PublisherTest, TellsTheWholeBacklogAndTheQueuesHealthAtMostEveryTenSeconds) {
    queueCounts(1, 5000);
    clock.sleep(3s);  // the oldest value waits 3 s by now
    mqtt.connect();
    publisher->serve(50ms);
    publisher->serve(50ms);  // the health goes in the next round of retained messages
    EXPECT_EQ(said.at(0), "queue draining: 5000 values");
    const std::string topic = "qrt/test/status/queue";
    EXPECT_EQ(mqtt.payloadsOn(topic),
              std::vector<std::string>{R"({"waiting":5000,"oldest_age_s":3,"dropped":0})"});
    serveFor(9s, true);
    EXPECT_EQ(mqtt.payloadsOn(topic).size(), 1u);
    serveFor(2s, true);
    EXPECT_EQ(mqtt.payloadsOn(topic),
              (std::vector<std::string>{R"({"waiting":5000,"oldest_age_s":3,"dropped":0})",
                                        R"({"waiting":0,"oldest_age_s":0,"dropped":0})"}));
}

TEST_F(PublisherTest, ABrokerThatRefusesEveryMessageIsWaitedOnNotAskedWithoutPause) {
    mqtt.connect();
    mqtt.refusesPublishing = true;
    queueCounts(1, 3);
    for (int i = 0; i < 10; ++i) {
        publisher->serve(50ms);
    }
    EXPECT_GE(clock.elapsed, 500ms);
}

class SmallQueuePublisher : public PublisherTest {
  protected:
    SmallQueuePublisher() : PublisherTest(128 * 1024) {}
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
    EXPECT_NE(
        drops[0].find(std::to_string(dropped) + " values dropped (the queue reached its limit"),
        std::string::npos)
        << drops[0];
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
