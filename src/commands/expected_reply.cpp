#include "commands/expected_reply.h"

#include "frames/command_codes.h"
#include "receive/reply_slot.h"

namespace qrt::commands {

namespace {

constexpr std::uint8_t kParameterPage = 255;  // NVR of the parameter page: an NVP reply
constexpr std::uint32_t kTelegram = 0x100;

}  // namespace

std::optional<ExpectedReply> expectedReply(std::uint8_t code, std::uint8_t bytePar) {
    namespace c = frames::code;
    switch (code) {
        case c::kVer:
            return ExpectedReply{1, receive::kAnyBytePar};
        case c::kNvr:
            return bytePar == kParameterPage ? ExpectedReply{4, bytePar}
                                             : ExpectedReply{2, bytePar};
        case c::kNvw:
            return ExpectedReply{3, bytePar};
        case c::kInf:
            return ExpectedReply{7, bytePar};
        case c::kDbr:
            return ExpectedReply{8, bytePar};
        case c::kDbw:
            return ExpectedReply{26, bytePar};
        case c::kFirmwareControl:
            return ExpectedReply{20, receive::kAnyBytePar};
        case c::kMeasure:
            return ExpectedReply{kTelegram, receive::kAnyBytePar};
        default:
            return std::nullopt;
    }
}

}  // namespace qrt::commands
