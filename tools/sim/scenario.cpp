#include "sim/scenario.h"

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>

#include "common/input_file.h"
#include "common/scan.h"
#include "frames/module_address.h"
#include "receive/channels.h"

namespace qrt::sim {

namespace {

using namespace std::chrono;

constexpr std::size_t kScenarioLimit = 1024 * 1024;
constexpr double kLongestPeriod = 86400;    // seconds: a day between telegrams or key presses
constexpr int kLargestTemperature = 32767;  // hundredths: what a telegram's 16 bits hold

// A module whose keys contradict each other: its temperatures, swinging, must still fit
// the telegram's signed 16-bit field, else the telegrams would carry wrapped values.
bool checkModule(const std::string& where, const ModuleConfig& config, std::string& error) {
    for (const auto& [name, temperature] :
         {std::pair{"temp1", config.temp1}, std::pair{"temp2", config.temp2}}) {
        if (std::abs(temperature) + std::abs(config.swing) > kLargestTemperature) {
            error = where + ": " + name + " with swing leaves the telegram's range (" + name +
                    " +/- swing must lie within -327.67 to 327.67 degrees)";
            return false;
        }
    }
    return true;
}

// Every module answers to its own ID: one given twice would answer twice.
bool addModule(const std::string& where, ModuleConfig config, Scenario& scenario,
               std::string& error) {
    for (const ModuleConfig& earlier : scenario.modules) {
        if (earlier.address == config.address) {
            error = where + ": module " + config.address.text() + " is given twice";
            return false;
        }
    }
    if (!checkModule(where, config, error)) {
        return false;
    }
    scenario.modules.push_back(std::move(config));
    return true;
}

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::stringstream stream(text);
    std::string part;
    while (std::getline(stream, part, separator)) {
        if (!part.empty()) {
            parts.push_back(part);
        }
    }
    return parts;
}

std::optional<double> number(const std::string& text) {
    std::size_t used = 0;
    try {
        const double value = std::stod(text, &used);
        if (used == text.size() && std::isfinite(value)) {
            return value;
        }
    } catch (...) {
    }
    return std::nullopt;
}

std::optional<std::uint32_t> integer(const std::string& text) {
    const auto value = common::scanInt(text);
    if (!value || text.empty()) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(*value);
}

std::optional<sys_seconds> timeText(const std::string& text) {
    // "YYYY-MM-DDTHH:MM" (or a blank for the T)
    int y = 0, mo = 0, d = 0, h = 0, mi = 0;
    char sep = 0;
    std::istringstream in(text);
    char dash1 = 0, dash2 = 0, colon = 0;
    if (!(in >> y >> dash1 >> mo >> dash2 >> d) || dash1 != '-' || dash2 != '-') {
        return std::nullopt;
    }
    in.get(sep);
    if (!(in >> h >> colon >> mi) || colon != ':' || (sep != 'T' && sep != ' ')) {
        return std::nullopt;
    }
    const year_month_day date{year(y), month(static_cast<unsigned>(mo)),
                              day(static_cast<unsigned>(d))};
    if (!date.ok() || h < 0 || h > 23 || mi < 0 || mi > 59) {
        return std::nullopt;
    }
    return sys_days{date} + hours(h) + minutes(mi);
}

// A temperature in degrees, kept in hundredths as the modules send it.
bool temperature(const std::string& text, std::int16_t& hundredths) {
    const auto t = number(text);
    if (!t || std::fabs(*t) > 327) {
        return false;
    }
    hundredths = static_cast<std::int16_t>(std::lround(*t * 100));
    return true;
}

using Setter = std::function<bool(const std::string& value, ModuleConfig& config)>;

const std::map<std::string, std::pair<Setter, std::string>>& moduleKeys() {
    static const std::map<std::string, std::pair<Setter, std::string>> keys{
        {"version",
         {[](const std::string& v, ModuleConfig& c) {
              const auto parts = split(v, '.');
              if (parts.size() != 2) return false;
              const auto major = integer(parts[0]);
              const auto minor = integer(parts[1]);
              if (!major || !minor || *major > 255 || *minor > 255) return false;
              c.versionMajor = static_cast<std::uint8_t>(*major);
              c.versionMinor = static_cast<std::uint8_t>(*minor);
              return true;
          },
          "firmware version MAJOR.MINOR"}},
        {"running",
         {[](const std::string& v, ModuleConfig& c) {
              if (v != "0" && v != "1") return false;
              c.running = v == "1";
              return true;
          },
          "1 running, 0 stopped"}},
        {"period",
         {[](const std::string& v, ModuleConfig& c) {
              const auto p = number(v);
              if (!p || *p < 0 || *p > kLongestPeriod) return false;
              c.period = *p;
              return true;
          },
          "seconds between spontaneous telegrams, up to 86400 (0 = silent)"}},
        {"telegrams",
         {[](const std::string& v, ModuleConfig& c) {
              static const std::map<std::string, TelegramKind> kinds{
                  {"temp1", TelegramKind::Temp1},   {"temp2", TelegramKind::Temp2},
                  {"batdig", TelegramKind::BatDig}, {"config", TelegramKind::Config},
                  {"count1", TelegramKind::Count1}, {"aux1", TelegramKind::Aux1},
                  {"short", TelegramKind::Short}};
              c.telegrams.clear();
              for (const std::string& name : split(v, '/')) {
                  const auto found = kinds.find(name);
                  if (found == kinds.end()) return false;
                  c.telegrams.push_back(found->second);
              }
              return true;
          },
          "telegram cycle, '/'-separated: temp1 temp2 batdig config count1 aux1 short"}},
        {"temp1",
         {[](const std::string& v, ModuleConfig& c) { return temperature(v, c.temp1); },
          "temperature 1 in degrees"}},
        {"temp2",
         {[](const std::string& v, ModuleConfig& c) { return temperature(v, c.temp2); },
          "temperature 2 in degrees"}},
        {"swing",
         {[](const std::string& v, ModuleConfig& c) { return temperature(v, c.swing); },
          "degrees the telegrams' temperatures swing round temp1 and temp2 (default 0)"}},
        {"battery",
         {[](const std::string& v, ModuleConfig& c) {
              const auto b = number(v);
              if (!b || *b < 0 || *b > 5.1) return false;
              c.battery = static_cast<std::uint8_t>(std::lround(*b / receive::kBatteryScale));
              c.archive.battery = c.battery;
              return true;
          },
          "battery voltage"}},
        {"key",
         {[](const std::string& v, ModuleConfig& c) {
              const auto words = split(v, ':');
              if (words.size() != 8) return false;
              frames::TeaKey key{};
              for (std::size_t i = 0; i < 8; ++i) {
                  const auto w = common::scanHex(words[i]);
                  if (!w || *w > 0xFFFF) return false;
                  key[i / 2] |= *w << (16 * (i % 2));
              }
              c.authKey = key;
              return true;
          },
          "authenticator key: eight hex words as in the key fields, ':'-separated"}},
        {"archive_rows",
         {[](const std::string& v, ModuleConfig& c) {
              const auto n = integer(v);
              if (!n || *n > 10'000'000) return false;
              c.archive.rows = *n;
              return true;
          },
          "rows logged in the archive (0 = no archive)"}},
        {"archive_config",
         {[](const std::string& v, ModuleConfig& c) {
              const auto n = integer(v);
              if (!n || *n > 0xFFFF) return false;
              c.archive.config = static_cast<std::uint16_t>(*n);
              return true;
          },
          "archive configuration word (channels and interval)"}},
        {"archive_start",
         {[](const std::string& v, ModuleConfig& c) {
              const auto t = timeText(v);
              if (!t) return false;
              c.archive.start = *t;
              return true;
          },
          "time of the first archive row, YYYY-MM-DDTHH:MM"}},
        {"archive_record_rows",
         {[](const std::string& v, ModuleConfig& c) {
              const auto n = integer(v);
              if (!n || *n == 0 || *n > 100000) return false;
              c.archive.rowsPerRecord = *n;
              return true;
          },
          "rows per archive record"}},
        {"lose_archive_blocks",
         {[](const std::string& v, ModuleConfig& c) {
              for (const std::string& part : split(v, '/')) {
                  const auto n = integer(part);
                  if (!n || *n >= ArchiveRing::kBlocks) return false;
                  c.loseArchiveBlocks.insert(*n);
              }
              return true;
          },
          "archive blocks lost the first time they are sent, '/'-separated"}},
        {"lose_firmware_blocks",
         {[](const std::string& v, ModuleConfig& c) {
              for (const std::string& part : split(v, '/')) {
                  const auto n = integer(part);
                  if (!n || *n > 0xFFFF) return false;
                  c.loseFirmwareBlocks.insert(static_cast<std::uint16_t>(*n));
              }
              return true;
          },
          "firmware blocks lost the first time they arrive, '/'-separated"}},
    };
    return keys;
}

bool setModuleKey(const std::string& where, const std::string& key, const std::string& value,
                  ModuleConfig& config, std::string& error) {
    const auto found = moduleKeys().find(key);
    if (found == moduleKeys().end()) {
        error = where + ": unknown key '" + key + "'";
        return false;
    }
    if (!found->second.first(value, config)) {
        error = where + " " + key + ": bad value '" + value + "' (" + found->second.second + ")";
        return false;
    }
    return true;
}

ModuleConfig defaultModule(const frames::ModuleAddress& address) {
    ModuleConfig config;
    config.address = address;
    config.archive.start = sys_days{year(2026) / 12 / 1};
    return config;
}

bool setSimKey(const std::string& key, const std::string& value, SimOptions& options,
               std::string& error) {
    const std::string where = "[sim] " + key;
    auto byteValue = [&](std::uint8_t& into) {
        const auto n = integer(value);
        if (!n || *n > 0xFF) return false;
        into = static_cast<std::uint8_t>(*n);
        return true;
    };
    bool ok = true;
    if (key == "crc_start") {
        const auto n = common::scanShortHex(value);
        ok = n.has_value();
        options.crcStart = n.value_or(0);
    } else if (key == "signal") {
        ok = byteValue(options.signalByte);
    } else if (key == "background") {
        ok = byteValue(options.backgroundByte);
    } else if (key == "box_version") {
        const auto n = common::scanHex(value);
        ok = n && *n <= 0xFFFF;
        options.boxVersion = static_cast<std::uint16_t>(n.value_or(0));
    } else if (key == "key_every") {
        const auto n = number(value);
        ok = n && *n >= 0 && *n <= kLongestPeriod;
        options.keyEverySeconds = n.value_or(0);
    } else if (key == "head") {
        const auto name = frames::ModuleAddress::parse(value);
        ok = name.has_value();
        if (name) {
            options.headModule = *name;
        }
    } else if (key == "echo_firmware") {
        ok = value == "0" || value == "1";
        options.echoFirmwareBlocks = value == "1";
    } else if (key == "drop_replies") {
        const auto n = number(value);
        ok = n && *n >= 0 && *n <= 100;
        options.dropReplies = n.value_or(0) / 100.0;
    } else {
        error = "[sim]: unknown key '" + key + "'";
        return false;
    }
    if (!ok) {
        error = where + ": bad value '" + value + "'";
    }
    return ok;
}

}  // namespace

namespace {

struct ScenarioKey {
    std::size_t line = 0;
    std::string name;
    std::string value;
};

struct ScenarioSection {
    std::size_t line = 0;
    std::string name;
    std::vector<ScenarioKey> keys;
};

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r");
    const auto last = text.find_last_not_of(" \t\r");
    return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

// Reads a scenario file strictly: every line is blank, a comment (';' or '#'),
// "[name]" or "key=value" inside a section; a section or a key given twice and an
// empty value are refused, so a typing error never passes unnoticed.
bool readSections(std::istream& in, std::vector<ScenarioSection>& sections, std::string& error) {
    std::string text;
    for (std::size_t number = 1; std::getline(in, text); ++number) {
        const std::string line = trimmed(text);
        const std::string at = "line " + std::to_string(number) + ": ";
        if (line.empty() || line[0] == ';' || line[0] == '#') {
            continue;
        }
        if (line[0] == '[') {
            if (line.back() != ']') {
                error = at + "unclosed section '" + line + "'";
                return false;
            }
            const std::string name = trimmed(line.substr(1, line.size() - 2));
            for (const ScenarioSection& earlier : sections) {
                if (earlier.name == name) {
                    error = at + "[" + name + "] repeated (first at line " +
                            std::to_string(earlier.line) + ")";
                    return false;
                }
            }
            sections.push_back({number, name, {}});
            continue;
        }
        const auto equals = line.find('=');
        if (equals == std::string::npos) {
            error = at + "expected [section] or key=value, got '" + line + "'";
            return false;
        }
        if (sections.empty()) {
            error = at + "key=value before the first section";
            return false;
        }
        ScenarioSection& section = sections.back();
        const std::string where = "[" + section.name + "] ";
        ScenarioKey key{number, trimmed(line.substr(0, equals)), trimmed(line.substr(equals + 1))};
        for (const ScenarioKey& earlier : section.keys) {
            if (earlier.name == key.name) {
                error = at + where + key.name + ": repeated (first at line " +
                        std::to_string(earlier.line) + ")";
                return false;
            }
        }
        if (key.value.empty()) {
            error = at + where + key.name + ": empty value";
            return false;
        }
        section.keys.push_back(std::move(key));
    }
    return true;
}

}  // namespace

bool loadScenario(const std::string& path, Scenario& scenario, std::string& error) {
    const auto file = common::readInputFile(path, kScenarioLimit);
    if (const auto* refused = common::failureOf(file)) {
        error = "--scenario " + refused->reason;
        return false;
    }
    std::istringstream in(std::get<std::string>(file));
    std::vector<ScenarioSection> sections;
    if (!readSections(in, sections, error)) {
        return false;
    }
    for (const ScenarioSection& section : sections) {
        const std::string where = "[" + section.name + "]";
        auto failAt = [&error](std::size_t line) {
            error = "line " + std::to_string(line) + ": " + error;
            return false;
        };
        if (section.name == "sim") {
            for (const ScenarioKey& key : section.keys) {
                if (!setSimKey(key.name, key.value, scenario.options, error)) {
                    return failAt(key.line);
                }
            }
            continue;
        }
        if (!section.name.starts_with("module ")) {
            error = where + ": unknown section (expected [sim] or [module TYPE.SERIAL])";
            return failAt(section.line);
        }
        const auto name = frames::ModuleAddress::parse(section.name.substr(7));
        if (!name) {
            error = where + ": the module name must be TYPE.SERIAL (type 0 to 15)";
            return failAt(section.line);
        }
        ModuleConfig config = defaultModule(*name);
        for (const ScenarioKey& key : section.keys) {
            if (!setModuleKey(where, key.name, key.value, config, error)) {
                return failAt(key.line);
            }
        }
        if (!addModule(where, std::move(config), scenario, error)) {
            return failAt(section.line);
        }
    }
    return true;
}

bool addModuleOption(const std::string& option, Scenario& scenario, std::string& error) {
    const auto parts = split(option, ',');
    const auto name = parts.empty() ? std::nullopt : frames::ModuleAddress::parse(parts[0]);
    if (!name) {
        error = "--module " + option + ": expected TYPE.SERIAL[,key=value...]";
        return false;
    }
    ModuleConfig config = defaultModule(*name);
    for (std::size_t i = 1; i < parts.size(); ++i) {
        const auto equals = parts[i].find('=');
        if (equals == std::string::npos) {
            error = "--module " + parts[0] + ": expected key=value, got '" + parts[i] + "'";
            return false;
        }
        if (!setModuleKey("--module " + parts[0], parts[i].substr(0, equals),
                          parts[i].substr(equals + 1), config, error)) {
            return false;
        }
    }
    return addModule("--module " + parts[0], std::move(config), scenario, error);
}

std::string moduleKeysHelp() {
    std::string text = "Module keys (scenario [module TYPE.SERIAL] sections and --module):\n";
    for (const auto& [key, entry] : moduleKeys()) {
        text += "  " + key + std::string(key.size() < 22 ? 22 - key.size() : 1, ' ') +
                entry.second + "\n";
    }
    text +=
        "Simulator keys ([sim] section): crc_start signal background box_version key_every "
        "head echo_firmware drop_replies\n";
    return text;
}

}  // namespace qrt::sim
