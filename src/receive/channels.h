#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "receive/channel_list.h"
#include "receive/measurement.h"

namespace qrt::receive {

// The factors of the integers the modules send to their units.
inline constexpr double kTemperatureScale = 0.01;  // hundredths of a degree Celsius
inline constexpr double kBatteryScale = 0.02;      // units of 0.02 V
// An hour meter counts seconds; the module's software keeps the factor in single precision.
inline constexpr double kHourPerSecond = static_cast<double>(0.00027777778f);

/// A channel of a module's telegram: its kind (0 to 10, the low nibble of BytePar for
/// module types 5 and 6) names it.
struct TelegramChannel {
    std::string_view caption;  // seven characters, padded with blanks, as the line shows it
    std::string_view name;     // the channel of its value
    Unit unit;
    double scale;
};

inline constexpr std::array<TelegramChannel, 11> kTelegramChannels{{
    {"Bat_Dig", "Bat_Dig", Unit::Raw, 1.0},  // the digital inputs; the battery is "Bat"
    {"Config ", "Config", Unit::Raw, 1.0},
    {"Temp1  ", "Temp1", Unit::Celsius, kTemperatureScale},
    {"Temp2  ", "Temp2", Unit::Celsius, kTemperatureScale},
    {"Count1 ", "Count1", Unit::Count, 1.0},
    {"Count2 ", "Count2", Unit::Count, 1.0},
    {"Aux1   ", "Aux1", Unit::Raw, 1.0},
    {"Aux2   ", "Aux2", Unit::Raw, 1.0},
    {"Aux3   ", "Aux3", Unit::Raw, 1.0},
    {"Aux4   ", "Aux4", Unit::Raw, 1.0},
    {"Aux5   ", "Aux5", Unit::Raw, 1.0},
}};

/// The one or two values a logger data word holds for a channel kind of a record (Temp0 to
/// Temp2, Status1, Status2, both status values, Counter1, Counter2, HourMeter1,
/// HourMeter2, or a Value of a record without channels): what the CSV fields, the plot
/// and the communication pane's record lines show.
struct LoggerValues {
    std::array<Measurement, 2> values{};
    std::size_t count = 0;
    void add(const Measurement& value) { values[count++] = value; }
    [[nodiscard]] auto begin() const { return values.begin(); }
    [[nodiscard]] auto end() const { return values.begin() + static_cast<std::ptrdiff_t>(count); }
};
[[nodiscard]] LoggerValues loggerValues(std::uint8_t kind, std::uint16_t word);

}  // namespace qrt::receive
