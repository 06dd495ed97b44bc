#include "link/interfaces.h"

namespace qrt::link {

std::optional<OpenFailure> openInterfaces(Link& link, const std::string& nameA,
                                          const std::string& nameB) {
    if (PortResult opened = link.OpenPort(Port::A, devicePath(nameA), kBaudA, kNoParity); !opened) {
        return OpenFailure{nameA, std::move(opened)};
    }
    if (link.multiplexed()) {
        return std::nullopt;
    }
    if (PortResult opened = link.OpenPort(Port::B, devicePath(nameB), kBaudB, kNoParity); !opened) {
        return OpenFailure{nameB, std::move(opened)};
    }
    return std::nullopt;
}

}  // namespace qrt::link
