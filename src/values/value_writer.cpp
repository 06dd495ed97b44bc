#include "values/value_writer.h"

#include "common/text_format.h"

namespace qrt::values {

namespace {

// A CSV field, quoted when it holds a separator, a quote or a line break.
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
        std::fputs("time,module,channel,value,unit\r\n", out_);
    }
}

void ValueWriter::write(const receive::Measurement& m) {
    row_.clear();
    if (format_ == ValueFormat::Csv) {
        row_ += isoTime(m.time);
        row_ += ',';
        appendCsvField(row_, m.module.text());
        row_ += ',';
        appendCsvField(row_, m.channelText());
        row_ += ',';
        row_ += valueText(m);
        row_ += ',';
        appendCsvField(row_, receive::unitText(m.unit));
        row_ += "\r\n";
    } else {
        row_ += "{\"time\":";
        appendJsonString(row_, isoTime(m.time));
        row_ += ",\"module\":";
        appendJsonString(row_, m.module.text());
        row_ += ",\"channel\":";
        appendJsonString(row_, m.channelText());
        row_ += ",\"value\":";
        row_ += valueText(m);
        row_ += ",\"unit\":";
        appendJsonString(row_, receive::unitText(m.unit));
        row_ += "}\n";
    }
    std::fwrite(row_.data(), 1, row_.size(), out_);
}

}  // namespace qrt::values
