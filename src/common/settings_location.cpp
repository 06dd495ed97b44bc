#include "common/settings_location.h"

#include <unistd.h>

#include <cstdlib>

namespace qrt::common {

namespace {

constexpr const char* kToolFolder = "qrt-tester";

}  // namespace

SettingsEnvironment systemSettingsEnvironment() {
    return {.variable = [](const char* name) -> std::optional<std::string> {
                const char* value = std::getenv(name);
                if (value == nullptr || *value == '\0') {
                    return std::nullopt;
                }
                return std::string(value);
            },
            .writable =
                [](const std::filesystem::path& folder) {
                    return ::access(folder.c_str(), W_OK) == 0;
                }};
}

std::string settingsPath(const std::string& executable, const SettingsEnvironment& environment) {
    const std::filesystem::path beside =
        std::filesystem::path(executable).replace_extension(".ini");
    std::error_code error;
    if (std::filesystem::exists(beside, error) || environment.writable(beside.parent_path())) {
        return beside.string();
    }
    std::filesystem::path configuration;
    if (const auto xdg = environment.variable("XDG_CONFIG_HOME")) {
        configuration = *xdg;
    } else if (const auto home = environment.variable("HOME")) {
        configuration = std::filesystem::path(*home) / ".config";
    } else {
        return beside.string();  // no per-user folder to go to
    }
    return (configuration / kToolFolder / beside.filename()).string();
}

}  // namespace qrt::common
