#include "receive/channels.h"

namespace qrt::receive {

namespace {

// Bits 0, 2, 4, 6, 8 and 10 of x as a 6-bit number: one of a status pair.
std::int32_t evenBits(unsigned x) {
    unsigned value = 0;
    for (unsigned k = 0; k < 6; ++k) {
        value |= ((x >> (2 * k)) & 1u) << k;
    }
    return static_cast<std::int32_t>(value);
}

Measurement value(std::string_view channel, std::int32_t raw, double scale, Unit unit) {
    return {.channel = channel, .raw = raw, .scale = scale, .unit = unit};
}

}  // namespace

LoggerValues loggerValues(std::uint8_t kind, std::uint16_t word) {
    // Every data word has bit 0 clear: the value sits above it, but for a temperature,
    // which is the whole word, signed.
    const unsigned x = word >> 1;
    LoggerValues values;
    switch (kind) {
        case kTemp0:
        case kTemp1:
        case kTemp2: {
            constexpr std::array<std::string_view, 3> kNames{"Temp0", "Temp1", "Temp2"};
            values.add(value(kNames[kind - kTemp0], static_cast<std::int16_t>(word),
                             kTemperatureScale, Unit::Celsius));
            break;
        }
        case kStatus1:
            values.add(value("Status1", evenBits(x), 1.0, Unit::Raw));
            break;
        case kStatus2:
            values.add(value("Status2", evenBits(x >> 1), 1.0, Unit::Raw));
            break;
        case kStatusPair:
            values.add(value("Status1", evenBits(x), 1.0, Unit::Raw));
            values.add(value("Status2", evenBits(x >> 1), 1.0, Unit::Raw));
            break;
        case kCounter1:
        case kCounter2:
            values.add(value(kind == kCounter1 ? "Counter1" : "Counter2",
                             static_cast<std::int32_t>(x), 1.0, Unit::Count));
            break;
        case kHourMeter1:
        case kHourMeter2:
            values.add(value(kind == kHourMeter1 ? "HourMeter1" : "HourMeter2",
                             static_cast<std::int32_t>(x), kHourPerSecond, Unit::Hour));
            break;
        default:
            values.add(value("Value", static_cast<std::int32_t>(x), 1.0, Unit::Raw));
            break;
    }
    return values;
}

}  // namespace qrt::receive
