#include "archive/record_search.h"

#include <array>

#include "common/text_format.h"

namespace qrt::archive {

namespace {

bool flagged(std::uint16_t word) {
    return (word & 1u) != 0;
}

RecordSearchResult decodeHeader(std::array<std::uint16_t, 4> header, std::uint32_t at) {
    for (std::size_t n = 1; n <= 3; ++n) {
        if ((header[0] & (1u << (11 + n))) == 0) {
            header[n] &= 0xFFFEu;
        }
    }
    const unsigned minutes = (header[0] >> 1) & 0x7FFu;
    const int day = header[2] & 0x1F;
    const int month = (header[2] >> 5) & 0x0F;
    const int year = 2000 + (header[2] >> 9);
    const auto date = encodeDate(year, month, day);
    const auto time = encodeTime(static_cast<int>(minutes / 60), static_cast<int>(minutes % 60), 0);
    RecordSearchResult result;
    result.index = static_cast<std::int32_t>(at);
    if (!date || !time) {
        result.outcome = RecordSearchResult::Outcome::InvalidDate;
        common::assignFormat<
            "Invalid date or time in the archive record at word %u: %02d.%02d.%04d, minute %u of "
            "the day">(result.error, at, day, month, year, minutes);
        return result;
    }
    result.outcome = RecordSearchResult::Outcome::Found;
    result.time = *date + *time;
    result.config = header[3];
    return result;
}

}  // namespace

RecordSearchResult findRecord(std::span<const std::uint16_t> words, std::uint32_t start,
                              std::uint32_t end) {
    auto word = [&](std::uint32_t i) { return words[i % kRingWords]; };
    std::uint32_t i = start % kRingWords;
    if (i == end) {
        return {};
    }
    for (std::uint32_t steps = 0; steps < kRingWords; ++steps) {
        // A header that straddles the ring's end continues at its start.
        if (flagged(word(i)) && flagged(word(i + 1)) && flagged(word(i + 2)) &&
            flagged(word(i + 3)) && !flagged(word(i + 4))) {
            return decodeHeader({word(i), word(i + 1), word(i + 2), word(i + 3)}, i);
        }
        i = (i + 1) % kRingWords;
        if (i == end) {
            break;
        }
    }
    return {};
}

}  // namespace qrt::archive
