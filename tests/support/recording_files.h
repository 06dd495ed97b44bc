#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/clock.h"
#include "link/recording_reader.h"
#include "link/recording_writer.h"
#include "receive/replay.h"
#include "receive/traffic_recorder.h"

namespace qrt::testing {

/// A record as read back, its bytes copied.
struct ReadRecord {
    link::RecordHeader header;
    std::vector<std::uint8_t> bytes;
    std::int64_t utcMicroseconds = 0;
};

/// Receives `stream` on interface A, `readSize` bytes a read, with a recorder attached,
/// and writes the recording to `path`.
inline void recordStream(const std::vector<std::uint8_t>& stream, const std::string& path,
                         std::size_t readSize) {
    auto writer = link::RecordingWriter::create(path, true, "test");
    ASSERT_EQ(common::failureOf(writer), nullptr);
    auto& file = std::get<link::RecordingWriter>(writer);
    common::StoppedClock clock;
    receive::TrafficRecorder recorder(file, clock);
    receive::NoLines lines;
    receive::replayCapture(stream, {.readSize = readSize, .recording = &recorder}, lines);
    ASSERT_TRUE(recorder.finish());
    ASSERT_TRUE(file.close());
}

/// Every record of the recording at `path`; a fault of the file fails the test.
inline std::vector<ReadRecord> readRecords(const std::string& path) {
    std::vector<ReadRecord> records;
    auto opened = link::RecordingReader::open(path);
    if (const auto* failure = common::failureOf(opened)) {
        ADD_FAILURE() << failure->reason;
        return records;
    }
    auto& reader = std::get<link::RecordingReader>(opened);
    for (;;) {
        auto next = reader.next();
        if (const auto* failure = common::failureOf(next)) {
            ADD_FAILURE() << failure->reason;
            return records;
        }
        const auto& record = std::get<std::optional<link::Record>>(next);
        if (!record) {
            return records;
        }
        records.push_back({record->header,
                           {record->bytes.begin(), record->bytes.end()},
                           record->utcMicroseconds});
    }
}

}  // namespace qrt::testing
