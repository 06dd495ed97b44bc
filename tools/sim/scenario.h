#pragma once

#include <optional>
#include <string>
#include <vector>

#include "sim/module.h"
#include "sim/simulator.h"

namespace qrt::sim {

/// The installation to simulate: the simulator's settings and its modules.
struct Scenario {
    SimOptions options;
    std::vector<ModuleConfig> modules;
};

/// Reads a scenario file: a [sim] section and one [module TYPE.SERIAL] section per
/// module. Malformed lines, repeated sections or keys and empty values are refused.
/// On an error returns false with a message naming the line, section and key.
bool loadScenario(const std::string& path, Scenario& scenario, std::string& error);

/// Adds a module given as "TYPE.SERIAL[,key=value...]" (the keys of a module section).
bool addModuleOption(const std::string& option, Scenario& scenario, std::string& error);

/// Text of the module keys, for --help.
[[nodiscard]] std::string moduleKeysHelp();

}  // namespace qrt::sim
