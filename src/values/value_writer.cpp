#include "values/value_writer.h"

#include <array>

#include "common/text_format.h"

namespace qrt::values {

void appendCsvField(std::string& row, std::string_view field) {
    if (field.find_first_of(",\"\r\n") == std::string_view::npos) {
        row += field;
        return;
    }
    row += '"';
    for (const char c : field) {
        row += c;
        if (c == '"') {
            row += '"';
        }
    }
    row += '"';
}

namespace {

// The names of a row's fields: the CSV header and the JSON keys.
constexpr std::array<std::string_view, 5> kFieldNames{"time", "module", "channel", "value", "unit"};

}  // namespace

void appendJsonString(std::string& out, std::string_view text) {
    out += '"';
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            common::appendFormat<"\\u%04x">(out, static_cast<unsigned>(c));
        } else {
            out += c;
        }
    }
    out += '"';
}

std::optional<ValueFormat> valueFormatNamed(std::string_view name) {
    if (name == "csv") {
        return ValueFormat::Csv;
    }
    if (name == "jsonl") {
        return ValueFormat::JsonLines;
    }
    return std::nullopt;
}

void appendIsoTime(std::string& out, const common::DateTime& t) {
    common::appendFormat<"%04d-%02d-%02dT%02d:%02d:%02d.%03d">(out, t.year, t.month, t.day, t.hour,
                                                               t.minute, t.second, t.millisecond);
}

void appendValueText(std::string& out, std::int32_t raw, double scale) {
    if (scale == 1.0) {
        return common::appendFormat<"%i">(out, raw);
    }
    common::appendFormat<"%.2f">(out, raw * scale);
}

std::string ValueWriter::header() const {
    std::string header;
    if (format_ == ValueFormat::Csv) {
        for (const std::string_view name : kFieldNames) {
            if (!header.empty()) {
                header += ',';
            }
            header += name;
        }
        header += "\r\n";
    }
    return header;
}

void ValueWriter::append(const receive::Measurement& m, std::string& out) {
    // The values of a poll share its time: its text is made once.
    if (m.time != shownTime_ || timeText_.empty()) {
        shownTime_ = m.time;
        timeText_.clear();
        appendIsoTime(timeText_, m.time.local());
    }
    module_.clear();
    m.source.appendText(module_);
    channel_.clear();
    m.appendChannelText(channel_);
    const std::string_view unit = receive::unitText(m.unit);
    if (format_ == ValueFormat::Csv) {
        // Time, module, value and unit are digits, dots, dashes and plain words: only
        // the channel could need quotes.
        out += timeText_;
        out += ',';
        out += module_;
        out += ',';
        appendCsvField(out, channel_);
        out += ',';
        appendValueText(out, m.raw, m.scale);
        out += ',';
        out += unit;
        out += "\r\n";
        return;
    }
    // The value is a number; the other fields are texts.
    const auto key = [&out](std::size_t field) {
        out += field == 0 ? "{\"" : ",\"";
        out += kFieldNames[field];
        out += "\":";
    };
    key(0);
    appendJsonString(out, timeText_);
    key(1);
    appendJsonString(out, module_);
    key(2);
    appendJsonString(out, channel_);
    key(3);
    appendValueText(out, m.raw, m.scale);
    key(4);
    appendJsonString(out, unit);
    out += "}\n";
}

}  // namespace qrt::values
