// End to end: qrt-cli's tasks against qrt-sim over pseudo-terminals, checked in the
// simulator's event log and by the exit status.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

#include "frames/device_frames.h"
#include "support/child_process.h"
#include "support/temp_folder.h"

using namespace qrt;
using namespace qrt::testing;
using namespace std::chrono_literals;

namespace {

class CliEndToEnd : public ::testing::TestWithParam<bool> {
  protected:
    ~CliEndToEnd() override { sim_.reset(); }
    std::string path(const char* name) const { return folder_.file(name); }
    [[nodiscard]] bool multiplexed() const { return GetParam(); }

    void startSim(std::vector<std::string> args) {
        args.insert(args.begin(), {QRT_SIM_PATH, "--link-a", path("a"), "--link-b", path("b")});
        if (multiplexed()) {
            args.emplace_back("--mux");
        }
        sim_ = std::make_unique<ChildProcess>(args, path("sim.log"));
        ASSERT_TRUE(waitFor([&] { return std::filesystem::exists(path("a")); }, 10s));
    }

    // Runs qrt-cli on the simulator's ports to its end: exit status and all it printed.
    std::pair<int, std::string> cli(const std::string& arguments) {
        std::string command = std::string(QRT_CLI_PATH) + " --port-a " + path("a");
        command += multiplexed() ? " --mux" : " --port-b " + path("b");
        return runCommand(command + " " + arguments + " 2>&1");
    }
    std::string simLog() const { return readText(path("sim.log")); }

    TempFolder folder_{"qrt_cli_e2e"};
    std::unique_ptr<ChildProcess> sim_;
};

}  // namespace

TEST_P(CliEndToEnd, SendPrintsTheReplyOrTimesOut) {
    startSim({"--module", "5.1234,version=2.3"});
    const auto [status, output] = cli("send ver --module 5.1234 --wait-reply 3");
    EXPECT_EQ(status, 0) << output;
    EXPECT_NE(output.find("ID:5.1234 Version:2.3 run\n"), std::string::npos) << output;
    EXPECT_NE(simLog().find("A< VER"), std::string::npos) << simLog();

    const auto [silent, why] = cli("send NVR --module 5.999 --byte-par 66 --wait-reply 1");
    EXPECT_EQ(silent, 3) << why;
    EXPECT_NE(why.find("qrt-cli: no reply within 1 s"), std::string::npos) << why;

    // A service command with a reply waits for it without being asked.
    const auto [serviced, version] = cli("service ver");
    EXPECT_EQ(serviced, 0) << version;
    EXPECT_NE(version.find("ID:5.1234 Version:2.3 run\n"), std::string::npos) << version;
}

// send waits 2 s by default and prints every reply that comes within the wait; silence
// from an addressed module is exit 3, with a hint where the authenticator may be wanted.
TEST_P(CliEndToEnd, SendPrintsEveryReplyWithinItsWait) {
    startSim({"--module", "5.1234", "--module", "3.77", "--module", "7.500", "--module", "6.16"});
    const auto [status, output] = cli("send NVR --broadcast --byte-par 14");
    EXPECT_EQ(status, 0) << output;
    for (const char* module :
         {"ID:5.1234 NVR:14", "ID:3.77 NVR:14", "ID:7.500 NVR:14", "ID:6.16 NVR:14"}) {
        EXPECT_NE(output.find(module), std::string::npos) << module << "\n" << output;
    }
    struct Case {
        const char* arguments;
        int status;
        const char* said;
    };
    for (const Case& c : {
             Case{"send NVR --module 5.999 --byte-par 14", 3, "qrt-cli: no reply within 2 s\n"},
             Case{"send NVW --module 5.999 --byte-par 5 --word-par 1", 3,
                  "qrt-cli: no reply within 2 s (the module may want the authenticator: --auth)"},
             Case{"send NVR --module 5.999 --byte-par 14 --no-wait", 0, ""},
             Case{"send NVR --module 5.1234 --no-wait --wait-reply 5", 2, "--no-wait"},
             Case{"chan-pwr 7 9 --no-wait", 0, ""},
             Case{"calibrate 1 --no-wait", 2, "cannot be done with --no-wait"},
         }) {
        const auto [got, said] = cli(c.arguments);
        EXPECT_EQ(got, c.status) << c.arguments << ": " << said;
        EXPECT_NE(said.find(c.said), std::string::npos) << c.arguments << ": " << said;
    }
}

// Every wait ends at the first poll that finds the adapter pulled: exit 1 at once, not
// the time-out's 3, and an export's old file stays as it was.
TEST_P(CliEndToEnd, APulledAdapterEndsEveryKindOfWaitAtOnce) {
    struct Case {
        std::vector<std::string> sim;
        const char* arguments;
        std::chrono::milliseconds pullAfter;
    };
    std::ofstream(path("old.csv")) << "keep\n";
    for (const Case& c : {
             Case{{"--module", "5.1234"}, "send NVR --module 5.888 --wait-reply 8", 1000ms},
             Case{{"--module", "5.1234", "--drop-replies", "100"}, "--binary calibrate 1", 500ms},
             // The logging module's archive trickles in at the line rate.
             Case{{"--realtime", "--module", "6.16,archive_rows=60000", "--head", "6.16"},
                  "archive --since 2000-01-01 -o old.csv",
                  1500ms},
         }) {
        startSim(c.sim);
        std::thread pull([&] {
            std::this_thread::sleep_for(c.pullAfter);
            sim_->signal(SIGUSR1);
        });
        const auto started = std::chrono::steady_clock::now();
        const auto [status, output] = cli(c.arguments);
        const auto took = std::chrono::steady_clock::now() - started;
        pull.join();
        EXPECT_EQ(status, 1) << c.arguments << ": " << output;
        EXPECT_NE(output.find("qrt-cli: port lost: "), std::string::npos) << output;
        EXPECT_LT(took, c.pullAfter + 1500ms) << c.arguments;
        sim_.reset();
        std::filesystem::remove(path("a"));
        std::filesystem::remove(path("b"));
    }
    EXPECT_EQ(readText(path("old.csv")), "keep\n");
}

// Outputs that cannot be written, outputs that are inputs and inputs that are no files:
// each is refused with exit 2 and its reason, and no file is lost or left behind.
TEST_P(CliEndToEnd, BadFilesAreRefusedAndNothingIsLost) {
    startSim({"--module", "6.16,archive_rows=300,period=0.2", "--head", "6.16"});
    std::string capture;
    for (int i = 0; i < 500; ++i) {  // decoded into 500 lines
        const auto telegram = frames::buildShortTelegram(5, 2150, 150, 1, 0);
        capture.append(telegram.begin(), telegram.end());
    }
    std::ofstream(path("cap.bin"), std::ios::binary) << capture;
    std::ofstream(path("old.csv")) << "keep\n";
    std::filesystem::create_symlink(path("cap.bin"), path("link.bin"));
    ASSERT_EQ(::mkfifo(path("fifo").c_str(), 0600), 0);
    const std::string monitor = std::string(QRT_MONITOR_PATH) + " ";
    const std::string live = monitor + "--port " + path("a") + (multiplexed() ? " --mux" : "");
    const std::string ports = std::string(QRT_CLI_PATH) + " --port-a " + path("a") +
                              (multiplexed() ? " --mux" : " --port-b " + path("b"));
    struct Case {
        std::string command;
        std::string message;
    };
    for (const Case& c : {
             Case{monitor + path("cap.bin") + " > /dev/full",
                  "cannot write standard output: No space left on device"},
             Case{monitor + "--values /dev/full " + path("cap.bin"),
                  "cannot write /dev/full: No space left on device"},
             Case{live + " --values /dev/full", "cannot write /dev/full: No space left on device"},
             Case{live + " > /dev/full", "cannot write standard output: No space left on device"},
             Case{ports + " watch --values /dev/full",
                  "cannot write /dev/full: No space left on device"},
             Case{monitor + "--values " + path("link.bin") + " " + path("cap.bin"),
                  "is the capture being read"},
             Case{monitor + path("cap.bin") + " >> " + path("cap.bin"),
                  "standard output is the capture being read"},
             Case{monitor + "--values " + path("fifo") + " " + path("cap.bin"),
                  "a FIFO that nothing reads"},
             Case{ports + " archive --since 1970-01-01 -o /dev/full",  // the rows' year
                  "cannot write /dev/full: No space left on device"},
             Case{ports + " archive --since 2026-01-01 -o " + path("old.csv") + " --values " +
                      path("no/such/folder.csv"),
                  "cannot write " + path("no/such/folder.csv") + ": No such file or directory"},
             Case{std::string(QRT_CLI_PATH) +
                      " --port-a /no/such/port --port-b /no/such/port "
                      "archive --since 2026-01-01 -o " +
                      path("old.csv"),
                  "cannot open /no/such/port"},
             Case{ports + " --settings " + path("old.csv") + " archive --since 2026-01-01 -o " +
                      path("old.csv"),
                  "-o " + path("old.csv") + " is the same file as --settings"},
             Case{ports + " --key-file /dev/zero send NVW --module 6.16 --auth",
                  "--key-file /dev/zero is not a regular file"},
             Case{ports + " --key-file " + path("fifo") + " send NVW --module 6.16 --auth",
                  "is not a regular file"},
             Case{std::string(QRT_CLI_PATH) + " --port-a /no/such/port watch",
                  "cannot open /no/such/port"},
             Case{ports + " --record " + path("old.csv") +
                      " --record-overwrite archive --since 2026-01-01 -o " + path("old.csv"),
                  "--record " + path("old.csv") + " is the same file as -o"},
             Case{ports + " --record " + path("link.bin") + " --record-overwrite firmware " +
                      path("cap.bin") + " --module 6.16",
                  "--record " + path("link.bin") + " is the same file as IMAGE"},
         }) {
        const auto [status, output] = runCommand("{ timeout 20 " + c.command + "; } 2>&1");
        EXPECT_EQ(status, 2) << c.command << ": " << output;
        EXPECT_NE(output.find(c.message), std::string::npos) << c.command << ": " << output;
    }
    EXPECT_EQ(readText(path("cap.bin")), capture);
    EXPECT_EQ(readText(path("old.csv")), "keep\n");
    std::set<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(folder_.path())) {
        left.insert(entry.path().filename().string());
    }
    std::set<std::string> expected{"a", "cap.bin", "fifo", "link.bin", "old.csv", "sim.log"};
    if (!multiplexed()) {
        expected.insert("b");
    }
    EXPECT_EQ(left, expected);
}

// An archive without a row from the start on writes no file: the old one stays, and the
// message names the start and the newest record; an export names its first and last row.
TEST_P(CliEndToEnd, AnArchiveWithoutRowsFromTheStartWritesNoFile) {
    startSim(
        {"--module", "6.16,archive_rows=300,archive_start=2026-11-18T03:00", "--head", "6.16"});
    std::ofstream(path("old.csv")) << "keep\n";
    const auto [status, output] = cli("archive --since 2027-01-01 -o " + path("old.csv"));
    EXPECT_EQ(status, 4) << output;
    EXPECT_NE(output.find("No records from the selected start 01.01.2027 00:00:00; the newest "
                          "record is 18.11.2026 07:59:00"),
              std::string::npos)
        << output;
    EXPECT_EQ(readText(path("old.csv")), "keep\n");
    const auto [written, said] = cli("archive --since 2026-11-18T07:00 -o " + path("old.csv"));
    EXPECT_EQ(written, 0) << said;
    EXPECT_NE(said.find("60 rows from 18.11.2026 07:00:00 to 18.11.2026 07:59:00"),
              std::string::npos)
        << said;
}

TEST_P(CliEndToEnd, BadArgumentsAndPortsSendNothing) {
    startSim({"--module", "5.1234"});
    for (const char* arguments :
         {"send NVR --module 5.x", "send NVR --module 5.1234 --byte-par 256",
          "send XYZ --broadcast", "box beep 9", "calibrate 3",
          "firmware /no/such/image --module 5.1234", "archive --since 2026-13-01 -o x.csv",
          "service writepar 18 1"}) {
        const auto [status, output] = cli(arguments);
        EXPECT_EQ(status, 2) << arguments << ": " << output;
        EXPECT_EQ(output.rfind("qrt-cli: ", 0), 0U) << arguments << ": " << output;
    }
    EXPECT_EQ(simLog().find("A<"), std::string::npos) << simLog();
}

TEST_P(CliEndToEnd, CalibrationWritesTheNewOffset) {
    startSim({"--module", "5.1234,temp1=5.00", "--head", "5.1234"});
    // Target -13: the module reads 5.00 with offset 0, so the new offset is -5.13.
    const auto [status, output] = cli("--binary calibrate 1 --target -13");
    EXPECT_EQ(status, 0) << output;
    EXPECT_NE(output.find("Neuer Offsetwert -5.13\u00DD C\nold offset 0.00, new offset -5.13\n"),
              std::string::npos)
        << output;
    EXPECT_TRUE(waitForText(path("sim.log"), "NVW wp 0xFDFF bp 14 crc ok")) << simLog();
}

TEST_P(CliEndToEnd, FirmwareArrivesWholeWithALostBlockResent) {
    startSim({"--module", "5.1234,lose_firmware_blocks=3", "--firmware-out", path("received.bin")});
    std::string image(128 * 4 + 40, '\0');
    for (std::size_t i = 0; i < image.size(); ++i) {
        image[i] = static_cast<char>(i * 7 + 3);
    }
    std::ofstream(path("fw.bin"), std::ios::binary) << "DKM2\r\n" << image;
    const auto [status, output] =
        cli(std::string("firmware ") + path("fw.bin") + " --module 5.1234 --reboot");
    EXPECT_EQ(status, 0) << output;
    EXPECT_NE(output.find("block 3 missing, sent again"), std::string::npos) << output;
    EXPECT_NE(output.find("Good\n"), std::string::npos) << output;
    const std::string received = readText(path("received.bin"));
    ASSERT_EQ(received.size(), 128u * 5) << simLog();
    EXPECT_EQ(received.substr(0, image.size()), image);
}

TEST_P(CliEndToEnd, WatchShowsTheLinesAndWritesTheValuesUntilStopped) {
    startSim({"--module", "6.16,period=0.2,temp1=21.50", "--module", "5.99,period=0.2"});
    std::vector<std::string> args{QRT_CLI_PATH, "--port-a", path("a"),  "watch",
                                  "--filter",   "6.16",     "--values", path("values.csv")};
    if (multiplexed()) {
        args.insert(args.begin() + 3, "--mux");
    }
    ChildProcess watch(args, path("watch.log"));
    EXPECT_TRUE(waitForText(path("watch.log"), "R:1 ID:6.16 Temp1   T:21.50"))
        << readText(path("watch.log"));
    EXPECT_EQ(watch.stop(SIGINT), 128 + SIGINT);  // ends by the signal, as every task
    EXPECT_EQ(readText(path("watch.log")).find("ID:5.99"), std::string::npos);  // filtered
    const std::string values = readText(path("values.csv"));
    EXPECT_EQ(values.rfind("time,module,channel,value,unit\r\n", 0), 0U) << values;
    EXPECT_NE(values.find(",6.16,Temp1,21.50,\u00B0C\r\n"), std::string::npos) << values;
}

// A reader that goes away (| head) ends the watch with the write's reason, not by SIGPIPE;
// what it heard until then is in its recording.
TEST_P(CliEndToEnd, WatchRecordsAndEndsWithItsReaderWithTheReason) {
    startSim({"--module", "6.16,period=0.2"});
    std::string command = std::string(QRT_CLI_PATH) + " --port-a " + path("a");
    command += multiplexed() ? " --mux" : "";
    command += " --record " + path("watch.pcapng") + " watch 2>" + path("err") + "; echo $? >" +
               path("status");
    runCommand("{ " + command + "; } | head -c 1 >/dev/null");
    EXPECT_EQ(readText(path("status")), "2\n");
    EXPECT_EQ(readText(path("err")), "qrt-cli: cannot write standard output: Broken pipe\n");
    EXPECT_GT(std::filesystem::file_size(path("watch.pcapng")), 100u);
}

INSTANTIATE_TEST_SUITE_P(Links, CliEndToEnd, ::testing::Values(false, true),
                         [](const auto& param) { return param.param ? "Multiplexed" : "Direct"; });
