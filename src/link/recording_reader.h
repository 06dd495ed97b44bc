#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "common/failure.h"
#include "link/recording_format.h"

struct pcap;

namespace qrt::link {

/// One record of a recording: when its bytes were taken from the port or written (UTC
/// microseconds), what it is, and its bytes (without the header byte).
struct Record {
    std::int64_t utcMicroseconds = 0;
    RecordHeader header{};
    std::span<const std::uint8_t> bytes{};
};

/// Reads a recording record by record: a pcapng file as the tools write it, or a classic
/// pcap file of the same link type and header byte (through libpcap). Every fault of the
/// file is a failure in words: a file that is no capture, is empty or cut short, another
/// link type, a record of absurd length, a header byte the tools never write.
class RecordingReader {
  public:
    /// Whether a file starting with `start` (its first four bytes) is a pcap or pcapng
    /// file, by its magic number.
    [[nodiscard]] static bool isRecording(std::span<const std::uint8_t> start);

    /// Opens the recording at `path`, a regular file.
    [[nodiscard]] static common::Result<RecordingReader> open(const std::string& path);

    /// The next record, valid until the next call; none at the end of the file.
    [[nodiscard]] common::Result<std::optional<Record>> next();
    /// The next record of the bytes received on interface A, passing over what was sent.
    [[nodiscard]] common::Result<std::optional<Record>> nextReceived();

  private:
    struct Close {
        void operator()(pcap* handle) const;
    };
    RecordingReader(std::string path, std::unique_ptr<pcap, Close> handle)
        : path_(std::move(path)), handle_(std::move(handle)) {}
    [[nodiscard]] common::Failure fault(const std::string& reason) const;

    std::string path_;
    std::unique_ptr<pcap, Close> handle_;
    std::uint64_t count_ = 0;
};

}  // namespace qrt::link
