#pragma once

#include <array>
#include <cstdint>

#include "frames/command_codes.h"

namespace qrt::commands {

/// One entry of an operator's drop-down list and the byte it stands for.
struct ListItem {
    const char* text;
    std::uint8_t value;
};

/// The configuration commands of the command list and their codes.
inline constexpr std::array<ListItem, 15> kCommandList{{
    {"INF", frames::code::kInf},
    {"NVR", frames::code::kNvr},
    {"NVW", frames::code::kNvw},
    {"DBR", frames::code::kDbr},
    {"AUT", frames::code::kAut},
    {"VER", frames::code::kVer},
    {"OPR", frames::code::kOpr},
    {"FUINI", frames::code::kFirmwareStart},
    {"DATA", frames::code::kData},
    {"ecFUST", frames::code::kFirmwareControl},
    {"FUREM", frames::code::kFurem},
    {"cTMP", frames::code::kMeasure},
    {"AUX1", frames::code::kAux1},
    {"AUX2", frames::code::kAux2},
    {"DBW", frames::code::kDbw},
}};

/// The module parameters the operator can write; the number is the item's leading number.
inline constexpr std::array<ListItem, 20> kParameterList{{
    {"0 Opt", 0},
    {"1 Offset", 1},
    {"2", 2},
    {"3 ID low", 3},
    {"4 ID high", 4},
    {"5 Intervall", 5},
    {"6 Channel", 6},
    {"7 Cal-Cycl", 7},
    {"8 Strt low", 8},
    {"9 Strt high", 9},
    {"10 Prod low", 10},
    {"11 Prod high", 11},
    {"12", 12},
    {"13", 13},
    {"14 Offset Pt", 14},
    {"15 Gain Pt", 15},
    {"16 Offset Pt2", 16},
    {"17 Gain Pt2", 17},
    {"20 SetCnt1", 20},
    {"21 SetCnt2", 21},
}};

/// The interface box's LED patterns: colour in bits 0-1, pattern in bits 2-3, 2 Hz in bit 4.
inline constexpr std::array<ListItem, 13> kLedList{{
    {"Off", 0x00},
    {"Green", 0x01},
    {"Red", 0x02},
    {"Orange", 0x03},
    {"Green Blink", 0x05},
    {"Red Blink", 0x06},
    {"Orange Blink", 0x07},
    {"Green Flash", 0x09},
    {"Red Flash", 0x0A},
    {"Orange Flash", 0x0B},
    {"Green Blink 2Hz", 0x15},
    {"Red Blink 2Hz", 0x16},
    {"Orange Flash 2Hz", 0x1B},
}};

/// The name of a command code as the command list shows it; "content" for a content
/// frame, "block header" for a firmware block header, "unknown" for any other code.
[[nodiscard]] constexpr const char* commandName(std::uint8_t code) {
    for (const ListItem& item : kCommandList) {
        if (item.value == code) {
            return item.text;
        }
    }
    switch (code) {
        case frames::code::kContent:
            return "content";
        case frames::code::kFirmwareBlockHeader:
            return "block header";
        default:
            return "unknown";
    }
}

/// The entry of a list at an index, or the first one for an index out of range.
template <std::size_t N>
constexpr const ListItem& itemAt(const std::array<ListItem, N>& list, int index) {
    return index >= 0 && static_cast<std::size_t>(index) < N ? list[static_cast<std::size_t>(index)]
                                                             : list[0];
}

}  // namespace qrt::commands
