#include "receive/measurement.h"

#include "common/text_format.h"

namespace qrt::receive {

void ValueSource::appendText(std::string& out) const {
    if (kind == Kind::ShortTelegram) {
        return common::appendFormat<"%u">(out, module.serial);
    }
    common::appendFormat<"%u.%u">(out, module.type, module.serial);
    if (kind == Kind::Archive) {
        out += " archive";
    }
}

std::string ValueSource::text() const {
    std::string text;
    appendText(text);
    return text;
}

std::string_view unitText(Unit unit) {
    switch (unit) {
        case Unit::Celsius:
            return "\u00B0C";
        case Unit::Volt:
            return "V";
        case Unit::Count:
            return "counts";
        case Unit::Hour:
            return "h";
        case Unit::Raw:
            break;
    }
    return "raw";
}

void Measurement::appendChannelText(std::string& out) const {
    out += channel;
    if (channelNumber >= 0) {
        common::appendFormat<" %i">(out, channelNumber);
    }
}

std::string Measurement::channelText() const {
    std::string text;
    appendChannelText(text);
    return text;
}

}  // namespace qrt::receive
