#include "gateway/broker.h"

#include <sys/stat.h>

#include <charconv>
#include <sstream>

#include "common/input_file.h"

namespace qrt::gateway {

namespace {

constexpr std::size_t kCredentialsLimit = 4096;

}  // namespace

std::optional<BrokerAddress> BrokerAddress::parse(std::string_view url) {
    BrokerAddress broker;
    if (url.starts_with("mqtts://")) {
        broker.tls = true;
        broker.port = 8883;
        url.remove_prefix(8);
    } else if (url.starts_with("mqtt://")) {
        url.remove_prefix(7);
    } else {
        return std::nullopt;
    }
    std::string_view port;
    if (url.starts_with('[')) {  // [IPv6]:port
        const std::size_t close = url.find(']');
        if (close == std::string_view::npos) {
            return std::nullopt;
        }
        broker.host = std::string(url.substr(1, close - 1));
        url.remove_prefix(close + 1);
        if (url.starts_with(':')) {
            port = url.substr(1);
        } else if (!url.empty()) {
            return std::nullopt;
        }
    } else {
        const std::size_t colon = url.find(':');
        broker.host = std::string(url.substr(0, colon));
        if (colon != std::string_view::npos) {
            port = url.substr(colon + 1);
        }
    }
    if (!port.empty()) {
        const auto [end, error] =
            std::from_chars(port.data(), port.data() + port.size(), broker.port);
        if (error != std::errc() || end != port.data() + port.size() || broker.port < 1 ||
            broker.port > 65535) {
            return std::nullopt;
        }
    }
    if (broker.host.empty() || broker.host.find_first_of("/?# ") != std::string::npos) {
        return std::nullopt;
    }
    return broker;
}

std::string BrokerAddress::text() const {
    const bool ipv6 = host.find(':') != std::string::npos;
    return std::string(tls ? "mqtts://" : "mqtt://") + (ipv6 ? "[" + host + "]" : host) + ":" +
           std::to_string(port);
}

common::Result<Credentials> readCredentials(const std::string& path) {
    // Others who can read it know the password; others who can write it choose the
    // broker's account the gateway logs in with.
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && (info.st_mode & (S_IROTH | S_IWOTH)) != 0) {
        return common::Failure{
            path +
            ((info.st_mode & S_IROTH) != 0 ? " is readable by others" : " is writable by others") +
            ": make it private (chmod o-rw " + path + ")"};
    }
    const auto file = common::readInputFile(path, kCredentialsLimit);
    if (const auto* refused = common::failureOf(file)) {
        return *refused;
    }
    std::istringstream lines(std::get<std::string>(file));
    Credentials credentials;
    std::getline(lines, credentials.user);
    std::getline(lines, credentials.password);
    for (std::string* field : {&credentials.user, &credentials.password}) {
        if (!field->empty() && field->back() == '\r') {
            field->pop_back();
        }
    }
    if (credentials.user.empty()) {
        return common::Failure{
            path + " holds no user name (the user on the first line, the password on the second)"};
    }
    return credentials;
}

}  // namespace qrt::gateway
