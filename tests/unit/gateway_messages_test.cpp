// Topics and payloads the gateway publishes.
#include <gtest/gtest.h>

#include "gateway/messages.h"

namespace qrt::gateway {
namespace {

TEST(GatewayMessages, TopicsAreSafeAndPayloadsCarryTheLocalTimeWithItsOffset) {
    struct Case {
        StoredValue value;
        const char* topic;
        const char* payload;
    };
    const std::int64_t noon = 1'765'281'600'000;  // 2025-12-09 12:00:00 UTC
    const Case cases[] = {
        {{.time = {noon + 5, 3600},
          .source = {.module = {5, 1234}},
          .channel = "Temp1",
          .raw = 2150,
          .scale = 0.01,
          .unit = receive::Unit::Celsius},
         "qrt/site/5.1234/Temp1",
         R"({"time":"2025-12-09T13:00:00.005+01:00","value":21.50,"unit":"°C"})"},
        {{.time = {noon, -12600},
          .source = {.kind = receive::ValueSource::Kind::ShortTelegram, .module = {0, 7}},
          .channel = "Sample 100",
          .raw = -3,
          .unit = receive::Unit::Raw},
         "qrt/site/7/Sample_100",
         R"({"time":"2025-12-09T08:30:00.000-03:30","value":-3,"unit":"raw"})"},
        {{.time = {noon, 0},
          .source = {.module = {6, 16}},
          .channel = "a+b#c/d",
          .raw = 1,
          .unit = receive::Unit::Count},
         "qrt/site/6.16/a_b_c_d",
         R"({"time":"2025-12-09T12:00:00.000+00:00","value":1,"unit":"counts"})"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(valueTopic("qrt/site", c.value), c.topic);
        EXPECT_EQ(valuePayload(c.value), c.payload) << c.topic;
    }
}

}  // namespace
}  // namespace qrt::gateway
