#include <QProgressBar>

#include "frames/authenticator.h"
#include "frames/command_frames.h"
#include "support/main_form_fixture.h"

using namespace qrt;
using namespace qrt::testing;
using namespace std::chrono_literals;

namespace {

class FormCommands : public MainFormFixture {
  protected:
    // The break calls and writes on port B, in order.
    std::vector<std::string> inductiveTraffic() {
        std::vector<std::string> out;
        for (const auto& call : portB->calls) {
            if (call.what == "break") {
                out.push_back(call.on ? "break on" : "break off");
            } else if (call.what == "write") {
                out.push_back(toHex(call.bytes));
            }
        }
        portB->calls.clear();
        return out;
    }
    static std::string text(const std::string& s) {
        return toHex(std::vector<std::uint8_t>(s.begin(), s.end()));
    }
    static std::string inductive(std::uint8_t code, std::uint16_t wp, std::uint8_t bp) {
        return toHex(frames::buildInductiveFrame(code, wp, bp));
    }
};

}  // namespace

TEST_F(FormCommands, InductiveTextCommandsFollowTheLineBreak) {
    openLink(false);
    click(ui->BTSTRT);
    EXPECT_EQ(inductiveTraffic(),
              (std::vector<std::string>{"break on", "break off", "0D 4F 50 52 31 2C 34 2C 31 0D"}));
    EXPECT_EQ(clock.sleeps, (std::vector<std::chrono::milliseconds>{50ms, 100ms}));
    click(ui->BTReset);
    click(ui->BTSTP);
    click(ui->BTNVP);
    EXPECT_EQ(writes(portB),
              (std::vector<std::string>{text("\rVER\r"), text("\rOPR0\r"), text("\rNVP0\r")}));
    for (QPushButton* silent :
         {ui->BTLogOn, ui->BTLogOff, ui->BTSetRTC, ui->BTGetRTC, ui->BtTemp, ui->BtTemp1,
          ui->BtTemp2, ui->BtDig, ui->btLEDs, ui->BtCal1, ui->BT_Ind_CMD}) {
        click(silent);
    }
    EXPECT_TRUE(inductiveTraffic().empty());  // binary protocol only: not even a break
}

TEST_F(FormCommands, WriteParameterInTextAndBinaryForm) {
    openLink(false);
    ui->CBPar->setCurrentIndex(18);  // "20 SetCnt1"
    ui->EDPar->setText("0x10");
    click(ui->BTNVW);
    ui->EDPar->setText("-2");
    click(ui->BTNVW);
    ui->EDPar->setText("");
    click(ui->BTNVW);
    ui->EDPar->setText("abc");
    click(ui->BTNVW);
    EXPECT_EQ(writes(portB),
              (std::vector<std::string>{text("\rNVW20,16\r"), text("\rNVW20,-2\r")}));
    ui->CB_Bin->setChecked(true);
    ui->EDPar->setText("0x10");
    click(ui->BTNVW);
    ui->EDPar->setText("-2");
    click(ui->BTNVW);
    EXPECT_EQ(writes(portB),
              (std::vector<std::string>{inductive(12, 16, 20), inductive(12, 0xFFFE, 20)}));
}

TEST_F(FormCommands, BinaryServiceButtonsSendTheirFrames) {
    openLink(true);
    for (QPushButton* b : {ui->BTReset, ui->BTNVP, ui->BTSTRT, ui->BTSTP, ui->BTLogOn, ui->BTLogOff,
                           ui->BtTemp, ui->BtTemp1, ui->BtTemp2, ui->BtDig, ui->btLEDs}) {
        click(b);
    }
    EXPECT_EQ(writes(portB), (std::vector<std::string>{
                                 inductive(15, 0, 0), inductive(11, 0, 255), inductive(16, 4, 1),
                                 inductive(16, 0, 0), inductive(16, 0, 0x82),
                                 inductive(16, 0, 0x80), inductive(23, 0, 0), inductive(23, 0, 1),
                                 inductive(23, 0, 2), inductive(23, 0, 3), inductive(23, 4, 4)}));
}

TEST_F(FormCommands, ClockIsSetInBcdFromUtcAndReadWithAPause) {
    openLink(true);
    clock.utc = {2026, 12, 7, 13, 5, 9, 0};
    clock.local = {2026, 12, 7, 14, 5, 9, 0};
    click(ui->BTSetRTC);
    EXPECT_EQ(writes(portB),
              (std::vector<std::string>{inductive(12, 0x0509, 66), inductive(12, 0x0713, 68),
                                        inductive(12, 0x2612, 71)}));
    EXPECT_EQ(clock.sleeps, (std::vector<std::chrono::milliseconds>{50ms, 100ms, 200ms, 50ms, 100ms,
                                                                    200ms, 50ms, 100ms}));
    clock.sleeps.clear();
    click(ui->BTGetRTC);
    EXPECT_EQ(writes(portB),
              (std::vector<std::string>{inductive(11, 0, 65), inductive(11, 0, 66)}));
    EXPECT_EQ(clock.sleeps,
              (std::vector<std::chrono::milliseconds>{50ms, 100ms, 400ms, 50ms, 100ms}));
}

TEST_F(FormCommands, RadioCommandWithTwoContentFramesAndAuthenticator) {
    openLink();
    ui->CB_Cmd->setCurrentIndex(14);  // DBW
    ui->Ed_SNR->setText("1234");
    ui->ED_Typ->setText("5");
    ui->Ed_BytePar->setText("300");
    ui->Ed_WordPar->setText("-1");
    ui->CB_Cont->setChecked(true);
    ui->CB_Cont2->setChecked(true);
    ui->CB_ContHex->setChecked(true);
    for (std::size_t i = 0; i < 8; ++i) {
        ui->Ed_Cont[i]->setText(QString::number(0x1110 * (i + 1), 16));
    }
    ui->CB_Auth->setChecked(true);
    EXPECT_TRUE(ui->ED_Key[0]->isEnabled());
    core->protocol.frameSequence = 7;
    click(ui->BT_Radio_CMD);
    const auto out = writes(portA);
    ASSERT_EQ(out.size(), 4u);
    const auto command = frames::buildCommandFrame(26, 0x500004D2, 0xFFFF, 0x2C, 7, 0);
    EXPECT_EQ(out[0], toHex(command));
    EXPECT_EQ(out[0].substr(3, 11), "D2 04 00 50");
    EXPECT_EQ(out[1], toHex(frames::buildContentFrame(
                          {0x10, 0x11, 0x20, 0x22, 0x30, 0x33, 0x40, 0x44}, 0)));
    const frames::ContentBlock second{0x50, 0x55, 0x60, 0x66, 0x70, 0x77, 0x80, 0x88};
    EXPECT_EQ(out[2], toHex(frames::buildContentFrame(second, 0)));
    const frames::TeaKey key{0x45670123, 0xCDEF89AB, 0xBA98FEDC, 0x32107654};
    EXPECT_EQ(out[3], toHex(frames::buildContentFrame(
                          frames::authenticatorBlock(command, second, key), 0)));
    EXPECT_EQ(core->protocol.frameSequence, 8);
}

TEST_F(FormCommands, BroadcastAndScanFormatsAndTheSequenceWrap) {
    openLink();
    ui->Ed_SNR->setText("010");
    ui->ED_Typ->setText("5");
    click(ui->BT_Radio_CMD);
    EXPECT_EQ(writes(portA)[0].substr(0, 14), "0A 08 00 00 50");  // INF to 5.8: "%i" reads octal
    ui->CB_Broadcast->setChecked(true);
    EXPECT_FALSE(ui->Ed_SNR->isEnabled());
    ui->CB_Cmd->setCurrentIndex(8);  // DATA
    ui->CB_ByteHex->setChecked(true);
    ui->Ed_BytePar->setText("ff");
    for (int i = 0; i < 255; ++i) {
        click(ui->BT_Radio_CMD);
    }
    const auto out = writes(portA);
    ASSERT_EQ(out.size(), 255u);
    EXPECT_EQ(out[0].substr(0, 26), "00 FF FF FF FF 00 00 FF 01");
    EXPECT_EQ(core->protocol.frameSequence, 0);  // 256 commands: back where it started
}

TEST_F(FormCommands, InductiveConfigurationCommandCarriesCodeAndParametersOnly) {
    openLink(true);
    ui->CB_Cmd->setCurrentIndex(14);
    ui->Ed_BytePar->setText("20");
    ui->Ed_WordPar->setText("0x1234");
    click(ui->BT_Ind_CMD);
    EXPECT_EQ(writes(portB), (std::vector<std::string>{inductive(26, 0x1234, 20)}));
}

TEST_F(FormCommands, IdFilterFollowsItsFourTriggers) {
    createForm();
    ui->Ed_SNR->setText("12");
    ui->ED_Typ->setText("x");
    EXPECT_EQ(core->poller.idFilter(), 0u);
    ui->CB_Filter->setChecked(true);
    EXPECT_EQ(core->poller.idFilter(), 12u);
    ui->ED_Typ->setText("5");
    EXPECT_EQ(core->poller.idFilter(), 0x5000000Cu);
    ui->CB_Broadcast->setChecked(true);  // not a trigger by itself
    EXPECT_EQ(core->poller.idFilter(), 0x5000000Cu);
    ui->CB_ID->setChecked(true);
    EXPECT_EQ(core->poller.idFilter(), 0xFFFFFFFFu);
    ui->CB_Filter->setChecked(false);
    EXPECT_EQ(core->poller.idFilter(), 0u);
}

TEST_F(FormCommands, CrcStartComesFromItsFieldAndKeepsItsValueOnJunk) {
    openLink();
    ui->EDcrc->setText("1D0F");
    EXPECT_EQ(core->protocol.crcStart, 0x1D0F);
    ui->EDcrc->setText("xyz");
    EXPECT_EQ(core->protocol.crcStart, 0x1D0F);
    click(ui->BT_Radio_CMD);
    EXPECT_EQ(writes(portA)[0], toHex(frames::buildCommandFrame(10, 0x50000000, 0, 0, 0, 0x1D0F)));
}

TEST_F(FormCommands, BoxCommandsGoOnlyOverTheMultiplexedLink) {
    openLink();
    click(ui->BTRcvVer);
    click(ui->BtBoot);
    EXPECT_TRUE(writes(portA).empty());
    click(ui->BTClose);
    ui->CB_MXL->setChecked(true);
    click(ui->BTOpen);
    click(ui->BTRcvVer);
    click(ui->BtBoot);
    ui->UD_Beep->setValue(7);
    clock.sleeps.clear();
    click(ui->BTBeep);
    EXPECT_EQ(clock.sleeps, (std::vector<std::chrono::milliseconds>{10ms}));
    ui->CB_LED->setCurrentIndex(12);          // by program: nothing
    QTest::keyClick(ui->CB_LED, Qt::Key_Up);  // by the operator: sent
    EXPECT_EQ(writes(portA), (std::vector<std::string>{"02 02 E0 10 03", "02 02 F0 10 03",
                                                       "02 02 87 10 03", "02 02 16 10 03"}));
}

TEST_F(FormCommands, RadioSettingsTextsWithTheirPauses) {
    openLink();
    click(ui->BT_ChanPwr);
    EXPECT_EQ(writes(portA), (std::vector<std::string>{text("ER_CMD#C7"), text("ACK"),
                                                       text("ER_CMD#p9"), text("ACK")}));
    EXPECT_EQ(clock.sleeps, (std::vector<std::chrono::milliseconds>{35ms, 100ms, 35ms}));
}

namespace {

class Calibration : public FormCommands {
  protected:
    // The module's answers: its offset parameter, then the measured temperature.
    void scriptModule(std::int16_t oldOffset, std::int16_t measured, int input = 1) {
        const auto reply = frames::buildStandardFrame(
            2, 0x60000010, static_cast<std::uint16_t>(oldOffset), input == 1 ? 14 : 16, 1, 0);
        const auto telegram = frames::buildStandardFrame(
            0x20, 0x60000010, static_cast<std::uint16_t>(measured), input == 1 ? 2 : 3, 2, 0);
        portA->queueInput({reply.begin(), reply.end()});
        portA->queueInput({});  // a poll with nothing
        portA->queueInput({telegram.begin(), telegram.end()});
    }
};

}  // namespace

TEST_F(Calibration, WritesTheOffsetThatBringsTheReadingToTheTarget) {
    openLink(true);
    scriptModule(0, 87);
    click(ui->BtCal1);
    EXPECT_EQ(writes(portB), (std::vector<std::string>{inductive(11, 0, 14), inductive(23, 0, 0),
                                                       inductive(12, 0xFF9C, 14)}));
    const auto comm = paneLines(ui->ME_Comm);
    ASSERT_FALSE(comm.empty());
    EXPECT_EQ(comm.back(), "Neuer Offsetwert -1.00\u00DD C");
}

TEST_F(Calibration, TargetComesFromTheSettingsAndCal2UsesParameter16) {
    writeIni("[Calib]\nOffset=250\n");
    openLink(true);
    scriptModule(100, 1350, 2);  // diff = 1350 - (250 + 100) = 1000: still accepted
    click(ui->BtCal2);
    EXPECT_EQ(writes(portB),
              (std::vector<std::string>{inductive(11, 0, 16), inductive(23, 0, 1),
                                        inductive(12, static_cast<std::uint16_t>(-1000), 16)}));
}

TEST_F(Calibration, CorrectionBeyondTheLimitIsRefused) {
    openLink(true);
    scriptModule(0, 988);  // diff 1001
    click(ui->BtCal1);
    EXPECT_EQ(writes(portB).size(), 2u);
    EXPECT_EQ(paneLines(ui->ME_Comm).back(),
              "Kalibrierwert au\u00EEerhalb des erlaubten Bereiches");
    scriptModule(0, -1014);  // diff -1001
    click(ui->BtCal1);
    EXPECT_EQ(writes(portB).size(), 2u);
    scriptModule(0, -1013);  // diff -1000
    click(ui->BtCal1);
    EXPECT_EQ(writes(portB).size(), 3u);
}

TEST_F(Calibration, NoAnswerEndsSilentlyAfterTenPolls) {
    openLink(true);
    click(ui->BtCal1);
    EXPECT_EQ(writes(portB).size(), 1u);
    EXPECT_EQ(ui->ME_Comm->lineCount(), 0u);
    EXPECT_EQ(std::count(clock.sleeps.begin(), clock.sleeps.end(), 100ms),
              10 + 1);  // polls + break
}

TEST_F(FormCommands, RefusedFirmwareImageSaysWhyInTheProgressBar) {
    openLink();
    const QString blockCount = ui->ED_FW_BLH->text();
    struct Case {
        std::string image;
        std::string shown;
    };
    for (const Case& c :
         {Case{"ABC1\r\n" + std::string(300, 'x'),
               "Image refused: header tag 'ABC1' is not DKM2 + one byte + LF, the family this "
               "module type takes"},
          Case{"DKM2\r\n" + std::string(128 * 300, 'x'),
               "Image refused: 300 blocks, this module type takes at most 256"}}) {
        const auto image = folder_ / "fw.bin";
        std::ofstream(image, std::ios::binary) << c.image;
        dialogs.openAnswer = QString::fromStdString(image.string());
        click(ui->BT_FW_Start);
        EXPECT_TRUE(writes(portA).empty());
        EXPECT_TRUE(ui->FW_Progress->isTextVisible());
        EXPECT_EQ(ui->FW_Progress->format().toStdString(), c.shown);
        EXPECT_EQ(ui->ED_FW_BLH->text(), blockCount);  // the specified fields are untouched
    }
}

TEST_F(FormCommands, FirmwareStatusShowsGoodErrorOrTheMissingBlock) {
    openLink();
    ui->Ed_SNR->setText("1234");
    for (const auto& [wordPar, shown] : std::vector<std::pair<std::uint16_t, const char*>>{
             {0xFFFF, "Good"}, {0xFFFE, "Error"}, {3, "3"}, {0x8000, "-32768"}}) {
        click(ui->BT_FW_STAT);
        const auto reply = frames::buildStandardFrame(20, 0x500004D2, wordPar, 0, 0, 0);
        portA->queueInput({reply.begin(), reply.end()});
        form->Timer1Timer();
        EXPECT_EQ(ui->ED_FW_BL->text(), shown);
    }
}

TEST_F(FormCommands, FirmwareStartAsksForTheImageAndCancelStartsNothing) {
    openLink();
    ui->CB_ID->setChecked(true);
    ui->Ed_SNR->setText("1234");
    click(ui->BT_FW_Start);  // the dialog is cancelled
    EXPECT_EQ(dialogs.openRequests, QStringList{QString::fromUtf8("Binär-File|*.bin bin")});
    EXPECT_TRUE(writes(portA).empty());
    EXPECT_FALSE(form->firmware().running());

    const auto image = folder_ / "fw.bin";
    std::ofstream(image, std::ios::binary) << "DKM2\r\n" << std::string(300, 'x');
    dialogs.openAnswer = QString::fromStdString(image.string());
    click(ui->BT_FW_Start);
    EXPECT_EQ(writes(portA), (std::vector<std::string>{
                                 toHex(frames::buildCommandFrame(17, 0x500004D2, 3, 0x81, 0, 0))}));
    EXPECT_EQ(ui->ED_FW_BLH->text(), "3");
    click(ui->BT_FW_Start);  // running: restarts without a dialog
    EXPECT_EQ(dialogs.openRequests.size(), 2);
    for (int i = 0; i < 4; ++i) {
        form->Timer1Timer();
    }
    EXPECT_EQ(ui->ED_FW_BL->text(), "0");
    EXPECT_EQ(ui->FW_Progress->value(), 1);
    click(ui->BTClose);  // the transfer pauses with the link
    EXPECT_TRUE(ui->FW_Progress->isTextVisible());
    form->Timer1Timer();
    EXPECT_EQ(ui->FW_Progress->value(), 1);
    click(ui->BT_FW_Stop);  // disabled with the link closed
    EXPECT_TRUE(form->firmware().running());
    click(ui->BTOpen);
    EXPECT_FALSE(ui->FW_Progress->isTextVisible());
    click(ui->BT_FW_Stop);
    EXPECT_FALSE(form->firmware().running());
}
