#pragma once

#include <fstream>
#include <string>

namespace qrt::testing {

/// The process's resident memory now, in kilobytes (Linux).
inline long residentKilobytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::stol(line.substr(6));
        }
    }
    return 0;
}

}  // namespace qrt::testing
