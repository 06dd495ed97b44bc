#include "receive/outputs.h"

namespace qrt::receive {

Outputs newestOutputs(std::span<const Outputs> layers) {
    Outputs newest;
    const auto take = [](auto& slot, const auto& output) {
        if (output) {
            slot = output;
        }
    };
    for (const Outputs& layer : layers) {
        take(newest.lines, layer.lines);
        take(newest.measurements, layer.measurements);
        take(newest.boxStatus, layer.boxStatus);
        take(newest.recording, layer.recording);
        take(newest.firmwarePacing, layer.firmwarePacing);
        take(newest.stopWaiting, layer.stopWaiting);
        take(newest.frameAccepted, layer.frameAccepted);
        take(newest.firmwareStatus, layer.firmwareStatus);
    }
    return newest;
}

}  // namespace qrt::receive
