#pragma once

#include <compare>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/clock.h"
#include "frames/module_address.h"

namespace qrt::receive {

/// Where a value came from: a module, the module of a short telegram (which names only
/// its number: kept as the serial number of type 0), or a module's archive read back by a
/// retrieval.
struct ValueSource {
    enum class Kind : std::uint8_t { Module, ShortTelegram, Archive };
    Kind kind = Kind::Module;
    frames::ModuleAddress module{};

    /// "TYPE.SERIAL", the short telegram's "NUMBER", or "TYPE.SERIAL archive".
    [[nodiscard]] std::string text() const;
    void appendText(std::string& out) const;
    auto operator<=>(const ValueSource&) const = default;
};

/// The unit a value is shown in.
enum class Unit : std::uint8_t { Celsius, Volt, Count, Hour, Raw };

/// "°C", "V", "counts", "h" or "raw".
[[nodiscard]] std::string_view unitText(Unit unit);

/// One decoded value: the number its text line shows, with where and when it was
/// measured. The value is the received integer times its scale, computed once, so the
/// text and the data cannot differ.
struct Measurement {
    common::Timestamp time{};  // when the poll (or the archive row) was
    ValueSource source{};
    std::string_view channel;         // static text: "Temp1", "Bat", "Signal", "Sample", ...
    std::int32_t channelNumber = -1;  // the sample number behind "Sample"; -1 = none
    std::int32_t raw = 0;             // the integer as received
    double scale = 1.0;               // factor to the unit
    Unit unit = Unit::Raw;

    [[nodiscard]] double value() const { return raw * scale; }
    /// The channel with its number, if any: "Temp1", "Sample 100".
    [[nodiscard]] std::string channelText() const;
    void appendChannelText(std::string& out) const;
};

}  // namespace qrt::receive
