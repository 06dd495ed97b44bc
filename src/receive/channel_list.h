#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace qrt::receive {

/// Channel kinds of a logging module's record, derived from its configuration word.
enum ChannelKind : std::uint8_t {
    kTemp0 = 1,
    kTemp1 = 2,
    kTemp2 = 3,
    kStatus1 = 4,
    kStatus2 = 5,
    kStatusPair = 6,
    kCounter1 = 7,
    kCounter2 = 8,
    kHourMeter1 = 9,
    kHourMeter2 = 10,
};

/// Up to six channel kinds, in the order their values follow in a record.
struct ChannelList {
    std::array<std::uint8_t, 6> kinds{};
    std::size_t count = 0;

    void add(std::uint8_t kind) { kinds[count++] = kind; }
    [[nodiscard]] bool empty() const { return count == 0; }
    bool operator==(const ChannelList&) const = default;
};

/// The channel list of a configuration word: Temp0 (bit 0), Temp1 (bits 1-3),
/// Temp2 (bits 4-6), then status, counter and hour meter channels from the 3-bit
/// fields a (bits 7-9) and b (bits 10-12).
[[nodiscard]] ChannelList deriveChannelList(std::uint16_t cfg);

}  // namespace qrt::receive
