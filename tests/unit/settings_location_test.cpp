#include "common/settings_location.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>

#include "support/temp_folder.h"

using qrt::common::SettingsEnvironment;
using qrt::common::settingsPath;

TEST(SettingsLocation, BesideTheProgramWhenItsFolderAllowsElseThePerUserFolder) {
    const qrt::testing::TempFolder folder("qrt_settings_location");
    const std::string portable = folder.file("portable/qrt-tester");
    std::filesystem::create_directories(folder.path() / "portable");
    std::ofstream(portable + ".ini") << "[Config]\n";
    struct Case {
        const char* what;
        std::string executable;
        bool folderWritable;
        std::map<std::string, std::string> variables;
        std::string expected;
    };
    const Case cases[] = {
        {"writable folder",
         "/opt/qrt/qrt-tester",
         true,
         {{"HOME", "/home/t"}},
         "/opt/qrt/qrt-tester.ini"},
        {"read-only folder, XDG_CONFIG_HOME set",
         "/usr/bin/qrt-tester",
         false,
         {{"HOME", "/home/t"}, {"XDG_CONFIG_HOME", "/cfg"}},
         "/cfg/qrt-tester/qrt-tester.ini"},
        {"read-only folder, XDG_CONFIG_HOME unset",
         "/usr/bin/qrt-tester",
         false,
         {{"HOME", "/home/t"}},
         "/home/t/.config/qrt-tester/qrt-tester.ini"},
        {"file already beside a read-only program",
         portable,
         false,
         {{"HOME", "/home/t"}},
         portable + ".ini"},
        {"no per-user folder at all", "/usr/bin/qrt-tester", false, {}, "/usr/bin/qrt-tester.ini"},
    };
    for (const Case& c : cases) {
        const SettingsEnvironment environment{
            .variable = [&c](const char* name) -> std::optional<std::string> {
                const auto found = c.variables.find(name);
                return found == c.variables.end() ? std::nullopt : std::optional(found->second);
            },
            .writable = [&c](const std::filesystem::path&) { return c.folderWritable; }};
        EXPECT_EQ(settingsPath(c.executable, environment), c.expected) << c.what;
    }
}
