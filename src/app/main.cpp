// Program entry: builds the core objects, then the main window and the hidden archive
// window over them.
#include <QApplication>
#include <QMessageBox>
#include <exception>
#include <iostream>

#include "app/Testunit1.h"
#include "app/tool_core.h"
#include "archive/Vlgarchives.h"
#include "link/qt_serial_port.h"
#include "ui/dialogs.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    try {
        qrt::common::SystemClock clock;
        qrt::ui::QtDialogs dialogs;
        qrt::app::ToolCore core(std::make_unique<qrt::link::QtSerialPort>(),
                                std::make_unique<qrt::link::QtSerialPort>(), std::cout, clock);
        TMainForm mainForm({.core = core,
                            .dialogs = dialogs,
                            .executablePath = QCoreApplication::applicationFilePath().toStdString(),
                            .availablePorts = qrt::link::availablePortNames});
        TVLGLog archiveWindow({.sender = core.sender,
                               .poller = core.poller,
                               .archive = core.archive,
                               .clock = core.clock,
                               .dialogs = dialogs,
                               .moduleFields = [&mainForm] { return mainForm.moduleFields(); }},
                              &mainForm);
        mainForm.setArchiveWindow(&archiveWindow);
        mainForm.show();
        return QApplication::exec();
    } catch (const std::exception& error) {
        QMessageBox::critical(nullptr, "QRTTest", QString::fromLocal8Bit(error.what()));
    } catch (...) {
        QMessageBox::critical(nullptr, "QRTTest", "Unexpected error");
    }
    return 1;
}
