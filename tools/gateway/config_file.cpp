#include "gateway/config_file.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <functional>
#include <string_view>

#include "common/input_file.h"
#include "gateway/mqtt_names.h"

namespace qrt::gateway {

namespace {

constexpr std::size_t kConfigLimit = 1024 * 1024;

// Options that make no sense in the file itself.
constexpr std::string_view kNotInFile[] = {"config", "help", "version"};

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// The path after --config, if the command line names one.
std::optional<std::string> configPath(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--config" && i + 1 < argc) {
            return argv[i + 1];
        }
        if (arg.starts_with("--config=")) {
            return std::string(arg.substr(9));
        }
    }
    return std::nullopt;
}

// What is wrong with one line; none when it is blank, a comment or a known KEY = VALUE.
std::optional<std::string> lineProblem(std::string_view line,
                                       const std::function<bool(std::string_view)>& isKey) {
    std::string spaced(line);
    std::replace(spaced.begin(), spaced.end(), '\t', ' ');
    if (!spaced.empty() && spaced.back() == '\r') {
        spaced.pop_back();  // a file written on Windows
    }
    if (!mqttText(spaced)) {
        return "is not text (a control character or bytes that are not UTF-8)";
    }
    const std::string_view content = trimmed(line);
    if (content.empty() || content.front() == '#' || content.front() == ';') {
        return std::nullopt;
    }
    const auto equals = content.find('=');
    if (equals == std::string_view::npos) {
        return "is not KEY = VALUE";
    }
    const std::string_view key = trimmed(content.substr(0, equals));
    if (!isKey(key)) {
        return "names no option of qrt-gateway: '" + std::string(key) + "'";
    }
    if (content.find('#', equals) != std::string_view::npos) {
        return "holds a # in the value of " + std::string(key) +
               ": a comment takes a line of its own";
    }
    return std::nullopt;
}

// Why the text of a configuration file is refused: the line and what is wrong with it;
// none when every line is well formed and names a key `isKey` knows.
std::optional<std::string> configTextProblem(std::string_view text,
                                             const std::function<bool(std::string_view)>& isKey) {
    int number = 0;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        ++number;
        if (auto problem = lineProblem(text.substr(start, end - start), isKey)) {
            return "line " + std::to_string(number) + " " + *problem;
        }
        start = end + 1;
    }
    return std::nullopt;
}

}  // namespace

std::optional<common::Failure> configFileProblem(const CLI::App& app, int argc, char** argv) {
    const auto path = configPath(argc, argv);
    if (!path) {
        return std::nullopt;
    }
    const auto file = common::readInputFile(*path, kConfigLimit);
    if (const auto* refused = common::failureOf(file)) {
        return common::Failure{"--config " + refused->reason, refused->systemError};
    }
    const auto isKey = [&app](std::string_view key) {
        if (key.empty() ||
            std::find(std::begin(kNotInFile), std::end(kNotInFile), key) != std::end(kNotInFile)) {
            return false;
        }
        return app.get_option_no_throw("--" + std::string(key)) != nullptr;
    };
    if (auto problem = configTextProblem(std::get<std::string>(file), isKey)) {
        return common::Failure{"--config " + *path + ": " + *problem};
    }
    return std::nullopt;
}

}  // namespace qrt::gateway
