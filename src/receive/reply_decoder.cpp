#include "receive/reply_decoder.h"

#include "common/text_format.h"

namespace qrt::receive {

namespace {

constexpr std::uint8_t kTimeParameter = 65;
constexpr std::uint8_t kDateParameter = 66;

void appendParameterReadLine(std::string& line, const FrameFields& f) {
    const std::uint32_t type = f.module().type;
    const std::uint32_t serial = f.module().serial;
    if (f.bp == kTimeParameter) {
        return common::appendFormat<"ID:%u.%u Time:%02u:%02u">(line, type, serial, f.wp / 60u,
                                                               f.wp % 60u);
    }
    if (f.bp == kDateParameter) {
        return common::appendFormat<"ID:%u.%u Date:%02u.%02u.%04u">(
            line, type, serial, f.wp & 0x1Fu, (f.wp >> 5) & 0x0Fu, 2000u + (f.wp >> 9));
    }
    return common::appendFormat<"ID:%u.%u NVR:%u:%i 0x%x">(line, type, serial, f.bp, f.wpSigned(),
                                                           f.wp);
}

}  // namespace

void appendReplyDebugLine(std::string& line, const FrameFields& f, std::uint32_t type,
                          std::string_view timestamp) {
    common::appendFormat<"%s  ID:%u.%u pt:%u bp:%u wp:%i %u">(
        line, timestamp, f.module().type, f.module().serial, type, f.bp, f.wpSigned(), f.sequence);
}

void decodeReply(const frames::StandardFrame& frame, DecodeState& state, LineSink& lines) {
    const FrameFields f(frame);
    const std::uint32_t type = f.type();
    const std::uint32_t moduleType = f.module().type;
    const std::uint32_t serial = f.module().serial;
    state.decoderState = DecoderState::Idle;
    state.source = {.module = f.module()};
    appendReplyDebugLine(lines.beginLine(Pane::Debug), f, type, state.timestamp);
    lines.endLine();
    // The communication pane's line of the known types.
    const auto comm = [&lines]() -> std::string& { return lines.beginLine(Pane::Comm); };
    switch (type) {
        case 1:
            common::appendFormat<"ID:%u.%u Version:%u.%u %s">(
                comm(), moduleType, serial, f.wp >> 8u, f.wp & 0xFFu, f.bp == 0 ? "run" : "stopp");
            break;
        case 2:
            appendParameterReadLine(comm(), f);
            break;
        case 3:
            common::appendFormat<"ID:%u.%u NVW:%u:%i">(comm(), moduleType, serial, f.bp,
                                                       f.wpSigned());
            break;
        case 4:
            common::appendFormat<"ID:%u.%u NVP:%u:%i">(comm(), moduleType, serial, f.bp,
                                                       f.wpSigned());
            state.sampleCounter = 0;
            break;
        case 7:
            common::appendFormat<"ID:%u.%u INF:%u:%i">(comm(), moduleType, serial, f.bp,
                                                       f.wpSigned());
            state.sampleCounter = 0;
            break;
        case 8:
            common::appendFormat<"ID:%u.%u DBR %u">(comm(), moduleType, serial, f.bp);
            state.sampleCounter = static_cast<std::int32_t>(f.wp) - 1;
            break;
        case 18:
            state.decoderState = DecoderState::SkipFirmwareBlock;
            return;
        case 22:
            common::appendFormat<"ID:%u.%u Logdata Block:%u">(comm(), moduleType, serial, f.wp);
            state.decoderState = DecoderState::LoggerBlockExpected;
            state.loggerType = static_cast<std::int32_t>(moduleType);
            state.loggerBlock = f.wpSigned();
            break;
        case 26:
            common::appendFormat<"ID:%u.%u DBW %u">(comm(), moduleType, serial, f.bp);
            state.sampleCounter = static_cast<std::int32_t>(f.wp) - 1;
            break;
        default:
            return;
    }
    lines.endLine();
}

}  // namespace qrt::receive
