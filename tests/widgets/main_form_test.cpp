#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QGroupBox>
#include <QLabel>

#include "common/text_format.h"
#include "support/main_form_fixture.h"

using namespace qrt;
using namespace qrt::testing;

namespace {

class MainForm : public MainFormFixture {
  protected:
    // The controls whose enabled state follows the link, and BTRcvVer.
    std::vector<QWidget*> linkControls() const {
        return {ui->BTReset,    ui->BTNVP,        ui->BTNVW,      ui->BTSTRT,   ui->BTSTP,
                ui->BTBeep,     ui->BT_Radio_CMD, ui->BT_Ind_CMD, ui->BTSetRTC, ui->BTGetRTC,
                ui->BTLogOn,    ui->BTLogOff,     ui->BT_ChanPwr, ui->BtTemp,   ui->BtTemp1,
                ui->BtTemp2,    ui->BtDig,        ui->btLEDs,     ui->BtCal1,   ui->BtCal2,
                ui->BtArchives, ui->GB_FW,        ui->BTClose};
    }
    void expectLinkOpen(bool open) const {
        for (QWidget* control : linkControls()) {
            EXPECT_EQ(control->isEnabled(), open) << control->objectName().toStdString();
        }
        for (QWidget* control :
             {static_cast<QWidget*>(ui->BTOpen), static_cast<QWidget*>(ui->CB_ComA),
              static_cast<QWidget*>(ui->CB_ComB), static_cast<QWidget*>(ui->CB_MXL)}) {
            EXPECT_EQ(control->isEnabled(), !open) << control->objectName().toStdString();
        }
    }
};

}  // namespace

TEST_F(MainForm, StartsWithTheDefaultsWhenThereIsNoSettingsFile) {
    createForm();
    EXPECT_EQ(form->windowTitle().toStdString(),
              common::format<"QRT-Tester - V%d.%d.%d.%d">(1, 0, 0, 0));
    EXPECT_EQ(form->width(), 571);
    EXPECT_EQ(form->height(), 713);
    EXPECT_EQ(ui->Panel1->height(), 425);
    EXPECT_EQ(ui->ME_Debug->height(), 195);
    EXPECT_EQ(ui->CB_ComA->currentText(), "COM1");
    EXPECT_EQ(ui->CB_ComB->currentText(), "COM2");
    EXPECT_EQ(ui->CB_ComA->itemText(0), "ttyUSB0");  // ports the system reports come first
    EXPECT_FALSE(ui->CB_MXL->isChecked());
    EXPECT_FALSE(ui->CB_Bin->isChecked());
    EXPECT_EQ(ui->Ed_SNR->text(), "0");
    EXPECT_EQ(ui->ED_Typ->text(), "5");
    EXPECT_EQ(ui->CBPar->currentText(), "3 ID low");
    EXPECT_EQ(ui->CB_LED->currentText(), "Green");
    EXPECT_EQ(ui->CB_Cmd->currentText(), "INF");
    EXPECT_EQ(ui->CB_Cmd->count(), 15);
    EXPECT_EQ(ui->CBPar->count(), 20);
    EXPECT_EQ(ui->CB_LED->count(), 13);
    EXPECT_EQ(form->findChild<QSpinBox*>("UD_Chan")->value(), 7);
    EXPECT_EQ(form->findChild<QSpinBox*>("UD_Pwr")->value(), 9);
    EXPECT_EQ(form->findChild<QSpinBox*>("UD_Speed")->minimum(), 2);
    EXPECT_EQ(form->findChild<QLineEdit*>("ED_Chan")->text(), "7");
    EXPECT_EQ(ui->Ed_SNR->maxLength(), 10);
    EXPECT_EQ(ui->ED_Typ->maxLength(), 1);
    EXPECT_TRUE(ui->CB_ComB->isVisibleTo(form.get()));
    EXPECT_FALSE(ui->CB_LED->isVisibleTo(form.get()));
    EXPECT_FALSE(ui->CBOnline->isVisibleTo(form.get()));
    expectLinkOpen(false);
    EXPECT_TRUE(ui->BTRcvVer->isEnabled());  // enabled at start only
    EXPECT_FALSE(ui->ED_Key[0]->isEnabled());
    EXPECT_TRUE(portA->calls.empty() && portB->calls.empty());  // selecting "Green" sent nothing
}

TEST_F(MainForm, MultiplexedModeFromTheSettingsShowsTheBoxControlsAndOpensOnlyPortA) {
    writeIni("[Config]\nMXL=1\nInterfaceA=/dev/ttyQRT0\n");
    createForm();
    EXPECT_TRUE(ui->CB_MXL->isChecked());
    EXPECT_FALSE(ui->CB_ComB->isVisibleTo(form.get()));
    EXPECT_FALSE(ui->Lb_Induktiv->isVisibleTo(form.get()));
    for (QWidget* w : {static_cast<QWidget*>(ui->Label2), static_cast<QWidget*>(ui->EdRSSI0),
                       static_cast<QWidget*>(ui->CB_LED), static_cast<QWidget*>(ui->CBTast),
                       static_cast<QWidget*>(ui->BTBeep), static_cast<QWidget*>(ui->EdVersion)}) {
        EXPECT_TRUE(w->isVisibleTo(form.get())) << w->objectName().toStdString();
    }
    click(ui->BTOpen);
    EXPECT_EQ(portA->openedPath, "/dev/ttyQRT0");
    EXPECT_EQ(portA->settings.baudRate, 19200);
    EXPECT_FALSE(portB->isOpen());
}

TEST_F(MainForm, SettingsAreWrittenBackOnClose) {
    writeIni(
        "; my settings\n[Config]\nMXL=5\nbinprot=1\n[Settings]\nIDh=12\nID=0x0FFFFFFF\n"
        "[Log]\nFile=/tmp/never-written.log\n");
    createForm();
    EXPECT_EQ(ui->ED_Typ->text(), "1");           // one character through a 2-byte buffer
    EXPECT_EQ(ui->Ed_SNR->text(), "0x0FFFFFFF");  // all ten characters come back
    EXPECT_TRUE(ui->CB_Bin->isChecked());
    EXPECT_TRUE(core->protocol.binaryProtocol);
    ui->CB_ComA->setEditText("/dev/pts/9");
    form->close();
    const std::string ini = iniText();
    EXPECT_NE(ini.find("MXL=1"), std::string::npos);
    EXPECT_NE(ini.find("binprot=1"), std::string::npos);
    EXPECT_NE(ini.find("InterfaceA=/dev/pts/9"), std::string::npos);
    EXPECT_NE(ini.find("InterfaceB=COM2"), std::string::npos);
    EXPECT_NE(ini.find("ID=0x0FFFFFFF"), std::string::npos);
    EXPECT_NE(ini.find("IDh=1"), std::string::npos);
    EXPECT_NE(ini.find("; my settings"), std::string::npos);
    EXPECT_NE(ini.find("File=/tmp/never-written.log"), std::string::npos);
}

TEST_F(MainForm, SettingsThatCannotBeSavedAreReportedOnceInTheDebugPane) {
    std::filesystem::create_directories(iniPath());  // a folder where the file should be
    createForm();
    form->close();
    EXPECT_EQ(paneLines(ui->ME_Debug),
              std::vector<std::string>{"Settings not saved: cannot write " + iniPath()});
}

TEST_F(MainForm, SavingAPaneWritesEveryLineItHoldsOrSaysWhyNot) {
    createForm();
    ui->ME_Comm->appendLine("ID:5.4660 Version:2.3 run");
    ui->ME_Comm->appendLine("Neuer Offsetwert 0.13\xC3\x9D C");
    dialogs.saveAnswer = QString::fromStdString((folder_ / "comm.txt").string());
    emit ui->ME_Comm->saveRequested();
    std::ifstream in(folder_ / "comm.txt", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}),
              "ID:5.4660 Version:2.3 run\nNeuer Offsetwert 0.13\xC3\x9D C\n");
    EXPECT_EQ(dialogs.saveRequests, QStringList{"ME_Comm.txt Text|*.txt txt"});
    dialogs.saveAnswer = QString::fromStdString((folder_ / "missing" / "x.txt").string());
    emit ui->ME_Debug->saveRequested();
    EXPECT_EQ(dialogs.warnings, QStringList{"QRTTest: Can't write " + dialogs.saveAnswer.value()});
    EXPECT_EQ(dialogs.reasons.value(0).toStdString(),
              "No such file or directory: no file can be made in the folder " +
                  (folder_ / "missing").string());
}

// Every control an operator can work says on hover what it sends or sets.
TEST_F(MainForm, EveryControlExplainsItselfOnHover) {
    createForm();
    for (QWidget* control : ui->Panel1->findChildren<QWidget*>()) {
        const QWidget* holder = control->parentWidget();
        const bool inner = qobject_cast<const QAbstractSpinBox*>(holder) != nullptr ||
                           qobject_cast<const QComboBox*>(holder) != nullptr;
        const bool operated = qobject_cast<QAbstractButton*>(control) != nullptr ||
                              qobject_cast<QComboBox*>(control) != nullptr ||
                              qobject_cast<QAbstractSpinBox*>(control) != nullptr ||
                              (qobject_cast<QLineEdit*>(control) != nullptr && !inner);
        if (operated) {
            EXPECT_FALSE(control->toolTip().isEmpty()) << control->objectName().toStdString();
        }
    }
}

TEST_F(MainForm, OpenEnablesTheCommandsAndCloseReversesIt) {
    const auto log = folder_ / "decoded.log";
    writeIni("[Config]\nInterfaceA=ttyA\nInterfaceB=/dev/pts/44\n[Log]\nFile=" + log.string() +
             "\n");
    createForm();
    click(ui->BTOpen);
    expectLinkOpen(true);
    EXPECT_TRUE(ui->BTRcvVer->isEnabled());
    EXPECT_EQ(core->poller.startupPollsLeft(), 6);
    EXPECT_EQ(portA->openedPath, "/dev/ttyA");
    EXPECT_EQ(portB->openedPath, "/dev/pts/44");
    EXPECT_EQ(portB->settings.baudRate, 1200);
    EXPECT_EQ(portB->settings.stopBits, 2);
    EXPECT_TRUE(core->logFile.isOpen());
    click(ui->BTClose);
    expectLinkOpen(false);
    EXPECT_FALSE(ui->BTRcvVer->isEnabled());
    EXPECT_FALSE(portA->isOpen());
    EXPECT_FALSE(portB->isOpen());
    EXPECT_FALSE(core->logFile.isOpen());
    EXPECT_TRUE(std::filesystem::exists(log));
}

TEST_F(MainForm, FailedOpenOfInterfaceBNamesItClosesEverythingAndTellsTheOperator) {
    createForm();
    portB->failOpen = true;
    click(ui->BTOpen);
    EXPECT_EQ(dialogs.messages, QStringList{"QRTTest: Can't open COM2"});
    EXPECT_EQ(dialogs.reasons, QStringList{"No such file or directory"});  // the link's reason
    expectLinkOpen(false);
    EXPECT_FALSE(portA->isOpen());
    EXPECT_NE(diagnostics.str().find("QRTTest Unable to open /dev/COM2 Error: 2"),
              std::string::npos);
}

TEST_F(MainForm, PortThatCannotBeConfiguredIsClosedAgain) {
    createForm();
    portA->failConfigure = true;
    click(ui->BTOpen);
    EXPECT_EQ(dialogs.messages, QStringList{"QRTTest: Can't open COM1"});
    EXPECT_FALSE(portA->isOpen());
}

TEST_F(MainForm, UnopenableLogFileMeansNoLogAndNoMessage) {
    writeIni("[Log]\nFile=/nonexistent-folder/qrt.log\n");
    createForm();
    click(ui->BTOpen);
    EXPECT_TRUE(dialogs.messages.isEmpty());
    EXPECT_FALSE(core->logFile.isOpen());
    EXPECT_TRUE(ui->BTClose->isEnabled());
}

TEST_F(MainForm, PollsShowDecodedLinesAndALostDeviceOnceThenTheClosedState) {
    coreOptions.poller.workBudget = std::chrono::milliseconds(0);  // a frame a poll
    openLink();
    const auto frame = frames::buildStandardFrame(0x01, 0x50001234, 0x0203, 0, 9, 0);
    portA->queueInput({frame.begin(), frame.end()});
    form->Timer1Timer();
    ASSERT_EQ(paneLines(ui->ME_Debug).size(), 1u);
    EXPECT_EQ(paneLines(ui->ME_Comm), (std::vector<std::string>{"ID:5.4660 Version:2.3 run"}));
    // Two frames arrived before the plug was pulled: both are shown, then the port named.
    for (int i = 0; i < 2; ++i) {
        portA->queueInput({frame.begin(), frame.end()});
    }
    portA->pullPlug();
    form->Timer1Timer();
    form->Timer1Timer();
    const auto lines = paneLines(ui->ME_Debug);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(paneLines(ui->ME_Comm).size(), 3u);
    EXPECT_EQ(lines[3], lines[0].substr(0, 10) + "  Device lost: COM1");  // the poll's stamp
    expectLinkOpen(false);
    click(ui->BTCLEAR);
    EXPECT_EQ(ui->ME_Debug->lineCount(), 0u);
    EXPECT_EQ(ui->ME_Comm->lineCount(), 0u);
}

TEST_F(MainForm, MultiplexedBoxStatusReachesItsControls) {
    writeIni("[Config]\nMXL=1\n");
    createForm();
    click(ui->BTOpen);
    passStartupPolls(*core);
    portA->queueInput(hexBytes("02 02 01 42 01 10 03"));
    form->Timer1Timer();
    form->Timer1Timer();
    EXPECT_TRUE(ui->CBTast->isChecked());
    EXPECT_EQ(ui->EdVersion->text(), "0142");
}
