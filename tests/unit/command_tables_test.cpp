// The numbers behind the operator's lists and the bytes the modules and the box take,
// restated here: the simulator shares the constants, so no end-to-end run sees a wrong one.
#include "commands/command_tables.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

using namespace qrt;

namespace {

// Codes that no list names.
static_assert(frames::code::kContent == 5);
static_assert(frames::code::kFirmwareBlockHeader == 18);

// The interface box's one-byte commands.
static_assert(frames::box::kVersion == 0xE0);
static_assert(frames::box::kBoot == 0xF0);
static_assert(frames::box::kOnline == 0x41);
static_assert(frames::box::kOffline == 0x40);
static_assert(frames::box::kBeep == 0x80);
static_assert(frames::box::kEndOfFirmware == 0x83);
static_assert(frames::box::kLedMask == 0x1F);

// BytePar of the archive requests.
static_assert(frames::archive_request::kInfo == 0x43);
static_assert(frames::archive_request::kWrapCheck == 0x44);
static_assert(frames::archive_request::kBatch == 0x80);
static_assert(frames::archive_request::kSingleBlock == 0x81);
static_assert(frames::archive_request::kMaxBatch == 64);

// "TEXT VALUE, TEXT VALUE, ..." with each value in the given printf format.
template <std::size_t N>
std::string listed(const std::array<commands::ListItem, N>& list, const char* valueFormat) {
    std::string text;
    for (const commands::ListItem& item : list) {
        char value[8];
        std::snprintf(value, sizeof value, valueFormat, item.value);
        text += (text.empty() ? "" : ", ") + std::string(item.text) + " " + value;
    }
    return text;
}

}  // namespace

TEST(CommandTables, EachEntryStandsForItsNumber) {
    EXPECT_EQ(listed(commands::kCommandList, "%u"),
              "INF 10, NVR 11, NVW 12, DBR 13, AUT 14, VER 15, OPR 16, FUINI 17, DATA 0, "
              "ecFUST 19, FUREM 21, cTMP 23, AUX1 24, AUX2 25, DBW 26");
    EXPECT_EQ(listed(commands::kParameterList, "%u"),
              "0 Opt 0, 1 Offset 1, 2 2, 3 ID low 3, 4 ID high 4, 5 Intervall 5, 6 Channel 6, "
              "7 Cal-Cycl 7, 8 Strt low 8, 9 Strt high 9, 10 Prod low 10, 11 Prod high 11, "
              "12 12, 13 13, 14 Offset Pt 14, 15 Gain Pt 15, 16 Offset Pt2 16, 17 Gain Pt2 17, "
              "20 SetCnt1 20, 21 SetCnt2 21");
    EXPECT_EQ(listed(commands::kLedList, "0x%02X"),
              "Off 0x00, Green 0x01, Red 0x02, Orange 0x03, Green Blink 0x05, Red Blink 0x06, "
              "Orange Blink 0x07, Green Flash 0x09, Red Flash 0x0A, Orange Flash 0x0B, "
              "Green Blink 2Hz 0x15, Red Blink 2Hz 0x16, Orange Flash 2Hz 0x1B");
}
