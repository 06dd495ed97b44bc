#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "commands/radio_command.h"
#include "frames/module_address.h"
#include "frames/tea.h"

namespace qrt::app {

/// The configuration group as the operator left it, read at the click.
struct ConfigurationForm {
    int commandIndex = 0;       // CB_Cmd
    std::string serial = "0";   // Ed_SNR
    std::string type = "5";     // ED_Typ
    std::string bytePar = "0";  // Ed_BytePar, hexadecimal with byteHex
    std::string wordPar = "0";  // Ed_WordPar, hexadecimal with wordHex
    bool byteHex = false;
    bool wordHex = false;
    bool broadcast = false;
    bool content = false;        // one content frame of Cont 1 to 4
    bool contentHex = false;     // content words hexadecimal
    bool secondContent = false;  // and a second one of Cont 5 to 8
    std::array<std::string, 8> contentWords{"0", "0", "0", "0", "0", "0", "0", "0"};
    bool authenticate = false;
};

// The window's fields read as they always have been, with C's scan conversions: "%i"
// (an optional sign; 0x hexadecimal, a leading 0 octal, else decimal), "%x", "%hi" and
// "%hx". Nothing is checked: a field that does not scan gives what the form has always
// made of it, mostly 0.

/// The radio command of the configuration group; a serial number or type that does not
/// scan counts as 0, and the serial number is taken as typed (not cut to 28 bits).
[[nodiscard]] commands::RadioCommand radioCommandOf(const ConfigurationForm& form);
/// The same command for the inductive head.
[[nodiscard]] commands::InductiveCommand inductiveCommandOf(const ConfigurationForm& form);

/// The module typed in the serial number and type fields, when both scan.
[[nodiscard]] std::optional<frames::ModuleAddress> typedModule(const std::string& serial,
                                                               const std::string& type);

/// The receive ID filter: 0 when the filter is off, all ones with broadcast, else the
/// typed module's filter ID, the bare serial number when the type does not scan, and 0
/// when the serial number does not.
[[nodiscard]] std::uint32_t idFilterOf(bool filterOn, bool broadcast, const std::string& serial,
                                       const std::string& type);

/// The key of the eight key fields, each read as hexadecimal, its low 16 bits used (0
/// when it does not scan).
[[nodiscard]] frames::TeaKey keyOf(const std::array<std::string, 8>& fields);
/// The key fields' texts for a key: four hexadecimal digits each.
[[nodiscard]] std::array<std::string, 8> keyFieldsOf(const frames::TeaKey& key);

/// The WritePar value: hexadecimal after "0x" or "0X", else "%i"; none when no number
/// is read (nothing is sent).
[[nodiscard]] std::optional<std::int32_t> parameterValueOf(const std::string& text);

/// The CRC field ("%hx"); none when it does not scan (the CRC start keeps its value).
[[nodiscard]] std::optional<std::uint16_t> crcStartOf(const std::string& text);

}  // namespace qrt::app
