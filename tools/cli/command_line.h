#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cli/cli_tasks.h"

namespace CLI {
class App;
class Option;
}  // namespace CLI

namespace qrt::cli {

/// qrt-cli's command line: the connection options and every subcommand with its own,
/// defined on a CLI11 application, and the task the parsed line asks for.
class CommandLine {
  public:
    explicit CommandLine(CLI::App& app);
    CommandLine(const CommandLine&) = delete;
    CommandLine& operator=(const CommandLine&) = delete;

    /// Runs the subcommand given (once the line has been parsed); its exit status.
    [[nodiscard]] int run();

  private:
    void addSend();
    void addService();
    void addBox();
    void addChanPwr();
    void addMeasurements();
    void addCalibrate();
    void addFirmware();
    void addArchive();
    void addWatch();

    CLI::App& app_;
    ConnectionOptions connection_;
    SendOptions send_;
    ServiceOptions service_;
    ServiceOptions box_;
    ServiceOptions radio_{.action = "chan-pwr"};
    std::vector<std::pair<CLI::App*, ServiceOptions>> measurements_;
    CalibrateOptions calibrate_;
    std::string target_;
    FirmwareOptions firmware_;
    ArchiveOptions archive_;
    WatchOptions watch_;
    CLI::App* sendCommand_ = nullptr;
    CLI::App* serviceCommand_ = nullptr;
    CLI::App* boxCommand_ = nullptr;
    CLI::App* radioCommand_ = nullptr;
    CLI::App* calibrateCommand_ = nullptr;
    CLI::Option* targetOption_ = nullptr;
    CLI::App* firmwareCommand_ = nullptr;
    CLI::App* archiveCommand_ = nullptr;
};

}  // namespace qrt::cli
