#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace qrt::common {

/// What the settings location depends on: the environment and whether a folder may be
/// written. Real values from systemSettingsEnvironment(); tests pass their own.
struct SettingsEnvironment {
    std::function<std::optional<std::string>(const char* name)> variable;
    std::function<bool(const std::filesystem::path& folder)> writable;
};

[[nodiscard]] SettingsEnvironment systemSettingsEnvironment();

/// The settings file of the program at `executable`: the executable's path with its
/// extension replaced by ".ini", when that folder is writable or already holds the file
/// (a portable copy keeps its settings with it); otherwise the same file name in the
/// per-user configuration folder, `$XDG_CONFIG_HOME/qrt-tester` (default
/// `~/.config/qrt-tester`), so an installed program can keep its settings.
[[nodiscard]] std::string settingsPath(const std::string& executable,
                                       const SettingsEnvironment& environment);

}  // namespace qrt::common
