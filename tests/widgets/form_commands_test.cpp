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
    click(form->BTSTRT);
    EXPECT_EQ(inductiveTraffic(), (std::vector<std::string>{"break on", "break off",
                                                            "0D 4F 50 52 31 2C 34 2C 31 0D"}));
    EXPECT_EQ(clock.sleeps, (std::vector<std::chrono::milliseconds>{50ms, 100ms}));
    click(form->BTReset);
    click(form->BTSTP);
    click(form->BTNVP);
    EXPECT_EQ(writes(portB), (std::vector<std::string>{text("\rVER\r"), text("\rOPR0\r"),
                                                       text("\rNVP0\r")}));
    for (QPushButton* silent : {form->BTLogOn, form->BTLogOff, form->BTSetRTC, form->BTGetRTC,
                                form->BtTemp, form->BtTemp1, form->BtTemp2, form->BtDig,
                                form->btLEDs, form->BtCal1, form->BT_Ind_CMD}) {
        click(silent);
    }
    EXPECT_TRUE(inductiveTraffic().empty());  // binary protocol only: not even a break
}

TEST_F(FormCommands, WriteParameterInTextAndBinaryForm) {
    openLink(false);
    form->CBPar->setCurrentIndex(18);  // "20 SetCnt1"
    form->EDPar->setText("0x10");
    click(form->BTNVW);
    form->EDPar->setText("-2");
    click(form->BTNVW);
    form->EDPar->setText("");
    click(form->BTNVW);
    form->EDPar->setText("abc");
    click(form->BTNVW);
    EXPECT_EQ(writes(portB), (std::vector<std::string>{text("\rNVW20,16\r"), text("\rNVW20,-2\r")}));
    form->CB_Bin->setChecked(true);
    form->EDPar->setText("0x10");
    click(form->BTNVW);
    form->EDPar->setText("-2");
    click(form->BTNVW);
    EXPECT_EQ(writes(portB), (std::vector<std::string>{inductive(12, 16, 20), inductive(12, 0xFFFE, 20)}));
}

TEST_F(FormCommands, BinaryServiceButtonsSendTheirFrames) {
    openLink(true);
    for (QPushButton* b : {form->BTReset, form->BTNVP, form->BTSTRT, form->BTSTP, form->BTLogOn,
                           form->BTLogOff, form->BtTemp, form->BtTemp1, form->BtTemp2, form->BtDig,
                           form->btLEDs}) {
        click(b);
    }
    EXPECT_EQ(writes(portB),
              (std::vector<std::string>{inductive(15, 0, 0), inductive(11, 0, 255), inductive(16, 4, 1),
                                        inductive(16, 0, 0), inductive(16, 0, 0x82), inductive(16, 0, 0x80),
                                        inductive(23, 0, 0), inductive(23, 0, 1), inductive(23, 0, 2),
                                        inductive(23, 0, 3), inductive(23, 4, 4)}));
}

TEST_F(FormCommands, ClockIsSetInBcdFromUtcAndReadWithAPause) {
    openLink(true);
    clock.utc = {2026, 12, 7, 13, 5, 9, 0};
    clock.local = {2026, 12, 7, 14, 5, 9, 0};
    click(form->BTSetRTC);
    EXPECT_EQ(writes(portB), (std::vector<std::string>{inductive(12, 0x0509, 66), inductive(12, 0x0713, 68),
                                                       inductive(12, 0x2612, 71)}));
    EXPECT_EQ(clock.sleeps, (std::vector<std::chrono::milliseconds>{50ms, 100ms, 200ms, 50ms, 100ms,
                                                                     200ms, 50ms, 100ms}));
    clock.sleeps.clear();
    click(form->BTGetRTC);
    EXPECT_EQ(writes(portB), (std::vector<std::string>{inductive(11, 0, 65), inductive(11, 0, 66)}));
    EXPECT_EQ(clock.sleeps, (std::vector<std::chrono::milliseconds>{50ms, 100ms, 400ms, 50ms, 100ms}));
}

TEST_F(FormCommands, RadioCommandWithTwoContentFramesAndAuthenticator) {
    openLink();
    form->CB_Cmd->setCurrentIndex(14);  // DBW
    form->Ed_SNR->setText("1234");
    form->ED_Typ->setText("5");
    form->Ed_BytePar->setText("300");
    form->Ed_WordPar->setText("-1");
    form->CB_Cont->setChecked(true);
    form->CB_Cont2->setChecked(true);
    form->CB_ContHex->setChecked(true);
    for (std::size_t i = 0; i < 8; ++i) {
        form->Ed_Cont[i]->setText(QString::number(0x1110 * (i + 1), 16));
    }
    form->CB_Auth->setChecked(true);
    EXPECT_TRUE(form->ED_Key[0]->isEnabled());
    form->state().frameSequence = 7;
    click(form->BT_Radio_CMD);
    const auto out = writes(portA);
    ASSERT_EQ(out.size(), 4u);
    const auto command = frames::buildCommandFrame(26, 0x500004D2, 0xFFFF, 0x2C, 7, 0);
    EXPECT_EQ(out[0], toHex(command));
    EXPECT_EQ(out[0].substr(3, 11), "D2 04 00 50");
    EXPECT_EQ(out[1], toHex(frames::buildContentFrame({0x10, 0x11, 0x20, 0x22, 0x30, 0x33, 0x40, 0x44}, 0)));
    const frames::ContentBlock second{0x50, 0x55, 0x60, 0x66, 0x70, 0x77, 0x80, 0x88};
    EXPECT_EQ(out[2], toHex(frames::buildContentFrame(second, 0)));
    const frames::TeaKey key{0x45670123, 0xCDEF89AB, 0xBA98FEDC, 0x32107654};
    EXPECT_EQ(out[3], toHex(frames::buildContentFrame(frames::authenticatorBlock(command, second, key), 0)));
    EXPECT_EQ(form->state().frameSequence, 8);
}

TEST_F(FormCommands, BroadcastAndScanFormatsAndTheSequenceWrap) {
    openLink();
    form->Ed_SNR->setText("010");
    form->ED_Typ->setText("5");
    click(form->BT_Radio_CMD);
    EXPECT_EQ(writes(portA)[0].substr(0, 14), "0A 08 00 00 50");  // INF to 5.8: "%i" reads octal
    form->CB_Broadcast->setChecked(true);
    EXPECT_FALSE(form->Ed_SNR->isEnabled());
    form->CB_Cmd->setCurrentIndex(8);  // DATA
    form->CB_ByteHex->setChecked(true);
    form->Ed_BytePar->setText("ff");
    for (int i = 0; i < 255; ++i) {
        click(form->BT_Radio_CMD);
    }
    const auto out = writes(portA);
    ASSERT_EQ(out.size(), 255u);
    EXPECT_EQ(out[0].substr(0, 26), "00 FF FF FF FF 00 00 FF 01");
    EXPECT_EQ(form->state().frameSequence, 0);  // 256 commands: back where it started
}

TEST_F(FormCommands, InductiveConfigurationCommandCarriesCodeAndParametersOnly) {
    openLink(true);
    form->CB_Cmd->setCurrentIndex(14);
    form->Ed_BytePar->setText("20");
    form->Ed_WordPar->setText("0x1234");
    click(form->BT_Ind_CMD);
    EXPECT_EQ(writes(portB), (std::vector<std::string>{inductive(26, 0x1234, 20)}));
}

TEST_F(FormCommands, IdFilterFollowsItsFourTriggers) {
    createForm();
    form->Ed_SNR->setText("12");
    form->ED_Typ->setText("x");
    EXPECT_EQ(form->state().idFilter, 0u);
    form->CB_Filter->setChecked(true);
    EXPECT_EQ(form->state().idFilter, 12u);
    form->ED_Typ->setText("5");
    EXPECT_EQ(form->state().idFilter, 0x5000000Cu);
    form->CB_Broadcast->setChecked(true);  // not a trigger by itself
    EXPECT_EQ(form->state().idFilter, 0x5000000Cu);
    form->CB_ID->setChecked(true);
    EXPECT_EQ(form->state().idFilter, 0xFFFFFFFFu);
    form->CB_Filter->setChecked(false);
    EXPECT_EQ(form->state().idFilter, 0u);
}

TEST_F(FormCommands, CrcStartComesFromItsFieldAndKeepsItsValueOnJunk) {
    openLink();
    form->EDcrc->setText("1D0F");
    EXPECT_EQ(form->state().crcStart, 0x1D0F);
    form->EDcrc->setText("xyz");
    EXPECT_EQ(form->state().crcStart, 0x1D0F);
    click(form->BT_Radio_CMD);
    EXPECT_EQ(writes(portA)[0], toHex(frames::buildCommandFrame(10, 0x50000000, 0, 0, 0, 0x1D0F)));
}

TEST_F(FormCommands, BoxCommandsGoOnlyOverTheMultiplexedLink) {
    openLink();
    click(form->BTRcvVer);
    click(form->BtBoot);
    EXPECT_TRUE(writes(portA).empty());
    click(form->BTClose);
    form->CB_MXL->setChecked(true);
    click(form->BTOpen);
    click(form->BTRcvVer);
    click(form->BtBoot);
    form->UD_Beep->setValue(7);
    clock.sleeps.clear();
    click(form->BTBeep);
    EXPECT_EQ(clock.sleeps, (std::vector<std::chrono::milliseconds>{10ms}));
    form->CB_LED->setCurrentIndex(12);  // by program: nothing
    QTest::keyClick(form->CB_LED, Qt::Key_Up);  // by the operator: sent
    EXPECT_EQ(writes(portA), (std::vector<std::string>{"02 02 E0 10 03", "02 02 F0 10 03",
                                                       "02 02 87 10 03", "02 02 16 10 03"}));
}

TEST_F(FormCommands, RadioSettingsTextsWithTheirPauses) {
    openLink();
    click(form->BT_ChanPwr);
    EXPECT_EQ(writes(portA), (std::vector<std::string>{text("ER_CMD#C7"), text("ACK"), text("ER_CMD#p9"),
                                                       text("ACK")}));
    EXPECT_EQ(clock.sleeps, (std::vector<std::chrono::milliseconds>{35ms, 100ms, 35ms}));
}

namespace {

class Calibration : public FormCommands {
protected:
    // The module's answers: its offset parameter, then the measured temperature.
    void scriptModule(std::int16_t oldOffset, std::int16_t measured, int input = 1) {
        const auto reply = frames::buildStandardFrame(2, 0x60000010, static_cast<std::uint16_t>(oldOffset),
                                                      input == 1 ? 14 : 16, 1, 0);
        const auto telegram = frames::buildStandardFrame(0x20, 0x60000010,
                                                         static_cast<std::uint16_t>(measured),
                                                         input == 1 ? 2 : 3, 2, 0);
        portA->queueInput({reply.begin(), reply.end()});
        portA->queueInput({});  // a poll with nothing
        portA->queueInput({telegram.begin(), telegram.end()});
    }
};

}  // namespace

TEST_F(Calibration, WritesTheOffsetThatBringsTheReadingToTheTarget) {
    openLink(true);
    scriptModule(0, 87);
    click(form->BtCal1);
    EXPECT_EQ(writes(portB), (std::vector<std::string>{inductive(11, 0, 14), inductive(23, 0, 0),
                                                       inductive(12, 0xFF9C, 14)}));
    const auto comm = paneLines(form->ME_Comm);
    ASSERT_FALSE(comm.empty());
    EXPECT_EQ(comm.back(), "Neuer Offsetwert -1.00\u00DD C");
}

TEST_F(Calibration, TargetComesFromTheSettingsAndCal2UsesParameter16) {
    writeIni("[Calib]\nOffset=250\n");
    openLink(true);
    scriptModule(100, 1350, 2);  // diff = 1350 - (250 + 100) = 1000: still accepted
    click(form->BtCal2);
    EXPECT_EQ(writes(portB), (std::vector<std::string>{inductive(11, 0, 16), inductive(23, 0, 1),
                                                       inductive(12, static_cast<std::uint16_t>(-1000), 16)}));
}

TEST_F(Calibration, CorrectionBeyondTheLimitIsRefused) {
    openLink(true);
    scriptModule(0, 988);  // diff 1001
    click(form->BtCal1);
    EXPECT_EQ(writes(portB).size(), 2u);
    EXPECT_EQ(paneLines(form->ME_Comm).back(), "Kalibrierwert au\u00EEerhalb des erlaubten Bereiches");
    scriptModule(0, -1014);  // diff -1001
    click(form->BtCal1);
    EXPECT_EQ(writes(portB).size(), 2u);
    scriptModule(0, -1013);  // diff -1000
    click(form->BtCal1);
    EXPECT_EQ(writes(portB).size(), 3u);
}

TEST_F(Calibration, NoAnswerEndsSilentlyAfterTenPolls) {
    openLink(true);
    click(form->BtCal1);
    EXPECT_EQ(writes(portB).size(), 1u);
    EXPECT_EQ(form->ME_Comm->lineCount(), 0u);
    EXPECT_EQ(std::count(clock.sleeps.begin(), clock.sleeps.end(), 100ms), 10 + 1);  // polls + break
}

TEST_F(FormCommands, FirmwareStartAsksForTheImageAndCancelStartsNothing) {
    openLink();
    form->CB_ID->setChecked(true);
    form->Ed_SNR->setText("1234");
    click(form->BT_FW_Start);  // the dialog is cancelled
    EXPECT_EQ(dialogs.openRequests, QStringList{QString::fromUtf8("Binär-File|*.bin bin")});
    EXPECT_TRUE(writes(portA).empty());
    EXPECT_FALSE(form->firmware().running());

    const auto image = folder_ / "fw.bin";
    std::ofstream(image, std::ios::binary) << "DKM2\r\n" << std::string(300, 'x');
    dialogs.openAnswer = QString::fromStdString(image.string());
    click(form->BT_FW_Start);
    EXPECT_EQ(writes(portA), (std::vector<std::string>{
                                 toHex(frames::buildCommandFrame(17, 0x500004D2, 3, 0x81, 0, 0))}));
    EXPECT_EQ(form->ED_FW_BLH->text(), "3");
    click(form->BT_FW_Start);  // running: restarts without a dialog
    EXPECT_EQ(dialogs.openRequests.size(), 2);
    for (int i = 0; i < 4; ++i) {
        form->Timer1Timer();
    }
    EXPECT_EQ(form->ED_FW_BL->text(), "0");
    EXPECT_EQ(form->FW_Progress->value(), 1);
    click(form->BTClose);  // the transfer pauses with the link
    EXPECT_TRUE(form->FW_Progress->isTextVisible());
    form->Timer1Timer();
    EXPECT_EQ(form->FW_Progress->value(), 1);
    click(form->BT_FW_Stop);  // disabled with the link closed
    EXPECT_TRUE(form->firmware().running());
    click(form->BTOpen);
    EXPECT_FALSE(form->FW_Progress->isTextVisible());
    click(form->BT_FW_Stop);
    EXPECT_FALSE(form->firmware().running());
}
