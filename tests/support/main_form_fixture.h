#pragma once

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/Testunit1.h"
#include "app/log_pane.h"
#include "support/fake_clock.h"
#include "support/fake_dialogs.h"
#include "support/fake_serial_port.h"
#include "support/hex.h"
#include "support/window_controls.h"

namespace qrt::testing {

/// The real main window over fake ports, a virtual clock and scripted dialogs, with its
/// settings file in a folder of its own.
class MainFormFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_ = std::filesystem::temp_directory_path() /
                  ("qrt_form_" + std::to_string(::getpid()) + "_" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(folder_);
    }
    void TearDown() override {
        ui.reset();
        form.reset();
        core.reset();
        std::filesystem::remove_all(folder_);
    }

    std::string iniPath() const { return (folder_ / "qrt-tester.ini").string(); }
    void writeIni(const std::string& text) const { std::ofstream(iniPath()) << text; }
    std::string iniText() const {
        std::ifstream in(iniPath());
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    void createForm() {
        auto a = std::make_unique<FakeSerialPort>();
        auto b = std::make_unique<FakeSerialPort>();
        portA = a.get();
        portB = b.get();
        core = std::make_unique<core::ToolCore>(std::move(a), std::move(b), diagnostics, clock,
                                                coreOptions);
        form = std::make_unique<TMainForm>(
            MainFormServices{.core = *core,
                             .dialogs = dialogs,
                             .executablePath = (folder_ / "qrt-tester").string(),
                             .availablePorts = [] { return std::vector<std::string>{"ttyUSB0"}; }});
        ui = std::make_unique<MainFormControls>(*form);
    }

    /// Creates the window and opens the link; the six start-up polls are passed.
    void openLink(bool binary = false) {
        createForm();
        ui->CB_Bin->setChecked(binary);
        click(ui->BTOpen);
        ASSERT_TRUE(ui->BTClose->isEnabled()) << dialogs.messages.join("; ").toStdString();
        passStartupPolls(*core);
        portA->calls.clear();
        portB->calls.clear();
        clock.sleeps.clear();
    }

    static void click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

    /// The writes on a port since the last call, each as hex.
    static std::vector<std::string> writes(FakeSerialPort* port) {
        std::vector<std::string> out;
        for (const auto& call : port->calls) {
            if (call.what == "write") {
                out.push_back(toHex(call.bytes));
            }
        }
        port->calls.clear();
        port->takeWritten();
        return out;
    }

    std::vector<std::string> paneLines(const app::LogPane* pane) const {
        std::vector<std::string> lines;
        for (std::size_t i = 0; i < pane->lineCount(); ++i) {
            lines.push_back(pane->lineText(i).toStdString());
        }
        return lines;
    }

    std::filesystem::path folder_;
    std::ostringstream diagnostics;
    FakeClock clock;
    FakeDialogs dialogs;
    FakeSerialPort* portA = nullptr;
    FakeSerialPort* portB = nullptr;
    core::CoreOptions coreOptions = TMainForm::coreOptions();  // the window's, unless a test says
    std::unique_ptr<core::ToolCore> core;
    std::unique_ptr<TMainForm> form;
    std::unique_ptr<MainFormControls> ui;
};

}  // namespace qrt::testing
