// End to end: the real main window over real ports against qrt-sim.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>

#include "app/Testunit1.h"
#include "app/log_pane.h"
#include "link/qt_serial_port.h"
#include "support/child_process.h"
#include "support/fake_dialogs.h"

using namespace qrt;
using namespace qrt::testing;
using namespace std::chrono_literals;

namespace {

class WindowEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("qrt_win_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override {
        form_.reset();
        sim_.reset();
        if (!HasFailure()) std::filesystem::remove_all(dir_);
    }
    std::string path(const char* name) const { return (dir_ / name).string(); }

    void start(const std::vector<std::string>& simArgs, bool multiplexed) {
        std::vector<std::string> args{QRT_SIM_PATH, "--link-a", path("a"), "--link-b", path("b")};
        args.insert(args.end(), simArgs.begin(), simArgs.end());
        sim_ = std::make_unique<ChildProcess>(args, path("sim.log"));
        ASSERT_TRUE(waitFor([&] { return std::filesystem::exists(path("a")); }, 10s));
        std::ofstream(path("qrt-tester.ini"))
            << "[Config]\nInterfaceA=" << path("a") << "\nInterfaceB=" << path("b")
            << "\nMXL=" << (multiplexed ? 1 : 0) << "\nbinprot=1\n[Settings]\nID=1234\nIDh=5\n";
        form_ = std::make_unique<TMainForm>(MainFormServices{
            .portA = std::make_unique<link::QtSerialPort>(),
            .portB = std::make_unique<link::QtSerialPort>(),
            .clock = clock_,
            .dialogs = dialogs_,
            .executablePath = path("qrt-tester"),
            .diagnostics = diagnostics_,
            .availablePorts = {}});
        form_->Timer1->stop();  // the test polls
        QTest::mouseClick(form_->BTOpen, Qt::LeftButton);
        ASSERT_TRUE(form_->BTClose->isEnabled()) << dialogs_.messages.join(";").toStdString();
        form_->state().startupSkipTicks = 0;
    }

    ::testing::AssertionResult paneHas(const app::LogPane* pane, const std::string& text) {
        const bool found = waitFor(
            [&] {
                form_->Timer1Timer();
                for (std::size_t i = 0; i < pane->lineCount(); ++i) {
                    if (pane->lineText(i).toStdString().find(text) != std::string::npos) {
                        return true;
                    }
                }
                return false;
            },
            15s);
        if (found) {
            return ::testing::AssertionSuccess();
        }
        return ::testing::AssertionFailure() << "not found: " << text << "\nin:\n"
                                             << pane->toPlainText().toStdString();
    }

    std::filesystem::path dir_;
    std::unique_ptr<ChildProcess> sim_;
    common::SystemClock clock_;
    FakeDialogs dialogs_;
    std::ostringstream diagnostics_;
    std::unique_ptr<TMainForm> form_;
};

}  // namespace

TEST_F(WindowEndToEnd, DirectLinkCommandsRepliesAndCalibration) {
    start({"--module", "5.1234,version=2.3,temp1=5.00", "--head", "5.1234"}, false);
    form_->CB_Cmd->setCurrentIndex(1);  // NVR
    form_->Ed_BytePar->setText("66");
    QTest::mouseClick(form_->BT_Radio_CMD, Qt::LeftButton);
    EXPECT_TRUE(paneHas(form_->ME_Comm, "ID:5.1234 Date:"));
    QTest::mouseClick(form_->BTReset, Qt::LeftButton);  // inductive VER
    EXPECT_TRUE(paneHas(form_->ME_Comm, "ID:5.1234 Version:2.3 run"));
    // Target -13: the module reads 5.00 with offset 0, so the new offset is -5.13.
    QTest::mouseClick(form_->BtCal1, Qt::LeftButton);
    EXPECT_TRUE(paneHas(form_->ME_Comm, "Neuer Offsetwert -5.13\u00DD C"));
    EXPECT_TRUE(waitForText(path("sim.log"), "B< NVW wp 0xFDFF bp 14 crc ok"));
    QTest::mouseClick(form_->BtTemp, Qt::LeftButton);
    EXPECT_TRUE(paneHas(form_->ME_Debug, "R:1 ID:5.1234 Temp1   T:-0.13"));
    QTest::mouseClick(form_->BTClose, Qt::LeftButton);
    EXPECT_TRUE(form_->BTOpen->isEnabled());
}

TEST_F(WindowEndToEnd, MultiplexedLinkShowsBoxVersionKeyStateAndSignalLevel) {
    start({"--mux", "--module", "6.16,period=0.3", "--key-every", "0.5"}, true);
    QTest::mouseClick(form_->BTRcvVer, Qt::LeftButton);
    EXPECT_TRUE(waitFor([&] {
        form_->Timer1Timer();
        return form_->EdVersion->text() == "0123";
    }, 10s));
    EXPECT_TRUE(waitFor([&] {
        form_->Timer1Timer();
        return form_->CBTast->isChecked();
    }, 10s));
    EXPECT_TRUE(paneHas(form_->ME_Debug, "R:1 ID:6.16 Temp1   T:21.50 "));
    const auto lines = form_->ME_Debug->toPlainText().toStdString();
    EXPECT_NE(lines.find(" 50\n"), std::string::npos);  // the simulator's signal level byte 0xC0
    EXPECT_EQ(form_->EdRSSI0->text(), "-50");
}

TEST_F(WindowEndToEnd, PulledAdapterClosesTheLinkOnceAndOpenWorksAgain) {
    start({"--module", "5.1234"}, false);
    sim_->signal(SIGUSR1);
    ASSERT_TRUE(waitForText(path("sim.log"), "ports closed"));
    EXPECT_TRUE(paneHas(form_->ME_Debug, "Device lost: " + path("a")));
    EXPECT_TRUE(form_->BTOpen->isEnabled());
    sim_->signal(SIGUSR2);
    ASSERT_TRUE(waitForText(path("sim.log"), "ports back"));
    QTest::mouseClick(form_->BTOpen, Qt::LeftButton);
    EXPECT_TRUE(form_->BTClose->isEnabled());
}
