#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "frames/authenticator.h"
#include "frames/frame_sender.h"

namespace qrt::commands {

/// The configuration group's fields as the operator left them, read at the click.
/// A field whose text does not scan contributes 0.
struct ConfigurationFields {
    int commandIndex = 0;
    std::string serial = "0";   // "%i"
    std::string type = "5";     // "%i"
    std::string bytePar = "0";  // "%x" with byteHex, else "%i"
    std::string wordPar = "0";  // "%x" with wordHex, else "%i"
    bool byteHex = false;
    bool wordHex = false;
    bool broadcast = false;
    bool content = false;        // one content frame of Cont 1 to 4
    bool contentHex = false;     // content words read with "%hx", else "%hi"
    bool secondContent = false;  // and a second one of Cont 5 to 8
    std::array<std::string, 8> contentWords{"0", "0", "0", "0", "0", "0", "0", "0"};
    bool authenticate = false;
    frames::KeyFieldTexts keyFields{};
};

/// Sends the command by radio: command frame, up to two content frames and, for the
/// commands that take one, the authenticator, back to back. Takes a sequence byte.
void sendRadioCommand(frames::FrameSender& sender, const ConfigurationFields& fields);

/// Sends the command inductively (code, WordPar, BytePar after the line break), only
/// while the binary protocol is on.
void sendInductiveCommand(frames::FrameSender& sender, const ConfigurationFields& fields);

/// The receive ID filter: 0 when the filter is off, all ones with broadcast, else the
/// serial number with the type in its top four bits (the bare serial number when the
/// type does not scan; 0 when the serial number does not).
[[nodiscard]] std::uint32_t idFilterFor(bool filterOn, bool broadcast, const std::string& serial,
                                        const std::string& type);

}  // namespace qrt::commands
