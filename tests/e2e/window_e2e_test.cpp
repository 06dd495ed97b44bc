// End to end: the real main window over real ports against qrt-sim.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include "app/values_plot.h"
#include "app/values_window.h"
#include "support/sim_window_fixture.h"

using namespace qrt;
using namespace qrt::testing;
using namespace std::chrono_literals;

namespace {

class WindowEndToEnd : public ::testing::Test, protected SimWindowFixture {
  protected:
    WindowEndToEnd() : SimWindowFixture(std::make_unique<common::SystemClock>()) {}

    void start(const std::vector<std::string>& simArgs, bool multiplexed) {
        SimWindowFixture::start(simArgs, std::string("MXL=") + (multiplexed ? "1" : "0") +
                                             "\nbinprot=1\n[Settings]\nID=1234\nIDh=5\n");
    }
};

}  // namespace

TEST_F(WindowEndToEnd, DirectLinkCommandsRepliesAndCalibration) {
    start({"--module", "5.1234,version=2.3,temp1=5.00", "--head", "5.1234"}, false);
    ui_->CB_Cmd->setCurrentIndex(1);  // NVR
    ui_->Ed_BytePar->setText("66");
    QTest::mouseClick(ui_->BT_Radio_CMD, Qt::LeftButton);
    EXPECT_TRUE(paneHas(ui_->ME_Comm, "ID:5.1234 Date:"));
    QTest::mouseClick(ui_->BTReset, Qt::LeftButton);  // inductive VER
    EXPECT_TRUE(paneHas(ui_->ME_Comm, "ID:5.1234 Version:2.3 run"));
    // Target -13: the module reads 5.00 with offset 0, so the new offset is -5.13.
    QTest::mouseClick(ui_->BtCal1, Qt::LeftButton);
    EXPECT_TRUE(paneHas(ui_->ME_Comm, "Neuer Offsetwert -5.13\u00DD C"));
    EXPECT_TRUE(waitForText(path("sim.log"), "B< NVW wp 0xFDFF bp 14 crc ok"));
    QTest::mouseClick(ui_->BtTemp, Qt::LeftButton);
    EXPECT_TRUE(paneHas(ui_->ME_Debug, "R:1 ID:5.1234 Temp1   T:-0.13"));
    QTest::mouseClick(ui_->BTClose, Qt::LeftButton);
    EXPECT_TRUE(ui_->BTOpen->isEnabled());
}

TEST_F(WindowEndToEnd, MultiplexedLinkShowsBoxVersionKeyStateAndSignalLevel) {
    start({"--mux", "--module", "6.16,period=0.3", "--key-every", "0.5"}, true);
    QTest::mouseClick(ui_->BTRcvVer, Qt::LeftButton);
    EXPECT_TRUE(waitFor(
        [&] {
            form_->Timer1Timer();
            return ui_->EdVersion->text() == "0123";
        },
        10s));
    EXPECT_TRUE(waitFor(
        [&] {
            form_->Timer1Timer();
            return ui_->CBTast->isChecked();
        },
        10s));
    EXPECT_TRUE(paneHas(ui_->ME_Debug, "R:1 ID:6.16 Temp1   T:21.50 "));
    const auto lines = ui_->ME_Debug->toPlainText().toStdString();
    EXPECT_NE(lines.find(" 50\n"), std::string::npos);  // the simulator's signal level byte 0xC0
    EXPECT_EQ(ui_->EdRSSI0->text(), "-50");
}

TEST_F(WindowEndToEnd, PulledAdapterClosesTheLinkOnceAndOpenWorksAgain) {
    start({"--module", "5.1234"}, false);
    pullAdapter();
    EXPECT_TRUE(paneHas(ui_->ME_Debug, "Device lost: " + path("a")));
    EXPECT_TRUE(ui_->BTOpen->isEnabled());
    replug();
    QTest::mouseClick(ui_->BTOpen, Qt::LeftButton);
    EXPECT_TRUE(ui_->BTClose->isEnabled());
}

TEST_F(WindowEndToEnd, ValuesWindowShowsEachChannelAndPlotsTheSelectedRow) {
    start({"--module", "6.16,period=0.3"}, false);
    app::ValuesWindow values({.history = core_->values, .dialogs = dialogs_, .settingsPath = [&] {
                                  return form_->settingsPath();
                              }});
    form_->setValuesWindow(&values);
    QTest::mouseClick(form_->findChild<QPushButton*>("BtValues"), Qt::LeftButton);
    ASSERT_TRUE(values.isVisible());
    auto* table = values.findChild<QTableView*>("ValuesTable");
    const auto rowOf = [&](const QString& channel) {
        for (int row = 0; row < table->model()->rowCount(); ++row) {
            if (table->model()->index(row, 1).data().toString() == channel) {
                return row;
            }
        }
        return -1;
    };
    ASSERT_TRUE(waitFor(
        [&] {
            form_->Timer1Timer();
            return rowOf("Temp1") >= 0 &&
                   table->model()->index(rowOf("Temp1"), 6).data().toInt() >= 2;
        },
        10s));
    const int row = rowOf("Temp1");
    EXPECT_EQ(table->model()->index(row, 0).data().toString(), "6.16");
    EXPECT_EQ(table->model()->index(row, 2).data().toString(), "21.50");
    EXPECT_EQ(table->model()->index(row, 3).data().toString(), "\u00B0C");
    table->selectRow(row);
    const auto* plot = values.findChild<app::ValuesPlot*>("ValuesPlot");
    ASSERT_EQ(plot->rows().size(), 1U);
    // Telegrams read in one poll share its time and are drawn as one point.
    ASSERT_TRUE(waitFor(
        [&] {
            form_->Timer1Timer();
            return plot->drawnPoints(0).size() >= 2;
        },
        10s));
    EXPECT_EQ(plot->drawnPoints(0).back().y(), 21.5);
    values.close();
    form_->setValuesWindow(nullptr);
}
