#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <string_view>
#include <vector>

#include "frames/command_frames.h"
#include "frames/module_address.h"
#include "frames/tea.h"
#include "sim/archive_ring.h"
#include "sim/firmware_receiver.h"
#include "sim/transmission.h"

namespace qrt::sim {

/// Kinds of spontaneous telegram a module cycles through.
enum class TelegramKind { Temp1, Temp2, BatDig, Config, Count1, Aux1, Short };

struct ModuleConfig {
    frames::ModuleAddress address{5, 1};
    std::uint8_t versionMajor = 1;
    std::uint8_t versionMinor = 0;
    bool running = true;
    double period = 0;  // seconds between spontaneous telegrams; 0 = silent
    std::vector<TelegramKind> telegrams{TelegramKind::Temp1};
    std::int16_t temp1 = 2150;  // hundredths of a degree, before the offset parameters
    std::int16_t temp2 = -325;
    std::uint8_t battery = 150;  // units of 0.02 V
    std::int16_t swing = 0;      // hundredths: telegrams' temperatures swing this far round theirs
    std::optional<frames::TeaKey> authKey;
    ArchiveConfig archive;
    std::set<std::uint32_t> loseArchiveBlocks;  // each lost the first time it is asked for
    std::set<std::uint16_t> loseFirmwareBlocks;
};

/// A transponder module: answers configuration and service requests by radio on
/// interface A, keeps parameters, a clock, an archive and a firmware image, and sends
/// spontaneous telegrams.
class Module {
  public:
    Module(ModuleConfig config, std::uint16_t crcStart);

    [[nodiscard]] std::uint32_t id() const { return config_.address.filterId(); }
    [[nodiscard]] bool addressedBy(std::uint32_t id) const {
        return id == frames::kBroadcastId || id == this->id();
    }
    [[nodiscard]] const ModuleConfig& config() const { return config_; }

    /// Whether a radio command needs an authenticator before this module obeys it.
    [[nodiscard]] bool requiresAuthenticator(std::uint8_t code) const;
    /// Checks the authenticator (the last content frame) of a radio command.
    [[nodiscard]] bool authenticatorValid(const frames::StandardFrame& command,
                                          std::span<const frames::ContentBlock> contents) const;

    /// Answers a request; the replies go out on interface A.
    std::vector<Transmission> handle(const Request& request, std::chrono::sys_seconds now);
    /// Answers a text command from the inductive head ("VER", "NVW20,16", ...).
    std::vector<Transmission> handleText(std::string_view text, std::chrono::sys_seconds now);
    /// The next spontaneous telegram of the cycle.
    std::vector<Transmission> nextTelegram();
    /// The temperature a spontaneous telegram reports: the measured one, swinging by
    /// `swing` in a wave of 40 telegrams.
    [[nodiscard]] std::int16_t telegramTemperature(int input) const;

    [[nodiscard]] std::uint16_t parameter(std::uint8_t number) const;
    [[nodiscard]] bool running() const { return running_; }
    [[nodiscard]] std::chrono::sys_seconds clockAt(std::chrono::sys_seconds now) const {
        return now + clockOffset_;
    }
    FirmwareReceiver& firmware() { return firmware_; }
    [[nodiscard]] const ArchiveRing* archive() const { return archive_.get(); }

  private:
    Transmission reply(std::uint8_t type, std::uint16_t wordPar, std::uint8_t bytePar,
                       std::uint8_t sequence, std::string what) const;
    Transmission telegram(std::uint16_t wordPar, std::uint8_t bytePar, std::string what);
    std::vector<Transmission> parameterRead(const Request& request, std::chrono::sys_seconds now);
    std::vector<Transmission> parameterWrite(const Request& request, std::chrono::sys_seconds now);
    std::vector<Transmission> operate(const Request& request);
    std::vector<Transmission> measure(const Request& request);
    std::vector<Transmission> samples(const Request& request, std::uint8_t replyType);
    std::vector<Transmission> firmwareControl(const Request& request);
    std::vector<Transmission> archiveBlocks(const Request& request, std::uint32_t count);
    void setClockField(std::uint8_t parameter, std::uint16_t bcd, std::chrono::sys_seconds now);
    [[nodiscard]] std::int16_t measuredTemperature(int input) const;

    ModuleConfig config_;
    std::uint16_t crcStart_;
    bool running_;
    bool logging_ = false;
    std::map<std::uint8_t, std::uint16_t> parameters_;
    std::chrono::seconds clockOffset_{0};
    std::unique_ptr<ArchiveRing> archive_;
    FirmwareReceiver firmware_;
    std::size_t nextKind_ = 0;
    std::uint8_t telegramSequence_ = 0;
    std::uint16_t counter_ = 0;
    std::set<std::uint32_t> archiveLosses_;
};

}  // namespace qrt::sim
