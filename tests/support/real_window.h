#pragma once

#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <fstream>
#include <memory>
#include <ostream>
#include <string>

#include "app/Testunit1.h"
#include "app/Vlgarchives.h"
#include "core/tool_core.h"
#include "link/qt_serial_port.h"
#include "support/window_controls.h"

namespace qrt::testing {

/// The real main window on real serial ports, over its own core objects, as the
/// program entry builds them.
struct RealWindow {
    std::unique_ptr<core::ToolCore> core;
    std::unique_ptr<TMainForm> form;
    std::unique_ptr<MainFormControls> ui;
};

/// The real window with its settings file written into `folder` (the ports, then
/// `moreSettings`). Its timer is stopped: the caller polls.
inline RealWindow realWindow(const std::string& folder, const std::string& portA,
                             const std::string& portB, common::Clock& clock, ui::Dialogs& dialogs,
                             std::ostream& diagnostics, const std::string& moreSettings = "") {
    std::ofstream(folder + "/qrt-tester.ini")
        << "[Config]\nInterfaceA=" << portA << "\nInterfaceB=" << portB << "\n"
        << moreSettings;
    RealWindow window;
    window.core = std::make_unique<core::ToolCore>(std::make_unique<link::QtSerialPort>(),
                                                   std::make_unique<link::QtSerialPort>(),
                                                   diagnostics, clock, TMainForm::coreOptions());
    window.form =
        std::make_unique<TMainForm>(MainFormServices{.core = *window.core,
                                                     .dialogs = dialogs,
                                                     .executablePath = folder + "/qrt-tester",
                                                     .availablePorts = {}});
    window.ui = std::make_unique<MainFormControls>(*window.form);
    window.ui->Timer1->stop();
    return window;
}

/// Presses Open and passes the six start-up polls; false when the link did not open.
inline bool openLink(RealWindow& window) {
    QTest::mouseClick(window.ui->BTOpen, Qt::LeftButton);
    passStartupPolls(*window.core);
    return window.ui->BTClose->isEnabled();
}

/// The archive window over a main window's core, as the program entry builds it.
inline std::unique_ptr<TVLGLog> archiveWindow(core::ToolCore& core, ui::Dialogs& dialogs,
                                              const TMainForm& form) {
    return std::make_unique<TVLGLog>(
        ArchiveWindowServices{.sender = core.sender,
                              .poller = core.poller,
                              .archive = core.archive,
                              .clock = core.clock,
                              .dialogs = dialogs,
                              .typedModule = [&form] { return form.typedModule(); }});
}

}  // namespace qrt::testing
