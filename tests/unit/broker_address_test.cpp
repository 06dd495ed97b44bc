// The broker's address as the operator gives it.
#include <gtest/gtest.h>

#include "gateway/broker.h"

namespace qrt::gateway {
namespace {

TEST(BrokerAddress, TakesAHostNameOrAnIpv6AddressInBracketsWithAPort) {
    struct Case {
        const char* url;
        const char* parsed;  // "TLS HOST PORT", empty when refused
    };
    for (const Case& c : {
             Case{"mqtt://[::1]:1884", "0 ::1 1884"},
             Case{"mqtts://[fd00::5]", "1 fd00::5 8883"},
             Case{"mqtt://127.0.0.1", "0 127.0.0.1 1883"},
             Case{"mqtt://[::1", ""},
             Case{"mqtt://[::1]1884", ""},
             Case{"mqtt://[]:1884", ""},
             Case{"mqtt://[::1]:65536", ""},
         }) {
        const auto broker = BrokerAddress::parse(c.url);
        const std::string parsed = broker ? std::to_string(broker->tls) + " " + broker->host + " " +
                                                std::to_string(broker->port)
                                          : "";
        EXPECT_EQ(parsed, c.parsed) << c.url;
    }
}

}  // namespace
}  // namespace qrt::gateway
