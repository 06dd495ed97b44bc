// How a calibration that writes no offset ends: the outcome qrt-cli's exit status rests on.
#include "commands/calibration.h"

#include <gtest/gtest.h>

#include "support/receive_fixture.h"

using namespace qrt;
using namespace qrt::testing;
using commands::CalibrationOutcome;

namespace {

// What happens while the calibration waits for the measurement, after the module has
// answered with its offset 1.00 degrees.
struct Case {
    const char* name;
    std::optional<std::int16_t> measured{};  // the telegram with the measured temperature
    bool unplugged = false;                  // the adapter is pulled
    bool stopped = false;                    // a termination signal arrives
    CalibrationOutcome outcome;
};

void PrintTo(const Case& c, std::ostream* out) {
    *out << c.name;
}

class Calibration : public ReceiveFixture, public ::testing::WithParamInterface<Case> {};

TEST_P(Calibration, EndsWithoutWritingAndSaysWhy) {
    const Case& c = GetParam();
    protocol.binaryProtocol = true;
    open();
    const auto offset = frames::buildStandardFrame(2, 0x60000010, 100, 14, 1, 0);
    portA->queueInput(bytesOf(offset));
    portA->queueInput({});  // the rest of the first poll brings nothing
    if (c.measured) {
        portA->queueInput(bytesOf(frames::buildStandardFrame(
            0x20, 0x60000010, static_cast<std::uint16_t>(*c.measured), 2, 2, 0)));
    }
    int asked = 0;
    const common::Attachment stopping = poller->attach({.stopWaiting = [&] {
        ++asked;
        if (c.unplugged && asked == 1) {
            portA->pullPlug();  // found at the measurement's first poll
        }
        return c.stopped && asked > 1;
    }});
    frames::FrameSender sender(*link, protocol, clock);
    const commands::CalibrationResult result =
        commands::calibrate(1, -13, sender, clock, *poller, [](std::string_view) {});
    EXPECT_EQ(result.outcome, c.outcome);
    EXPECT_EQ(result.oldOffset, 100);
    EXPECT_EQ(result.newOffset, 0);
}

INSTANTIATE_TEST_SUITE_P(
    NoOffsetWritten, Calibration,
    ::testing::Values(
        // 10.88 - (-0.13 + 1.00) = 10.01 degrees: beyond the 10.00 a calibration may correct.
        Case{.name = "OutOfRange", .measured = 1088, .outcome = CalibrationOutcome::OutOfRange},
        Case{.name = "NoMeasurement", .outcome = CalibrationOutcome::NoAnswer},
        Case{.name = "PortLost", .unplugged = true, .outcome = CalibrationOutcome::PortLost},
        Case{.name = "Interrupted", .stopped = true, .outcome = CalibrationOutcome::Interrupted}),
    [](const auto& test) { return std::string(test.param.name); });

}  // namespace
