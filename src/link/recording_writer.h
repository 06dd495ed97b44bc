#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "common/failure.h"
#include "common/output_file.h"
#include "link/recording_format.h"

namespace qrt::link {

/// A recording of a link's traffic as a pcapng file that Wireshark and tshark open: the
/// interfaces A and B named, every record with its direction, its time in microseconds
/// (UTC) and the header byte in front of its bytes. Records are kept whole in a buffer
/// and written in blocks of whole records, so a program killed at any moment leaves a
/// file readable up to its last complete record.
class RecordingWriter {
  public:
    /// Creates `path` and writes the section header and the interfaces, naming
    /// `application` as the writer. An existing file is refused ("PATH exists") unless
    /// `overwrite`; anything but a regular file is refused.
    [[nodiscard]] static common::Result<RecordingWriter> create(const std::string& path,
                                                                bool overwrite,
                                                                std::string_view application);

    /// Adds one record; it reaches the file at the next `flush` or once a block is full.
    void add(std::int64_t utcMicroseconds, RecordHeader header,
             std::span<const std::uint8_t> bytes);
    /// Writes out the records added so far; false once any write has failed.
    bool flush() { return output_.flush(); }
    /// Flushes and closes; false once any write has failed.
    bool close() { return output_.close(); }
    /// "cannot write PATH: REASON" after a failed write; empty otherwise.
    [[nodiscard]] std::string failure() const { return output_.failure(); }

  private:
    explicit RecordingWriter(common::OutputFile output) : output_(std::move(output)) {}
    void writeHeader(std::string_view application);

    common::OutputFile output_;
};

}  // namespace qrt::link
