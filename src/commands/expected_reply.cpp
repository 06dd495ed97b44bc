#include "commands/expected_reply.h"

#include "frames/command_codes.h"
#include "receive/reply_slot.h"

namespace qrt::commands {

namespace {

constexpr std::uint8_t kParameterPage = 255;  // NVR of the parameter page: an NVP reply
constexpr std::uint32_t kTelegram = 0x100;
constexpr std::uint8_t kLedFlash = 4;

}  // namespace

std::optional<ExpectedReply> expectedReply(std::uint8_t code, std::uint8_t bytePar) {
    namespace c = frames::code;
    switch (code) {
        case c::kVer:
            return ExpectedReply{1, receive::kAnyBytePar};
        case c::kNvr:
            return bytePar == kParameterPage ? ExpectedReply{kParameterPageReply.type, bytePar}
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
            // The LED request (BytePar 4) flashes the module's LED and brings nothing.
            return bytePar == kLedFlash
                       ? std::nullopt
                       : std::optional(ExpectedReply{kTelegram, receive::kAnyBytePar});
        default:
            return std::nullopt;
    }
}

}  // namespace qrt::commands
