#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimeEdit>
#include <QTimer>
#include <array>
#include <stdexcept>
#include <string>

#include "app/log_pane.h"
#include "core/tool_core.h"

namespace qrt::testing {

/// Polls through the rest the window gives the devices after Open.
inline void passStartupPolls(core::ToolCore& core) {
    while (core.poller.startupPollsLeft() > 0) {
        core.poller.poll();
    }
}

/// A control of a window, found by its object name (the control's name on the form).
template <typename Control>
Control* control(const QObject& window, const char* name) {
    auto* found = window.findChild<Control*>(QString::fromLatin1(name));
    if (found == nullptr) {
        throw std::logic_error(std::string("no control ") + name);
    }
    return found;
}

/// The main window's controls, found by name, for tests to click and read.
struct MainFormControls {
    explicit MainFormControls(const QObject& form)
        : Panel1(control<QWidget>(form, "Panel1")),
          Label3(control<QLabel>(form, "Label3")),
          CB_ComA(control<QComboBox>(form, "CB_ComA")),
          Lb_Induktiv(control<QLabel>(form, "Lb_Induktiv")),
          CB_ComB(control<QComboBox>(form, "CB_ComB")),
          CB_MXL(control<QCheckBox>(form, "CB_MXL")),
          CB_Bin(control<QCheckBox>(form, "CB_Bin")),
          BTOpen(control<QPushButton>(form, "BTOpen")),
          BTClose(control<QPushButton>(form, "BTClose")),
          BTReset(control<QPushButton>(form, "BTReset")),
          BTNVP(control<QPushButton>(form, "BTNVP")),
          CBPar(control<QComboBox>(form, "CBPar")),
          EDPar(control<QLineEdit>(form, "EDPar")),
          BTNVW(control<QPushButton>(form, "BTNVW")),
          BTSTRT(control<QPushButton>(form, "BTSTRT")),
          BTSTP(control<QPushButton>(form, "BTSTP")),
          BTRcvVer(control<QPushButton>(form, "BTRcvVer")),
          BtBoot(control<QPushButton>(form, "BtBoot")),
          BTSetRTC(control<QPushButton>(form, "BTSetRTC")),
          BTGetRTC(control<QPushButton>(form, "BTGetRTC")),
          BTLogOn(control<QPushButton>(form, "BTLogOn")),
          BTLogOff(control<QPushButton>(form, "BTLogOff")),
          BTCLEAR(control<QPushButton>(form, "BTCLEAR")),
          Label12(control<QLabel>(form, "Label12")),
          UD_Chan(control<QSpinBox>(form, "UD_Chan")),
          Label13(control<QLabel>(form, "Label13")),
          UD_Pwr(control<QSpinBox>(form, "UD_Pwr")),
          BT_ChanPwr(control<QPushButton>(form, "BT_ChanPwr")),
          UD_Beep(control<QSpinBox>(form, "UD_Beep")),
          Label2(control<QLabel>(form, "Label2")),
          EdRSSI0(control<QLineEdit>(form, "EdRSSI0")),
          CB_LED(control<QComboBox>(form, "CB_LED")),
          CBTast(control<QCheckBox>(form, "CBTast")),
          BTBeep(control<QPushButton>(form, "BTBeep")),
          EdVersion(control<QLineEdit>(form, "EdVersion")),
          CBOnline(control<QCheckBox>(form, "CBOnline")),
          BtTemp(control<QPushButton>(form, "BtTemp")),
          BtTemp1(control<QPushButton>(form, "BtTemp1")),
          BtTemp2(control<QPushButton>(form, "BtTemp2")),
          BtDig(control<QPushButton>(form, "BtDig")),
          btLEDs(control<QPushButton>(form, "btLEDs")),
          BtCal1(control<QPushButton>(form, "BtCal1")),
          BtCal2(control<QPushButton>(form, "BtCal2")),
          Label15(control<QLabel>(form, "Label15")),
          EDcrc(control<QLineEdit>(form, "EDcrc")),
          BtArchives(control<QPushButton>(form, "BtArchives")),
          GB_Config(control<QGroupBox>(form, "GB_Config")),
          CB_Cmd(control<QComboBox>(form, "CB_Cmd")),
          CB_Filter(control<QCheckBox>(form, "CB_Filter")),
          CB_Broadcast(control<QCheckBox>(form, "CB_Broadcast")),
          ED_Typ(control<QLineEdit>(form, "ED_Typ")),
          Ed_SNR(control<QLineEdit>(form, "Ed_SNR")),
          Ed_BytePar(control<QLineEdit>(form, "Ed_BytePar")),
          CB_ByteHex(control<QCheckBox>(form, "CB_ByteHex")),
          Ed_WordPar(control<QLineEdit>(form, "Ed_WordPar")),
          CB_WordHex(control<QCheckBox>(form, "CB_WordHex")),
          CB_Cont(control<QCheckBox>(form, "CB_Cont")),
          CB_ContHex(control<QCheckBox>(form, "CB_ContHex")),
          CB_Cont2(control<QCheckBox>(form, "CB_Cont2")),
          BT_Radio_CMD(control<QPushButton>(form, "BT_Radio_CMD")),
          BT_Ind_CMD(control<QPushButton>(form, "BT_Ind_CMD")),
          Authenticate(control<QGroupBox>(form, "Authenticate")),
          CB_Auth(control<QCheckBox>(form, "CB_Auth")),
          GB_FW(control<QGroupBox>(form, "GB_FW")),
          CB_ID(control<QCheckBox>(form, "CB_ID")),
          BT_FW_Start(control<QPushButton>(form, "BT_FW_Start")),
          BT_FW_Stop(control<QPushButton>(form, "BT_FW_Stop")),
          ED_FW_BL(control<QLineEdit>(form, "ED_FW_BL")),
          ED_FW_BLH(control<QLineEdit>(form, "ED_FW_BLH")),
          BT_FW_STAT(control<QPushButton>(form, "BT_FW_STAT")),
          BT_Reboot(control<QPushButton>(form, "BT_Reboot")),
          UD_Speed(control<QSpinBox>(form, "UD_Speed")),
          FW_Progress(control<QProgressBar>(form, "FW_Progress")),
          ME_Comm(control<app::LogPane>(form, "ME_Comm")),
          ME_Debug(control<app::LogPane>(form, "ME_Debug")),
          Timer1(control<QTimer>(form, "Timer1")) {
        for (std::size_t i = 0; i < 8; ++i) {
            Ed_Cont[i] = control<QLineEdit>(form, ("Ed_Cont" + std::to_string(i + 1)).c_str());
            ED_Key[i] = control<QLineEdit>(form, ("ED_Key" + std::to_string(i + 1)).c_str());
        }
    }

    QWidget* Panel1;
    QLabel* Label3;
    QComboBox* CB_ComA;
    QLabel* Lb_Induktiv;
    QComboBox* CB_ComB;
    QCheckBox* CB_MXL;
    QCheckBox* CB_Bin;
    QPushButton* BTOpen;
    QPushButton* BTClose;
    QPushButton* BTReset;
    QPushButton* BTNVP;
    QComboBox* CBPar;
    QLineEdit* EDPar;
    QPushButton* BTNVW;
    QPushButton* BTSTRT;
    QPushButton* BTSTP;
    QPushButton* BTRcvVer;
    QPushButton* BtBoot;
    QPushButton* BTSetRTC;
    QPushButton* BTGetRTC;
    QPushButton* BTLogOn;
    QPushButton* BTLogOff;
    QPushButton* BTCLEAR;
    QLabel* Label12;
    QSpinBox* UD_Chan;
    QLabel* Label13;
    QSpinBox* UD_Pwr;
    QPushButton* BT_ChanPwr;
    QSpinBox* UD_Beep;
    QLabel* Label2;
    QLineEdit* EdRSSI0;
    QComboBox* CB_LED;
    QCheckBox* CBTast;
    QPushButton* BTBeep;
    QLineEdit* EdVersion;
    QCheckBox* CBOnline;
    QPushButton* BtTemp;
    QPushButton* BtTemp1;
    QPushButton* BtTemp2;
    QPushButton* BtDig;
    QPushButton* btLEDs;
    QPushButton* BtCal1;
    QPushButton* BtCal2;
    QLabel* Label15;
    QLineEdit* EDcrc;
    QPushButton* BtArchives;
    QGroupBox* GB_Config;
    QComboBox* CB_Cmd;
    QCheckBox* CB_Filter;
    QCheckBox* CB_Broadcast;
    QLineEdit* ED_Typ;
    QLineEdit* Ed_SNR;
    QLineEdit* Ed_BytePar;
    QCheckBox* CB_ByteHex;
    QLineEdit* Ed_WordPar;
    QCheckBox* CB_WordHex;
    QCheckBox* CB_Cont;
    QCheckBox* CB_ContHex;
    QCheckBox* CB_Cont2;
    QPushButton* BT_Radio_CMD;
    QPushButton* BT_Ind_CMD;
    QGroupBox* Authenticate;
    QCheckBox* CB_Auth;
    QGroupBox* GB_FW;
    QCheckBox* CB_ID;
    QPushButton* BT_FW_Start;
    QPushButton* BT_FW_Stop;
    QLineEdit* ED_FW_BL;
    QLineEdit* ED_FW_BLH;
    QPushButton* BT_FW_STAT;
    QPushButton* BT_Reboot;
    QSpinBox* UD_Speed;
    QProgressBar* FW_Progress;
    app::LogPane* ME_Comm;
    app::LogPane* ME_Debug;
    QTimer* Timer1;
    std::array<QLineEdit*, 8> Ed_Cont{};
    std::array<QLineEdit*, 8> ED_Key{};
};

/// The archive window's controls, found by name.
struct ArchiveWindowControls {
    explicit ArchiveWindowControls(const QObject& window)
        : RB_Ind(control<QRadioButton>(window, "RB_Ind")),
          RB_Radio(control<QRadioButton>(window, "RB_Radio")),
          Ed_ID(control<QLineEdit>(window, "Ed_ID")),
          DTP_Date(control<QDateEdit>(window, "DTP_Date")),
          DTP_Time(control<QTimeEdit>(window, "DTP_Time")),
          ED_Status(control<QLineEdit>(window, "ED_Status")),
          ED_Date(control<QLineEdit>(window, "ED_Date")),
          ED_Time(control<QLineEdit>(window, "ED_Time")),
          BtInfo(control<QPushButton>(window, "BtInfo")),
          Bt_CSV(control<QPushButton>(window, "Bt_CSV")),
          Bt_Plot(control<QPushButton>(window, "Bt_Plot")),
          BtClose(control<QPushButton>(window, "BtClose")),
          Archive_Progress(control<QProgressBar>(window, "Archive_Progress")) {}

    QRadioButton* RB_Ind;
    QRadioButton* RB_Radio;
    QLineEdit* Ed_ID;
    QDateEdit* DTP_Date;
    QTimeEdit* DTP_Time;
    QLineEdit* ED_Status;
    QLineEdit* ED_Date;
    QLineEdit* ED_Time;
    QPushButton* BtInfo;
    QPushButton* Bt_CSV;
    QPushButton* Bt_Plot;
    QPushButton* BtClose;
    QProgressBar* Archive_Progress;
};

}  // namespace qrt::testing
