#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "archive/date_time.h"

namespace qrt::archive {

/// Words of a logging module's ring: blocks 0 to 2,043.
inline constexpr std::uint32_t kRingWords = 65408;
inline constexpr std::uint32_t kRingBlocks = 2044;

/// A record header found in the archive copy.
struct RecordSearchResult {
    enum class Outcome { Found, NotFound, InvalidDate } outcome = Outcome::NotFound;
    std::int32_t index = -1;   // word index of the header
    DateTimeValue time = 0;    // its date and time
    std::uint16_t config = 0;  // its configuration word
    std::string error;         // what was wrong with an invalid date or time
};

/// Looks for a record header (four words with bit 0 set, then one with bit 0 clear)
/// from word `start` up to, not including, word `end`, indices taken round the ring.
/// Bit 0 of header words 1 to 3 is restored from bits 12 to 14 of word 0.
[[nodiscard]] RecordSearchResult findRecord(std::span<const std::uint16_t> words,
                                            std::uint32_t start, std::uint32_t end);

}  // namespace qrt::archive
