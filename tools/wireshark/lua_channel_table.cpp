// Writes the dissector's channel table, in Lua, from the decoder's own channel table and
// scales, so Wireshark shows the same channels with the same factors as the panes.
#include <cstdio>

#include "receive/channels.h"

namespace {

const char* unitName(qrt::receive::Unit unit) {
    using qrt::receive::Unit;
    switch (unit) {
        case Unit::Celsius:
            return "Celsius";
        case Unit::Volt:
            return "Volt";
        case Unit::Count:
            return "Count";
        case Unit::Hour:
            return "Hour";
        case Unit::Raw:
            return "Raw";
    }
    return "Raw";
}

}  // namespace

int main() {
    using namespace qrt::receive;
    std::printf("-- Generated from the decoder's channel table when the tool is built.\n");
    std::printf("qrt_scales = {temperature = %.17g, battery = %.17g}\n", kTemperatureScale,
                kBatteryScale);
    std::printf("qrt_channels = {\n");
    for (std::size_t kind = 0; kind < kTelegramChannels.size(); ++kind) {
        const TelegramChannel& channel = kTelegramChannels[kind];
        std::printf(
            "    [%zu] = {caption = \"%.*s\", name = \"%.*s\", unit = \"%s\", scale = %.17g},\n",
            kind, static_cast<int>(channel.caption.size()), channel.caption.data(),
            static_cast<int>(channel.name.size()), channel.name.data(), unitName(channel.unit),
            channel.scale);
    }
    std::printf("}\n\n");
    return std::ferror(stdout) != 0 ? 1 : 0;
}
