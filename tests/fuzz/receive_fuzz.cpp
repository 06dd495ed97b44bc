// Fuzzes the receive path: any byte stream from interface A, direct or multiplexed, in
// reads of any size, with the archive waiting for logger blocks or not.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "receive/replay.h"

namespace {

class CheckingSink final : public qrt::receive::OutputSink {
  public:
    void addDebugLine(std::string_view line) override { touch(line); }
    void addCommLine(std::string_view line) override { touch(line); }
    void showKeyState(bool) override {}
    void showBoxVersion(std::string_view text) override { touch(text); }
    void showBackgroundLevel(std::string_view text) override { touch(text); }

  private:
    void touch(std::string_view text) {
        for (const char c : text) {
            sum_ += static_cast<unsigned char>(c);
        }
    }
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
    qrt::receive::replayCapture(stream, options, sink);
    return 0;
}
