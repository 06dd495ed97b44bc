// Fuzzes the firmware image loader and the status reply handler: any image file, then
// any status replies while the transfer and its resends run.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "firmware/firmware_transfer.h"
#include "link/null_port.h"

namespace {

using namespace qrt;

struct View final : firmware::FirmwareView {
    [[nodiscard]] firmware::FirmwareTarget target() const override { return fields; }
    [[nodiscard]] int speed() const override { return speedValue; }
    void showBlock(std::uint32_t) override {}
    void showBlockCount(std::uint32_t) override {}
    void showProgress(std::uint32_t, std::uint32_t) override {}
    void showStatus(const firmware::FirmwareStatus&) override {}
    firmware::FirmwareTarget fields{true, frames::ModuleAddress{5, 1234}};
    int speedValue = 2;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) {
        return 0;
    }
    // Byte 0: module type and speed; byte 1: how many bytes are the image.
    static const std::string path = (std::filesystem::temp_directory_path() /
                                     ("qrt_fuzz_fw_" + std::to_string(::getpid()) + ".bin"))
                                        .string();
    const std::size_t imageSize = std::min<std::size_t>(size - 2, data[1] * 16u);
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data + 2), static_cast<std::streamsize>(imageSize));
    }
    std::ostringstream diagnostics;
    link::Link link(std::make_unique<link::NullPort>(), std::make_unique<link::NullPort>(),
                    diagnostics);
    (void)link.OpenPort(link::Port::A, "a", 19200, 0);
    frames::ProtocolSettings protocol;
    common::StoppedClock clock;
    frames::FrameSender sender(link, protocol, clock);
    View view;
    view.fields.module->type = data[0] & 0x0Fu;
    view.speedValue = 2 + (data[0] >> 4) % 4;
    firmware::FirmwareTransfer transfer(sender, clock, view);
    transfer.start(path);
    // The rest: status replies of 8 bytes (ID, WordPar, BytePar, one spare), each after a
    // status request and a few polls.
    for (std::size_t at = 2 + imageSize; at + 8 <= size; at += 8) {
        for (int poll = 0; poll < 6; ++poll) {
            transfer.pace();
        }
        transfer.requestStatus();
        frames::StandardFrame reply{};
        reply[0] = 20;
        for (std::size_t i = 0; i < 7; ++i) {
            reply[1 + i] = data[at + i];
        }
        if ((data[at + 7] & 1) != 0) {
            for (std::size_t i = 0; i < 4; ++i) {
                reply[1 + i] = static_cast<std::uint8_t>(transfer.targetId() >> (8 * i));
            }
        }
        transfer.statusReply(reply);
    }
    while (transfer.running()) {
        transfer.pace();
    }
    return 0;
}
