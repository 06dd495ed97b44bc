#pragma once

#include <optional>
#include <string>

#include "link/link.h"

namespace qrt::link {

inline constexpr int kBaudA = 19200;  // the receiver, or the interface box
inline constexpr int kBaudB = 1200;   // the inductive head
inline constexpr int kNoParity = 0;

/// Why the interfaces did not open: the port's name as given, and the reason.
struct OpenFailure {
    std::string name;
    PortResult result;
};

/// Opens interface A (the receiver, 19200 baud, or the interface box on a multiplexed
/// link) and, on a direct link, interface B (the inductive head, 1200 baud), by the
/// names the operator gives (a name such as ttyUSB0, or a path). Stops at the first port
/// that does not open and names it; what did open stays open for the caller to close.
[[nodiscard]] std::optional<OpenFailure> openInterfaces(Link& link, const std::string& nameA,
                                                        const std::string& nameB);

}  // namespace qrt::link
