#include "common/settings_file.h"

#include <SimpleIni.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

namespace qrt::common {
namespace {

// Loads the file; true when it exists and parsed, or does not exist (empty store).
bool load(CSimpleIniA& ini, const std::string& path, bool& exists) {
    ini.SetUnicode(false);
    ini.SetMultiKey(false);
    ini.SetSpaces(false);
    std::error_code error;
    exists = std::filesystem::exists(path, error);
    if (!exists) {
        return true;
    }
    return ini.LoadFile(path.c_str()) >= 0;
}

}  // namespace

std::string SettingsFile::readString(const char* section, const char* key,
                                     const std::string& fallback, std::size_t bufferSize) const {
    CSimpleIniA ini;
    bool exists = false;
    std::string value = fallback;
    if (load(ini, path_, exists)) {
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
    bool exists = false;
    if (!load(ini, path_, exists)) {
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
    bool exists = false;
    std::vector<std::string> names;
    if (load(ini, path_, exists)) {
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
    bool exists = false;
    std::vector<std::string> names;
    if (load(ini, path_, exists)) {
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
    bool exists = false;
    if (!load(ini, path_, exists)) {
        return false;
    }
    ini.SetValue(section, key, value.c_str());
    return ini.SaveFile(path_.c_str(), false) >= 0;
}

}  // namespace qrt::common
