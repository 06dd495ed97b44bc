// Fuzzes the settings file reader: any bytes as the tool's INI file.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "common/settings_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path = (std::filesystem::temp_directory_path() /
                                     ("qrt_fuzz_settings_" + std::to_string(::getpid()) + ".ini"))
                                        .string();
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    qrt::common::SettingsFile settings(path);
    (void)settings.readString("Config", "InterfaceA", "COM1", 256);
    (void)settings.readString("Settings", "ID", "0", 11);
    (void)settings.readString("Settings", "IDh", "5", 2);
    (void)settings.readString("Log", "File", "", 130);
    (void)settings.readInt("Config", "MXL", 0);
    (void)settings.readInt("Calib", "Offset", -13);
    for (const std::string& section : settings.sections()) {
        (void)settings.keys(section.c_str());
    }
    settings.writeString("Config", "MXL", "1");
    return 0;
}
