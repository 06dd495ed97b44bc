#include "receive/replay.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <utility>

#include "frames/command_frames.h"
#include "frames/device_frames.h"
#include "link/mux_framing.h"
#include "support/child_process.h"
#include "support/recording_sink.h"
#include "support/temp_folder.h"

using namespace qrt;

namespace {

// Telegrams and replies of every kind, each as a module sends it.
std::vector<std::uint8_t> captureOfTelegrams() {
    std::vector<std::uint8_t> capture;
    auto add = [&](const auto& frame) {
        capture.insert(capture.end(), frame.begin(), frame.end());
    };
    add(frames::buildStandardFrame(0x20, 0x60000010, 0x0866, 0x12, 3, 0));
    add(frames::buildStandardFrame(0x01, 0x50001234, 0x0203, 0, 9, 0));
    add(frames::buildShortTelegram(5, 0x0866, 0x96, 1, 0));
    add(frames::buildStandardFrame(0x02, 0x50001234, 7893, 66, 5, 0));
    return capture;
}

const std::vector<std::string> kTelegramLines{
    "D 00:00:00.0  R:1 ID:6.16 Temp1   T:21.50 3 0",
    "D 00:00:00.0  ID:5.4660 pt:1 bp:0 wp:515 9",
    "C ID:5.4660 Version:2.3 run",
    "D 00:00:00.0  ID:5 T:21.50 B:3.00 1 0",
    "D 00:00:00.0  ID:5.4660 pt:2 bp:66 wp:7893 5",
    "C ID:5.4660 Date:21.06.2015",
};

std::vector<std::string> replay(const std::vector<std::uint8_t>& capture,
                                receive::ReplayOptions options) {
    qrt::testing::RecordingSink sink;
    receive::replayCapture(capture, options, sink);
    return sink.lines;
}

}  // namespace

TEST(Replay, ByteAtATimeGivesTheSameLinesAsFullReads) {
    const auto capture = captureOfTelegrams();
    EXPECT_EQ(replay(capture, {.readSize = 1}), kTelegramLines);
    EXPECT_EQ(replay(capture, {.readSize = 128}), kTelegramLines);
}

TEST(Replay, NoiseIsSkippedAndALoggerBlockFollowsItsAnnouncement) {
    std::vector<std::uint8_t> capture{0x13, 0x37};
    auto add = [&](const auto& frame) {
        capture.insert(capture.end(), frame.begin(), frame.end());
    };
    add(frames::buildStandardFrame(0x16, 0x30001234, 1, 0, 4, 0));
    frames::LoggerWords words{};
    words.fill(0xFFFF);
    words[0] = 0x0866;
    add(frames::buildLoggerBlock(words, 0));
    add(frames::buildStandardFrame(0x01, 0x50001234, 0x0203, 0, 9, 0));
    EXPECT_EQ(replay(capture, {}), (std::vector<std::string>{
                                       "D 00:00:00.0  ID:3.4660 pt:22 bp:0 wp:1 4",
                                       "C ID:3.4660 Logdata Block:1",
                                       "C  21.50",
                                       "D 00:00:00.0  ID:5.4660 pt:1 bp:0 wp:515 9",
                                       "C ID:5.4660 Version:2.3 run",
                                   }));
}

TEST(Replay, MultiplexedCaptureGivesTheSameLinesAsDirect) {
    std::vector<std::uint8_t> capture;
    const auto direct = captureOfTelegrams();
    // Each receiver frame travels in a channel-0 frame closed by DLE and two level bytes.
    for (std::size_t at = 0; at < direct.size();) {
        const auto payload = std::span(direct).subspan(at, at == 22 ? 7 : 11);  // short at 22
        at += payload.size();
        auto wrapped = link::wrapMuxFrame(0, payload);
        wrapped.back() = 0x80;
        wrapped.push_back(0x80);
        capture.insert(capture.end(), wrapped.begin(), wrapped.end());
    }
    EXPECT_EQ(replay(capture, {.multiplexed = true, .readSize = 1}), kTelegramLines);
    EXPECT_EQ(replay(capture, {.multiplexed = true, .readSize = 128}), kTelegramLines);
}

TEST(Replay, IdFilterCrcStartAndTimeStampOptions) {
    std::vector<std::uint8_t> capture;
    for (const std::uint32_t id : {0x50001234u, 0x50009999u}) {
        const auto f = frames::buildStandardFrame(0x03, id, 1, 2, 3, 0x1D0F);
        capture.insert(capture.end(), f.begin(), f.end());
    }
    EXPECT_EQ(
        replay(capture, {.crcStart = 0x1D0F, .idFilter = 0x50009999, .timestamp = "T"}),
        (std::vector<std::string>{"D T  ID:5.39321 pt:3 bp:2 wp:1 3", "C ID:5.39321 NVW:2:1"}));
    EXPECT_TRUE(replay(capture, {}).empty());
}

TEST(Replay, ACaptureStreamedInSmallPiecesDecodesAsTheWhole) {
    // Reads cross the source's pieces as they would cross nothing in a whole capture:
    // on the multiplexed link a different read size would change what a bad frame clears.
    std::vector<std::uint8_t> capture;
    std::uint32_t seed = 11;
    for (int round = 0; round < 20; ++round) {
        const auto telegrams = captureOfTelegrams();
        capture.insert(capture.end(), telegrams.begin(), telegrams.end());
        for (int i = 0; i < 97; ++i) {
            seed = seed * 1664525u + 1013904223u;
            capture.push_back(static_cast<std::uint8_t>(seed >> 24));
        }
    }
    for (const bool multiplexed : {false, true}) {
        for (const std::size_t readSize : {std::size_t{7}, std::size_t{128}}) {
            const receive::ReplayOptions options{.multiplexed = multiplexed, .readSize = readSize};
            std::span<const std::uint8_t> rest(capture);
            qrt::testing::RecordingSink streamed;
            receive::replayCapture(
                [&rest](std::span<std::uint8_t> into) {
                    const std::size_t n = std::min<std::size_t>({5, into.size(), rest.size()});
                    std::copy_n(rest.begin(), n, into.begin());
                    rest = rest.subspan(n);
                    return n;
                },
                options, streamed);
            EXPECT_EQ(streamed.lines, replay(capture, options)) << multiplexed << " " << readSize;
        }
    }
}

TEST(Replay, EndsOnEndlessNoise) {
    std::vector<std::uint8_t> noise(20000);
    std::uint32_t seed = 7;
    for (auto& byte : noise) {
        seed = seed * 1664525u + 1013904223u;
        byte = static_cast<std::uint8_t>(seed >> 24);
    }
    replay(noise, {});
    replay(noise, {.multiplexed = true, .readSize = 3, .armArchiveSlot = true});
    SUCCEED();
}

TEST(MonitorTool, PrintsThePaneLinesOfACaptureFile) {
    const auto path = std::filesystem::temp_directory_path() /
                      ("qrt_monitor_capture_" + std::to_string(::getpid()) + ".bin");
    const auto capture = captureOfTelegrams();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(capture.data()),
               static_cast<std::streamsize>(capture.size()));
    const std::string command =
        std::string(QRT_MONITOR_PATH) + " --read-size 1 --time 01:02:03.4 " + path.string();
    const auto [status, output] = qrt::testing::runCommand(command);
    EXPECT_EQ(status, 0);
    std::filesystem::remove(path);
    EXPECT_NE(
        output.find("D 01:02:03.4  ID:5.4660 pt:1 bp:0 wp:515 9\nC ID:5.4660 Version:2.3 run\n"),
        std::string::npos);
    EXPECT_NE(output.find("C ID:5.4660 Date:21.06.2015\n"), std::string::npos);
}

TEST(MonitorTool, AReaderThatGoesAwayIsAWriteFailureWithItsReason) {
    const qrt::testing::TempFolder folder("qrt_monitor_pipe");
    const auto frame = frames::buildStandardFrame(0x20, 0x60000010, 0xF79A, 0x12, 1, 0);
    std::ofstream capture(folder.file("capture"), std::ios::binary);
    for (int i = 0; i < 20'000; ++i) {  // lines far beyond what a pipe holds
        capture.write(reinterpret_cast<const char*>(frame.data()),
                      static_cast<std::streamsize>(frame.size()));
    }
    capture.close();
    qrt::testing::runCommand("{ " + std::string(QRT_MONITOR_PATH) + " " + folder.file("capture") +
                             " 2>" + folder.file("err") + "; echo $? >" + folder.file("status") +
                             "; } | head -c 1 >/dev/null");
    EXPECT_EQ(qrt::testing::readText(folder.file("status")), "2\n");
    EXPECT_EQ(qrt::testing::readText(folder.file("err")),
              "qrt-monitor: cannot write standard output: Broken pipe\n");
}

TEST(MonitorTool, UnreadableInputIsReportedWithItsReason) {
    struct Case {
        std::string arguments;
        std::string message;
    };
    for (const Case& c :
         {Case{"/", "qrt-monitor: cannot read /: Is a directory\n"},
          Case{"< /", "qrt-monitor: cannot read standard input: Is a directory\n"},
          Case{"/proc/self/mem", "qrt-monitor: cannot read /proc/self/mem: Input/output error\n"},
          Case{"/no/such/capture",
               "qrt-monitor: cannot read /no/such/capture: No such file or directory\n"}}) {
        const auto [status, output] =
            qrt::testing::runCommand(std::string(QRT_MONITOR_PATH) + " " + c.arguments + " 2>&1");
        EXPECT_EQ(status, 2) << c.arguments;  // a file error
        EXPECT_EQ(output, c.message) << c.arguments;
    }
}

TEST(MonitorTool, ValuesFileHoldsTheNumbersOfTheLines) {
    const auto folder = std::filesystem::temp_directory_path();
    const auto capturePath = folder / ("qrt_values_capture_" + std::to_string(::getpid()));
    const auto valuesPath = folder / ("qrt_values_" + std::to_string(::getpid()) + ".csv");
    std::vector<std::uint8_t> capture;
    for (const auto& frame : {frames::buildStandardFrame(0x20, 0x60000010, 0xF79A, 0x12, 1, 0),
                              frames::buildStandardFrame(0x20, 0x30000007, 0x0866, 150, 2, 0)}) {
        capture.insert(capture.end(), frame.begin(), frame.end());
    }
    const auto shortTelegram = frames::buildShortTelegram(5, 0x0866, 0x96, 1, 0);
    capture.insert(capture.end(), shortTelegram.begin(), shortTelegram.end());
    std::ofstream(capturePath, std::ios::binary)
        .write(reinterpret_cast<const char*>(capture.data()),
               static_cast<std::streamsize>(capture.size()));

    const auto [status, lines] =
        qrt::testing::runCommand(std::string(QRT_MONITOR_PATH) + " --values " +
                                 valuesPath.string() + " " + capturePath.string());
    EXPECT_EQ(status, 0);
    EXPECT_EQ(lines,
              "D 00:00:00.0  R:1 ID:6.16 Temp1   T:-21.50 1 0\n"
              "D 00:00:00.0  R:1 ID:3.7 T:21.50 B:3.00 2 0\n"
              "D 00:00:00.0  ID:5 T:21.50 B:3.00 1 0\n");
    std::ifstream file(valuesPath, std::ios::binary);
    const std::string csv((std::istreambuf_iterator<char>(file)), {});
    // Each row: an ISO 8601 time, then the fields the lines show.
    const std::regex row(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3},([^\r\n]*)\r\n)");
    std::string fields;
    for (std::sregex_iterator it(csv.begin(), csv.end(), row), end; it != end; ++it) {
        fields += (*it)[1].str() + "\n";
    }
    EXPECT_EQ(csv.substr(0, 32), "time,module,channel,value,unit\r\n");
    EXPECT_EQ(fields,
              "6.16,Temp1,-21.50,\u00B0C\n3.7,Temp,21.50,\u00B0C\n3.7,Bat,3.00,V\n"
              "5,Temp,21.50,\u00B0C\n5,Bat,3.00,V\n5,Status,1,raw\n");

    // A values file that cannot be written stops the tool before it decodes anything.
    const auto [failed, output] = qrt::testing::runCommand(std::string(QRT_MONITOR_PATH) +
                                                           " --values /no/such/folder/v.csv " +
                                                           capturePath.string() + " 2>&1");
    EXPECT_EQ(failed, 2);
    EXPECT_EQ(output,
              "qrt-monitor: cannot write /no/such/folder/v.csv: No such file or directory\n");
    std::filesystem::remove(capturePath);
    std::filesystem::remove(valuesPath);
}
