// End to end: the Wireshark dissector against the decoder, and a recording from the
// simulator played back and recorded again.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "frames/command_frames.h"
#include "frames/device_frames.h"
#include "receive/frame_fields.h"
#include "support/child_process.h"
#include "support/random_bytes.h"
#include "support/recording_files.h"
#include "support/temp_folder.h"

using namespace qrt;
using namespace qrt::testing;
using namespace std::chrono_literals;

namespace {

// Every kind of record: a short telegram, telegrams of three module types, an extension
// after its announcement, samples, a reply, a logger block and a firmware echo behind
// their replies, a frame with a bad CRC and noise.
std::vector<std::uint8_t> streamOfEveryKind() {
    std::vector<std::uint8_t> stream;
    const auto add = [&stream](std::span<const std::uint8_t> bytes) {
        stream.insert(stream.end(), bytes.begin(), bytes.end());
    };
    add(frames::buildShortTelegram(9, 2150, 150, 1, 0));
    add(frames::buildStandardFrame(0x20, 0x30000007, 0x0866, 150, 2, 0));
    add(frames::buildStandardFrame(0x20, 0x50001234, 0x0866, 0x12, 3, 0));
    add(frames::buildStandardFrame(0x20, 0x60000010, 0x0596, 0x10, 4, 0));
    add(frames::buildTelegramExtension({2, 4, 0}, {2150, 17, 0}, 0));
    add(frames::buildContinuousSamples({1, -2, 3, -4}, 0));
    add(frames::buildStandardFrame(2, 0x50001234, 754, 65, 5, 0));
    add(frames::buildStandardFrame(22, 0x60000010, 7, 0, 6, 0));
    add(frames::buildLoggerBlock({1, 2, 3}, 0));
    add(frames::buildStandardFrame(18, 0x50001234, 0, 0, 7, 0));
    add(pseudoRandomBytes(130, 3));
    auto bad = frames::buildStandardFrame(0x20, 0x50001234, 1, 2, 8, 0);
    bad[9] ^= 0x40;
    add(bad);
    add(frames::buildShortTelegram(10, -300, 140, 0, 0));
    return stream;
}

std::string kindName(link::RecordKind kind) {
    constexpr std::array<const char*, 5> kNames{"no frame", "short telegram", "standard frame",
                                                "logger block", "firmware echo"};
    return kNames[static_cast<std::size_t>(kind)];
}

// The frames of a recording (received, not noise), with their times.
std::vector<ReadRecord> framesOf(const std::string& path) {
    std::vector<ReadRecord> frames;
    for (ReadRecord& record : readRecords(path)) {
        if (!record.header.sent && record.header.kind != link::RecordKind::NoFrame) {
            frames.push_back(std::move(record));
        }
    }
    return frames;
}

}  // namespace

TEST(Dissector, ShowsTheModulesAndKindsOurDecoderTook) {
    if (runCommand("command -v tshark").first != 0) {
        GTEST_SKIP() << "tshark is not installed (scripts/install-deps.sh installs it)";
    }
    const TempFolder folder("qrt_dissector");
    const std::string recording = folder.file("every-kind.pcapng");
    recordStream(streamOfEveryKind(), recording, 128);
    std::string expected;
    for (const ReadRecord& record : readRecords(recording)) {
        expected += kindName(record.header.kind) + ",";
        if (record.header.kind == link::RecordKind::ShortTelegram) {
            expected += std::to_string(record.bytes[0]);
        } else if (record.header.kind == link::RecordKind::StandardFrame) {
            frames::StandardFrame frame{};
            std::copy_n(record.bytes.begin(), frame.size(), frame.begin());
            expected += receive::FrameFields(frame).module().text();
        }
        expected += "\n";
    }
    const auto [status, fields] =
        runCommand(std::string("tshark -X lua_script:") + QRT_DISSECTOR_PATH + " -r " + recording +
                   " -T fields -E separator=, -e qrt.kind -e qrt.module 2>/dev/null");
    EXPECT_EQ(status, 0);
    EXPECT_EQ(fields, expected);
    // The noise record holds the frame whose CRC failed; nothing is marked malformed.
    EXPECT_NE(expected.find("no frame,\n"), std::string::npos);
    const auto [shown, malformed] =
        runCommand(std::string("tshark -X lua_script:") + QRT_DISSECTOR_PATH + " -r " + recording +
                   " -Y '_ws.malformed || _ws.expert.severity == error' 2>&1");
    EXPECT_EQ(malformed.find("QRT"), std::string::npos) << malformed;
}

// Recorded from the simulator, played back and recorded again: the same frames in the
// same order, spaced as before within 10 %.
TEST(Replay, SendsTheRecordedFramesWithTheirSpacing) {
    const TempFolder folder("qrt_replay_e2e");
    const auto record = [&folder](const std::vector<std::string>& sim, const std::string& into,
                                  std::chrono::milliseconds listen) {
        std::vector<std::string> args{QRT_SIM_PATH, "--link-a", folder.file("a"), "--link-b",
                                      folder.file("b")};
        args.insert(args.end(), sim.begin(), sim.end());
        ChildProcess simulator(args, folder.file("sim.log"));
        ASSERT_TRUE(waitFor([&] { return std::filesystem::exists(folder.file("a")); }, 10s));
        ChildProcess monitor({QRT_MONITOR_PATH, "--port", folder.file("a"), "--record", into},
                             folder.file("monitor.log"));
        std::this_thread::sleep_for(listen);
        EXPECT_EQ(monitor.stop(SIGINT), 0) << readText(folder.file("monitor.log"));
        simulator.stop();
        std::filesystem::remove(folder.file("a"));
        std::filesystem::remove(folder.file("b"));
    };
    const std::string first = folder.file("first.pcapng");
    const std::string second = folder.file("second.pcapng");
    record({"--module", "5.1234,period=0.4", "--module", "3.7,period=0.7"}, first, 3000ms);
    // The replay waits for qrt-monitor to open the port, however slowly a loaded machine starts it.
    record({"--replay", first, "--replay-delay", "2"}, second, 6000ms);

    const auto recorded = framesOf(first);
    const auto replayed = framesOf(second);
    ASSERT_GE(recorded.size(), 8u);
    // A frame that arrived as the first recording stopped is kept as bytes that formed no
    // frame yet; played back, it is decoded: one frame more at most.
    ASSERT_GE(replayed.size(), recorded.size());
    ASSERT_LE(replayed.size(), recorded.size() + 1);
    // Each frame keeps its time from the first within 10 %, beside 50 ms for the port
    // reads and the scheduling of a loaded machine: the spacing holds and errors do not
    // add up.
    const auto since = [](const std::vector<ReadRecord>& frames, std::size_t i) {
        return frames[i].utcMicroseconds - frames[0].utcMicroseconds;
    };
    for (std::size_t i = 0; i < recorded.size(); ++i) {
        EXPECT_EQ(replayed[i].bytes, recorded[i].bytes) << "frame " << i;
        EXPECT_LE(std::abs(since(replayed, i) - since(recorded, i)),
                  since(recorded, i) / 10 + 50'000)
            << "frame " << i;
    }
}
