// Faults end to end: a noisy radio, an adapter pulled in the middle of every kind of
// operation, and replies that never come.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <QDateEdit>
#include <QLineEdit>
#include <QSpinBox>
#include <QTimer>
#include <csignal>
#include <fstream>
#include <thread>

#include "app/Vlgarchives.h"
#include "support/quick_clock.h"
#include "support/sim_window_fixture.h"

using namespace qrt;
using namespace qrt::testing;
using namespace std::chrono_literals;

namespace {

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

class FaultEndToEnd : public ::testing::Test, protected SimWindowFixture {
  protected:
    FaultEndToEnd() : SimWindowFixture(std::make_unique<QuickClock>()) {}
    ~FaultEndToEnd() override {
        archiveUi_.reset();
        archive_.reset();
    }
    void showArchiveWindow() {
        archive_ = archiveWindow(*core_, dialogs_, *form_);
        archiveUi_ = std::make_unique<ArchiveWindowControls>(*archive_);
        archive_->show();
    }

    void start(const std::vector<std::string>& simArgs) {
        SimWindowFixture::start(simArgs, "binprot=1\n[Settings]\nID=16\nIDh=6\n");
    }
    void open() { ASSERT_TRUE(openLink(window_)); }

    /// The lost device was reported exactly once and the link is closed.
    void expectLostOnce() {
        for (int i = 0; i < 5; ++i) {
            form_->Timer1Timer();
        }
        const std::string lines = ui_->ME_Debug->toPlainText().toStdString();
        const auto first = lines.find("Device lost");
        EXPECT_NE(first, std::string::npos);
        EXPECT_EQ(first, lines.rfind("Device lost"));
        EXPECT_TRUE(ui_->BTOpen->isEnabled());
        EXPECT_FALSE(ui_->BTClose->isEnabled());
    }
    std::size_t commLines() const { return ui_->ME_Comm->lineCount(); }

    std::unique_ptr<TVLGLog> archive_;
    std::unique_ptr<ArchiveWindowControls> archiveUi_;
};

}  // namespace

TEST_F(FaultEndToEnd, NoisyRadioNeverStopsTheDecoding) {
    start({"--corrupt", "10", "--noise", "1920", "--module",
           "5.1234,period=0.05,telegrams=temp1/batdig/short", "--module", "6.16,period=0.05"});
    const auto until = std::chrono::steady_clock::now() + 4s;
    while (std::chrono::steady_clock::now() < until) {
        form_->Timer1Timer();
        std::this_thread::sleep_for(50ms);
    }
    // Most telegrams still arrive whole; the window kept polling.
    EXPECT_GT(ui_->ME_Debug->lineCount(), 20u);
    EXPECT_TRUE(ui_->BTClose->isEnabled());
}

TEST_F(FaultEndToEnd, AdapterPulledWhileIdleOrSendingIsReportedOnceAndUsesNoCpu) {
    start({"--module", "5.1234"});
    pullAdapter();
    QTest::mouseClick(ui_->BT_Radio_CMD, Qt::LeftButton);  // writes to a dead port
    expectLostOnce();
    ui_->Timer1->start();
    const double before = cpuSeconds();
    QTest::qWait(2000);
    EXPECT_LT(cpuSeconds() - before, 0.2);  // the closed window only ticks its timer
    ui_->Timer1->stop();
    replug();
    open();
}

TEST_F(FaultEndToEnd, AdapterPulledDuringCalibrationEndsItSilently) {
    start({"--module", "6.16"});
    // The break and waits outlast the pull, which is timed from the click so that a slow
    // build cannot pull the adapter before the window has opened it.
    std::thread puller([this] {
        std::this_thread::sleep_for(400ms);
        sim_->signal(SIGUSR1);
    });
    QTest::mouseClick(ui_->BtCal1, Qt::LeftButton);
    puller.join();
    expectLostOnce();
    replug();
    open();
}

TEST_F(FaultEndToEnd, AdapterPulledDuringFirmwarePausesTheTransferUntilTheNextOpen) {
    start({"--module", "5.16", "--firmware-out", path("fw.out")});
    std::ofstream(path("fw.bin"), std::ios::binary) << "DKM2\r\n" << std::string(128 * 6, 'q');
    form_->findChild<QSpinBox*>("UD_Speed")->setValue(2);
    dialogs_.openAnswer = QString::fromStdString(path("fw.bin"));
    QTest::mouseClick(ui_->BT_FW_Start, Qt::LeftButton);
    for (int i = 0; i < 6; ++i) {
        form_->Timer1Timer();
    }
    pullAdapter();
    expectLostOnce();
    EXPECT_TRUE(form_->firmware().running());
    replug();
    open();
    while (form_->firmware().running()) {
        form_->Timer1Timer();
    }
    EXPECT_EQ(ui_->ED_FW_BLH->text(), "6");
    ui_->Ed_SNR->setText("16");
    ui_->ED_Typ->setText("5");
    QTest::mouseClick(ui_->BT_FW_STAT, Qt::LeftButton);
    EXPECT_TRUE(waitFor(
        [&] {
            form_->Timer1Timer();
            return !form_->firmware().statusPending();
        },
        10s));
    // Blocks sent while the adapter was out are named missing; the operator resends them.
    EXPECT_FALSE(ui_->ED_FW_BL->text().isEmpty());
}

TEST_F(FaultEndToEnd, AdapterPulledDuringArchiveRetrievalEndsItAsNoResponse) {
    start({"--module", "6.16,archive_rows=20000", "--head", "6.16", "--pull-after", "1.5"});
    showArchiveWindow();
    archiveUi_->DTP_Date->setDate(QDate(2000, 1, 1));
    QTest::mouseClick(archiveUi_->BtInfo, Qt::LeftButton);
    EXPECT_EQ(archiveUi_->ED_Status->text(), "No Response");
    expectLostOnce();
    replug();
    open();
}

TEST_F(FaultEndToEnd, RepliesThatNeverComeEndEachOperationAsItShould) {
    start({"--module", "6.16,archive_rows=100", "--head", "6.16", "--drop-replies", "100"});
    QTest::mouseClick(ui_->BtCal1, Qt::LeftButton);
    EXPECT_EQ(commLines(), 0u);  // calibration ends without a word
    showArchiveWindow();
    QTest::mouseClick(archiveUi_->BtInfo, Qt::LeftButton);
    EXPECT_EQ(archiveUi_->ED_Status->text(), "No Response");
    ui_->Ed_SNR->setText("16");
    ui_->ED_Typ->setText("6");
    QTest::mouseClick(ui_->BT_FW_STAT, Qt::LeftButton);
    for (int i = 0; i < 10; ++i) {
        form_->Timer1Timer();
    }
    EXPECT_TRUE(form_->firmware().statusPending());  // no time-out: it waits on
    EXPECT_EQ(ui_->ED_FW_BL->text(), "0");
}
