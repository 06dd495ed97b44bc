#include "receive/reply_decoder.h"

#include "common/text_format.h"

namespace qrt::receive {

using common::format;

namespace {

constexpr std::uint8_t kTimeParameter = 65;
constexpr std::uint8_t kDateParameter = 66;

std::string parameterReadLine(const FrameFields& f) {
    const std::uint32_t type = f.moduleType();
    const std::uint32_t serial = f.serial();
    if (f.bp == kTimeParameter) {
        return format("ID:%u.%u Time:%02u:%02u", type, serial, f.wp / 60u, f.wp % 60u);
    }
    if (f.bp == kDateParameter) {
        return format("ID:%u.%u Date:%02u.%02u.%04u", type, serial, f.wp & 0x1Fu,
                      (f.wp >> 5) & 0x0Fu, 2000u + (f.wp >> 9));
    }
    return format("ID:%u.%u NVR:%u:%i 0x%x", type, serial, f.bp, f.wpSigned(), f.wp);
}

}  // namespace

std::string replyDebugLine(const FrameFields& f, std::uint32_t type, const std::string& timestamp) {
    return format("%s  ID:%u.%u pt:%u bp:%u wp:%i %u", timestamp.c_str(), f.moduleType(),
                  f.serial(), type, f.bp, f.wpSigned(), f.sequence);
}

void decodeReply(const frames::StandardFrame& frame, DecodeState& state) {
    const FrameFields f(frame);
    const std::uint32_t type = f.type();
    const std::uint32_t moduleType = f.moduleType();
    const std::uint32_t serial = f.serial();
    state.decoderState = DecoderState::Idle;
    state.debugLine = replyDebugLine(f, type, state.timestamp);
    switch (type) {
        case 1:
            state.commLine = format("ID:%u.%u Version:%u.%u %s", moduleType, serial, f.wp >> 8u,
                                    f.wp & 0xFFu, f.bp == 0 ? "run" : "stopp");
            break;
        case 2:
            state.commLine = parameterReadLine(f);
            break;
        case 3:
            state.commLine = format("ID:%u.%u NVW:%u:%i", moduleType, serial, f.bp, f.wpSigned());
            break;
        case 4:
            state.commLine = format("ID:%u.%u NVP:%u:%i", moduleType, serial, f.bp, f.wpSigned());
            state.sampleCounter = 0;
            break;
        case 7:
            state.commLine = format("ID:%u.%u INF:%u:%i", moduleType, serial, f.bp, f.wpSigned());
            state.sampleCounter = 0;
            break;
        case 8:
            state.commLine = format("ID:%u.%u DBR %u", moduleType, serial, f.bp);
            state.sampleCounter = static_cast<std::int32_t>(f.wp) - 1;
            break;
        case 18:
            state.decoderState = DecoderState::SkipFirmwareBlock;
            break;
        case 22:
            state.commLine = format("ID:%u.%u Logdata Block:%u", moduleType, serial, f.wp);
            state.decoderState = DecoderState::LoggerBlockExpected;
            state.loggerType = static_cast<std::int32_t>(moduleType);
            state.loggerBlock = f.wpSigned();
            break;
        case 26:
            state.commLine = format("ID:%u.%u DBW %u", moduleType, serial, f.bp);
            state.sampleCounter = static_cast<std::int32_t>(f.wp) - 1;
            break;
        default:
            break;
    }
}

}  // namespace qrt::receive
