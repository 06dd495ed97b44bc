#pragma once

#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

namespace qrt::testing {

/// A "Vm" field of a process's status in kilobytes (Linux): "VmRSS:" the resident memory
/// now, "VmHWM:" its peak. `pid` "self" is this process.
inline long statusKilobytes(const char* field, const std::string& pid = "self") {
    std::ifstream status("/proc/" + pid + "/status");
    const std::string name(field);
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(name, 0) == 0) {
            return std::stol(line.substr(name.size()));
        }
    }
    return 0;
}

/// The process's resident memory now, in kilobytes.
inline long residentKilobytes() {
    return statusKilobytes("VmRSS:");
}

/// The processor time a process has used (user and system), in seconds.
inline double cpuSeconds(const std::string& pid) {
    std::ifstream stat("/proc/" + pid + "/stat");
    std::string text;
    std::getline(stat, text);
    // The fields after the command name, which may hold blanks, in parentheses.
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    long ticks = 0;
    for (int index = 3; fields >> field && index <= 15; ++index) {
        if (index == 14 || index == 15) {
            ticks += std::stol(field);
        }
    }
    return static_cast<double>(ticks) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

}  // namespace qrt::testing
