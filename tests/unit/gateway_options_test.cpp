// The gateway's settings as a careless user or an attacker gives them: each one refused
// before anything is opened, with the option, key or file named; and a reload that
// applies what may change while the gateway runs.
#include "gateway/gateway_options.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <CLI/CLI.hpp>
#include <fstream>

#include "gateway/settings_reload.h"
#include "support/temp_folder.h"

namespace qrt::gateway {
namespace {

common::Result<GatewaySetup> setupOf(std::vector<std::string> args) {
    args.insert(args.begin(),
                {"qrt-gateway", "--port-a", "ttyUSB0", "--broker", "mqtt://localhost"});
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    CLI::App app;
    GatewayOptions options;
    addGatewayOptions(app, options);
    if (auto problem = parseGatewayOptions(app, static_cast<int>(argv.size()), argv.data())) {
        return *problem;
    }
    return resolveGatewayOptions(options, "vm");
}

TEST(GatewayOptions, HostileSettingsAreRefusedNamingTheOptionKeyOrFile) {
    testing::TempFolder folder("qrt_gateway_options");
    std::ofstream(folder.file("credentials")) << "meter\nsecret\n";
    ::chmod(folder.file("credentials").c_str(), 0602);
    std::ofstream(folder.file("misspelt.conf")) << "# the queue\nqueue-limt = 2G\n";
    std::ofstream(folder.file("hash.conf")) << "prefix = a/#\n";
    std::ofstream(folder.file("noise.conf")) << std::string("\x7f\x45\x4c\x46\x02\x01\x00\xff", 8);
    struct Case {
        std::vector<std::string> args;
        std::string named;
    };
    const Case cases[] = {
        {{"--prefix", "a/+"}, "--prefix holds a wildcard"},
        {{"--prefix", "a/#"}, "--prefix holds a wildcard"},
        {{"--prefix", "a\x01z"}, "--prefix holds a control character"},
        {{"--prefix", "caf\xff"}, "--prefix holds a control character or bytes that are not UTF-8"},
        {{"--prefix", std::string(70'000, 'x')}, "--prefix is 70000 bytes long"},
        {{"--prefix", "$SYS/qrt"}, "--prefix begins with $"},
        {{"--ha-discovery", "ha/#"}, "--ha-discovery holds a wildcard"},
        {{"--client-id", "qrt\xff"}, "--client-id holds"},
        {{"--client-id", std::string(70'000, 'x')}, "--client-id is 70000 bytes long"},
        {{"--queue-limit", "1"}, "--queue-limit '1' is below 1M"},
        {{"--queue-limit", "16K"}, "--queue-limit '16K' is below 1M"},
        {{"--queue-limit", "17179869184G"}, "--queue-limit '17179869184G' is not a size"},
        {{"--queue-limit", "17179869185G"}, "--queue-limit '17179869185G' is not a size"},
        {{"--queue", ""}, "--queue"},
        {{"--ha-discovery", "--site-id", "my.site"}, "--site-id holds a character"},
        {{"--ha-discovery", "--forget-module", "5.x"}, "--forget-module '5.x' is not a module"},
        {{"--forget-module", "5.1234"}, "--forget-module clears Home Assistant's entities"},
        {{"--credentials", folder.file("credentials")}, "is writable by others"},
        {{"--config", folder.file("misspelt.conf")},
         folder.file("misspelt.conf") + ": line 2 names no option of qrt-gateway: 'queue-limt'"},
        {{"--config", folder.file("hash.conf")}, "line 1 holds a # in the value of prefix"},
        {{"--config", folder.file("noise.conf")},
         folder.file("noise.conf") + ": line 1 is not text"},
    };
    for (const Case& c : cases) {
        const auto setup = setupOf(c.args);
        const auto* failure = common::failureOf(setup);
        ASSERT_NE(failure, nullptr) << c.named;
        EXPECT_NE(failure->reason.find(c.named), std::string::npos) << failure->reason;
    }
}

TEST(GatewayOptions, AConfigurationFileOfCommentsAndKnownKeysIsTaken) {
    testing::TempFolder folder("qrt_gateway_options");
    std::ofstream(folder.file("good.conf"))
        << "# qrt-gateway\r\n\r\n; old style\n  prefix\t= site/boiler \nqueue-limit = 2M\n";
    const auto setup = setupOf({"--config", folder.file("good.conf")});
    ASSERT_EQ(common::failureOf(setup), nullptr) << common::failureOf(setup)->reason;
    EXPECT_EQ(std::get<GatewaySetup>(setup).gateway.prefix, "site/boiler");
    EXPECT_EQ(std::get<GatewaySetup>(setup).queueLimit, 2U << 20);
}

TEST(SettingsReload, AppliesWhatMayChangeNowAndNamesWhatWaitsForARestart) {
    testing::TempFolder folder("qrt_gateway_reload");
    auto queue = std::get<std::unique_ptr<ValueQueue>>(ValueQueue::open(folder.file("q"), 1 << 30));
    const GatewaySetup running = std::get<GatewaySetup>(setupOf({}));
    const common::Result<GatewaySetup> reads[] = {
        setupOf({"--lines", "--queue-limit", "2G", "--prefix", "elsewhere"}),
        common::Failure{"--broker is required"},
        setupOf({"--lines", "--queue-limit", "2G"}),
    };
    std::size_t read = 0;
    std::vector<std::string> said;
    SettingsReload reload(
        running, [&] { return reads[read++]; }, *queue,
        [&said](const std::string& line) { said.push_back(line); });
    GatewaySettings settings = running.gateway;
    for (std::size_t i = 0; i < std::size(reads); ++i) {
        reload.reload(settings);
    }
    EXPECT_TRUE(settings.lines);
    EXPECT_EQ(said, (std::vector<std::string>{
                        "settings reloaded: changed --lines, --queue-limit; --prefix changed too, "
                        "in force after a restart",
                        "settings not reloaded, they stay as they were: --broker is required",
                        "settings reloaded: nothing to change now"}));
}

}  // namespace
}  // namespace qrt::gateway
