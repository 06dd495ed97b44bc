#pragma once

#include <bitset>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "archive/csv_export.h"
#include "archive/date_time.h"
#include "archive/record_search.h"
#include "common/clock.h"
#include "frames/frame_sender.h"
#include "frames/module_address.h"
#include "receive/poller.h"

namespace qrt::archive {

/// Where the retrieval shows how far it is; what became of it is its outcome.
class RetrievalView {
  public:
    virtual ~RetrievalView() = default;
    /// The module whose archive is read, once its info reply names it (none at the start).
    virtual void showModule(const std::optional<frames::ModuleAddress>& module) = 0;
    /// The first request is out: the retrieval is busy until it returns.
    virtual void showBusy() = 0;
    /// Blocks received of the most the read may take, a total known once the wrap check
    /// has answered; a read that stops at the selected start ends short of it.
    virtual void showProgress(std::uint32_t received, std::uint32_t total) = 0;
};

/// What the operator chose for one retrieval.
struct RetrievalRequest {
    bool radio = false;                             // "Funk"; else the module on the head
    std::optional<frames::ModuleAddress> module{};  // by radio: the module asked
    DateTimeValue selectedStart = 0;                // how far back to read
};

/// What a retrieval learnt of the module's archive ring: what the export needs and how
/// the ring was read.
struct ArchiveRead {
    frames::ModuleAddress module{};    // whose archive it is
    std::uint32_t writeWord = 0;       // the module's write position
    std::uint32_t newestBlock = 0;     // the block written last
    bool wrapped = false;              // the ring has been written round once at least
    std::uint32_t blocksReceived = 0;  // blocks in the archive store
    std::int32_t firstRecord = -1;     // the oldest record header read; -1: none
    DateTimeValue recordTime = 0;      // that record's time and channel configuration
    std::uint16_t recordConfig = 0;

    /// The export of the archive store's `words` from the oldest record, rows from `start`.
    [[nodiscard]] ExportSource exportFrom(std::span<const std::uint16_t> words,
                                          DateTimeValue start) const {
        return {words, writeWord, firstRecord, start};
    }
};

/// What became of a retrieval.
struct RetrievalOutcome {
    enum class End {
        Exportable,     // read; the oldest record from the selected start is known
        NoRecord,       // read, but no record header was found
        MissingBlocks,  // blocks of the range read are still missing
        NoResponse,     // no answer in time, or a write position outside the ring
        PortLost,       // a device of the link went away
        Interrupted,    // the operator stopped the program
        DateError,      // a record header's date or time does not exist
        NotAsked,       // by radio without a module (type and serial number not 0)
    };
    End end = End::NotAsked;
    std::string dateError{};  // DateError: what was read
    ArchiveRead read{};       // as far as the retrieval came
};

/// Reads a logging module's archive ring, newest blocks first, into the archive store,
/// pumping the poller itself, and finds the oldest record to export.
class ArchiveRetrieval {
  public:
    ArchiveRetrieval(frames::FrameSender& sender, common::Clock& clock, receive::Poller& poller,
                     receive::ArchiveStore& store, RetrievalView& view)
        : sender_(sender), clock_(clock), poller_(poller), store_(store), view_(view) {}

    /// The whole retrieval, blocking until it ends: the blocks newest first until a
    /// record older than the selected start, into the archive store.
    RetrievalOutcome retrieve(const RetrievalRequest& request);

  private:
    static constexpr std::size_t kBlockFlags = 2046;

    /// Which blocks the next batch request asks for.
    struct Batch {
        std::uint32_t start = 0;
        std::uint32_t length = 0;
    };

    RetrievalOutcome readArchive(const RetrievalRequest& request);
    std::optional<RetrievalOutcome> askWritePosition(const RetrievalRequest& request);
    std::optional<RetrievalOutcome> askWrapped(const RetrievalRequest& request);
    std::optional<RetrievalOutcome> readBatch(const RetrievalRequest& request);
    /// Moves to the batch below the one read; false when the whole range has been read.
    bool nextBatch();
    [[nodiscard]] bool blocksMissing() const;
    RetrievalOutcome ended(RetrievalOutcome::End end, std::string dateError = {}) const;
    void sendRequest(const RetrievalRequest& request, std::uint16_t wordPar, std::uint8_t bytePar);
    receive::WaitEnd awaitBlock(const RetrievalRequest& request);

    frames::FrameSender& sender_;
    common::Clock& clock_;
    receive::Poller& poller_;
    receive::ArchiveStore& store_;
    RetrievalView& view_;
    bool firstRequest_ = true;
    std::uint32_t moduleId_ = 0;
    ArchiveRead read_;
    std::bitset<kBlockFlags> blockReceived_;
    Batch batch_;
    std::uint32_t lowestBlock_ = 0;     // where the range to read ends
    std::uint32_t lastBatchStart_ = 0;  // the first block of the batch read last
    std::uint32_t blocksToRead_ = 0;    // the progress total: all the ring may hold
};

}  // namespace qrt::archive
