#include "sim/archive_ring.h"

#include <array>
#include <cmath>

#include "receive/channel_list.h"

namespace qrt::sim {

namespace {

using namespace std::chrono;

std::uint16_t dateWord(sys_seconds time) {
    const year_month_day date{floor<days>(time)};
    return static_cast<std::uint16_t>(static_cast<unsigned>(date.day()) |
                                      (static_cast<unsigned>(date.month()) << 5) |
                                      ((static_cast<int>(date.year()) - 2000) << 9));
}

// A data word for one channel: bit 0 always clear.
std::uint16_t dataWord(std::uint8_t kind, std::uint32_t row, const ArchiveConfig& config) {
    using namespace receive;
    switch (kind) {
        case kTemp0:
        case kTemp1:
        case kTemp2: {
            const double wave = 150.0 * std::sin(row / 30.0) + (kind - 1) * 100.0;
            return static_cast<std::uint16_t>(
                static_cast<std::int16_t>(config.temperature + static_cast<int>(wave)) & ~1);
        }
        case kStatus1:
        case kStatus2:
        case kStatusPair:
            return static_cast<std::uint16_t>(((row * 0x0A5u) & 0x0FFFu) << 1);
        case kCounter1:
        case kCounter2:
            return static_cast<std::uint16_t>((row * (kind - 6u)) << 1);
        default:  // hour meters, in seconds
            return static_cast<std::uint16_t>((row * 60u) << 1);
    }
}

}  // namespace

int ArchiveRing::intervalMinutes(std::uint16_t config) {
    static constexpr std::array<int, 8> kMinutes{1, 2, 5, 10, 15, 30, 60, 120};
    return kMinutes[config >> 13];
}

ArchiveRing::ArchiveRing(const ArchiveConfig& config) : words_(kWords, 0xFFFF) {
    const receive::ChannelList channels = receive::deriveChannelList(config.config);
    const std::size_t wordsPerRow = channels.empty() ? 1 : channels.count;
    const minutes interval{intervalMinutes(config.config)};
    for (std::uint32_t row = 0; row < config.rows; ++row) {
        const sys_seconds time = config.start + row * interval;
        if (row % std::max<std::uint32_t>(config.rowsPerRecord, 1) == 0) {
            // Header words carry bit 0 set; the true bit 0 of words 1 to 3 goes to
            // bits 12 to 14 of word 0.
            const auto minute = static_cast<std::uint16_t>(
                duration_cast<minutes>(time - floor<days>(time)).count());
            const std::uint16_t battery = config.battery;
            const std::uint16_t date = dateWord(time);
            const std::uint16_t flags = static_cast<std::uint16_t>(
                ((battery & 1u) << 12) | ((date & 1u) << 13) | ((config.config & 1u) << 14));
            put(static_cast<std::uint16_t>((minute << 1) | 1u | flags));
            put(battery | 1u);
            put(date | 1u);
            put(config.config | 1u);
        }
        ArchiveRow logged{time, config.config, {}};
        for (std::size_t k = 0; k < wordsPerRow; ++k) {
            const std::uint16_t word = channels.empty() ? static_cast<std::uint16_t>(row << 1)
                                                        : dataWord(channels.kinds[k], row, config);
            put(word);
            logged.words.push_back(word);
        }
        rows_.push_back(std::move(logged));
    }
}

void ArchiveRing::put(std::uint16_t word) {
    words_[writeWord_] = word;
    writeWord_ = (writeWord_ + 1) % kWords;
    if (writeWord_ == 0) {
        wrapped_ = true;
    }
}

frames::LoggerWords ArchiveRing::block(std::uint32_t number) const {
    frames::LoggerWords words{};
    const std::size_t first = (number % kBlocks) * 32u;
    for (std::size_t i = 0; i < words.size(); ++i) {
        words[i] = words_[first + i];
    }
    return words;
}

}  // namespace qrt::sim
