#pragma once

#include <array>
#include <cstdint>
#include <fstream>
#include <string>

#include "common/clock.h"
#include "frames/command_frames.h"
#include "frames/frame_sender.h"

namespace qrt::firmware {

/// What the firmware group's controls say, read whenever the transfer needs them.
struct FirmwareTarget {
    bool singleModule = false;  // "Einzelmodul"
    std::string serial;         // the serial number field, "%i"
    std::string type;           // the module type field, "%i"
};

/// Where the transfer shows its progress: the "Block" and "von" fields and a bar.
class FirmwareView {
  public:
    virtual ~FirmwareView() = default;
    [[nodiscard]] virtual FirmwareTarget target() const = 0;
    [[nodiscard]] virtual int speed() const = 0;  // polls between two blocks, 2 to 5
    virtual void showBlock(const std::string& text) = 0;
    virtual void showBlockCount(const std::string& text) = 0;
    virtual void showProgress(std::uint32_t sent, std::uint32_t count) = 0;
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
    /// Asks the typed module for its firmware status (nothing when the fields do not scan).
    void requestStatus();
    /// Tells the typed module to restart (nothing when the fields do not scan).
    void reboot();
    /// A firmware status reply: shows it and resends a block the module reports missing.
    void statusReply(const frames::StandardFrame& frame);

    [[nodiscard]] bool running() const { return running_; }
    [[nodiscard]] const std::string& imagePath() const { return imagePath_; }
    [[nodiscard]] std::uint32_t targetId() const { return targetId_; }
    [[nodiscard]] std::int32_t targetType() const { return targetType_; }
    [[nodiscard]] std::uint32_t blockCount() const { return blockCount_; }
    [[nodiscard]] bool statusPending() const { return statusPending_; }
    /// Why the last start refused its image, for the operator; empty after a start.
    [[nodiscard]] const std::string& refusal() const { return refusal_; }

  private:
    void applyTargetRule();
    void endTransfer();

    frames::FrameSender& sender_;
    common::Clock& clock_;
    FirmwareView& view_;
    std::string imagePath_;
    std::string refusal_;
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
