#include "receive/telegram_decoder.h"

#include "common/text_format.h"
#include "frames/byte_order.h"
#include "receive/frame_fields.h"
#include "receive/reply_decoder.h"

namespace qrt::receive {

using common::format;

namespace {

constexpr std::array<const char*, 11> kChannelNames{"Bat_Dig", "Config ", "Temp1  ", "Temp2  ",
                                                    "Count1 ", "Count2 ", "Aux1   ", "Aux2   ",
                                                    "Aux3   ", "Aux4   ", "Aux5   "};

constexpr double kTemperatureScale = 0.01;
constexpr double kBatteryScale = 0.02;

// The text behind the ID of a type-5 or type-6 module's telegram, by channel kind.
std::string channelText(std::uint32_t kind, const FrameFields& f, std::int32_t signalLevel) {
    const char* name = kind < kChannelNames.size() ? kChannelNames[kind] : "";
    switch (kind) {
        case 0:
            // The sequence number's conversion carries a space flag, which has no
            // effect on an unsigned number.
            return format("%s B:%4.2f D:%u %u %i", name, (f.wp & 0xFFu) * kBatteryScale,
                          static_cast<unsigned>(f.wp >> 8), f.sequence, signalLevel);
        case 1:
            return format("%s T:0x%x %u %i", name, f.wp, f.sequence, signalLevel);
        case 2:
        case 3:
            return format("%s T:%-5.2f %u %i", name, f.wpSigned() * kTemperatureScale, f.sequence,
                          signalLevel);
        case 4:
        case 5:
            return format("%s C:%u %u %i", name, f.wp, f.sequence, signalLevel);
        case 6:
        case 7:
        case 8:
        case 9:
        case 10:
            return format("%s X:%u %u %i", name, f.wp, f.sequence, signalLevel);
        default:
            return format("B:%u W:%u %u %i", f.bp, f.wp, f.sequence, signalLevel);
    }
}

}  // namespace

const char* channelName(std::uint32_t kind) {
    return kind < kChannelNames.size() ? kChannelNames[kind] : "";
}

std::string decodeShortTelegram(const ShortTelegram& t, const std::string& timestamp,
                                std::int32_t signalLevel) {
    const auto temperature = static_cast<std::int16_t>(frames::readLe16(t, 1));
    return format("%s  ID:%u T:%-5.2f B:%4.2f %u %i", timestamp.c_str(), t[0],
                  temperature * kTemperatureScale, t[3] * kBatteryScale, t[4], signalLevel);
}

bool decodeSpontaneousTelegram(const frames::StandardFrame& frame, DecodeState& state,
                               std::int32_t signalLevel) {
    const FrameFields f(frame);
    state.decoderState = DecoderState::Idle;
    state.debugLine = format("%s  R:%u ID:%u.%u ", state.timestamp.c_str(), f.rField(),
                             f.moduleType(), f.serial());
    state.sampleCounter = 0;
    const std::uint32_t moduleType = f.moduleType();
    if (moduleType == 5 && f.bp > 31) {
        state.debugLine = replyDebugLine(f, 0, state.timestamp);
        return false;
    }
    if (moduleType == 5 || moduleType == 6) {
        const std::uint32_t kind = f.bp & 0x0Fu;
        state.debugLine += channelText(kind, f, signalLevel);
        if (kind == 0 && f.bp == 0x10) {
            state.decoderState = DecoderState::ExtensionExpected;
        }
    } else {
        state.debugLine += format("T:%-5.2f B:%4.2f %u %i", f.wpSigned() * kTemperatureScale,
                                  f.bp * kBatteryScale, f.sequence, signalLevel);
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
                state.debugLine += format("%s T:%-5.2f ", channelName(kind),
                                          static_cast<std::int16_t>(value) * kTemperatureScale);
            } else if (kind == 4 || kind == 5) {
                state.debugLine += format("%s C:%u ", channelName(kind), value);
            }
        }
    } else {
        state.debugLine = "CONT:";
        state.commLine = ">> ";
        for (std::size_t i = 0; i < 4; ++i) {
            const auto value = static_cast<std::int16_t>(frames::readLe16(frame, 1 + 2 * i));
            ++state.sampleCounter;
            state.debugLine += format("%i ", value);
            state.commLine += format("%4u:%i ", static_cast<unsigned>(state.sampleCounter), value);
        }
    }
    state.decoderState = DecoderState::Idle;
}

}  // namespace qrt::receive
