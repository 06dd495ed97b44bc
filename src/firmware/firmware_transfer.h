#pragma once

#include <array>
#include <cstdint>
#include <fstream>
#include <optional>
#include <string>

#include "common/clock.h"
#include "firmware/firmware_status.h"
#include "frames/command_frames.h"
#include "frames/frame_sender.h"
#include "frames/module_address.h"

namespace qrt::firmware {

/// Whom the transfer addresses, asked whenever it needs it: one module or every module
/// in range, and the module named by the operator, if one is.
struct FirmwareTarget {
    bool singleModule = false;                      // "Einzelmodul"
    std::optional<frames::ModuleAddress> module{};  // none: no module is named
};

/// Where the transfer shows its progress: the "Block" and "von" fields and a bar.
class FirmwareView {
  public:
    virtual ~FirmwareView() = default;
    [[nodiscard]] virtual FirmwareTarget target() const = 0;
    [[nodiscard]] virtual int speed() const = 0;  // polls between two blocks, 2 to 5
    /// The number of the block just sent.
    virtual void showBlock(std::uint32_t index) = 0;
    virtual void showBlockCount(std::uint32_t count) = 0;
    virtual void showProgress(std::uint32_t sent, std::uint32_t count) = 0;
    /// What the module reported to a status request.
    virtual void showStatus(const FirmwareStatus& status) = 0;
};

/// Loads a firmware image into one module or all modules by radio, one 128-byte block
/// every few polls, with a status request and the resend of a single missing block.
class FirmwareTransfer {
  public:
    enum class StartResult { Started, CannotOpen, TooManyBlocks, WrongHeader };

    FirmwareTransfer(frames::FrameSender& sender, common::Clock& clock, FirmwareView& view)
        : sender_(sender), clock_(clock), view_(view) {}

    /// Starts (or restarts from block 0) with the image at `path`: checks its size
    /// against the family and its header line ("TAG" + 1 byte + LF), then sends the
    /// start frame. An image that cannot be opened leaves a running transfer alone;
    /// one that fails a check stops it.
    StartResult start(const std::string& path);
    /// Once per poll, before any received byte is read: sends the next block when due.
    void pace();
    /// Stops the transfer; nothing is sent.
    void stop();
    /// Asks the named module for its firmware status (nothing when none is named).
    void requestStatus();
    /// Tells the named module to restart (nothing when none is named).
    void reboot();
    /// A firmware status reply: shows it and resends a block the module reports missing.
    void statusReply(const frames::StandardFrame& frame);

    [[nodiscard]] bool running() const { return running_; }
    [[nodiscard]] const std::string& imagePath() const { return imagePath_; }
    [[nodiscard]] std::uint32_t targetId() const { return targetId_; }
    [[nodiscard]] std::int32_t targetType() const { return targetType_; }
    [[nodiscard]] std::uint32_t blockCount() const { return blockCount_; }
    [[nodiscard]] bool statusPending() const { return statusPending_; }
    /// Why the last start refused its image; empty after a start.
    [[nodiscard]] const std::optional<ImageRefusal>& refusal() const { return refusal_; }

  private:
    void applyTargetRule();
    void endTransfer();

    frames::FrameSender& sender_;
    common::Clock& clock_;
    FirmwareView& view_;
    std::string imagePath_;
    std::optional<ImageRefusal> refusal_;
    std::ifstream image_;
    std::uint32_t targetId_ = 0;
    std::int32_t targetType_ = 0;
    std::uint32_t blockCount_ = 0;
    std::uint32_t blockIndex_ = 0;
    std::int32_t countdown_ = 0;
    std::uint32_t blocksSent_ = 0;
    bool running_ = false;
    bool singleBlock_ = false;
    bool statusPending_ = false;
    std::array<std::uint8_t, 130> block_{};
};

}  // namespace qrt::firmware
