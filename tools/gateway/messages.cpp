#include "gateway/messages.h"

#include <cstdlib>

#include "common/text_format.h"
#include "values/value_writer.h"

namespace qrt::gateway {

std::string topicLevel(std::string_view text) {
    std::string level(text);
    for (char& c : level) {
        if (c == '+' || c == '#' || c == '/' || static_cast<unsigned char>(c) <= ' ') {
            c = '_';
        }
    }
    return level;
}

std::string valueTopic(const std::string& prefix, const StoredValue& value) {
    return prefix + "/" + topicLevel(value.source.text()) + "/" + topicLevel(value.channel);
}

std::string valuePayload(const StoredValue& value) {
    const common::DateTime t = value.time.local();
    const int offset = value.time.utcOffsetSeconds;
    std::string json = "{\"time\":\"";
    values::appendIsoTime(json, t);
    common::appendFormat<"%c%02d:%02d\"">(json, offset < 0 ? '-' : '+', std::abs(offset) / 3600,
                                          std::abs(offset) / 60 % 60);
    json += ",\"value\":";
    values::appendValueText(json, value.raw, value.scale);
    json += ",\"unit\":";
    values::appendJsonString(json, receive::unitText(value.unit));
    json += '}';
    return json;
}

}  // namespace qrt::gateway
