#include "receive/reply_decoder.h"

#include "common/text_format.h"

namespace qrt::receive {

namespace {

constexpr std::uint8_t kTimeParameter = 65;
constexpr std::uint8_t kDateParameter = 66;

void assignParameterReadLine(std::string& line, const FrameFields& f) {
    const std::uint32_t type = f.module().type;
    const std::uint32_t serial = f.module().serial;
    if (f.bp == kTimeParameter) {
        return common::assignFormat<"ID:%u.%u Time:%02u:%02u">(line, type, serial, f.wp / 60u,
                                                               f.wp % 60u);
    }
    if (f.bp == kDateParameter) {
        return common::assignFormat<"ID:%u.%u Date:%02u.%02u.%04u">(
            line, type, serial, f.wp & 0x1Fu, (f.wp >> 5) & 0x0Fu, 2000u + (f.wp >> 9));
    }
    return common::assignFormat<"ID:%u.%u NVR:%u:%i 0x%x">(line, type, serial, f.bp, f.wpSigned(),
                                                           f.wp);
}

}  // namespace

void assignReplyDebugLine(std::string& line, const FrameFields& f, std::uint32_t type,
                          const std::string& timestamp) {
    common::assignFormat<"%s  ID:%u.%u pt:%u bp:%u wp:%i %u">(
        line, timestamp, f.module().type, f.module().serial, type, f.bp, f.wpSigned(), f.sequence);
}

void decodeReply(const frames::StandardFrame& frame, DecodeState& state) {
    const FrameFields f(frame);
    const std::uint32_t type = f.type();
    const std::uint32_t moduleType = f.module().type;
    const std::uint32_t serial = f.module().serial;
    state.decoderState = DecoderState::Idle;
    state.source = {.module = f.module()};
    assignReplyDebugLine(state.debugLine, f, type, state.timestamp);
    switch (type) {
        case 1:
            common::assignFormat<"ID:%u.%u Version:%u.%u %s">(state.commLine, moduleType, serial,
                                                              f.wp >> 8u, f.wp & 0xFFu,
                                                              f.bp == 0 ? "run" : "stopp");
            break;
        case 2:
            assignParameterReadLine(state.commLine, f);
            break;
        case 3:
            common::assignFormat<"ID:%u.%u NVW:%u:%i">(state.commLine, moduleType, serial, f.bp,
                                                       f.wpSigned());
            break;
        case 4:
            common::assignFormat<"ID:%u.%u NVP:%u:%i">(state.commLine, moduleType, serial, f.bp,
                                                       f.wpSigned());
            state.sampleCounter = 0;
            break;
        case 7:
            common::assignFormat<"ID:%u.%u INF:%u:%i">(state.commLine, moduleType, serial, f.bp,
                                                       f.wpSigned());
            state.sampleCounter = 0;
            break;
        case 8:
            common::assignFormat<"ID:%u.%u DBR %u">(state.commLine, moduleType, serial, f.bp);
            state.sampleCounter = static_cast<std::int32_t>(f.wp) - 1;
            break;
        case 18:
            state.decoderState = DecoderState::SkipFirmwareBlock;
            break;
        case 22:
            common::assignFormat<"ID:%u.%u Logdata Block:%u">(state.commLine, moduleType, serial,
                                                              f.wp);
            state.decoderState = DecoderState::LoggerBlockExpected;
            state.loggerType = static_cast<std::int32_t>(moduleType);
            state.loggerBlock = f.wpSigned();
            break;
        case 26:
            common::assignFormat<"ID:%u.%u DBW %u">(state.commLine, moduleType, serial, f.bp);
            state.sampleCounter = static_cast<std::int32_t>(f.wp) - 1;
            break;
        default:
            break;
    }
}

}  // namespace qrt::receive
