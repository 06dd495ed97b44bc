#pragma once

#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <fstream>
#include <memory>
#include <ostream>
#include <string>

#include "app/Testunit1.h"
#include "link/qt_serial_port.h"

namespace qrt::testing {

/// The real main window on real serial ports, its settings file written into `folder`
/// (the ports, then `moreSettings`). Its timer is stopped: the caller polls.
inline std::unique_ptr<TMainForm> realWindow(const std::string& folder, const std::string& portA,
                                             const std::string& portB, common::Clock& clock,
                                             app::Dialogs& dialogs, std::ostream& diagnostics,
                                             const std::string& moreSettings = "") {
    std::ofstream(folder + "/qrt-tester.ini")
        << "[Config]\nInterfaceA=" << portA << "\nInterfaceB=" << portB << "\n" << moreSettings;
    auto form = std::make_unique<TMainForm>(MainFormServices{
        .portA = std::make_unique<link::QtSerialPort>(),
        .portB = std::make_unique<link::QtSerialPort>(),
        .clock = clock,
        .dialogs = dialogs,
        .executablePath = folder + "/qrt-tester",
        .diagnostics = diagnostics,
        .availablePorts = {}});
    form->Timer1->stop();
    return form;
}

/// Presses Open and passes the six start-up polls; false when the link did not open.
inline bool openLink(TMainForm& form) {
    QTest::mouseClick(form.BTOpen, Qt::LeftButton);
    form.state().startupSkipTicks = 0;
    return form.BTClose->isEnabled();
}

}  // namespace qrt::testing
