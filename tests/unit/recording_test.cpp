// Recordings: every received byte in exactly one record, in order; qrt-monitor and
// qrt-sim --replay on recordings, good and damaged.
#include <gtest/gtest.h>

#include <fstream>

#include "frames/command_frames.h"
#include "frames/device_frames.h"
#include "support/child_process.h"
#include "support/random_bytes.h"
#include "support/recording_files.h"
#include "support/temp_folder.h"

using namespace qrt;
using namespace qrt::testing;

namespace {

// A stream of valid frames (short telegrams, telegrams of several module types, replies,
// a logger block after its announcement) with runs of noise between them.
std::vector<std::uint8_t> randomStream(std::uint32_t seed) {
    std::vector<std::uint8_t> stream;
    const auto add = [&stream](std::span<const std::uint8_t> bytes) {
        stream.insert(stream.end(), bytes.begin(), bytes.end());
    };
    for (int i = 0; i < 40; ++i) {
        seed = seed * 1664525u + 1013904223u;
        const auto pick = seed >> 28;
        const auto value = static_cast<std::uint16_t>(seed >> 8);
        if (pick < 3) {
            add(pseudoRandomBytes(1 + (seed >> 20) % 30, seed));
        } else if (pick < 6) {
            add(frames::buildShortTelegram(static_cast<std::uint8_t>(seed), 2150, 150, 1, 0));
        } else if (pick < 12) {
            add(frames::buildStandardFrame(0x20, (pick % 7) << 28 | 1234, value,
                                           static_cast<std::uint8_t>(seed >> 4), 3, 0));
        } else if (pick < 14) {
            add(frames::buildStandardFrame(2, 0x50000010, value, 14, 4, 0));
        } else {
            add(frames::buildStandardFrame(22, 0x60000010, 7, 0, 5, 0));
            add(frames::buildLoggerBlock({value, 2, 3}, 0));
        }
    }
    return stream;
}

std::string monitor(const std::string& arguments) {
    return runCommand(std::string(QRT_MONITOR_PATH) + " " + arguments + " 2>&1").second;
}

void writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

}  // namespace

TEST(Recording, JoinedRecordsGiveBackTheStreamAndItsLines) {
    const TempFolder folder("qrt_recording");
    for (std::uint32_t seed = 1; seed <= 30; ++seed) {
        const auto stream = randomStream(seed);
        const std::string recording = folder.file("r.pcapng");
        const std::size_t readSize = 1 + seed * 37 % 128;
        recordStream(stream, recording, readSize);
        std::vector<std::uint8_t> joined;
        for (const ReadRecord& record : readRecords(recording)) {
            ASSERT_FALSE(record.header.sent);
            ASSERT_FALSE(record.bytes.empty()) << "seed " << seed;
            joined.insert(joined.end(), record.bytes.begin(), record.bytes.end());
        }
        ASSERT_EQ(joined, stream) << "seed " << seed << ", read size " << readSize;
        if (seed % 10 == 0) {
            writeFile(folder.file("raw.bin"), stream);
            EXPECT_EQ(monitor(recording), monitor(folder.file("raw.bin"))) << "seed " << seed;
        }
    }
}

TEST(Recording, RecordsAreDelimitedAsTheDecoderTookThem) {
    const TempFolder folder("qrt_recording_kinds");
    std::vector<std::uint8_t> stream{0x55, 0x66};  // noise
    const auto telegram = frames::buildShortTelegram(5, 2150, 150, 1, 0);
    const auto frame = frames::buildStandardFrame(0x20, 0x60000010, 0x12, 0x12, 1, 0);
    auto bad = frame;
    bad[10] ^= 1;
    for (const auto& bytes :
         std::vector<std::vector<std::uint8_t>>{{telegram.begin(), telegram.end()},
                                                {bad.begin(), bad.end()},
                                                {frame.begin(), frame.end()}}) {
        stream.insert(stream.end(), bytes.begin(), bytes.end());
    }
    recordStream(stream, folder.file("r.pcapng"), 128);
    std::vector<std::pair<link::RecordKind, std::size_t>> kinds;
    for (const ReadRecord& record : readRecords(folder.file("r.pcapng"))) {
        kinds.emplace_back(record.header.kind, record.bytes.size());
    }
    using K = link::RecordKind;
    // The noise before the telegram waits until 11 bytes are buffered; the frame with the
    // bad CRC goes byte by byte, one run with the noise behind it.
    EXPECT_EQ(
        kinds,
        (std::vector<std::pair<K, std::size_t>>{
            {K::NoFrame, 2}, {K::ShortTelegram, 7}, {K::NoFrame, 11}, {K::StandardFrame, 11}}));
}

TEST(Recording, RecordedTimesStampTheLines) {
    const TempFolder folder("qrt_recording_times");
    auto created = link::RecordingWriter::create(folder.file("r.pcapng"), false, "test");
    auto& writer = std::get<link::RecordingWriter>(created);
    const auto frame = frames::buildStandardFrame(0x20, 0x30000007, 0x0866, 150, 2, 0);
    const std::int64_t noon = 1'781'006'400'000'000;  // a day in 2026, 12:00:00 UTC
    writer.add(noon, {.kind = link::RecordKind::StandardFrame}, frame);
    writer.add(noon + 1'234'567, {.sent = true, .channel = link::RecordChannel::B}, frame);
    writer.add(noon + 2'345'678, {.kind = link::RecordKind::StandardFrame}, frame);
    ASSERT_TRUE(writer.close());
    EXPECT_EQ(runCommand("TZ=UTC " + std::string(QRT_MONITOR_PATH) + " --recorded-times " +
                         folder.file("r.pcapng"))
                  .second,
              "D 12:00:00.0  R:1 ID:3.7 T:21.50 B:3.00 2 0\n"
              "D 12:00:02.3  R:1 ID:3.7 T:21.50 B:3.00 2 0\n");
}

// A damaged or foreign file is named with its fault and ends the tool with status 2,
// in qrt-monitor and in qrt-sim --replay alike.
TEST(Recording, BadFilesAreRefusedWithTheirFault) {
    const TempFolder folder("qrt_recording_bad");
    const std::string good = folder.file("good.pcapng");
    recordStream(randomStream(7), good, 128);
    const auto bytes = readFile(good);
    // A classic pcap header: little-endian, microseconds, version 2.4, link type 1.
    std::vector<std::uint8_t> ethernet{0xD4, 0xC3, 0xB2, 0xA1, 2,    0,    4, 0, 0, 0, 0, 0,
                                       0,    0,    0,    0,    0xFF, 0xFF, 0, 0, 1, 0, 0, 0};
    auto hugeRecord = std::vector<std::uint8_t>(ethernet.begin(), ethernet.end());
    hugeRecord[20] = 147;
    for (const std::uint32_t field : {0u, 0u, 0x80000000u, 0x80000000u}) {
        for (int i = 0; i < 4; ++i) {
            hugeRecord.push_back(static_cast<std::uint8_t>(field >> (8 * i)));
        }
    }
    // The first record's header byte, 28 bytes into the first packet block (type 6).
    auto badHeader = bytes;
    std::size_t block = 0;
    while (badHeader[block] != 6) {
        block += badHeader[block + 4] | badHeader[block + 5] << 8;
    }
    badHeader[block + 28] = 0x77;
    struct Case {
        const char* name;
        std::vector<std::uint8_t> file;
        const char* says;
    };
    for (const Case& c : {
             Case{"truncated", {bytes.begin(), bytes.end() - 5}, "record"},
             Case{"corrupted", badHeader, "record 1: header byte 0x77 is not one of this tool's"},
             Case{"another link type", ethernet, "holds link type 1, not this tool's recording"},
             Case{"2 GB record", hugeRecord, "record 1: "},
             Case{"empty", {}, "is empty"},
             Case{"no pcapng body", {0x0A, 0x0D, 0x0D, 0x0A, 1, 2}, "not a readable recording"},
         }) {
        const std::string path = folder.file("bad");
        writeFile(path, c.file);
        for (const std::string& tool :
             {std::string(QRT_MONITOR_PATH) + " ", std::string(QRT_SIM_PATH) + " --replay "}) {
            const auto [status, output] = runCommand(tool + path + " 2>&1 >/dev/null");
            EXPECT_EQ(status, 2) << c.name << ": " << tool;
            EXPECT_NE(output.find(c.says), std::string::npos) << c.name << ": " << output;
        }
    }
}

TEST(Recording, AnExistingFileIsReplacedOnlyWhenAsked) {
    const TempFolder folder("qrt_recording_existing");
    writeFile(folder.file("old.pcapng"), {1, 2, 3});
    const auto [status, output] =
        runCommand(std::string(QRT_MONITOR_PATH) + " --port " + folder.file("none") + " --record " +
                   folder.file("old.pcapng") + " 2>&1");
    EXPECT_EQ(status, 2);
    EXPECT_NE(output.find("exists: give --record-overwrite to replace it"), std::string::npos)
        << output;
    EXPECT_EQ(readFile(folder.file("old.pcapng")), (std::vector<std::uint8_t>{1, 2, 3}));
}
