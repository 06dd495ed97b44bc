// Program entry: the main window and the hidden archive window.
#include <QApplication>
#include <QMessageBox>
#include <exception>
#include <iostream>

#include "app/Testunit1.h"
#include "app/dialogs.h"
#include "archive/Vlgarchives.h"
#include "link/qt_serial_port.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    try {
        qrt::common::SystemClock clock;
        qrt::app::QtDialogs dialogs;
        TMainForm mainForm({.portA = std::make_unique<qrt::link::QtSerialPort>(),
                            .portB = std::make_unique<qrt::link::QtSerialPort>(),
                            .clock = clock,
                            .dialogs = dialogs,
                            .executablePath = QCoreApplication::applicationFilePath().toStdString(),
                            .diagnostics = std::cout,
                            .availablePorts = qrt::link::availablePortNames});
        TVLGLog archiveWindow(mainForm, &mainForm);
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
