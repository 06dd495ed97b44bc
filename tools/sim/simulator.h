#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "sim/module.h"
#include "sim/stream_parsers.h"

namespace qrt::sim {

/// Settings of the installation the simulator stands in for.
struct SimOptions {
    bool multiplexed = false;
    std::uint16_t crcStart = 0;
    std::uint8_t signalByte = 0xC0;  // level byte behind every receiver frame (mux)
    std::uint8_t backgroundByte = 0x40;
    std::uint16_t boxVersion = 0x0123;
    double keyEverySeconds = 0;       // simulated key presses on the box; 0 = none
    bool echoFirmwareBlocks = false;  // the receiver echoes block headers and blocks
    double dropReplies = 0;           // share of module transmissions lost (0 to 1)
    std::optional<frames::ModuleAddress> headModule;  // module lying on the inductive head
    std::string firmwareOut;                          // image file written at every status request
};

/// The receiver, the inductive head, the interface box and the modules, without I/O:
/// bytes from the tool go in, transmissions to the tool come out through `send`, and
/// every event is described through `log`.
class Simulator {
  public:
    using Clock = std::chrono::steady_clock;
    /// Sends bytes to the tool: channel 0 the receiver (interface A), 2 the box.
    using Send = std::function<void(int channel, const Bytes& bytes)>;
    using Log = std::function<void(const std::string& line)>;

    Simulator(SimOptions options, const std::vector<ModuleConfig>& modules, Send send, Log log,
              std::uint32_t seed = 1);

    /// Bytes from the tool on interface A (direct link) or B, or on the multiplexed link.
    void receiveA(const Bytes& bytes, std::chrono::sys_seconds now);
    void receiveB(const Bytes& bytes, std::chrono::sys_seconds now);
    void receiveMux(const Bytes& bytes, std::chrono::sys_seconds now);
    /// The tool's lines went quiet: finish what is pending.
    void quiet(std::chrono::sys_seconds now);
    /// Spontaneous telegrams and key presses that are due.
    void tick(Clock::time_point at);

    [[nodiscard]] std::vector<Module>& modules() { return modules_; }
    [[nodiscard]] Module* module(std::uint32_t id);

  private:
    struct PendingCommand {
        frames::StandardFrame frame;
        std::vector<frames::ContentBlock> contents;
    };
    struct BlockHeader {
        std::uint32_t id;
        std::uint16_t index;
    };

    void onRadio(const std::vector<RadioEvent>& events, std::chrono::sys_seconds now);
    void onHead(const std::vector<HeadEvent>& events, std::chrono::sys_seconds now);
    void onBox(const Bytes& bytes);
    void dispatch(std::chrono::sys_seconds now);
    void firmwareBlock(const FirmwareBlock& block);
    void writeFirmwareImage(Module& m);
    void transmit(const Module& from, const std::vector<Transmission>& transmissions);
    void sendBoxStatus();
    Module* moduleOnHead();

    SimOptions options_;
    std::vector<Module> modules_;
    Send send_;
    Log log_;
    std::mt19937 random_;
    RadioParser radio_;
    HeadParser head_;
    MuxDeframer deframer_;
    std::optional<PendingCommand> pending_;
    std::optional<BlockHeader> blockHeader_;
    std::vector<Clock::time_point> nextTelegram_;
    std::optional<Clock::time_point> nextKeyPress_;
    std::int8_t keyState_ = 0;
};

/// One line describing a standard frame for the event log.
[[nodiscard]] std::string describeFrame(const frames::StandardFrame& frame);

}  // namespace qrt::sim
