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

std::string isoTime(const common::DateTime& t) {
    return common::format<"%04d-%02d-%02dT%02d:%02d:%02d.%03d">(t.year, t.month, t.day, t.hour,
                                                                t.minute, t.second, t.millisecond);
}

std::string valueText(std::int32_t raw, double scale) {
    if (scale == 1.0) {
        return common::format<"%i">(raw);
    }
    return common::format<"%.2f">(raw * scale);
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
    // The value is a number; the other fields are texts (quoted in JSON).
    const std::array<std::string, 5> fields{isoTime(m.time.local()), m.source.text(),
                                            m.channelText(), valueText(m),
                                            std::string(receive::unitText(m.unit))};
    constexpr std::size_t kValue = 3;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (format_ == ValueFormat::Csv) {
            out += i == 0 ? "" : ",";
            appendCsvField(out, fields[i]);
            continue;
        }
        out += i == 0 ? "{\"" : ",\"";
        out += kFieldNames[i];
        out += "\":";
        if (i == kValue) {
            out += fields[i];
        } else {
            appendJsonString(out, fields[i]);
        }
    }
    out += format_ == ValueFormat::Csv ? "\r\n" : "}\n";
}

}  // namespace qrt::values
