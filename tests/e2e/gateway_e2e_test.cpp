// End to end: qrt-gateway between qrt-sim on pseudo-terminals and a real mosquitto broker,
// read by mosquitto_sub: the topics and payloads, nothing lost when the broker, the
// gateway or the adapter goes away, TLS, credentials and bad settings.
#include <sys/stat.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <thread>

#include "support/gateway_fixture.h"

using namespace qrt::testing;
using namespace std::chrono_literals;

namespace {

// A module whose counter telegram counts 1, 2, 3, ...: a gap shows a value lost.
constexpr const char* kCounting = "5.1234,period=0.1,telegrams=count1";

class GatewayEndToEnd : public GatewayFixture {
  protected:
    /// A certificate authority of the test's own, and certificates it signed for the host
    /// names "localhost" (good) and "elsewhere" (wrong).
    void makeCertificates() const {
        const auto make = [&](const std::string& name, const std::string& host) {
            return "openssl req -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -keyout " +
                   path(name + ".key") + " -out " + path(name + ".csr") + " -subj /CN=" + host +
                   " 2>/dev/null && printf 'subjectAltName=DNS:" + host + "' > " + path("ext") +
                   " && openssl x509 -req -in " + path(name + ".csr") + " -CA " + path("ca.crt") +
                   " -CAkey " + path("ca.key") + " -CAcreateserial -days 1 -extfile " +
                   path("ext") + " -out " + path(name + ".crt") + " 2>/dev/null";
        };
        ASSERT_EQ(runCommand("openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 "
                             "-nodes -days 1 -subj /CN=qrt-test-ca -keyout " +
                             path("ca.key") + " -out " + path("ca.crt") + " 2>/dev/null && " +
                             make("good", "localhost") + " && " + make("wrong", "elsewhere"))
                      .first,
                  0);
    }
    /// A mosquitto on `port` that speaks TLS only, with the certificate `name`.
    [[nodiscard]] std::unique_ptr<ChildProcess> startTlsBroker(const std::string& name,
                                                               int port) const {
        std::ofstream(path(name + ".conf"))
            << "listener " << port << " 127.0.0.1\nallow_anonymous true\n"
            << (::geteuid() == 0 ? "user root\n" : "") << "cafile " << path("ca.crt")
            << "\ncertfile " << path(name + ".crt") << "\nkeyfile " << path(name + ".key") << "\n";
        auto broker = std::make_unique<ChildProcess>(
            std::vector<std::string>{"/usr/sbin/mosquitto", "-c", path(name + ".conf")},
            path(name + "-broker.log"));
        waitFor([&] { return listening(port); }, 10s);
        return broker;
    }

    /// The counter values received on the counting module's topic, in order.
    [[nodiscard]] std::vector<int> counts() const {
        std::vector<int> values;
        std::istringstream lines(received());
        const std::regex value(R"(^qrt/test/5\.1234/Count1 \{.*"value":(\d+),.*)");
        std::smatch match;
        for (std::string line; std::getline(lines, line);) {
            if (std::regex_match(line, match, value)) {
                values.push_back(std::stoi(match[1]));
            }
        }
        return values;
    }
    /// Every count from 1 to the last arrived, each new one right after the highest so far.
    /// QoS 1 may deliver again what was in flight when a connection broke: a count seen
    /// before may come again, a count never seen may not skip one.
    void expectEveryCountInOrder(int atLeast) const {
        const std::vector<int> values = counts();
        ASSERT_FALSE(values.empty()) << received();
        int highest = 0;
        for (const int value : values) {
            ASSERT_LE(value, highest + 1) << "a gap after " << highest << "\n" << received();
            highest = std::max(highest, value);
        }
        EXPECT_GE(highest, atLeast);
    }
    [[nodiscard]] int highestCount() const {
        const std::vector<int> values = counts();
        return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
    }
    bool awaitCount(int count, std::chrono::milliseconds timeout = 20s) const {
        return waitFor([&] { return highestCount() >= count; }, timeout);
    }
};

}  // namespace

TEST_F(GatewayEndToEnd, ValuesArriveOnTheirTopicsAsQrtMonitorDecodesThem) {
    startBroker();
    startSim({"--module", "5.1234,period=0.2,telegrams=temp1/temp2/batdig", "--module",
              "6.16,period=0.3,temp1=19.75"});
    subscribe("#");
    startGateway({"--broker", broker_->url(), "--ha-discovery", "--lines"});
    ASSERT_TRUE(waitForText(path("sub.txt"), "qrt/test/5.1234/Bat_Dig ")) << received();
    ASSERT_TRUE(waitForText(path("sub.txt"), "qrt/test/6.16/Temp1/last "));
    // A reload (SIGHUP) reads the settings again and the gateway goes on.
    gateway_->signal(SIGHUP);
    ASSERT_TRUE(waitForText(path("gateway.log"), "settings reloaded: nothing to change now"))
        << readText(path("gateway.log"));
    const std::size_t before = received().size();
    ASSERT_TRUE(waitFor([&] { return received().size() > before; }, 5s));
    EXPECT_EQ(gateway_->stop(SIGTERM), 0);
    const std::string topics = received();
    EXPECT_NE(topics.find("qrt/test/status online\n"), std::string::npos) << topics;
    EXPECT_NE(topics.find("qrt/test/status offline\n"), std::string::npos);
    EXPECT_NE(topics.find("qrt/test/lines "), std::string::npos);
    EXPECT_TRUE(std::regex_search(
        topics,
        std::regex(R"(qrt/test/5\.1234/Temp1 \{"time":"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3})"
                   R"([+-]\d\d:\d\d","value":21\.50,"unit":"°C"\}\n)")))
        << topics;
    EXPECT_TRUE(std::regex_search(
        topics,
        std::regex(R"(homeassistant/sensor/qrt_[0-9a-f]{12}/5_1234_Temp1/config \{"name":"Temp1",)"
                   R"("unique_id":"qrt_[0-9a-f]{12}_5_1234_Temp1","state_topic":"qrt/test/)"
                   R"(5\.1234/Temp1/last",.*"device_class":"temperature",)"
                   R"("state_class":"measurement")")))
        << topics;

    // The same traffic through qrt-monitor --values gives the same values.
    const auto monitor = runCommand(std::string(QRT_MONITOR_PATH) + " --port " + path("a") +
                                    " --values " + path("values.csv") +
                                    " > /dev/null & sleep 2; "
                                    "kill -INT $!; wait $!");
    std::set<std::string> fromMonitor;
    std::istringstream csv(readText(path("values.csv")));
    const std::regex row(R"(^[^,]+,([^,]+),([^,]+),([^,]+),([^,\r]+)\r?$)");
    std::smatch match;
    for (std::string line; std::getline(csv, line);) {
        if (std::regex_match(line, match, row) && match[1] != "module") {
            fromMonitor.insert(match[1].str() + "/" + match[2].str() + " " + match[3].str() + " " +
                               match[4].str());
        }
    }
    std::set<std::string> fromBroker;
    const std::regex message(
        R"re(^qrt/test/([^/ ]+)/([^/ ]+) \{.*"value":([^,]+),"unit":"([^"]+)"\}$)re");
    std::istringstream lines(topics);
    for (std::string line; std::getline(lines, line);) {
        if (std::regex_match(line, match, message)) {
            fromBroker.insert(match[1].str() + "/" + match[2].str() + " " + match[3].str() + " " +
                              match[4].str());
        }
    }
    EXPECT_EQ(fromBroker, fromMonitor);
}

TEST_F(GatewayEndToEnd, ABrokerKilledForFifteenSecondsLosesNothing) {
    startBroker();
    startSim({"--module", kCounting});
    subscribe("qrt/test/5.1234/Count1");
    startGateway({"--broker", broker_->url()});
    // Three seconds in, the broker has saved the subscriber's session (every second).
    ASSERT_TRUE(awaitCount(30)) << received() << readText(path("gateway.log"));
    broker_->kill();
    std::this_thread::sleep_for(15s);  // the gateway goes on decoding and queueing
    broker_->start();
    const int sent = 30 + 140;  // about ten counts a second while the broker was away
    ASSERT_TRUE(awaitCount(sent, 30s)) << readText(path("gateway.log"));
    expectEveryCountInOrder(sent);
    EXPECT_TRUE(waitForText(path("gateway.log"), "connected to " + broker_->url()));
}

TEST_F(GatewayEndToEnd, AGatewayKilledSendsWhatWasQueuedWhenItComesBack) {
    startSim({"--module", kCounting});
    broker_ = std::make_unique<MqttBroker>(folder_.path().string());
    broker_->kill();  // nothing listens: the values wait in the queue
    startGateway({"--broker", broker_->url()});
    // The first refusal is told right after the first poll has written its values down;
    // the kill falls between two polls, when everything read is in the queue (the
    // telegrams sent meanwhile wait in the port for the next gateway).
    ASSERT_TRUE(waitForText(path("gateway.log"), "cannot connect to"));
    std::this_thread::sleep_for(2250ms);
    gateway_->stop(SIGKILL);
    broker_->start();
    subscribe("qrt/test/5.1234/Count1");
    startGateway({"--broker", broker_->url()});
    ASSERT_TRUE(awaitCount(40)) << readText(path("gateway.log"));
    expectEveryCountInOrder(40);
}

TEST_F(GatewayEndToEnd, AnUnreachableBrokerAtStartIsReachedLater) {
    startSim({"--module", kCounting});
    broker_ = std::make_unique<MqttBroker>(folder_.path().string());
    broker_->kill();
    startGateway({"--broker", broker_->url(), "--mqtt-version", "5"});
    ASSERT_TRUE(waitForText(path("gateway.log"), "cannot connect to"));
    std::this_thread::sleep_for(2s);
    broker_->start();
    subscribe("qrt/test/5.1234/Count1");
    ASSERT_TRUE(awaitCount(30, 30s)) << readText(path("gateway.log"));
    expectEveryCountInOrder(30);
    // The broker's log names the protocol level the gateway connected with.
    EXPECT_TRUE(
        std::regex_search(readText(path("broker.log")), std::regex(R"(as qrt-gateway-\S+ \(p5, )")))
        << readText(path("broker.log"));
}

TEST_F(GatewayEndToEnd, ValuesQueuedWhileTheBrokerIsAwayAreOnItBeforeTheStatusSaysOffline) {
    startBroker();
    startSim({"--module", kCounting});
    subscribe("qrt/test/#");
    startGateway({"--broker", broker_->url()});
    ASSERT_TRUE(awaitCount(5)) << readText(path("gateway.log"));
    // The broker stops answering while the connection stays up; the gateway goes on
    // queueing and is told to stop before the broker answers again.
    broker_->signal(SIGSTOP);
    std::this_thread::sleep_for(2s);
    gateway_->signal(SIGTERM);
    std::this_thread::sleep_for(300ms);
    broker_->signal(SIGCONT);
    EXPECT_EQ(gateway_->stop(SIGTERM), 0);
    EXPECT_TRUE(waitForText(path("gateway.log"), "stopped; 0 values kept in the queue"))
        << readText(path("gateway.log"));
    ASSERT_TRUE(waitForText(path("sub.txt"), "qrt/test/status offline\n")) << received();
    expectEveryCountInOrder(20);
    const std::string topics = received();
    EXPECT_LT(topics.rfind("qrt/test/5.1234/Count1 "), topics.find("qrt/test/status offline\n"))
        << topics;
}

TEST_F(GatewayEndToEnd, APulledAdapterIsPortLostUntilItIsBack) {
    startBroker();
    startSim({"--module", kCounting});
    subscribe("qrt/test/#");
    startGateway({"--broker", broker_->url()});
    ASSERT_TRUE(awaitCount(3));
    sim_->signal(SIGUSR1);
    ASSERT_TRUE(waitForText(path("sub.txt"), "qrt/test/status port lost")) << received();
    EXPECT_TRUE(waitForText(path("gateway.log"), "port lost: " + path("a")));
    const int before = highestCount();
    sim_->signal(SIGUSR2);
    EXPECT_TRUE(awaitCount(before + 10)) << readText(path("gateway.log"));
    const std::vector<int> values = counts();
    EXPECT_EQ(std::count(values.begin(), values.end(), 1), 1);  // counting on, not anew
}

TEST_F(GatewayEndToEnd, TlsChecksTheBrokerCertificate) {
    makeCertificates();
    startSim({"--module", kCounting});
    for (const std::string name : {"good", "wrong"}) {
        const int port = freeLocalPort();
        const auto broker = startTlsBroker(name, port);
        ASSERT_TRUE(listening(port));
        const std::string url = "mqtts://localhost:" + std::to_string(port);
        startGateway({"--broker", url, "--cafile", path("ca.crt")});
        if (name == "good") {
            EXPECT_TRUE(waitForText(path("gateway.log"), "connected to " + url))
                << readText(path("gateway.log"));
        } else {
            EXPECT_TRUE(waitForText(path("gateway.log"), "cannot connect to " + url))
                << readText(path("gateway.log"));
            EXPECT_EQ(readText(path("gateway.log")).find("connected to " + url + "\n"),
                      std::string::npos);
        }
        gateway_.reset();
        std::filesystem::remove(path("gateway.log"));
    }
}

TEST_F(GatewayEndToEnd, ATlsBrokerAwayAtStartIsToldAndReachedOnceItListens) {
    makeCertificates();
    startSim({"--module", kCounting});
    const int port = freeLocalPort();
    const std::string url = "mqtts://localhost:" + std::to_string(port);
    startGateway({"--broker", url, "--cafile", path("ca.crt")});
    ASSERT_TRUE(
        waitForText(path("gateway.log"), "cannot connect to " + url + ": Connection refused"))
        << readText(path("gateway.log"));
    const auto broker = startTlsBroker("good", port);
    EXPECT_TRUE(waitForText(path("gateway.log"), "connected to " + url + "\n", 20s))
        << readText(path("gateway.log"));
}

TEST_F(GatewayEndToEnd, CredentialsComeFromAPrivateFileAndWrongOnesEndTheGateway) {
    ASSERT_EQ(runCommand("mosquitto_passwd -b -c " + path("passwords") + " meter secret").first, 0);
    ::chmod(path("passwords").c_str(), 0644);  // the broker, if it changed user, reads it too
    startBroker("allow_anonymous false\npassword_file " + path("passwords") + "\n");
    startSim({"--module", kCounting});
    const std::string gateway = std::string(QRT_GATEWAY_PATH) + " --port-a " + path("a") +
                                " --queue " + path("queue") + " --broker " + broker_->url() +
                                " --credentials " + path("credentials") + " 2>&1";
    std::ofstream(path("credentials")) << "meter\nwrong\n";
    ::chmod(path("credentials").c_str(), 0600);
    const auto [refused, why] = runCommand("timeout 20 " + gateway);
    EXPECT_EQ(refused, 2) << why;
    EXPECT_NE(why.find("refuses"), std::string::npos) << why;

    ::chmod(path("credentials").c_str(), 0644);
    const auto [open, said] = runCommand("timeout 20 " + gateway);
    EXPECT_EQ(open, 2) << said;
    EXPECT_NE(said.find("is readable by others"), std::string::npos) << said;

    std::ofstream(path("credentials")) << "meter\nsecret\n";
    ::chmod(path("credentials").c_str(), 0600);
    startGateway({"--broker", broker_->url(), "--credentials", path("credentials")});
    EXPECT_TRUE(waitForText(path("gateway.log"), "connected to " + broker_->url()));
}

TEST_F(GatewayEndToEnd, BadSettingsAreRefusedAtStartAndAFullQueueDropsTheOldestSaying) {
    ASSERT_EQ(::mkdir(path("locked").c_str(), 0500), 0);
    std::ofstream(path("misspelt.conf")) << "queue-limt = 2G\n";
    const std::string gateway = std::string(QRT_GATEWAY_PATH) + " --port-a " + path("a") + " ";
    struct Case {
        std::string arguments;
        std::string message;
    };
    for (const Case& c : {
             Case{"--broker http://x --queue " + path("q"), "--broker 'http://x' is not"},
             Case{"--broker mqtt://host:99999 --queue " + path("q"), "is not mqtt://"},
             Case{"--broker mqtts://localhost --cafile " + path("none.crt") + " --queue " +
                      path("q"),
                  "cannot read " + path("none.crt")},
             Case{"--broker mqtts://localhost --queue " + path("q"), "needs --cafile"},
             Case{"--broker mqtt://localhost --queue " + path("locked/q"),
                  "cannot make the queue folder " + path("locked/q") + ": Permission denied"},
             Case{"--broker mqtt://localhost --queue-limit lots", "--queue-limit 'lots'"},
             Case{"--broker mqtt://localhost --config /dev/zero", "is not a regular file"},
             Case{"--broker mqtt://localhost --prefix 'qrt/#'", "--prefix holds a wildcard"},
             Case{"--broker mqtt://localhost --config " + path("misspelt.conf"),
                  "names no option of qrt-gateway: 'queue-limt'"},
         }) {
        if (::geteuid() == 0 && c.arguments.find("locked") != std::string::npos) {
            continue;  // root writes anywhere
        }
        const auto [status, output] = runCommand("timeout 10 " + gateway + c.arguments + " 2>&1");
        EXPECT_EQ(status, 2) << c.arguments << ": " << output;
        EXPECT_NE(output.find(c.message), std::string::npos) << c.arguments << ": " << output;
    }

    // No broker and the smallest queue: the oldest values go, counted and told at once.
    std::vector<std::string> busy;
    for (int serial = 1; serial <= 20; ++serial) {
        busy.insert(busy.end(),
                    {"--module", "5." + std::to_string(serial) + ",period=0.005,telegrams=count1"});
    }
    startSim(busy);
    startGateway(
        {"--broker", "mqtt://127.0.0.1:" + std::to_string(freeLocalPort()), "--queue-limit", "1M"});
    EXPECT_TRUE(waitForText(path("gateway.log"),
                            "values dropped (the queue reached its limit of 1048576 bytes)", 30s))
        << readText(path("gateway.log"));
}

// A bad option is a failure to systemd (2), named on standard error; help and version are not.
TEST(GatewayCommandLine, ABadOptionExitsTwoNamingItWhileHelpAndVersionExitZero) {
    struct Case {
        std::string arguments;
        int status;
        std::string named;
    };
    for (const Case& c : {
             Case{"--broker mqtt://localhost --keepalive 2", 2, "--keepalive"},
             Case{"--broker mqtt://localhost --mqtt-version 4", 2, "--mqtt-version"},
             Case{"--broker mqtt://localhost --no-such-option", 2, "--no-such-option"},
             Case{"--port-a ttyUSB0", 2, "--broker is required"},
             Case{"--help", 0, ""},
             Case{"--version", 0, ""},
         }) {
        const auto [status, errors] = runCommand("timeout 10 " + std::string(QRT_GATEWAY_PATH) +
                                                 " " + c.arguments + " 2>&1 >/dev/null");
        EXPECT_EQ(status, c.status) << c.arguments << ": " << errors;
        EXPECT_NE(errors.find(c.named), std::string::npos) << c.arguments << ": " << errors;
    }
}
