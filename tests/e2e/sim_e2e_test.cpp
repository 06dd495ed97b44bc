// End to end: qrt-monitor and a small test client against qrt-sim over pseudo-terminals.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "frames/authenticator.h"
#include "frames/frame_sender.h"
#include "link/link.h"
#include "link/qt_serial_port.h"
#include "receive/poller.h"
#include "support/child_process.h"
#include "support/fake_clock.h"
#include "support/hex.h"
#include "support/recording_sink.h"
#include "support/temp_folder.h"

using namespace qrt;
using namespace qrt::testing;
using namespace std::chrono_literals;

namespace {

class SimEndToEnd : public ::testing::Test {
  protected:
    ~SimEndToEnd() override {
        monitor_.reset();
        sim_.reset();
    }
    std::string path(const char* name) const { return folder_.file(name); }

    void startSim(std::vector<std::string> args) {
        args.insert(args.begin(), {QRT_SIM_PATH, "--link-a", path("a"), "--link-b", path("b")});
        sim_ = std::make_unique<ChildProcess>(args, path("sim.log"));
        ASSERT_TRUE(waitForText(path("sim.log"), "interface A") ||
                    waitForText(path("sim.log"), "multiplexed link"))
            << readText(path("sim.log"));
    }
    void startMonitor(std::vector<std::string> args) {
        args.insert(args.begin(), {QRT_MONITOR_PATH, "--port", path("a")});
        monitor_ = std::make_unique<ChildProcess>(args, path("monitor.log"));
    }
    std::string simLog() const { return readText(path("sim.log")); }

    TempFolder folder_{"qrt_sim_e2e"};
    std::unique_ptr<ChildProcess> sim_;
    std::unique_ptr<ChildProcess> monitor_;
};

}  // namespace

TEST_F(SimEndToEnd, MonitorDecodesTheScenarioTelegramsOnADirectLink) {
    startSim({"--module", "5.1234,period=0.2,temp1=12.34,telegrams=temp1/short", "--module",
              "3.77,period=0.2,temp1=-4.5,battery=2.9"});
    startMonitor({});
    EXPECT_TRUE(waitForText(path("monitor.log"), "R:1 ID:5.1234 Temp1   T:12.34"));
    EXPECT_TRUE(waitForText(path("monitor.log"), "ID:210 T:12.34 B:3.00 1 0"));
    EXPECT_TRUE(waitForText(path("monitor.log"), "R:1 ID:3.77 T:-4.50 B:2.90"));
    EXPECT_EQ(monitor_->stop(SIGINT), 0);
}

TEST_F(SimEndToEnd, MonitorShowsTheSignalLevelOnAMultiplexedLink) {
    startSim({"--mux", "--module", "6.16,period=0.2,temp2=7.25,telegrams=temp2/batdig"});
    startMonitor({"--mux"});
    EXPECT_TRUE(waitForText(path("monitor.log"), "R:1 ID:6.16 Temp2   T:7.25  "));
    EXPECT_TRUE(
        waitForText(path("monitor.log"), "D     Temp1   T:21.50 Temp2   T:7.25  Count1  C:0 "));
    const std::string log = readText(path("monitor.log"));
    const auto line = log.find("Temp2   T:7.25 ");
    EXPECT_NE(log.find(" 50\n", line), std::string::npos);  // signal byte 0xC0
}

namespace {

// The tool's side of the link, built from the project's own link and frame code.
struct TestClient {
    explicit TestClient(bool multiplexed)
        : link(std::make_unique<link::QtSerialPort>(), std::make_unique<link::QtSerialPort>(),
               diagnostics),
          sender(link, protocol, clock),
          poller(link, protocol, clock, archive, {.fixedTimestamp = "T"}) {
        link.setMultiplexed(multiplexed);
    }
    /// Polls until the communication pane holds `text`.
    bool awaitComm(const std::string& text) {
        return waitFor(
            [&] {
                poller.poll();
                for (const std::string& line : sink.lines) {
                    if (line == "C " + text) {
                        return true;
                    }
                }
                return false;
            },
            10s);
    }
    std::ostringstream diagnostics;
    link::Link link;
    frames::ProtocolSettings protocol;
    FakeClock clock;
    frames::FrameSender sender;
    RecordingSink sink;
    receive::ArchiveStore archive;
    receive::Poller poller;
    common::Attachment attached = poller.attach({.lines = &sink});
};

}  // namespace

TEST_F(SimEndToEnd, CommandsFromATestClientAreLoggedByteForByteAndAnswered) {
    startSim({"--module", "5.1234,version=2.3", "--module", "6.16"});
    TestClient client(false);
    ASSERT_TRUE(client.link.OpenPort(link::Port::A, path("a"), 19200, 0));
    ASSERT_TRUE(client.link.OpenPort(link::Port::B, path("b"), 1200, 0));

    client.protocol.frameSequence = 41;
    client.sender.SendCommandFrame(11, 0x500004D2, 0, 14, client.protocol.nextSequence());
    const auto expected = frames::buildCommandFrame(11, 0x500004D2, 0, 14, 41, 0);
    std::string crc = toHex(std::span(expected).subspan(9));
    crc.erase(2, 1);
    EXPECT_TRUE(waitForText(path("sim.log"),
                            "A< NVR id 5.1234 wp 0x0000 bp 14 seq 41 crc " + crc + " crc ok"));
    EXPECT_TRUE(client.awaitComm("ID:5.1234 NVR:14:0 0x0"));

    const std::string ver = "\rVER\r";
    client.link.PortWrite(link::Target::PortB, std::vector<std::uint8_t>(ver.begin(), ver.end()));
    EXPECT_TRUE(waitForText(path("sim.log"), "B< text \\rVER\\r"));
    EXPECT_TRUE(client.awaitComm("ID:5.1234 Version:2.3 run"));

    client.sender.SendInductiveFrame(12, 0x0010, 20, false);
    EXPECT_TRUE(waitForText(path("sim.log"), "B< NVW wp 0x0010 bp 20 crc ok"));
    EXPECT_TRUE(client.awaitComm("ID:5.1234 NVW:20:16"));
}

TEST_F(SimEndToEnd, AuthenticatedModuleObeysTheRightKeyAndIgnoresAWrongOne) {
    startSim({"--module", "5.77,key=0123:4567:89AB:CDEF:FEDC:BA98:7654:3210"});
    TestClient client(false);
    ASSERT_TRUE(client.link.OpenPort(link::Port::A, path("a"), 19200, 0));
    const frames::TeaKey right =
        frames::keyFromWords({0x0123, 0x4567, 0x89AB, 0xCDEF, 0xFEDC, 0xBA98, 0x7654, 0x3210});
    const frames::TeaKey wrong =
        frames::keyFromWords({0x0123, 0x4567, 0x89AB, 0xCDEF, 0xFEDC, 0xBA98, 0x7654, 0x3211});

    client.sender.SendCommandFrame(12, 0x5000004D, 0x1234, 9, client.protocol.nextSequence());
    client.protocol.authKey = wrong;
    frames::SendAuthenticator(client.sender, true, 12, std::nullopt);
    EXPECT_TRUE(
        waitForText(path("sim.log"), "module 5.77 ignores NVW: authenticator does not check"));

    client.sender.SendCommandFrame(12, 0x5000004D, 0x1234, 9, client.protocol.nextSequence());
    client.protocol.authKey = right;
    frames::SendAuthenticator(client.sender, true, 12, std::nullopt);
    EXPECT_TRUE(client.awaitComm("ID:5.77 NVW:9:4660"));
    EXPECT_EQ(simLog().find("A> NVW reply"), simLog().rfind("A> NVW reply"));
}

TEST_F(SimEndToEnd, ClosingAndReopeningThePortKeepsTheSimulatorServing) {
    startSim({"--module", "5.1234"});
    for (int round = 0; round < 3; ++round) {
        TestClient client(false);
        ASSERT_TRUE(client.link.OpenPort(link::Port::A, path("a"), 19200, 0));
        client.sender.SendCommandFrame(15, 0x500004D2, 0, 0, client.protocol.nextSequence());
        EXPECT_TRUE(client.awaitComm("ID:5.1234 Version:1.0 run")) << "round " << round;
        client.link.ClosePort(link::Port::A);
    }
}

TEST_F(SimEndToEnd, PulledAdapterIsReportedOnceAndTheSimulatorComesBack) {
    startSim({"--module", "5.1234"});
    TestClient client(false);
    ASSERT_TRUE(client.link.OpenPort(link::Port::A, path("a"), 19200, 0));
    sim_->signal(SIGUSR1);
    ASSERT_TRUE(waitForText(path("sim.log"), "ports closed (adapter pulled)"));
    std::optional<link::Port> lost;
    EXPECT_TRUE(waitFor(
        [&] {
            client.poller.poll();
            lost = client.link.takeLostDevice();
            return lost.has_value();
        },
        5s));
    EXPECT_EQ(lost, link::Port::A);
    EXPECT_FALSE(client.link.isOpen(link::Port::A));
    sim_->signal(SIGUSR2);
    ASSERT_TRUE(waitForText(path("sim.log"), "ports back"));
    ASSERT_TRUE(client.link.OpenPort(link::Port::A, path("a"), 19200, 0));
    client.sender.SendCommandFrame(15, 0x500004D2, 0, 0, client.protocol.nextSequence());
    EXPECT_TRUE(client.awaitComm("ID:5.1234 Version:1.0 run"));
}

TEST_F(SimEndToEnd, BadScenarioExitsWithStatus2AndNamesTheKey) {
    std::ofstream(path("bad.ini")) << "[module 5.1]\nperiod=soon\n";
    ChildProcess sim({QRT_SIM_PATH, "--scenario", path("bad.ini")}, path("bad.log"));
    EXPECT_TRUE(waitForText(path("bad.log"), "[module 5.1] period: bad value 'soon'"));
    EXPECT_EQ(sim.stop(0), 2);  // signal 0: only wait for the exit
}
