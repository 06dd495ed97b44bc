// Program entry: reads the command line, builds the core objects, then the main window
// and the hidden archive and values windows over them.
#include <CLI/CLI.hpp>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <csignal>
#include <exception>
#include <iostream>

#include "app/Testunit1.h"
#include "app/Vlgarchives.h"
#include "app/quit_on_signal.h"
#include "app/values_window.h"
#include "common/version.h"
#include "core/tool_core.h"
#include "link/qt_serial_port.h"
#include "ui/dialogs.h"

int main(int argc, char** argv) {
    CLI::App commandLine{
        "The service tool of the radio telemetry installation: opens the receiver's and the "
        "inductive head's serial ports, decodes every telegram and reply, sends commands, "
        "calibrates, updates firmware and reads archives. Settings are kept in qrt-tester.ini "
        "beside the program when its folder is writable, else in "
        "$XDG_CONFIG_HOME/qrt-tester (default ~/.config/qrt-tester)."};
    bool openAtStart = false;
    commandLine.add_flag("--open", openAtStart, "Open the ports at start, as the Open button does");
    commandLine.set_version_flag("--version", qrt::common::kVersionText);
    commandLine.allow_extras();  // Qt's own options (-platform, -style ...)
    CLI11_PARSE(commandLine, argc, argv);

    // A save to a FIFO whose reader has gone fails with "Broken pipe" in a message
    // instead of ending the program with the operator's settings unsaved.
    std::signal(SIGPIPE, SIG_IGN);
    QApplication application(argc, argv);
    try {
        qrt::common::SystemClock clock;
        qrt::ui::QtDialogs dialogs;
        qrt::core::ToolCore core(std::make_unique<qrt::link::QtSerialPort>(),
                                 std::make_unique<qrt::link::QtSerialPort>(), std::cout, clock,
                                 TMainForm::coreOptions());
        TMainForm mainForm({.core = core,
                            .dialogs = dialogs,
                            .executablePath = QCoreApplication::applicationFilePath().toStdString(),
                            .availablePorts = qrt::link::availablePortNames});
        dialogs.keepLastFolderIn([&mainForm] { return mainForm.settingsPath(); });
        qrt::app::ValuesWindow valuesWindow(
            {.history = core.values,
             .dialogs = dialogs,
             .settingsPath = [&mainForm] { return mainForm.settingsPath(); }},
            &mainForm);
        TVLGLog archiveWindow({.sender = core.sender,
                               .poller = core.poller,
                               .archive = core.archive,
                               .clock = core.clock,
                               .dialogs = dialogs,
                               .typedModule = [&mainForm] { return mainForm.typedModule(); },
                               .values = &core.values,
                               .plotValues =
                                   [&valuesWindow](const qrt::receive::ValueSource& source) {
                                       valuesWindow.plotSource(source);
                                   },
                               .settingsPath = [&mainForm] { return mainForm.settingsPath(); }},
                              &mainForm);
        mainForm.setArchiveWindow(&archiveWindow);
        mainForm.setValuesWindow(&valuesWindow);
        qrt::app::closeOnTerminationSignals(mainForm);
        mainForm.show();
        if (openAtStart) {
            QTimer::singleShot(0, &mainForm, [&mainForm] { mainForm.BTOpenClick(); });
        }
        return QApplication::exec();
    } catch (const std::exception& error) {
        QMessageBox::critical(nullptr, "QRTTest", QString::fromLocal8Bit(error.what()));
    } catch (...) {
        QMessageBox::critical(nullptr, "QRTTest", "Unexpected error");
    }
    return 1;
}
