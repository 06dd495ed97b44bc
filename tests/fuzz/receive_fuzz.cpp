// Fuzzes the receive path: any byte stream from interface A, direct or multiplexed, in
// reads of any size, with the archive waiting for logger blocks or not.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "receive/replay.h"

namespace {

// Reads every byte of every line and every value, so a sanitizer sees a bad one.
class CheckingSink final : public qrt::receive::LineSink, public qrt::receive::MeasurementSink {
  public:
    std::string& beginLine(qrt::receive::Pane) override {
        line_.clear();
        return line_;
    }
    void endLine() override {
        for (const char c : line_) {
            sum_ += static_cast<unsigned char>(c);
        }
    }
    void addMeasurements(std::span<const qrt::receive::Measurement> values) override {
        for (const qrt::receive::Measurement& value : values) {
            sum_ += static_cast<std::uint64_t>(value.raw) + value.source.text().size();
        }
    }

  private:
    std::string line_;
    std::uint64_t sum_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    // Byte 0: link mode and archive slot; byte 1: the read size.
    qrt::receive::ReplayOptions options;
    options.multiplexed = (data[0] & 1) != 0;
    options.armArchiveSlot = (data[0] & 2) != 0;
    options.crcStart = (data[0] & 4) != 0 ? 0x1D0F : 0;
    options.idFilter = (data[0] & 8) != 0 ? 0x50001234 : 0;
    options.readSize = 1 + data[1] % 128;
    const std::vector<std::uint8_t> stream(data + 2, data + size);
    CheckingSink sink;
    qrt::receive::replayCapture(stream, options, sink, (data[0] & 16) != 0 ? &sink : nullptr);
    return 0;
}
