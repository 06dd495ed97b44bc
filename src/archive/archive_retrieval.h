#pragma once

#include <bitset>
#include <cstdint>
#include <string>

#include "archive/date_time.h"
#include "common/clock.h"
#include "frames/frame_sender.h"
#include "receive/poller.h"

namespace qrt::archive {

/// Status colours of the archive window, as 0xBBGGRR.
enum class StatusColour : std::uint32_t { Yellow = 0x00FFFF, Green = 0x00FF00, Red = 0x0000FF };

/// Where the retrieval shows what it does.
class RetrievalView {
  public:
    virtual ~RetrievalView() = default;
    virtual void showId(const std::string& text) = 0;                           // repainted at once
    virtual void showStatus(const std::string& text, StatusColour colour) = 0;  // repainted at once
    virtual void showFirstRecord(const std::string& date, const std::string& time) = 0;
    virtual void enableCsv(bool enabled) = 0;
    virtual void showProgress(std::uint32_t received, std::uint32_t total) = 0;
    /// A record's date or time does not exist: the operator is told what was read.
    virtual void dateError(const std::string& message) = 0;
};

/// What the operator chose for one retrieval.
struct RetrievalRequest {
    bool radio = false;               // "Funk"; else inductive
    std::string serial;               // the main window's serial number field (radio only)
    std::string type;                 // the main window's module type field (radio only)
    DateTimeValue selectedStart = 0;  // how far back to read
};

/// Reads a logging module's archive ring, newest blocks first, into the archive store,
/// pumping the poller itself, and finds the oldest record to export.
class ArchiveRetrieval {
  public:
    static constexpr std::size_t kBlockFlags = 2046;

    ArchiveRetrieval(frames::FrameSender& sender, common::Clock& clock, receive::Poller& poller,
                     receive::ArchiveStore& store, RetrievalView& view)
        : sender_(sender), clock_(clock), poller_(poller), store_(store), view_(view) {}

    /// How a retrieval ended: it ran to its end (the view shows whether it can be
    /// exported), nothing was asked (no module named), or it stopped early.
    enum class End { Done, NotAsked, NoResponse, PortLost, Interrupted, DateError };

    /// Get Archive: the whole retrieval, blocking until it ends.
    End BtInfoClick(const RetrievalRequest& request);

    // Retrieval state, kept for the export.
    std::uint32_t archiveType = 0;
    std::uint32_t archiveSerial = 0;
    std::uint32_t writeWord = 0;
    std::uint32_t newestBlock = 0;
    bool archiveWrapped = false;
    std::uint32_t batchStart = 0;
    std::uint32_t batchLength = 0;
    std::uint32_t lowestBlock = 0;
    std::uint32_t lastBatchStart = 0;
    std::bitset<kBlockFlags> blockReceived;
    std::int32_t firstRecord = -1;
    DateTimeValue recordTime = 0;
    std::uint16_t recordConfig = 0;

  private:
    End retrieve(const RetrievalRequest& request);
    void sendRequest(const RetrievalRequest& request, std::uint16_t wordPar, std::uint8_t bytePar);
    receive::WaitEnd awaitBlock(const RetrievalRequest& request);

    frames::FrameSender& sender_;
    common::Clock& clock_;
    receive::Poller& poller_;
    receive::ArchiveStore& store_;
    RetrievalView& view_;
    bool firstRequest_ = true;
    std::uint32_t moduleId_ = 0;
    std::uint32_t blocksToRead_ = 0;
    std::uint32_t blocksAsked_ = 0;
    std::string dateError_;
};

}  // namespace qrt::archive
