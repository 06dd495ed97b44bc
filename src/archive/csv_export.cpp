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
        line_ = shortDate(time) + " " + longTime(time);
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

ExportResult walkRows(const ExportSource& source, RowVisitor& visitor) {
    ExportResult result;
    if (source.firstRecord < 0) {
        return result;
    }
    if (source.writeWord >= kRingWords) {
        // The export runs up to the write position; one outside the ring is never met.
        return failure("The module's write position lies outside its archive.");
    }
    RecordSearchResult record =
        findRecord(source.words, static_cast<std::uint32_t>(source.firstRecord), source.writeWord);
    if (record.outcome == RecordSearchResult::Outcome::InvalidDate) {
        return failure(record.error);
    }
    DateTimeValue time = record.time;
    std::uint16_t config = record.config;
    ChannelList channels = receive::deriveChannelList(config);
    std::uint16_t shownConfig = 0;
    std::size_t column = 0;
    std::array<std::uint16_t, 6> rowWords{};

    // The header a search finds depends only on the words from where it started, so the
    // answer holds for every later word up to that header: a run of header-flagged words
    // that form no header costs one search, not one each.
    std::uint32_t searchedFrom = 0;
    std::optional<RecordSearchResult> lastSearch;
    auto distance = [](std::uint32_t from, std::uint32_t to) {
        return (to + kRingWords - from) % kRingWords;
    };
    auto nextRecord = [&](std::uint32_t from) {
        const bool reusable =
            lastSearch &&
            (lastSearch->outcome == RecordSearchResult::Outcome::NotFound ||
             distance(searchedFrom, from) <=
                 distance(searchedFrom, static_cast<std::uint32_t>(lastSearch->index)));
        if (!reusable) {
            searchedFrom = from;
            lastSearch = findRecord(source.words, from, source.writeWord);
        }
        return *lastSearch;
    };

    // A first record whose header reaches the write position holds no rows, as for the
    // headers found later: starting behind the write position would send the export
    // round the whole ring through stale words.
    if (distance(static_cast<std::uint32_t>(source.firstRecord), source.writeWord) <= 4) {
        result.recordTime = time;
        result.recordConfig = config;
        return result;
    }
    std::uint32_t u = (static_cast<std::uint32_t>(source.firstRecord) + 4) % kRingWords;
    for (std::uint32_t steps = 0; steps < kRingWords; ++steps) {
        const std::uint16_t w = source.words[u];
        if ((w & 1u) != 0) {
            const RecordSearchResult next = nextRecord(u);
            if (next.outcome == RecordSearchResult::Outcome::InvalidDate) {
                return failure(next.error, time, config);
            }
            if (next.outcome == RecordSearchResult::Outcome::Found) {
                // A header reaching the write position holds no rows; skipping past the
                // write position would send the export round the ring again and again.
                if (distance(static_cast<std::uint32_t>(next.index), source.writeWord) < 4) {
                    break;
                }
                time = next.time;
                config = next.config;
                channels = receive::deriveChannelList(config);
                u = (static_cast<std::uint32_t>(next.index) + 3) % kRingWords;
                lastSearch.reset();
            }
            column = 0;  // a row begun before the header is dropped
        } else {
            if (channels.empty()) {
                channels.add(0);  // without channels each data word is a row of its own
            }
            const bool shown = time >= source.selectedStart;
            if (column == 0 && shown && config != shownConfig) {
                shownConfig = config;
                visitor.header(channels);
            }
            rowWords[column] = w;
            column = (column + 1) % channels.count;
            if (column == 0) {
                if (shown) {
                    visitor.row(time, channels, std::span(rowWords).first(channels.count));
                    ++result.rows;
                }
                result.newestRow = time;
                time += kIntervalMinutes[config >> 13] * kDayPerMinute;
            }
        }
        u = (u + 1) % kRingWords;
        if (u == source.writeWord) {
            break;
        }
    }
    result.recordTime = time;
    result.recordConfig = config;
    return result;
}

}  // namespace qrt::archive
