#include "receive/telegram_decoder.h"

#include "common/text_format.h"
#include "frames/byte_order.h"
#include "receive/channels.h"
#include "receive/frame_fields.h"
#include "receive/reply_decoder.h"

namespace qrt::receive {

namespace {

// The channel of a telegram's kind (0 to 10).
const TelegramChannel& channelOf(std::uint32_t kind) {
    return kTelegramChannels[kind];
}

// Appends the text behind the ID of a type-5 or type-6 module's telegram, by channel kind,
// and records the values it shows.
void appendChannelText(std::string& line, DecodeState& state, std::uint32_t kind,
                       const FrameFields& f, std::int32_t signalLevel) {
    const ValueSource& module = state.source;
    const auto measureSignal = [&] { return state.measureLevel(module, "Signal", signalLevel); };
    if (kind >= kTelegramChannels.size()) {
        // Kinds 11 to 15 name no channel: the words are shown, not recorded.
        return common::appendFormat<"B:%u W:%u %u %i">(line, f.bp, f.wp, f.sequence,
                                                       measureSignal());
    }
    const TelegramChannel& channel = channelOf(kind);
    switch (kind) {
        case 0: {
            // The sequence number's conversion carries a space flag, which has no
            // effect on an unsigned number.
            const double battery =
                state.measure(module, "Bat", f.wp & 0xFFu, kBatteryScale, Unit::Volt);
            const auto digital = static_cast<unsigned>(
                state.measureInteger(module, channel.name, f.wp >> 8, channel.unit));
            return common::appendFormat<"%s B:%4.2f D:%u %u %i">(
                line, channel.caption, battery, digital, f.sequence, measureSignal());
        }
        case 1: {
            const auto config = static_cast<unsigned>(
                state.measureInteger(module, channel.name, f.wp, channel.unit));
            return common::appendFormat<"%s T:0x%x %u %i">(line, channel.caption, config,
                                                           f.sequence, measureSignal());
        }
        case 2:
        case 3: {
            const double temperature =
                state.measure(module, channel.name, f.wpSigned(), channel.scale, channel.unit);
            return common::appendFormat<"%s T:%-5.2f %u %i">(line, channel.caption, temperature,
                                                             f.sequence, measureSignal());
        }
        default: {
            const auto count = static_cast<unsigned>(
                state.measureInteger(module, channel.name, f.wp, channel.unit));
            if (kind <= 5) {
                return common::appendFormat<"%s C:%u %u %i">(line, channel.caption, count,
                                                             f.sequence, measureSignal());
            }
            return common::appendFormat<"%s X:%u %u %i">(line, channel.caption, count, f.sequence,
                                                         measureSignal());
        }
    }
}

}  // namespace

void decodeShortTelegram(const ShortTelegram& t, std::int32_t signalLevel, DecodeState& state,
                         LineSink& lines) {
    const ValueSource module{.kind = ValueSource::Kind::ShortTelegram, .module = {.serial = t[0]}};
    const double temperature =
        state.measure(module, "Temp", static_cast<std::int16_t>(frames::readLe16(t, 1)),
                      kTemperatureScale, Unit::Celsius);
    const double battery = state.measure(module, "Bat", t[3], kBatteryScale, Unit::Volt);
    const auto status =
        static_cast<unsigned>(state.measureInteger(module, "Status", t[4], Unit::Raw));
    const auto signal = state.measureLevel(module, "Signal", signalLevel);
    common::appendFormat<"%s  ID:%u T:%-5.2f B:%4.2f %u %i">(lines.beginLine(Pane::Debug),
                                                             state.timestamp, module.module.serial,
                                                             temperature, battery, status, signal);
    lines.endLine();
}

bool decodeSpontaneousTelegram(const frames::StandardFrame& frame, DecodeState& state,
                               std::int32_t signalLevel, LineSink& lines) {
    const FrameFields f(frame);
    state.decoderState = DecoderState::Idle;
    const frames::ModuleAddress address = f.module();
    state.sampleCounter = 0;
    const std::uint32_t moduleType = address.type;
    state.source = {.module = address};
    std::string& line = lines.beginLine(Pane::Debug);
    if (moduleType == 5 && f.bp > 31) {
        appendReplyDebugLine(line, f, 0, state.timestamp);
        lines.endLine();
        return false;
    }
    common::appendFormat<"%s  R:%u ID:%u.%u ">(line, state.timestamp, f.rField(), address.type,
                                               address.serial);
    if (moduleType == 5 || moduleType == 6) {
        const std::uint32_t kind = f.bp & 0x0Fu;
        appendChannelText(line, state, kind, f, signalLevel);
        if (kind == 0 && f.bp == 0x10) {
            state.decoderState = DecoderState::ExtensionExpected;
        }
    } else {
        const ValueSource& module = state.source;
        const double temperature =
            state.measure(module, "Temp", f.wpSigned(), kTemperatureScale, Unit::Celsius);
        const double battery = state.measure(module, "Bat", f.bp, kBatteryScale, Unit::Volt);
        const auto signal = state.measureLevel(module, "Signal", signalLevel);
        common::appendFormat<"T:%-5.2f B:%4.2f %u %i">(line, temperature, battery, f.sequence,
                                                       signal);
    }
    lines.endLine();
    return true;
}

void decodeType5Frame(const frames::StandardFrame& frame, DecodeState& state, LineSink& lines) {
    std::string& line = lines.beginLine(Pane::Debug);
    if (state.decoderState == DecoderState::ExtensionExpected) {
        line += "    ";
        const std::uint16_t kinds = frames::readLe16(frame, 1);
        for (std::size_t i = 0; i < 3; ++i) {
            const std::uint32_t kind = (kinds >> (4 * i)) & 0x0Fu;
            const std::uint16_t value = frames::readLe16(frame, 3 + 2 * i);
            if (kind == 2 || kind == 3) {
                const TelegramChannel& channel = channelOf(kind);
                common::appendFormat<"%s T:%-5.2f ">(
                    line, channel.caption,
                    state.measure(state.source, channel.name, static_cast<std::int16_t>(value),
                                  channel.scale, channel.unit));
            } else if (kind == 4 || kind == 5) {
                const TelegramChannel& channel = channelOf(kind);
                common::appendFormat<"%s C:%u ">(
                    line, channel.caption,
                    static_cast<unsigned>(
                        state.measureInteger(state.source, channel.name, value, channel.unit)));
            }
        }
        lines.endLine();
    } else {
        // Four continuous samples: the debug line shows them, the communication line
        // shows them with their running numbers.
        std::array<std::int32_t, 4> samples{};
        line += "CONT:";
        for (std::size_t i = 0; i < samples.size(); ++i) {
            const auto value = static_cast<std::int16_t>(frames::readLe16(frame, 1 + 2 * i));
            samples[i] =
                state.measureInteger(state.source, "Sample", value, Unit::Raw,
                                     state.sampleCounter + 1 + static_cast<std::int32_t>(i));
            common::appendFormat<"%i ">(line, samples[i]);
        }
        lines.endLine();
        std::string& comm = lines.beginLine(Pane::Comm);
        comm += ">> ";
        for (const std::int32_t sample : samples) {
            ++state.sampleCounter;
            common::appendFormat<"%4u:%i ">(comm, static_cast<unsigned>(state.sampleCounter),
                                            sample);
        }
        lines.endLine();
    }
    state.decoderState = DecoderState::Idle;
}

}  // namespace qrt::receive
