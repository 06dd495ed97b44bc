#include "commands/service_commands.h"

#include "common/text_format.h"
#include "frames/command_codes.h"

namespace qrt::commands {

namespace {

using namespace std::chrono_literals;

using namespace frames::code;

std::uint8_t bcd(int value) {
    const int twoDigits = value % 100;
    return static_cast<std::uint8_t>(((twoDigits / 10) << 4) | (twoDigits % 10));
}

std::uint16_t bcdPair(int high, int low) {
    return static_cast<std::uint16_t>((bcd(high) << 8) | bcd(low));
}

}  // namespace

void ServiceCommands::sendText(const std::string& text) {
    sender_.SendBreak();
    sender_.link().PortWrite(
        link::Target::PortB,
        std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

void ServiceCommands::sendFrame(std::uint8_t code, std::uint16_t wordPar, std::uint8_t bytePar) {
    sender_.SendInductiveFrame(code, wordPar, bytePar, true);
}

void ServiceCommands::sendEither(const std::string& text, std::uint8_t code, std::uint16_t wordPar,
                                 std::uint8_t bytePar) {
    if (sender_.protocol().binaryProtocol) {
        sendFrame(code, wordPar, bytePar);
    } else {
        sendText(text);
    }
}

void ServiceCommands::version() {
    sendEither("\rVER\r", kVer, 0, 0);
}

void ServiceCommands::parameterPage() {
    sendEither(common::format<"\rNVP%i\r">(kNvpTextNumber), kNvr, 0, 255);
}

void ServiceCommands::writeParameter(std::uint8_t number, std::int32_t value) {
    sendEither(common::format<"\rNVW%u,%i\r">(number, value), kNvw,
               static_cast<std::uint16_t>(value), number);
}

void ServiceCommands::start() {
    sendEither("\rOPR1,4,1\r", kOpr, 4, 1);
}

void ServiceCommands::stop() {
    sendEither("\rOPR0\r", kOpr, 0, 0);
}

void ServiceCommands::logOn() {
    if (sender_.protocol().binaryProtocol) {
        sendFrame(kOpr, 0, 0x82);
    }
}

void ServiceCommands::logOff() {
    if (sender_.protocol().binaryProtocol) {
        sendFrame(kOpr, 0, 0x80);
    }
}

void ServiceCommands::getClock() {
    if (!sender_.protocol().binaryProtocol) {
        return;
    }
    sendFrame(kNvr, 0, 65);
    clock_.sleep(400ms);
    sendFrame(kNvr, 0, 66);
}

void ServiceCommands::setClock() {
    if (!sender_.protocol().binaryProtocol) {
        return;
    }
    const common::DateTime now = clock_.utcTime();
    sendFrame(kNvw, bcdPair(now.minute, now.second), 66);
    clock_.sleep(200ms);
    sendFrame(kNvw, bcdPair(now.day, now.hour), 68);
    clock_.sleep(200ms);
    sendFrame(kNvw, bcdPair(now.year, now.month), 71);
}

void ServiceCommands::measure(std::uint16_t wordPar, std::uint8_t bytePar) {
    if (sender_.protocol().binaryProtocol) {
        sendFrame(kMeasure, wordPar, bytePar);
    }
}

void ServiceCommands::boxCommand(std::uint8_t byte) {
    sender_.link().PortWrite(link::Target::BoxChannel, std::span(&byte, 1));
}

void ServiceCommands::beep(int length) {
    boxCommand(static_cast<std::uint8_t>(frames::box::kBeep | (length & 7)));
    clock_.sleep(10ms);
}

void ServiceCommands::radioSettings(int channel, int power) {
    auto write = [&](const std::string& text) {
        sender_.link().PortWrite(
            link::Target::PortA,
            std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
    };
    write(common::format<"ER_CMD#C%u">(static_cast<unsigned>(channel)));
    clock_.sleep(35ms);
    write("ACK");
    clock_.sleep(100ms);
    write(common::format<"ER_CMD#p%u">(static_cast<unsigned>(power)));
    clock_.sleep(35ms);
    write("ACK");
}

}  // namespace qrt::commands
