#include "commands/calibration.h"

#include "common/text_format.h"
#include "frames/byte_order.h"
#include "frames/command_codes.h"

namespace qrt::commands {

namespace {

using namespace std::chrono_literals;

constexpr std::uint32_t kParameterReadReply = 2;
constexpr std::uint32_t kTelegram = 0x100;  // type 0, kept non-zero while waited for
constexpr std::int32_t kWaitTicks = 10;
constexpr int kLimit = 1000;  // hundredths of a degree
constexpr std::chrono::milliseconds kWaitPause = 100ms;

}  // namespace

CalibrationOutcome calibrate(int input, frames::FrameSender& sender, common::Clock& clock,
                             receive::Poller& poller, const common::SettingsFile& settings,
                             const std::function<void(std::string_view)>& commLine) {
    if (!sender.protocol().binaryProtocol) {
        return CalibrationOutcome::Skipped;
    }
    const std::uint8_t offsetParameter = input == 1 ? 14 : 16;
    const std::uint8_t request = input == 1 ? 0 : 1;
    const std::uint8_t telegramBytePar = input == 1 ? 2 : 3;
    const auto target = static_cast<std::int16_t>(settings.readInt("Calib", "Offset", -13));

    sender.SendInductiveFrame(frames::code::kNvr, 0, offsetParameter, true);
    const auto offsetReply =
        poller.awaitReply(kParameterReadReply, offsetParameter, kWaitTicks, kWaitPause);
    if (!offsetReply) {
        return CalibrationOutcome::NoAnswer;
    }
    clock.sleep(200ms);
    const auto oldOffset = static_cast<std::int16_t>(frames::readLe16(*offsetReply, 5));

    sender.SendInductiveFrame(frames::code::kMeasure, 0, request, true);
    const auto telegram = poller.awaitReply(kTelegram, telegramBytePar, kWaitTicks, kWaitPause);
    if (!telegram) {
        return CalibrationOutcome::NoAnswer;
    }
    const auto measured = static_cast<std::int16_t>(frames::readLe16(*telegram, 5));
    const auto diff = static_cast<std::int16_t>(measured - (target + oldOffset));
    if (diff > kLimit || diff < -kLimit) {
        // The texts keep the accented letters of the module's service software.
        commLine(
            "Kalibrierwert au\xC3\xAE"
            "erhalb des erlaubten Bereiches");
        return CalibrationOutcome::OutOfRange;
    }
    clock.sleep(200ms);
    const auto newOffset = static_cast<std::int16_t>(-diff);
    sender.SendInductiveFrame(frames::code::kNvw, static_cast<std::uint16_t>(newOffset),
                              offsetParameter, true);
    commLine(common::format<"Neuer Offsetwert %4.2f\xC3\x9D C">(newOffset * 0.01));
    return CalibrationOutcome::Written;
}

}  // namespace qrt::commands
