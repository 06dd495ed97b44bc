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

// Appends the text behind the ID of a type-5 or type-6 module's telegram, by channel kind.
void appendChannelText(std::string& line, std::uint32_t kind, const FrameFields& f,
                       std::int32_t signalLevel) {
    const char* name = kind < kChannelNames.size() ? kChannelNames[kind] : "";
    switch (kind) {
        case 0:
            // The sequence number's conversion carries a space flag, which has no
            // effect on an unsigned number.
            return common::appendFormat<"%s B:%4.2f D:%u %u %i">(
                line, name, (f.wp & 0xFFu) * kBatteryScale, static_cast<unsigned>(f.wp >> 8),
                f.sequence, signalLevel);
        case 1:
            return common::appendFormat<"%s T:0x%x %u %i">(line, name, f.wp, f.sequence,
                                                           signalLevel);
        case 2:
        case 3:
            return common::appendFormat<"%s T:%-5.2f %u %i">(
                line, name, f.wpSigned() * kTemperatureScale, f.sequence, signalLevel);
        case 4:
        case 5:
            return common::appendFormat<"%s C:%u %u %i">(line, name, f.wp, f.sequence, signalLevel);
        case 6:
        case 7:
        case 8:
        case 9:
        case 10:
            return common::appendFormat<"%s X:%u %u %i">(line, name, f.wp, f.sequence, signalLevel);
        default:
            return common::appendFormat<"B:%u W:%u %u %i">(line, f.bp, f.wp, f.sequence,
                                                           signalLevel);
    }
}

}  // namespace

const char* channelName(std::uint32_t kind) {
    return kind < kChannelNames.size() ? kChannelNames[kind] : "";
}

void decodeShortTelegram(const ShortTelegram& t, const std::string& timestamp,
                         std::int32_t signalLevel, std::string& line) {
    const auto temperature = static_cast<std::int16_t>(frames::readLe16(t, 1));
    common::assignFormat<"%s  ID:%u T:%-5.2f B:%4.2f %u %i">(
        line, timestamp, t[0], temperature * kTemperatureScale, t[3] * kBatteryScale, t[4],
        signalLevel);
}

bool decodeSpontaneousTelegram(const frames::StandardFrame& frame, DecodeState& state,
                               std::int32_t signalLevel) {
    const FrameFields f(frame);
    state.decoderState = DecoderState::Idle;
    common::assignFormat<"%s  R:%u ID:%u.%u ">(state.debugLine, state.timestamp, f.rField(),
                                               f.moduleType(), f.serial());
    state.sampleCounter = 0;
    const std::uint32_t moduleType = f.moduleType();
    if (moduleType == 5 && f.bp > 31) {
        assignReplyDebugLine(state.debugLine, f, 0, state.timestamp);
        return false;
    }
    if (moduleType == 5 || moduleType == 6) {
        const std::uint32_t kind = f.bp & 0x0Fu;
        appendChannelText(state.debugLine, kind, f, signalLevel);
        if (kind == 0 && f.bp == 0x10) {
            state.decoderState = DecoderState::ExtensionExpected;
        }
    } else {
        common::appendFormat<"T:%-5.2f B:%4.2f %u %i">(
            state.debugLine, f.wpSigned() * kTemperatureScale, f.bp * kBatteryScale, f.sequence,
            signalLevel);
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
                    static_cast<std::int16_t>(value) * kTemperatureScale);
            } else if (kind == 4 || kind == 5) {
                common::appendFormat<"%s C:%u ">(state.debugLine, channelName(kind), value);
            }
        }
    } else {
        state.debugLine = "CONT:";
        state.commLine = ">> ";
        for (std::size_t i = 0; i < 4; ++i) {
            const auto value = static_cast<std::int16_t>(frames::readLe16(frame, 1 + 2 * i));
            ++state.sampleCounter;
            common::appendFormat<"%i ">(state.debugLine, value);
            common::appendFormat<"%4u:%i ">(state.commLine,
                                            static_cast<unsigned>(state.sampleCounter), value);
        }
    }
    state.decoderState = DecoderState::Idle;
}

}  // namespace qrt::receive
