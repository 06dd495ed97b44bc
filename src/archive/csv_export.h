#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <span>
#include <string>

#include "archive/date_time.h"
#include "common/clock.h"

namespace qrt::archive {

/// What the export reads of a retrieval.
struct ExportSource {
    std::span<const std::uint16_t> words;  // the archive copy
    std::uint32_t writeWord = 0;           // the module's write position
    std::int32_t firstRecord = -1;         // the oldest record header found
    DateTimeValue selectedStart = 0;       // rows before it are skipped
};

/// How an export ended: the record time and configuration it moved to, or the date
/// error that stopped it (the lines before it stay written).
struct ExportResult {
    bool completed = true;
    std::string error;
    DateTimeValue recordTime = 0;
    std::uint16_t recordConfig = 0;
    std::size_t rows = 0;                    // rows written
    std::optional<DateTimeValue> newestRow;  // the time of the archive's last row, if any
};

/// The proposed file name: "TYPE.SERIAL-YYYYMMDD.csv" with today's date.
[[nodiscard]] std::string proposedCsvName(std::uint32_t type, std::uint32_t serial,
                                          const common::DateTime& today);

/// Writes the archive as CSV: a header line whenever the channel configuration
/// changes, then one line per logging interval with the date, the time and one field
/// per channel, a decimal comma in the values, each line ended by a single CR.
ExportResult writeCsv(const ExportSource& source, std::ostream& out);

}  // namespace qrt::archive
