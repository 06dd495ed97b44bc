#pragma once

#include <chrono>
#include <cstdint>
#include <vector>

#include "frames/device_frames.h"

namespace qrt::sim {

/// How a logging module's archive is filled: records with a flagged header (time,
/// battery, date, configuration word) followed by one data word per channel and row.
struct ArchiveConfig {
    std::uint16_t config = 0x0301;  // channel list and logging interval (bits 13-15)
    std::uint32_t rows = 0;         // rows logged since the ring was new; 0 = no archive
    std::uint32_t rowsPerRecord = 60;
    std::chrono::sys_seconds start{};  // time of the first row (whole minutes)
    std::int16_t temperature = 2150;   // hundredths of a degree
    std::uint8_t battery = 150;        // units of 0.02 V
};

/// One row as logged: its time and the data words of its channels.
struct ArchiveRow {
    std::chrono::sys_seconds time;
    std::uint16_t config;
    std::vector<std::uint16_t> words;
};

/// A logging module's ring of 2,044 blocks of 32 words, filled as the module would have
/// filled it; the unwritten part of a ring that never wrapped holds 0xFFFF.
class ArchiveRing {
  public:
    static constexpr std::uint32_t kBlocks = 2044;
    static constexpr std::uint32_t kWords = kBlocks * 32;

    explicit ArchiveRing(const ArchiveConfig& config);

    [[nodiscard]] std::uint16_t writeWord() const { return static_cast<std::uint16_t>(writeWord_); }
    [[nodiscard]] bool wrapped() const { return wrapped_; }
    /// The 32 words of block `number` (taken modulo the ring).
    [[nodiscard]] frames::LoggerWords block(std::uint32_t number) const;
    /// Every row logged, oldest first, including those the ring has overwritten.
    [[nodiscard]] const std::vector<ArchiveRow>& rows() const { return rows_; }
    /// Minutes between rows for a configuration word.
    [[nodiscard]] static int intervalMinutes(std::uint16_t config);

  private:
    void put(std::uint16_t word);

    std::vector<std::uint16_t> words_;
    std::vector<ArchiveRow> rows_;
    std::uint32_t writeWord_ = 0;
    bool wrapped_ = false;
};

}  // namespace qrt::sim
