#include "receive/measurement.h"

#include "common/text_format.h"

namespace qrt::receive {

std::string ValueSource::text() const {
    switch (kind) {
        case Kind::ShortTelegram:
            return common::format<"%u">(module.serial);
        case Kind::Archive:
            return module.text() + " archive";
        case Kind::Module:
            break;
    }
    return module.text();
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

std::string Measurement::channelText() const {
    std::string text(channel);
    if (channelNumber >= 0) {
        common::appendFormat<" %i">(text, channelNumber);
    }
    return text;
}

}  // namespace qrt::receive
