#include "archive/csv_export.h"

#include <array>
#include <optional>
#include <string_view>

#include "archive/record_search.h"
#include "common/text_format.h"
#include "receive/channel_list.h"
#include "receive/channels.h"

namespace qrt::archive {

namespace {

using common::format;
using receive::ChannelList;

constexpr std::array<int, 8> kIntervalMinutes{1, 2, 5, 10, 15, 30, 60, 120};
// The module's software keeps this factor in single precision.
constexpr double kDayPerMinute = static_cast<double>(0.00069444446f);

const char* headerText(std::uint8_t kind) {
    switch (kind) {
        case 1:
            return ";Temp0";
        case 2:
            return ";Temp1";
        case 3:
            return ";Temp2";
        case 4:
        case 5:
            return ";Status1";
        case 6:
            return ";Status1;Status2";
        case 7:
            return ";Counter1";
        case 8:
            return ";Counter2";
        case 9:
        case 10:
            return ";HourMeter1";
        default:
            return "";
    }
}

void appendField(std::string& line, std::uint8_t kind, std::uint16_t w) {
    for (const receive::Measurement& value : receive::loggerValues(kind, w)) {
        if (value.scale == 1.0) {
            common::appendFormat<";%u">(line, static_cast<unsigned>(value.raw));
        } else {
            common::appendFormat<";%4.2f">(line, value.value());
        }
    }
}

std::string headerLine(const ChannelList& channels) {
    std::string line = "DateTime";
    for (std::size_t i = 0; i < channels.count; ++i) {
        line += headerText(channels.kinds[i]);
    }
    return line;
}

// The date keeps its points; every point after it becomes a decimal comma.
void decimalCommas(std::string& line) {
    for (std::size_t i = 11; i < line.size(); ++i) {
        if (line[i] == '.') {
            line[i] = ',';
        }
    }
}

ExportResult failure(std::string error, DateTimeValue time = 0, std::uint16_t config = 0) {
    ExportResult result;
    result.completed = false;
    result.error = std::move(error);
    result.recordTime = time;
    result.recordConfig = config;
    return result;
}

// Lines of the CSV file: a header line whenever the configuration changes, then the rows.
class CsvLines final : public RowVisitor {
  public:
    explicit CsvLines(std::ostream& out) : out_(out) {}
    void header(const ChannelList& channels) override { out_ << headerLine(channels) << '\r'; }
    void row(DateTimeValue time, const ChannelList& channels,
             std::span<const std::uint16_t> words) override {
        line_ = dateAndTime(time);
        for (std::size_t i = 0; i < words.size(); ++i) {
            appendField(line_, channels.kinds[i], words[i]);
        }
        decimalCommas(line_);
        out_ << line_ << '\r';
    }

  private:
    std::ostream& out_;
    std::string line_;
};

// The values of each row, as measurements of the module's archive.
class RowValues final : public RowVisitor {
  public:
    RowValues(const receive::ValueSource& module,
              const std::function<void(const receive::Measurement&)>& take)
        : module_(module), take_(take) {}
    void header(const ChannelList&) override {}
    void row(DateTimeValue time, const ChannelList& channels,
             std::span<const std::uint16_t> words) override {
        // The module logs in the local time of its site.
        const common::Timestamp at = common::systemTimestampOfLocal(toDateTime(time));
        for (std::size_t i = 0; i < words.size(); ++i) {
            for (receive::Measurement value : receive::loggerValues(channels.kinds[i], words[i])) {
                value.time = at;
                value.source = module_;
                take_(value);
            }
        }
    }

  private:
    receive::ValueSource module_;
    const std::function<void(const receive::Measurement&)>& take_;
};

}  // namespace

std::string proposedCsvName(const frames::ModuleAddress& module, const common::DateTime& today) {
    return format<"%u.%u-%4.4u%2.2u%2.2u.csv">(
        module.type, module.serial, static_cast<unsigned>(today.year),
        static_cast<unsigned>(today.month), static_cast<unsigned>(today.day));
}

ExportResult writeCsv(const ExportSource& source, std::ostream& out) {
    CsvLines lines(out);
    return walkRows(source, lines);
}

ExportResult archiveValues(const ExportSource& source, const receive::ValueSource& module,
                           const std::function<void(const receive::Measurement&)>& take) {
    RowValues values(module, take);
    return walkRows(source, values);
}

namespace {

// The archive's words from the oldest record to the write position: record headers
// (flagged by bit 0) set the time and the channels, the data words between them fill
// rows of one word per channel.
class RowWalk {
  public:
    RowWalk(const ExportSource& source, RowVisitor& visitor) : source_(source), visitor_(visitor) {}

    ExportResult walk() {
        if (source_.firstRecord < 0) {
            return result_;
        }
        if (source_.writeWord >= kRingWords) {
            // The export runs up to the write position; one outside the ring is never met.
            return failure("The module's write position lies outside its archive.");
        }
        const auto first = static_cast<std::uint32_t>(source_.firstRecord);
        const RecordSearchResult record = findRecord(source_.words, first, source_.writeWord);
        if (record.outcome == RecordSearchResult::Outcome::InvalidDate) {
            return failure(record.error);
        }
        enterRecord(record);
        // A first record whose header reaches the write position holds no rows, as for the
        // headers found later: starting behind the write position would send the export
        // round the whole ring through stale words.
        if (distance(first, source_.writeWord) > 4 && !walkFrom((first + 4) % kRingWords)) {
            return failure(error_, time_, config_);
        }
        result_.recordTime = time_;
        result_.recordConfig = config_;
        return result_;
    }

  private:
    static std::uint32_t distance(std::uint32_t from, std::uint32_t to) {
        return (to + kRingWords - from) % kRingWords;
    }

    // Walks the words from `u` up to the write position; false at an invalid date.
    bool walkFrom(std::uint32_t u) {
        for (std::uint32_t steps = 0; steps < kRingWords; ++steps) {
            const std::uint16_t w = source_.words[u];
            if ((w & 1u) != 0) {
                const RecordSearchResult next = nextRecord(u);
                if (next.outcome == RecordSearchResult::Outcome::InvalidDate) {
                    error_ = next.error;
                    return false;
                }
                if (next.outcome == RecordSearchResult::Outcome::Found) {
                    // A header reaching the write position holds no rows; skipping past the
                    // write position would send the export round the ring again and again.
                    if (distance(static_cast<std::uint32_t>(next.index), source_.writeWord) < 4) {
                        return true;
                    }
                    enterRecord(next);
                    u = (static_cast<std::uint32_t>(next.index) + 3) % kRingWords;
                    lastSearch_.reset();
                }
                column_ = 0;  // a row begun before the header is dropped
            } else {
                addWord(w);
            }
            u = (u + 1) % kRingWords;
            if (u == source_.writeWord) {
                return true;
            }
        }
        return true;
    }

    void enterRecord(const RecordSearchResult& record) {
        time_ = record.time;
        config_ = record.config;
        channels_ = receive::deriveChannelList(config_);
    }

    // The header a search finds depends only on the words from where it started, so the
    // answer holds for every later word up to that header: a run of header-flagged words
    // that form no header costs one search, not one each.
    RecordSearchResult nextRecord(std::uint32_t from) {
        const bool reusable =
            lastSearch_ &&
            (lastSearch_->outcome == RecordSearchResult::Outcome::NotFound ||
             distance(searchedFrom_, from) <=
                 distance(searchedFrom_, static_cast<std::uint32_t>(lastSearch_->index)));
        if (!reusable) {
            searchedFrom_ = from;
            lastSearch_ = findRecord(source_.words, from, source_.writeWord);
        }
        return *lastSearch_;
    }

    // A data word: the next field of the row; a complete row from the selected start is
    // shown, behind a header line when the configuration changed.
    void addWord(std::uint16_t w) {
        if (channels_.empty()) {
            channels_.add(0);  // without channels each data word is a row of its own
        }
        const bool shown = time_ >= source_.selectedStart;
        if (column_ == 0 && shown && config_ != shownConfig_) {
            shownConfig_ = config_;
            visitor_.header(channels_);
        }
        rowWords_[column_] = w;
        column_ = (column_ + 1) % channels_.count;
        if (column_ != 0) {
            return;
        }
        if (shown) {
            visitor_.row(time_, channels_, std::span(rowWords_).first(channels_.count));
            ++result_.rows;
            result_.firstRow = result_.firstRow.value_or(time_);
            result_.lastRow = time_;
        }
        result_.newestRow = time_;
        time_ += kIntervalMinutes[config_ >> 13] * kDayPerMinute;
    }

    const ExportSource& source_;
    RowVisitor& visitor_;
    ExportResult result_;
    std::string error_;
    DateTimeValue time_ = 0;
    std::uint16_t config_ = 0;
    ChannelList channels_;
    std::uint16_t shownConfig_ = 0;
    std::size_t column_ = 0;
    std::array<std::uint16_t, 6> rowWords_{};
    std::uint32_t searchedFrom_ = 0;
    std::optional<RecordSearchResult> lastSearch_;
};

}  // namespace

std::string noRowsText(DateTimeValue selectedStart, const std::optional<DateTimeValue>& newestRow) {
    return "No records from the selected start " + dateAndTime(selectedStart) +
           (newestRow ? "; the newest record is " + dateAndTime(*newestRow)
                      : "; the archive holds no rows");
}

ExportResult walkRows(const ExportSource& source, RowVisitor& visitor) {
    return RowWalk(source, visitor).walk();
}

}  // namespace qrt::archive
