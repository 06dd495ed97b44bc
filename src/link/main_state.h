#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "common/log_file.h"
#include "link/link.h"

namespace qrt::link {

/// The state the main window shares with every part of the program: the link with
/// its ports, rings and multiplexed receive values, and the protocol settings the
/// operator chose. One instance, owned by the window, passed by reference.
struct MainState {
    explicit MainState(Link& link_) : link(link_) {}

    Link& link;                       // portA, portB, multiplexMode, rings, mux values
    bool binaryProtocol = false;      // inductive commands as 6-byte frames
    std::uint16_t crcStart = 0;       // start value of the 11-byte frames' CRC
    std::uint8_t frameSequence = 0;   // sequence byte of the next command frame
    std::int32_t startupSkipTicks = 0;
    common::LogFile logFile;          // decoded debug lines, when the settings name a file
    std::string iniPath;
    std::array<std::uint32_t, 4> authKey{};
    std::uint32_t idFilter = 0;       // 0 = no receive filter

    /// Takes the current sequence byte and advances the counter (wrapping at 256).
    std::uint8_t nextSequence() { return frameSequence++; }
};

}  // namespace qrt::link
