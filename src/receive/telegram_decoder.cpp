#include "receive/telegram_decoder.h"

#include "common/text_format.h"
#include "frames/byte_order.h"
#include "receive/frame_fields.h"
#include "receive/reply_decoder.h"

namespace qrt::receive {

namespace {

constexpr std::array<const char*, 11> kChannelNames{"Bat_Dig", "Config ", "Temp1  ", "Temp2  ",
                                                    "Count1 ", "Count2 ", "Aux1   ", "Aux2   ",
                                                    "Aux3   ", "Aux4   ", "Aux5   "};

constexpr double kTemperatureScale = 0.01;
constexpr double kBatteryScale = 0.02;

// The channel kind's name without its padding, as a value's channel.
std::string_view channelKey(std::uint32_t kind) {
    std::string_view name = kind < kChannelNames.size() ? kChannelNames[kind] : "";
    return name.substr(0, name.find(' '));
}

// Appends the text behind the ID of a type-5 or type-6 module's telegram, by channel kind,
// and records the values it shows.
void appendChannelText(DecodeState& state, std::uint32_t kind, const FrameFields& f,
                       std::int32_t signalLevel) {
    std::string& line = state.debugLine;
    const ModuleRef& module = state.module;
    const char* name = kind < kChannelNames.size() ? kChannelNames[kind] : "";
    const auto measureSignal = [&] { return state.measureLevel(module, "Signal", signalLevel); };
    switch (kind) {
        case 0: {
            // The sequence number's conversion carries a space flag, which has no
            // effect on an unsigned number.
            const double battery =
                state.measure(module, "Bat", f.wp & 0xFFu, kBatteryScale, Unit::Volt);
            const auto digital = static_cast<unsigned>(
                state.measureInteger(module, channelKey(kind), f.wp >> 8, Unit::Raw));
            return common::appendFormat<"%s B:%4.2f D:%u %u %i">(line, name, battery, digital,
                                                                 f.sequence, measureSignal());
        }
        case 1: {
            const auto config = static_cast<unsigned>(
                state.measureInteger(module, channelKey(kind), f.wp, Unit::Raw));
            return common::appendFormat<"%s T:0x%x %u %i">(line, name, config, f.sequence,
                                                           measureSignal());
        }
        case 2:
        case 3: {
            const double temperature = state.measure(module, channelKey(kind), f.wpSigned(),
                                                     kTemperatureScale, Unit::Celsius);
            return common::appendFormat<"%s T:%-5.2f %u %i">(line, name, temperature, f.sequence,
                                                             measureSignal());
        }
        case 4:
        case 5:
        case 6:
        case 7:
        case 8:
        case 9:
        case 10: {
            const auto count = static_cast<unsigned>(state.measureInteger(
                module, channelKey(kind), f.wp, kind <= 5 ? Unit::Count : Unit::Raw));
            if (kind <= 5) {
                return common::appendFormat<"%s C:%u %u %i">(line, name, count, f.sequence,
                                                             measureSignal());
            }
            return common::appendFormat<"%s X:%u %u %i">(line, name, count, f.sequence,
                                                         measureSignal());
        }
        default:
            // Kinds 11 to 15 name no channel: the words are shown, not recorded.
            return common::appendFormat<"B:%u W:%u %u %i">(line, f.bp, f.wp, f.sequence,
                                                           measureSignal());
    }
}

}  // namespace

const char* channelName(std::uint32_t kind) {
    return kind < kChannelNames.size() ? kChannelNames[kind] : "";
}

void decodeShortTelegram(const ShortTelegram& t, std::int32_t signalLevel, DecodeState& state) {
    const ModuleRef module{.kind = ModuleRef::Kind::ShortTelegram, .number = t[0]};
    const double temperature =
        state.measure(module, "Temp", static_cast<std::int16_t>(frames::readLe16(t, 1)),
                      kTemperatureScale, Unit::Celsius);
    const double battery = state.measure(module, "Bat", t[3], kBatteryScale, Unit::Volt);
    const auto status =
        static_cast<unsigned>(state.measureInteger(module, "Status", t[4], Unit::Raw));
    const auto signal = state.measureLevel(module, "Signal", signalLevel);
    common::assignFormat<"%s  ID:%u T:%-5.2f B:%4.2f %u %i">(
        state.debugLine, state.timestamp, module.number, temperature, battery, status, signal);
}

bool decodeSpontaneousTelegram(const frames::StandardFrame& frame, DecodeState& state,
                               std::int32_t signalLevel) {
    const FrameFields f(frame);
    state.decoderState = DecoderState::Idle;
    common::assignFormat<"%s  R:%u ID:%u.%u ">(state.debugLine, state.timestamp, f.rField(),
                                               f.moduleType(), f.serial());
    state.sampleCounter = 0;
    const std::uint32_t moduleType = f.moduleType();
    state.module = {.type = moduleType, .number = f.serial()};
    if (moduleType == 5 && f.bp > 31) {
        assignReplyDebugLine(state.debugLine, f, 0, state.timestamp);
        return false;
    }
    if (moduleType == 5 || moduleType == 6) {
        const std::uint32_t kind = f.bp & 0x0Fu;
        appendChannelText(state, kind, f, signalLevel);
        if (kind == 0 && f.bp == 0x10) {
            state.decoderState = DecoderState::ExtensionExpected;
        }
    } else {
        const ModuleRef& module = state.module;
        const double temperature =
            state.measure(module, "Temp", f.wpSigned(), kTemperatureScale, Unit::Celsius);
        const double battery = state.measure(module, "Bat", f.bp, kBatteryScale, Unit::Volt);
        const auto signal = state.measureLevel(module, "Signal", signalLevel);
        common::appendFormat<"T:%-5.2f B:%4.2f %u %i">(state.debugLine, temperature, battery,
                                                       f.sequence, signal);
    }
    return true;
}

void decodeType5Frame(const frames::StandardFrame& frame, DecodeState& state) {
    if (state.decoderState == DecoderState::ExtensionExpected) {
        state.debugLine = "    ";
        const std::uint16_t kinds = frames::readLe16(frame, 1);
        for (std::size_t i = 0; i < 3; ++i) {
            const std::uint32_t kind = (kinds >> (4 * i)) & 0x0Fu;
            const std::uint16_t value = frames::readLe16(frame, 3 + 2 * i);
            if (kind == 2 || kind == 3) {
                common::appendFormat<"%s T:%-5.2f ">(
                    state.debugLine, channelName(kind),
                    state.measure(state.module, channelKey(kind), static_cast<std::int16_t>(value),
                                  kTemperatureScale, Unit::Celsius));
            } else if (kind == 4 || kind == 5) {
                common::appendFormat<"%s C:%u ">(
                    state.debugLine, channelName(kind),
                    static_cast<unsigned>(
                        state.measureInteger(state.module, channelKey(kind), value, Unit::Count)));
            }
        }
    } else {
        state.debugLine = "CONT:";
        state.commLine = ">> ";
        for (std::size_t i = 0; i < 4; ++i) {
            const auto value = static_cast<std::int16_t>(frames::readLe16(frame, 1 + 2 * i));
            ++state.sampleCounter;
            const auto sample = static_cast<std::int32_t>(state.measureInteger(
                state.module, "Sample", value, Unit::Raw, state.sampleCounter));
            common::appendFormat<"%i ">(state.debugLine, sample);
            common::appendFormat<"%4u:%i ">(state.commLine,
                                            static_cast<unsigned>(state.sampleCounter), sample);
        }
    }
    state.decoderState = DecoderState::Idle;
}

}  // namespace qrt::receive
