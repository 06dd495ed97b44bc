#include "commands/calibration.h"

#include "common/text_format.h"
#include "frames/byte_order.h"
#include "frames/command_codes.h"
#include "receive/channels.h"

namespace qrt::commands {

namespace {

using namespace std::chrono_literals;

constexpr std::uint32_t kParameterReadReply = 2;
constexpr std::uint32_t kTelegram = 0x100;  // type 0, kept non-zero while waited for
constexpr std::int32_t kWaitTicks = 10;
constexpr int kLimit = 1000;  // hundredths of a degree
constexpr std::chrono::milliseconds kWaitPause = 100ms;

// Why a wait that brought no reply ended.
CalibrationOutcome unanswered(receive::WaitEnd end) {
    switch (end) {
        case receive::WaitEnd::PortLost:
            return CalibrationOutcome::PortLost;
        case receive::WaitEnd::Stopped:
            return CalibrationOutcome::Interrupted;
        default:
            return CalibrationOutcome::NoAnswer;
    }
}

}  // namespace

CalibrationResult calibrate(int input, std::int16_t target, frames::FrameSender& sender,
                            common::Clock& clock, receive::Poller& poller,
                            const std::function<void(std::string_view)>& commLine) {
    CalibrationResult result;
    if (!sender.protocol().binaryProtocol) {
        return result;
    }
    const std::uint8_t offsetParameter = input == 1 ? 14 : 16;
    const std::uint8_t request = input == 1 ? 0 : 1;
    const std::uint8_t telegramBytePar = input == 1 ? 2 : 3;

    sender.SendInductiveFrame(frames::code::kNvr, 0, offsetParameter, true);
    const auto offsetReply =
        poller.awaitReply(kParameterReadReply, offsetParameter, kWaitTicks, kWaitPause);
    if (!offsetReply.arrived()) {
        result.outcome = unanswered(offsetReply.end);
        return result;
    }
    clock.sleep(200ms);
    const auto oldOffset = static_cast<std::int16_t>(frames::readLe16(offsetReply.frame, 5));
    result.oldOffset = oldOffset;

    sender.SendInductiveFrame(frames::code::kMeasure, 0, request, true);
    const auto telegram = poller.awaitReply(kTelegram, telegramBytePar, kWaitTicks, kWaitPause);
    if (!telegram.arrived()) {
        result.outcome = unanswered(telegram.end);
        return result;
    }
    const auto measured = static_cast<std::int16_t>(frames::readLe16(telegram.frame, 5));
    const auto diff = static_cast<std::int16_t>(measured - (target + oldOffset));
    if (diff > kLimit || diff < -kLimit) {
        // The texts keep the accented letters of the module's service software.
        commLine(
            "Kalibrierwert au\xC3\xAE"
            "erhalb des erlaubten Bereiches");
        result.outcome = CalibrationOutcome::OutOfRange;
        return result;
    }
    clock.sleep(200ms);
    const auto newOffset = static_cast<std::int16_t>(-diff);
    sender.SendInductiveFrame(frames::code::kNvw, static_cast<std::uint16_t>(newOffset),
                              offsetParameter, true);
    commLine(
        common::format<"Neuer Offsetwert %4.2f\xC3\x9D C">(newOffset * receive::kTemperatureScale));
    result.outcome = CalibrationOutcome::Written;
    result.newOffset = newOffset;
    return result;
}

}  // namespace qrt::commands
