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

void appendJsonString(std::string& row, std::string_view text) {
    row += '"';
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            row += '\\';
            row += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            common::appendFormat<"\\u%04x">(row, static_cast<unsigned>(c));
        } else {
            row += c;
        }
    }
    row += '"';
}

}  // namespace

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

std::string valueText(const receive::Measurement& measurement) {
    if (measurement.scale == 1.0) {
        return common::format<"%i">(measurement.raw);
    }
    return common::format<"%.2f">(measurement.value());
}

ValueWriter::ValueWriter(std::FILE* out, ValueFormat format) : out_(out), format_(format) {
    if (format_ == ValueFormat::Csv) {
        std::string header;
        for (const std::string_view name : kFieldNames) {
            if (!header.empty()) {
                header += ',';
            }
            header += name;
        }
        header += "\r\n";
        std::fputs(header.c_str(), out_);
    }
}

void ValueWriter::write(const receive::Measurement& m) {
    // The value is a number; the other fields are texts (quoted in JSON).
    const std::array<std::string, 5> fields{isoTime(m.time), m.module.text(), m.channelText(),
                                            valueText(m), std::string(receive::unitText(m.unit))};
    constexpr std::size_t kValue = 3;
    row_.clear();
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (format_ == ValueFormat::Csv) {
            row_ += i == 0 ? "" : ",";
            appendCsvField(row_, fields[i]);
            continue;
        }
        row_ += i == 0 ? "{\"" : ",\"";
        row_ += kFieldNames[i];
        row_ += "\":";
        if (i == kValue) {
            row_ += fields[i];
        } else {
            appendJsonString(row_, fields[i]);
        }
    }
    row_ += format_ == ValueFormat::Csv ? "\r\n" : "}\n";
    std::fwrite(row_.data(), 1, row_.size(), out_);
}

}  // namespace qrt::values
