#include "sim/module.h"

#include <cmath>
#include <numbers>
#include <string>

#include "common/scan.h"
#include "frames/authenticator.h"
#include "frames/command_codes.h"
#include "frames/device_frames.h"

namespace qrt::sim {

namespace {

using namespace std::chrono;
namespace code = frames::code;

constexpr std::uint8_t kTelegramHeader = 0x20;  // R field 1: a spontaneous telegram
constexpr std::uint8_t kTimeParameter = 65;
constexpr std::uint8_t kDateParameter = 66;
namespace archive_request = frames::archive_request;
constexpr std::uint8_t kNvpQuery = 255;
constexpr std::uint8_t kOffsetPt = 14;
constexpr std::uint8_t kOffsetPt2 = 16;

int fromBcd(std::uint8_t value) {
    return (value >> 4) * 10 + (value & 0x0F);
}

Bytes bytesOf(const auto& frame) {
    return {frame.begin(), frame.end()};
}

}  // namespace

Module::Module(ModuleConfig config, std::uint16_t crcStart)
    : config_(std::move(config)), crcStart_(crcStart), running_(config_.running) {
    if (config_.archive.rows > 0) {
        archive_ = std::make_unique<ArchiveRing>(config_.archive);
    }
    archiveLosses_ = config_.loseArchiveBlocks;
    firmware_.loseOnce = config_.loseFirmwareBlocks;
    parameters_[6] = 7;  // radio channel
}

bool Module::requiresAuthenticator(std::uint8_t code) const {
    return config_.authKey.has_value() && frames::takesAuthenticator(code);
}

bool Module::authenticatorValid(const frames::StandardFrame& command,
                                std::span<const frames::ContentBlock> contents) const {
    if (!config_.authKey || contents.empty()) {
        return false;
    }
    std::optional<frames::ContentBlock> lastContent;
    if (contents.size() >= 2) {
        lastContent = contents[contents.size() - 2];
    }
    return frames::authenticatorBlock(command, lastContent, *config_.authKey) == contents.back();
}

std::uint16_t Module::parameter(std::uint8_t number) const {
    const auto found = parameters_.find(number);
    return found == parameters_.end() ? 0 : found->second;
}

Transmission Module::reply(std::uint8_t type, std::uint16_t wordPar, std::uint8_t bytePar,
                           std::uint8_t sequence, std::string what) const {
    return {bytesOf(frames::buildStandardFrame(type, id(), wordPar, bytePar, sequence, crcStart_)),
            std::move(what)};
}

Transmission Module::telegram(std::uint16_t wordPar, std::uint8_t bytePar, std::string what) {
    return {bytesOf(frames::buildStandardFrame(kTelegramHeader, id(), wordPar, bytePar,
                                               telegramSequence_++, crcStart_)),
            std::move(what)};
}

std::int16_t Module::measuredTemperature(int input) const {
    // What the sensor reads: the true temperature corrected by the offset parameter.
    const int offset = static_cast<std::int16_t>(parameter(input == 1 ? kOffsetPt : kOffsetPt2));
    return static_cast<std::int16_t>((input == 1 ? config_.temp1 : config_.temp2) + offset);
}

std::vector<Transmission> Module::handle(const Request& request, sys_seconds now) {
    const std::uint8_t seq = request.sequence;
    switch (request.code) {
        case code::kInf:
            return {reply(7, request.bytePar == 1 ? config_.battery : parameter(request.bytePar),
                          request.bytePar, seq, "INF reply")};
        case code::kNvr:
            return parameterRead(request, now);
        case code::kNvw:
            return parameterWrite(request, now);
        case code::kDbr:
            return samples(request, 8);
        case code::kVer:
            return {reply(
                1, static_cast<std::uint16_t>((config_.versionMajor << 8) | config_.versionMinor),
                running_ ? 0 : 1, seq, "VER reply")};
        case code::kOpr:
            return operate(request);
        case code::kFirmwareStart:
            firmware_.start(request.wordPar, static_cast<int>(config_.address.type));
            return {};
        case code::kFirmwareControl:
            return firmwareControl(request);
        case code::kMeasure:
            return measure(request);
        case code::kDbw:
            return samples(request, 26);
        default:
            return {};
    }
}

std::vector<Transmission> Module::parameterRead(const Request& request, sys_seconds now) {
    const std::uint8_t bp = request.bytePar;
    const std::uint8_t seq = request.sequence;
    if (archive_ && bp == archive_request::kInfo) {
        return {reply(2, archive_->writeWord(), bp, seq, "archive info reply")};
    }
    if (archive_ && bp == archive_request::kWrapCheck) {
        return {reply(2, archive_->wrapped() ? 0 : 0xFFFF, bp, seq, "archive wrap check reply")};
    }
    if (archive_ && bp > archive_request::kBatch &&
        bp <= archive_request::kBatch + archive_request::kMaxBatch) {
        return archiveBlocks(request, bp - archive_request::kBatch);
    }
    if (bp == kNvpQuery) {
        return {reply(4, static_cast<std::uint16_t>(parameters_.size()), bp, seq, "NVP reply")};
    }
    const sys_seconds moduleTime = clockAt(now);
    if (bp == kTimeParameter) {
        const auto minute = duration_cast<minutes>(moduleTime - floor<days>(moduleTime)).count();
        return {reply(2, static_cast<std::uint16_t>(minute), bp, seq, "NVR time reply")};
    }
    if (bp == kDateParameter) {
        const year_month_day date{floor<days>(moduleTime)};
        const auto packed = static_cast<std::uint16_t>(
            static_cast<unsigned>(date.day()) | (static_cast<unsigned>(date.month()) << 5) |
            ((static_cast<int>(date.year()) - 2000) << 9));
        return {reply(2, packed, bp, seq, "NVR date reply")};
    }
    return {reply(2, parameter(bp), bp, seq, "NVR reply")};
}

std::vector<Transmission> Module::parameterWrite(const Request& request, sys_seconds now) {
    const std::uint8_t bp = request.bytePar;
    if (bp == 66 || bp == 68 || bp == 71) {
        setClockField(bp, request.wordPar, now);
    } else {
        parameters_[bp] = request.wordPar;
    }
    return {reply(3, request.wordPar, bp, request.sequence, "NVW reply")};
}

void Module::setClockField(std::uint8_t parameter, std::uint16_t bcd, sys_seconds now) {
    // The clock is written as BCD pairs: 66 minutes:seconds, 68 day:hours, 71 year:month.
    const sys_seconds current = clockAt(now);
    const sys_days day = floor<days>(current);
    year_month_day date{day};
    hh_mm_ss<seconds> time{current - day};
    int hour = static_cast<int>(time.hours().count());
    int minute = static_cast<int>(time.minutes().count());
    int second = static_cast<int>(time.seconds().count());
    const int high = fromBcd(static_cast<std::uint8_t>(bcd >> 8));
    const int low = fromBcd(static_cast<std::uint8_t>(bcd));
    if (parameter == 66) {
        minute = high % 60;
        second = low % 60;
    } else if (parameter == 68) {
        date = year_month_day{date.year(), date.month(),
                              std::chrono::day(static_cast<unsigned>(high))};
        hour = low % 24;
    } else {
        date = year_month_day{std::chrono::year(2000 + high),
                              std::chrono::month(static_cast<unsigned>(low)), date.day()};
    }
    if (!date.ok()) {
        return;
    }
    const sys_seconds wanted = sys_days{date} + hours(hour) + minutes(minute) + seconds(second);
    clockOffset_ = wanted - now;
}

std::vector<Transmission> Module::operate(const Request& request) {
    switch (request.bytePar) {
        case 1:
            running_ = true;
            break;
        case 0:
            running_ = false;
            break;
        case 0x82:
            logging_ = true;
            break;
        case 0x80:
            logging_ = false;
            break;
        default:
            break;
    }
    return {reply(1, static_cast<std::uint16_t>((config_.versionMajor << 8) | config_.versionMinor),
                  running_ ? 0 : 1, request.sequence, "OPR reply (run state)")};
}

std::vector<Transmission> Module::measure(const Request& request) {
    switch (request.bytePar) {
        case 0:
            return {
                telegram(static_cast<std::uint16_t>(measuredTemperature(1)), 2, "measured Temp1")};
        case 1:
        case 2:
            return {
                telegram(static_cast<std::uint16_t>(measuredTemperature(2)), 3, "measured Temp2")};
        case 3:
            return {telegram(static_cast<std::uint16_t>(config_.battery | (running_ ? 0x100 : 0)),
                             0, "measured battery and digital inputs")};
        default:
            return {};  // the LED flash shows on the module only
    }
}

std::vector<Transmission> Module::samples(const Request& request, std::uint8_t replyType) {
    std::vector<Transmission> out;
    out.push_back(reply(replyType, request.wordPar, request.bytePar, request.sequence,
                        replyType == 8 ? "DBR reply" : "DBW reply"));
    // Four groups of four samples follow, numbered from the announced value.
    for (int group = 0; group < 4; ++group) {
        std::array<std::int16_t, 4> values{};
        for (std::size_t i = 0; i < values.size(); ++i) {
            values[i] =
                static_cast<std::int16_t>(config_.temp1 + 10 * (group * 4 + static_cast<int>(i)));
        }
        out.push_back(
            {bytesOf(frames::buildContinuousSamples(values, crcStart_)), "continuous samples"});
    }
    return out;
}

std::vector<Transmission> Module::firmwareControl(const Request& request) {
    if (request.wordPar != 0) {
        return {};  // reboot: the module restarts and says nothing
    }
    const FirmwareReceiver::Status status = firmware_.status();
    return {reply(20, static_cast<std::uint16_t>(status.wordPar), status.bytePar, request.sequence,
                  "firmware status reply")};
}

std::vector<Transmission> Module::archiveBlocks(const Request& request, std::uint32_t count) {
    std::vector<Transmission> out;
    const std::uint8_t bytePar = request.path == Path::Inductive ? 0 : 3;
    for (std::uint32_t k = 0; k < count; ++k) {
        const std::uint32_t number = (request.wordPar + k) % ArchiveRing::kBlocks;
        if (archiveLosses_.erase(number) != 0) {
            continue;
        }
        Transmission announcement =
            reply(22, static_cast<std::uint16_t>(number), bytePar, request.sequence,
                  "logger block " + std::to_string(number));
        const auto block = frames::buildLoggerBlock(archive_->block(number), crcStart_);
        announcement.bytes.insert(announcement.bytes.end(), block.begin(), block.end());
        out.push_back(std::move(announcement));
    }
    return out;
}

std::vector<Transmission> Module::handleText(std::string_view text, sys_seconds now) {
    Request request{.path = Path::Inductive};
    if (text == "VER") {
        request.code = code::kVer;
    } else if (text.starts_with("NVP")) {
        const std::uint8_t number =
            static_cast<std::uint8_t>(common::scanInt(text.substr(3)).value_or(0));
        return {reply(4, parameter(number), number, 0, "NVP reply")};
    } else if (text.starts_with("NVW")) {
        const auto comma = text.find(',');
        const auto number = common::scanInt(text.substr(3, comma - 3));
        const auto value = comma == std::string_view::npos
                               ? std::nullopt
                               : common::scanInt(text.substr(comma + 1));
        if (!number || !value) {
            return {};
        }
        request.code = code::kNvw;
        request.bytePar = static_cast<std::uint8_t>(*number);
        request.wordPar = static_cast<std::uint16_t>(*value);
    } else if (text == "OPR1,4,1") {
        request = {.path = Path::Inductive, .code = code::kOpr, .wordPar = 4, .bytePar = 1};
    } else if (text == "OPR0") {
        request = {.path = Path::Inductive, .code = code::kOpr};
    } else {
        return {};
    }
    return handle(request, now);
}

std::int16_t Module::telegramTemperature(int input) const {
    constexpr double kTelegramsPerWave = 40;
    const double phase = 2 * std::numbers::pi * static_cast<double>(nextKind_) / kTelegramsPerWave;
    return static_cast<std::int16_t>(measuredTemperature(input) +
                                     std::lround(config_.swing * std::sin(phase)));
}

std::vector<Transmission> Module::nextTelegram() {
    if (config_.telegrams.empty()) {
        return {};
    }
    const TelegramKind kind = config_.telegrams[nextKind_++ % config_.telegrams.size()];
    if (kind == TelegramKind::Short) {
        const auto frame = frames::buildShortTelegram(
            static_cast<std::uint8_t>(config_.address.serial), telegramTemperature(1),
            config_.battery, running_ ? 1 : 0, crcStart_);
        return {{bytesOf(frame), "short telegram"}};
    }
    const bool channels = config_.address.type == 5 || config_.address.type == 6;
    if (!channels) {
        return {telegram(static_cast<std::uint16_t>(telegramTemperature(1)), config_.battery,
                         "telegram")};
    }
    switch (kind) {
        case TelegramKind::Temp2:
            return {
                telegram(static_cast<std::uint16_t>(telegramTemperature(2)), 3, "telegram Temp2")};
        case TelegramKind::BatDig: {
            // Battery and digital inputs, then an extension with three more channels.
            std::vector<Transmission> out{
                telegram(static_cast<std::uint16_t>(config_.battery | (running_ ? 0x100 : 0)), 0x10,
                         "telegram Bat_Dig with extension")};
            const auto extension = frames::buildTelegramExtension(
                {2, 3, 4},
                {static_cast<std::uint16_t>(telegramTemperature(1)),
                 static_cast<std::uint16_t>(telegramTemperature(2)), counter_},
                crcStart_);
            out.push_back({bytesOf(extension), "telegram extension"});
            return out;
        }
        case TelegramKind::Config:
            return {telegram(parameter(0), 1, "telegram Config")};
        case TelegramKind::Count1:
            return {telegram(++counter_, 4, "telegram Count1")};
        case TelegramKind::Aux1:
            return {telegram(static_cast<std::uint16_t>(running_ ? 1 : 0), 6, "telegram Aux1")};
        default:
            return {
                telegram(static_cast<std::uint16_t>(telegramTemperature(1)), 2, "telegram Temp1")};
    }
}

}  // namespace qrt::sim
