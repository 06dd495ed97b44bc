#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>
#include <span>
#include <string>

#include "archive/date_time.h"
#include "common/clock.h"
#include "receive/channel_list.h"
#include "receive/measurement.h"

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
    std::size_t rows = 0;                   // rows written
    std::optional<DateTimeValue> firstRow;  // the times of the first and last row written
    std::optional<DateTimeValue> lastRow;
    std::optional<DateTimeValue> newestRow;  // the time of the archive's last row, if any
};

/// Why an export holds no rows, in words: "No records from the selected start
/// 17.11.2026 22:00:00; the newest record is 24.11.2026 22:00:00" (or "; the archive holds
/// no rows").
[[nodiscard]] std::string noRowsText(DateTimeValue selectedStart,
                                     const std::optional<DateTimeValue>& newestRow);

/// What a walk through the archive's rows reports: a header whenever the channel
/// configuration changes before a row from the selected start, then each complete row
/// from the selected start with its data words in channel order.
class RowVisitor {
  public:
    virtual ~RowVisitor() = default;
    virtual void header(const receive::ChannelList& channels) = 0;
    virtual void row(DateTimeValue time, const receive::ChannelList& channels,
                     std::span<const std::uint16_t> words) = 0;
};

/// Walks the archive from the oldest record to the write position, as the CSV export
/// does (the rules are those of `writeCsv`).
ExportResult walkRows(const ExportSource& source, RowVisitor& visitor);

/// The proposed file name: "TYPE.SERIAL-YYYYMMDD.csv" with today's date.
[[nodiscard]] std::string proposedCsvName(const frames::ModuleAddress& module,
                                          const common::DateTime& today);

/// Writes the archive as CSV: a header line whenever the channel configuration
/// changes, then one line per logging interval with the date, the time and one field
/// per channel, a decimal comma in the values, each line ended by a single CR.
ExportResult writeCsv(const ExportSource& source, std::ostream& out);

/// The values the CSV rows hold, one measurement per field with the row's time, for a
/// plot of the archive of `module`.
ExportResult archiveValues(const ExportSource& source, const receive::ValueSource& module,
                           const std::function<void(const receive::Measurement&)>& take);

}  // namespace qrt::archive
