// qrt-cli: every operator task of the window as a command, on the same core.
#include <CLI/CLI.hpp>
#include <QCoreApplication>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "cli/cli_tasks.h"
#include "common/version.h"
#include "shared/live_watch.h"

namespace {

using namespace qrt::cli;

constexpr const char* kDescription =
    "Runs the service tool's tasks from the command line, with the same bytes on the "
    "wire, the same waits and the same decoding as the window. The connection options "
    "go before or after the subcommand.";

constexpr const char* kFooter =
    R"(Exit status: 0 done, 1 the port was lost, 2 an argument, a file or a port
(nothing was sent), 3 no answer in time, 4 answered but not done (calibration out
of range, a faulty firmware image, missing archive blocks or no record).

Examples:
  qrt-cli --port-a ttyUSB0 --port-b ttyUSB1 send NVR --module 5.1234 --byte-par 14 --wait-reply 2
  qrt-cli --settings qrt-tester.ini --binary service set-rtc
  qrt-cli --port-a ttyUSB0 --mux box led green-blink
  qrt-cli --port-a ttyUSB0 --port-b ttyUSB1 --binary calibrate 1 --target -13
  while read m; do qrt-cli --settings qrt-tester.ini firmware app.bin --module "$m" || break; done < modules.txt
  qrt-cli --port-a ttyUSB0 --port-b ttyUSB1 archive --since 2026-12-01T00:00 -o 6.16.csv --values 6.16.jsonl --values-format jsonl
  qrt-cli --port-a ttyUSB0 --port-b ttyUSB1 watch --filter 5.1234 --values -)";

// Seconds of a wait: finite, from 0 to an hour, so a wait always ends.
const CLI::Validator kSeconds(
    [](std::string& text) {
        const auto seconds = parseSeconds("", text);
        const auto* error = std::get_if<ArgumentError>(&seconds);
        return error != nullptr ? error->message.substr(1) : std::string();
    },
    "SECONDS");

// A command with a reply waits for it and prints its line, unless --no-wait.
void addReplyOptions(CLI::App* command, ServiceOptions& options) {
    command
        ->add_option("--wait-reply", options.waitReply,
                     "Seconds to wait for the reply, up to 3600 (default 2)")
        ->check(kSeconds);
    command->add_flag("--no-wait", options.noWait, "Only send: wait for no reply");
}

void addListen(CLI::App* command, double& listen) {
    command
        ->add_option("--listen", listen,
                     "Afterwards show the decoded lines for this many seconds (D debug "
                     "pane, C communication pane), up to 3600")
        ->check(kSeconds);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);  // the serial backend expects one
    CLI::App app{kDescription, "qrt-cli"};
    app.set_version_flag("--version", qrt::common::kVersionText);
    app.footer(kFooter);
    app.require_subcommand(1);
    app.fallthrough();

    ConnectionOptions connection;
    app.add_option("--port-a", connection.portA,
                   "Receiver (or interface box) port: ttyUSB0 or a path");
    app.add_option("--port-b", connection.portB, "Inductive head port (direct link)");
    app.add_flag("--mux", connection.mux, "Multiplexed link through the interface box");
    app.add_flag("--binary", connection.binary, "The inductive head takes binary frames");
    app.add_option("--crc-start", connection.crcStart, "CRC start value, hexadecimal (default 0)");
    app.add_option("--key", connection.key, "Authenticator key: eight hexadecimal words")
        ->expected(8);
    app.add_option("--key-file", connection.keyFile, "A file holding the key's eight words");
    app.add_option("--settings", connection.settings,
                   "Take ports, MXL, binprot and [Calib] Offset from the tool's settings file");

    SendOptions send;
    auto* sendCommand = app.add_subcommand(
        "send", "A configuration command as the Funk or Induktiv button sends it");
    sendCommand
        ->add_option("CMD", send.command,
                     "INF NVR NVW DBR AUT VER OPR FUINI DATA ecFUST "
                     "FUREM cTMP AUX1 AUX2 DBW")
        ->required();
    sendCommand->add_option("--module", send.module, "TYPE.SERIAL, e.g. 5.1234");
    sendCommand->add_flag("--broadcast", send.broadcast, "To every module");
    sendCommand->add_option("--byte-par", send.bytePar, "BytePar, 0 to 255 (0x.. for hexadecimal)");
    sendCommand->add_option("--word-par", send.wordPar, "WordPar, -32768 to 65535");
    sendCommand->add_option("--content", send.content, "Up to eight content words")->expected(1, 8);
    sendCommand->add_flag("--auth", send.authenticate, "Add the authenticator (NVW OPR AUX1 DBW)");
    sendCommand->add_flag("--inductive", send.inductive, "To the module on the inductive head");
    sendCommand
        ->add_option("--wait-reply", send.waitReply,
                     "Wait this many seconds (up to 3600) for the reply and print its line")
        ->check(kSeconds);
    addListen(sendCommand, send.listen);
    sendCommand->footer(
        "Prints the reply's line as the upper pane shows it (else the lower pane's).\n"
        "Exit status 0 when the reply came (or none was awaited), 3 on time-out.\n"
        "Example: qrt-cli --settings qrt-tester.ini send NVW --module 5.1234 --byte-par 5 "
        "--word-par 900 --auth --wait-reply 2");

    ServiceOptions service;
    auto* serviceCommand = app.add_subcommand(
        "service",
        "The module service buttons: ver nvp writepar PARAM VALUE start stop log-on "
        "log-off get-rtc set-rtc");
    serviceCommand->add_option("ACTION", service.action)->required();
    serviceCommand->add_option("ARGS", service.values);
    addReplyOptions(serviceCommand, service);
    addListen(serviceCommand, service.listen);
    serviceCommand->footer(
        "log-on, log-off, get-rtc and set-rtc need --binary. writepar PARAM VALUE: a parameter "
        "of the list (0 to 17, 20, 21), a value -32768 to 65535.\n"
        "ver, nvp, writepar, get-rtc and set-rtc wait for the module's replies and print their "
        "lines; exit status 3 when one does not come in time.\n"
        "Example: qrt-cli --settings qrt-tester.ini --binary service get-rtc");

    ServiceOptions box;
    auto* boxCommand = app.add_subcommand(
        "box", "The interface box: version boot led PATTERN beep 0..7 online on|off");
    boxCommand->add_option("ACTION", box.action)->required();
    boxCommand->add_option("ARGS", box.values);
    addReplyOptions(boxCommand, box);
    addListen(boxCommand, box.listen);
    boxCommand->footer(
        "Needs --mux. LED patterns: off green red orange green-blink red-blink orange-blink "
        "green-flash red-flash orange-flash green-blink-2hz red-blink-2hz orange-flash-2hz.\n"
        "version waits for the box's answer and prints its version and key state.\n"
        "Example: qrt-cli --port-a ttyUSB0 --mux box version");

    ServiceOptions radio{.action = "chan-pwr"};
    auto* radioCommand =
        app.add_subcommand("chan-pwr", "The receiver's radio channel and power, 0 to 9 each");
    radioCommand->add_option("CHANNEL POWER", radio.values)->expected(2)->required();
    addListen(radioCommand, radio.listen);
    radioCommand->footer("Example: qrt-cli --port-a ttyUSB0 --port-b ttyUSB1 chan-pwr 7 9");

    std::vector<std::pair<CLI::App*, ServiceOptions>> measurements;
    for (const char* name : {"temp", "temp1", "temp2", "digital", "leds"}) {
        measurements.emplace_back(
            app.add_subcommand(name, std::string("Measurement request '") + name +
                                         "' to the module on the inductive head (--binary)"),
            ServiceOptions{.action = name});
    }
    for (auto& [command, options] : measurements) {
        addReplyOptions(command, options);
        addListen(command, options.listen);
        command->footer(
            "Waits for the module's telegram and prints its line (leds: nothing to wait for).\n"
            "Example: qrt-cli --settings qrt-tester.ini --binary " +
            options.action);
    }

    CalibrateOptions calibrate;
    std::string target;
    auto* calibrateCommand = app.add_subcommand(
        "calibrate", "Calibrate input 1 or 2 of the module on the inductive head (--binary)");
    calibrateCommand->add_option("INPUT", calibrate.input, "1 or 2")->required();
    auto* targetOption = calibrateCommand->add_option(
        "--target", target, "Target in hundredths of a degree (default: [Calib] Offset, -13)");
    calibrateCommand->footer(
        "Prints the window's text and the old and new offset; exit status 3 "
        "without an answer, 4 when the correction is out of range.");

    FirmwareOptions firmware;
    auto* firmwareCommand = app.add_subcommand(
        "firmware", "Send a firmware image by radio, then ask for its status until it is complete");
    firmwareCommand->add_option("IMAGE", firmware.image)->required();
    firmwareCommand->add_option("--module", firmware.module,
                                "TYPE.SERIAL (without it: every module in range, no status)");
    firmwareCommand->add_option("--speed", firmware.speed, "Polls between two blocks, 2 to 5");
    firmwareCommand->add_flag("--reboot", firmware.reboot, "Restart the module when complete");
    firmwareCommand->footer(
        "Progress on standard error (a bar on a terminal). Exit status 0 when the module reports "
        "the image complete (\"Good\"), 2 for an image refused (why is printed), 3 without a "
        "status answer, 4 when the module reports it faulty.\n"
        "Example: qrt-cli --settings qrt-tester.ini firmware app.bin --module 5.1234 --speed 3 "
        "--reboot");

    ArchiveOptions archive;
    auto* archiveCommand = app.add_subcommand(
        "archive", "Read a logging module's archive and write it as the archive window's CSV");
    archiveCommand->add_option("--module", archive.module, "TYPE.SERIAL (needed with --radio)");
    archiveCommand->add_flag("--radio", archive.radio, "By radio; else the module on the head");
    archiveCommand->add_option("--since", archive.since, "Start: YYYY-MM-DD[THH:MM[:SS]]")
        ->required();
    archiveCommand->add_option("-o,--output", archive.output, "The CSV file")->required();
    archiveCommand->add_option("--values", archive.values, "Also write the rows' values here");
    archiveCommand->add_option("--values-format", archive.valuesFormat, "csv (default) or jsonl");
    archiveCommand->footer(
        "The CSV is the archive window's, byte for byte: ';' separated, decimal commas, CR line "
        "ends. Exit status 3 without an answer, 4 for missing blocks, an invalid record date or "
        "no record.\n"
        "Example: qrt-cli --settings qrt-tester.ini archive --radio --module 6.16 --since "
        "2026-12-01 -o 6.16.csv");

    WatchOptions watch;
    auto* watchCommand = app.add_subcommand(
        "watch", "Decoded lines from the receiver as qrt-monitor --port shows them");
    watchCommand->add_option("--filter", watch.filter, "Only this module, TYPE.SERIAL");
    watchCommand->add_option("--values", watch.values, "Also write every value here (- : stdout)");
    watchCommand->add_option("--values-format", watch.valuesFormat, "csv (default) or jsonl");
    watchCommand->footer(
        "Lines as qrt-monitor prints them (D debug pane, C communication pane) until Ctrl+C; "
        "exit status 1 when the port is lost.\n"
        "Example: qrt-cli --port-a ttyUSB0 --mux watch --filter 6.16 --values values.csv");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        const int shown = app.exit(error);
        return shown == 0 ? exit_status::kDone : exit_status::kUsage;
    }
    if (*calibrateCommand && *targetOption) {
        calibrate.target = target;
    }
    const auto run = [&]() -> int {
        if (*sendCommand) return runSend(connection, send);
        if (*serviceCommand) return runService(connection, service);
        if (*boxCommand) return runBox(connection, box);
        if (*radioCommand) return runService(connection, radio);
        for (const auto& [command, options] : measurements) {
            if (*command) return runService(connection, options);
        }
        if (*calibrateCommand) return runCalibrate(connection, calibrate);
        if (*firmwareCommand) return runFirmware(connection, firmware);
        if (*archiveCommand) return runArchive(connection, archive);
        return runWatch(connection, watch);
    };
    const int status = run();
    if (status == exit_status::kInterrupted) {
        qrt::tools::endByStopSignal();  // the task has cleaned up
        return status;
    }
    if (std::fflush(stdout) != 0 && status == exit_status::kDone) {
        return fail(std::string("cannot write standard output: ") + std::strerror(errno),
                    exit_status::kUsage);
    }
    return status;
}
