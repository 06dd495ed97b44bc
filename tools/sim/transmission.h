#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qrt::sim {

using Bytes = std::vector<std::uint8_t>;

/// Path a request reached a module by: radio through the receiver, or the inductive head.
enum class Path { Radio, Inductive };

/// A request to a module, from a command frame or an inductive frame or text.
struct Request {
    Path path = Path::Radio;
    std::uint8_t code = 0;
    std::uint16_t wordPar = 0;
    std::uint8_t bytePar = 0;
    std::uint8_t sequence = 0;
};

/// Bytes a device puts on interface A (receiver channel), with a line for the event log.
struct Transmission {
    Bytes bytes;
    std::string what;
};

}  // namespace qrt::sim
