// End to end: a firmware image transferred to qrt-sim and reassembled there.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "firmware/firmware_transfer.h"
#include "frames/frame_sender.h"
#include "link/link.h"
#include "link/qt_serial_port.h"
#include "receive/poller.h"
#include "support/child_process.h"
#include "support/fake_clock.h"
#include "support/recording_sink.h"
#include "support/temp_folder.h"

using namespace qrt;
using namespace qrt::testing;
using namespace std::chrono_literals;

namespace {

struct View final : firmware::FirmwareView {
    [[nodiscard]] firmware::FirmwareTarget target() const override { return targetFields; }
    [[nodiscard]] int speed() const override { return 2; }
    void showBlock(std::uint32_t) override {}
    void showBlockCount(std::uint32_t) override {}
    void showProgress(std::uint32_t, std::uint32_t) override {}
    void showStatus(const firmware::FirmwareStatus& reported) override { status = reported; }
    firmware::FirmwareTarget targetFields;
    std::optional<firmware::FirmwareStatus> status;
};

struct Case {
    bool multiplexed;
    bool singleModule;
};

class FirmwareEndToEnd : public ::testing::TestWithParam<Case> {
  protected:
    std::string path(const char* name) const { return folder_.file(name); }
    TempFolder folder_{"qrt_fw_e2e"};
};

std::string body(std::size_t size) {
    std::string bytes(size, '\0');
    std::uint32_t seed = 5;
    for (char& c : bytes) {
        seed = seed * 1103515245u + 12345u;
        c = static_cast<char>(seed >> 23);
    }
    return bytes;
}

}  // namespace

TEST_P(FirmwareEndToEnd, ImageArrivesWholeAndALostBlockIsResentOnStatRetry) {
    const Case c = GetParam();
    std::vector<std::string> args{QRT_SIM_PATH,
                                  "--link-a",
                                  path("a"),
                                  "--link-b",
                                  path("b"),
                                  "--module",
                                  "5.1234,lose_firmware_blocks=3",
                                  "--module",
                                  "5.99",
                                  "--firmware-out",
                                  path("received.bin")};
    if (c.multiplexed) {
        args.push_back("--mux");
    }
    ChildProcess sim(args, path("sim.log"));
    ASSERT_TRUE(waitFor([&] { return std::filesystem::exists(path("a")); }, 10s));
    const std::string image = body(128 * 9 + 40);
    std::ofstream(path("fw.bin"), std::ios::binary) << "DKM2\r\n" << image;

    std::ostringstream diagnostics;
    link::Link link(std::make_unique<link::QtSerialPort>(), std::make_unique<link::QtSerialPort>(),
                    diagnostics);
    link.setMultiplexed(c.multiplexed);
    ASSERT_TRUE(link.OpenPort(link::Port::A, path("a"), 19200, 0));
    frames::ProtocolSettings protocol;
    FakeClock clock;
    frames::FrameSender sender(link, protocol, clock);
    RecordingSink sink;
    receive::ArchiveStore archive;
    receive::Poller poller(link, protocol, clock, archive);
    View view;
    view.targetFields = {c.singleModule, frames::ModuleAddress{5, 1234}};
    firmware::FirmwareTransfer transfer(sender, clock, view);
    const common::Attachment attached = poller.attach(
        {.lines = &sink,
         .firmwarePacing = [&] { transfer.pace(); },
         .firmwareStatus = [&](const frames::StandardFrame& f) { transfer.statusReply(f); }});

    ASSERT_EQ(transfer.start(path("fw.bin")), firmware::FirmwareTransfer::StartResult::Started);
    while (transfer.running()) {
        poller.poll();
    }
    if (c.multiplexed) {
        EXPECT_TRUE(waitForText(path("sim.log"), "box< end of firmware transfer"));
    }
    auto statusAfterRequest = [&] {
        view.status.reset();
        view.targetFields.singleModule = true;
        transfer.requestStatus();
        waitFor(
            [&] {
                poller.poll();
                return view.status.has_value();
            },
            10s);
        return view.status;
    };
    EXPECT_EQ(statusAfterRequest(), firmware::FirmwareStatus::of(3));  // lost on the radio
    while (transfer.running()) {
        poller.poll();
    }
    EXPECT_EQ(statusAfterRequest(), firmware::FirmwareStatus::of(-1));  // the image whole
    const std::string received = readText(path("received.bin"));
    ASSERT_EQ(received.size(), 128u * 10);
    EXPECT_EQ(received.substr(0, image.size()), image);
    EXPECT_EQ(received.substr(image.size()), std::string(128 * 10 - image.size(), '\0'));
    if (!c.singleModule) {
        EXPECT_NE(readText(path("sim.log")).find("A< block header id 15.268435455"),
                  std::string::npos);
    }
}

INSTANTIATE_TEST_SUITE_P(Links, FirmwareEndToEnd,
                         ::testing::Values(Case{false, true}, Case{false, false}, Case{true, true},
                                           Case{true, false}),
                         [](const auto& param) {
                             return std::string(param.param.multiplexed ? "Multiplexed"
                                                                        : "Direct") +
                                    (param.param.singleModule ? "OneModule" : "AllModules");
                         });
