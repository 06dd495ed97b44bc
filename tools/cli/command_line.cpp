#include "cli/command_line.h"

#include <CLI/CLI.hpp>

#include "common/version.h"

namespace qrt::cli {

namespace {

constexpr const char* kDescription =
    "Runs the service tool's tasks from the command line, with the same bytes on the "
    "wire, the same waits and the same decoding as the window. The connection options "
    "go before or after the subcommand.";

constexpr const char* kFooter =
    R"(Exit status: 0 done, 1 the port was lost, 2 an argument, a file or a port
(nothing was sent), 3 no answer in time, 4 answered but not done (calibration out
of range, a faulty firmware image, missing archive blocks, no record, or no row
from --since on). Ctrl+C or SIGTERM ends a task at its next poll; it then ends by
that signal (130, 143).

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
        const auto seconds = qrt::tools::parseSeconds("", text);
        const auto* error = qrt::common::failureOf(seconds);
        return error != nullptr ? error->reason.substr(1) : std::string();
    },
    "SECONDS");

// A command with a reply waits for it and prints its line, unless --no-wait.
void addReplyOptions(CLI::App* command, ReplyWait& wait) {
    auto* seconds = command
                        ->add_option("--wait-reply", wait.seconds,
                                     "Seconds to wait for the replies, up to 3600 (default 2)")
                        ->check(kSeconds)
                        ->each([&wait](const std::string&) { wait.given = true; });
    command->add_flag("--no-wait", wait.none, "Only send: wait for no reply")->excludes(seconds);
}

// --no-wait on a task that is its replies: taken, to be refused with the reason.
void addNoWait(CLI::App* command, bool& noWait) {
    command->add_flag("--no-wait", noWait, "Only send: wait for no reply");
}

void addListen(CLI::App* command, double& listen) {
    command
        ->add_option("--listen", listen,
                     "Afterwards show the decoded lines for this many seconds (D debug "
                     "pane, C communication pane), up to 3600")
        ->check(kSeconds);
}

}  // namespace

CommandLine::CommandLine(CLI::App& app) : app_(app) {
    app_.description(kDescription);
    app_.set_version_flag("--version", common::kVersionText);
    app_.footer(kFooter);
    app_.require_subcommand(1);
    app_.fallthrough();
    qrt::tools::addReceiverOptions(app_, connection_);
    app_.add_option("--port-b", connection_.portB, "Inductive head port (direct link)");
    app_.add_flag("--binary", connection_.binary, "The inductive head takes binary frames");
    app_.add_option("--key", connection_.key, "Authenticator key: eight hexadecimal words")
        ->expected(8);
    app_.add_option("--key-file", connection_.keyFile, "A file holding the key's eight words");
    app_.add_option("--settings", connection_.settings,
                    "Take ports, MXL, binprot and [Calib] Offset from the tool's settings file");
    qrt::tools::addRecordOptions(app_, connection_.record);
    addSend();
    addService();
    addBox();
    addChanPwr();
    addMeasurements();
    addCalibrate();
    addFirmware();
    addArchive();
    addWatch();
}

void CommandLine::addSend() {
    sendCommand_ = app_.add_subcommand(
        "send", "A configuration command as the Funk or Induktiv button sends it");
    sendCommand_
        ->add_option("CMD", send_.command,
                     "INF NVR NVW DBR AUT VER OPR FUINI DATA ecFUST "
                     "FUREM cTMP AUX1 AUX2 DBW")
        ->required();
    sendCommand_->add_option("--module", send_.module, "TYPE.SERIAL, e.g. 5.1234");
    sendCommand_->add_flag("--broadcast", send_.broadcast, "To every module");
    sendCommand_->add_option("--byte-par", send_.bytePar,
                             "BytePar, 0 to 255 (0x.. for hexadecimal)");
    sendCommand_->add_option("--word-par", send_.wordPar, "WordPar, -32768 to 65535");
    sendCommand_->add_option("--content", send_.content, "Up to eight content words")
        ->expected(1, 8);
    sendCommand_->add_flag("--auth", send_.authenticate,
                           "Add the authenticator (NVW OPR AUX1 DBW)");
    sendCommand_->add_flag("--inductive", send_.inductive, "To the module on the inductive head");
    addReplyOptions(sendCommand_, send_.wait);
    addListen(sendCommand_, send_.listen);
    sendCommand_->footer(
        "Waits for the reply and prints its line as the upper pane shows it (else the lower "
        "pane's); a broadcast prints every module's reply that comes within the wait.\n"
        "Exit status 0 when a reply came (or the command brings none), 3 when none came in "
        "time.\n"
        "Example: qrt-cli --settings qrt-tester.ini send NVW --module 5.1234 --byte-par 5 "
        "--word-par 900 --auth --wait-reply 2");
}

void CommandLine::addService() {
    serviceCommand_ = app_.add_subcommand(
        "service",
        "The module service buttons: ver nvp writepar PARAM VALUE start stop log-on "
        "log-off get-rtc set-rtc");
    serviceCommand_->add_option("ACTION", service_.action)->required();
    serviceCommand_->add_option("ARGS", service_.values);
    addReplyOptions(serviceCommand_, service_.wait);
    addListen(serviceCommand_, service_.listen);
    serviceCommand_->footer(
        "log-on, log-off, get-rtc and set-rtc need --binary. writepar PARAM VALUE: a parameter "
        "of the list (0 to 17, 20, 21), a value -32768 to 65535.\n"
        "ver, nvp, writepar, get-rtc and set-rtc wait for the module's replies and print their "
        "lines; exit status 3 when one does not come in time.\n"
        "Example: qrt-cli --settings qrt-tester.ini --binary service get-rtc");
}

void CommandLine::addBox() {
    boxCommand_ = app_.add_subcommand(
        "box", "The interface box: version boot led PATTERN beep 0..7 online on|off");
    boxCommand_->add_option("ACTION", box_.action)->required();
    boxCommand_->add_option("ARGS", box_.values);
    addReplyOptions(boxCommand_, box_.wait);
    addListen(boxCommand_, box_.listen);
    boxCommand_->footer(
        "Needs --mux. LED patterns: off green red orange green-blink red-blink orange-blink "
        "green-flash red-flash orange-flash green-blink-2hz red-blink-2hz orange-flash-2hz.\n"
        "version waits for the box's answer and prints its version and key state.\n"
        "Example: qrt-cli --port-a ttyUSB0 --mux box version");
}

void CommandLine::addChanPwr() {
    radioCommand_ =
        app_.add_subcommand("chan-pwr", "The receiver's radio channel and power, 0 to 9 each");
    radioCommand_->add_option("CHANNEL POWER", radio_.values)->expected(2)->required();
    addReplyOptions(radioCommand_, radio_.wait);
    addListen(radioCommand_, radio_.listen);
    radioCommand_->footer("Example: qrt-cli --port-a ttyUSB0 --port-b ttyUSB1 chan-pwr 7 9");
}

void CommandLine::addMeasurements() {
    for (const char* name : {"temp", "temp1", "temp2", "digital", "leds"}) {
        measurements_.emplace_back(
            app_.add_subcommand(name, std::string("Measurement request '") + name +
                                          "' to the module on the inductive head (--binary)"),
            ServiceOptions{.action = name});
    }
    for (auto& [command, options] : measurements_) {
        addReplyOptions(command, options.wait);
        addListen(command, options.listen);
        command->footer(
            "Waits for the module's telegram and prints its line (leds: nothing to wait for).\n"
            "Example: qrt-cli --settings qrt-tester.ini --binary " +
            options.action);
    }
}

void CommandLine::addCalibrate() {
    calibrateCommand_ = app_.add_subcommand(
        "calibrate", "Calibrate input 1 or 2 of the module on the inductive head (--binary)");
    calibrateCommand_->add_option("INPUT", calibrate_.input, "1 or 2")->required();
    targetOption_ = calibrateCommand_->add_option(
        "--target", target_, "Target in hundredths of a degree (default: [Calib] Offset, -13)");
    addNoWait(calibrateCommand_, calibrate_.noWait);
    calibrateCommand_->footer(
        "Prints the window's text and the old and new offset; exit status 3 "
        "without an answer, 4 when the correction is out of range.");
}

void CommandLine::addFirmware() {
    firmwareCommand_ = app_.add_subcommand(
        "firmware", "Send a firmware image by radio, then ask for its status until it is complete");
    firmwareCommand_->add_option("IMAGE", firmware_.image)->required();
    firmwareCommand_->add_option("--module", firmware_.module,
                                 "TYPE.SERIAL (without it: every module in range, no status)");
    firmwareCommand_->add_option("--speed", firmware_.speed, "Polls between two blocks, 2 to 5");
    firmwareCommand_->add_flag("--reboot", firmware_.reboot, "Restart the module when complete");
    firmwareCommand_
        ->add_flag("--no-wait", firmware_.noWait,
                   "Send the blocks only: ask for no status (exit 0 once they are out)")
        ->excludes("--reboot");
    firmwareCommand_->footer(
        "Progress on standard error (a bar on a terminal). Exit status 0 when the module reports "
        "the image complete (\"Good\"), 2 for an image refused (why is printed), 3 without a "
        "status answer, 4 when the module reports it faulty.\n"
        "Example: qrt-cli --settings qrt-tester.ini firmware app.bin --module 5.1234 --speed 3 "
        "--reboot");
}

void CommandLine::addArchive() {
    archiveCommand_ = app_.add_subcommand(
        "archive", "Read a logging module's archive and write it as the archive window's CSV");
    archiveCommand_->add_option("--module", archive_.module, "TYPE.SERIAL (needed with --radio)");
    archiveCommand_->add_flag("--radio", archive_.radio, "By radio; else the module on the head");
    archiveCommand_->add_option("--since", archive_.since, "Start: YYYY-MM-DD[THH:MM[:SS]]")
        ->required();
    archiveCommand_->add_option("-o,--output", archive_.output, "The CSV file")->required();
    archiveCommand_->add_option("--values", archive_.values, "Also write the rows' values here");
    archiveCommand_->add_option("--values-format", archive_.valuesFormat, "csv (default) or jsonl");
    addNoWait(archiveCommand_, archive_.noWait);
    archiveCommand_->footer(
        "The CSV is the archive window's, byte for byte: ';' separated, decimal commas, CR line "
        "ends. Exit status 3 without an answer, 4 for missing blocks, an invalid record date, "
        "no record, or no row from --since on (then no file is written).\n"
        "Example: qrt-cli --settings qrt-tester.ini archive --radio --module 6.16 --since "
        "2026-12-01 -o 6.16.csv");
}

void CommandLine::addWatch() {
    auto* watchCommand = app_.add_subcommand(
        "watch", "Decoded lines from the receiver as qrt-monitor --port shows them");
    watchCommand->add_option("--filter", watch_.filter, "Only this module, TYPE.SERIAL");
    watchCommand->add_option("--values", watch_.values, "Also write every value here (- : stdout)");
    watchCommand->add_option("--values-format", watch_.valuesFormat, "csv (default) or jsonl");
    watchCommand->footer(
        "Lines as qrt-monitor prints them (D debug pane, C communication pane) until Ctrl+C; "
        "exit status 1 when the port is lost.\n"
        "Example: qrt-cli --port-a ttyUSB0 --mux watch --filter 6.16 --values values.csv");
}

int CommandLine::run() {
    if (*calibrateCommand_ && *targetOption_) {
        calibrate_.target = target_;
    }
    if (*sendCommand_) return runSend(connection_, send_);
    if (*serviceCommand_) return runService(connection_, service_);
    if (*boxCommand_) return runBox(connection_, box_);
    if (*radioCommand_) return runService(connection_, radio_);
    for (const auto& [command, options] : measurements_) {
        if (*command) return runService(connection_, options);
    }
    if (*calibrateCommand_) return runCalibrate(connection_, calibrate_);
    if (*firmwareCommand_) return runFirmware(connection_, firmware_);
    if (*archiveCommand_) return runArchive(connection_, archive_);
    return runWatch(connection_, watch_);
}

}  // namespace qrt::cli
