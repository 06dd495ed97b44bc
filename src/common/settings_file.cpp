#include "common/settings_file.h"

#include <SimpleIni.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "common/input_file.h"

namespace qrt::common {
namespace {

enum class Loaded { Missing, Parsed, Unusable };

constexpr std::size_t kSettingsLimit = 1024 * 1024;  // a settings file takes a few hundred bytes

// Loads the file. Only a regular file of sane size is read: a FIFO or a device would
// block or never end, so like a file that does not parse it gives defaults and is never
// written.
Loaded load(CSimpleIniA& ini, const std::string& path) {
    ini.SetUnicode(false);
    ini.SetMultiKey(false);
    ini.SetSpaces(false);
    std::error_code error;
    if (!std::filesystem::exists(path, error)) {
        return Loaded::Missing;
    }
    const auto file = readInputFile(path, kSettingsLimit);
    const auto* text = std::get_if<std::string>(&file);
    if (text == nullptr || ini.LoadData(*text) < 0) {
        return Loaded::Unusable;
    }
    return Loaded::Parsed;
}

}  // namespace

std::string SettingsFile::readString(const char* section, const char* key,
                                     const std::string& fallback, std::size_t bufferSize) const {
    CSimpleIniA ini;
    std::string value = fallback;
    if (load(ini, path_) == Loaded::Parsed) {
        if (const char* found = ini.GetValue(section, key, nullptr)) {
            value = found;
        }
    }
    if (bufferSize == 0) {
        return {};
    }
    if (value.size() > bufferSize - 1) {
        value.resize(bufferSize - 1);
    }
    return value;
}

int SettingsFile::readInt(const char* section, const char* key, int fallback) const {
    CSimpleIniA ini;
    if (load(ini, path_) != Loaded::Parsed) {
        return fallback;
    }
    const char* found = ini.GetValue(section, key, nullptr);
    if (found == nullptr) {
        return fallback;
    }
    errno = 0;
    const long value = std::strtol(found, nullptr, 10);
    return static_cast<int>(value);
}

std::vector<std::string> SettingsFile::sections() const {
    CSimpleIniA ini;
    std::vector<std::string> names;
    if (load(ini, path_) == Loaded::Parsed) {
        CSimpleIniA::TNamesDepend all;
        ini.GetAllSections(all);
        all.sort(CSimpleIniA::Entry::LoadOrder());
        for (const auto& entry : all) {
            names.emplace_back(entry.pItem);
        }
    }
    return names;
}

std::vector<std::string> SettingsFile::keys(const char* section) const {
    CSimpleIniA ini;
    std::vector<std::string> names;
    if (load(ini, path_) == Loaded::Parsed) {
        CSimpleIniA::TNamesDepend all;
        ini.GetAllKeys(section, all);
        all.sort(CSimpleIniA::Entry::LoadOrder());
        for (const auto& entry : all) {
            names.emplace_back(entry.pItem);
        }
    }
    return names;
}

bool SettingsFile::writeString(const char* section, const char* key, const std::string& value) {
    CSimpleIniA ini;
    if (load(ini, path_) == Loaded::Unusable) {
        return false;
    }
    ini.SetValue(section, key, value.c_str());
    return ini.SaveFile(path_.c_str(), false) >= 0;
}

}  // namespace qrt::common
