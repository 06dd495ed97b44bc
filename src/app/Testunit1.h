#pragma once

#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "commands/radio_command.h"
#include "commands/service_commands.h"
#include "firmware/firmware_transfer.h"
#include "common/clock.h"
#include "frames/frame_sender.h"
#include "link/link.h"
#include "link/main_state.h"
#include "receive/poller.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTimer;

namespace qrt::app {
class Dialogs;
class LogPane;
}

/// What the main window is given by the program entry (or a test).
struct MainFormServices {
    std::unique_ptr<qrt::link::SerialPort> portA;
    std::unique_ptr<qrt::link::SerialPort> portB;
    qrt::common::Clock& clock;
    qrt::app::Dialogs& dialogs;
    std::string executablePath;  // the settings file sits beside it
    std::ostream& diagnostics;   // the link's diagnostic lines
    std::function<std::vector<std::string>()> availablePorts;
};

/// The main window: every control of the service tool, the shared state, the settings
/// file, Open and Close, and the operator's commands. It reads its controls, calls the
/// core and shows the results.
class TMainForm : public QWidget {
    Q_OBJECT

public:
    explicit TMainForm(MainFormServices services, QWidget* parent = nullptr);
    ~TMainForm() override;

    /// The archive window, shown by "Archives".
    void setArchiveWindow(QWidget* window) { archiveWindow_ = window; }

    qrt::link::MainState& state() { return state_; }
    qrt::receive::Poller& poller() { return poller_; }
    qrt::receive::ArchiveStore& archiveStore() { return archive_; }
    qrt::frames::FrameSender& sender() { return sender_; }
    qrt::common::Clock& clock() { return clock_; }
    qrt::firmware::FirmwareTransfer& firmware() { return *firmware_; }
    qrt::app::Dialogs& dialogs() { return dialogs_; }
    [[nodiscard]] QString serialText() const;
    [[nodiscard]] QString typeText() const;

    // Event handlers, named after their controls.
    void FormCreate();
    void FormClose();
    void BTOpenClick();
    void BTCloseClick();
    void Timer1Timer();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    class PaneSink;
    class FirmwareControls;

    void buildControls();
    void connectHandlers();
    void setLinkControlsOpen(bool open);
    void addCommLine(std::string_view line);

    void CB_MXLClick();
    void CB_BinClick();
    void CB_BroadcastClick();
    void CB_ContClick();
    void CB_Cont2Click();
    void CB_AuthClick();
    void ED_TypChange();
    void EDcrcChange();
    void BT_Radio_CMDClick();
    void BT_Ind_CMDClick();
    void BTNVWClick();
    void BTBeepClick();
    void CB_LEDChange(int index);
    void BtCalClick(int input);
    void BtArchivesClick();
    void BT_FW_StartClick();
    void showFirmwarePaused(bool paused);

    [[nodiscard]] qrt::commands::ConfigurationFields configurationFields() const;

    qrt::common::Clock& clock_;
    qrt::app::Dialogs& dialogs_;
    std::function<std::vector<std::string>()> availablePorts_;
    std::string executablePath_;
    qrt::link::Link link_;
    qrt::link::MainState state_;
    qrt::frames::FrameSender sender_;
    qrt::receive::ArchiveStore archive_;
    std::unique_ptr<PaneSink> sink_;
    qrt::receive::Poller poller_;
    qrt::commands::ServiceCommands commands_;
    std::unique_ptr<FirmwareControls> firmwareControls_;
    std::unique_ptr<qrt::firmware::FirmwareTransfer> firmware_;
    QWidget* archiveWindow_ = nullptr;

public:
    // Controls, named as on the form.
    QWidget* Panel1 = nullptr;
    QLabel* Label3 = nullptr;
    QComboBox* CB_ComA = nullptr;
    QLabel* Lb_Induktiv = nullptr;
    QComboBox* CB_ComB = nullptr;
    QCheckBox* CB_MXL = nullptr;
    QCheckBox* CB_Bin = nullptr;
    QPushButton* BTOpen = nullptr;
    QPushButton* BTClose = nullptr;
    QPushButton* BTReset = nullptr;
    QPushButton* BTNVP = nullptr;
    QComboBox* CBPar = nullptr;
    QLineEdit* EDPar = nullptr;
    QPushButton* BTNVW = nullptr;
    QPushButton* BTSTRT = nullptr;
    QPushButton* BTSTP = nullptr;
    QPushButton* BTRcvVer = nullptr;
    QPushButton* BtBoot = nullptr;
    QPushButton* BTSetRTC = nullptr;
    QPushButton* BTGetRTC = nullptr;
    QPushButton* BTLogOn = nullptr;
    QPushButton* BTLogOff = nullptr;
    QPushButton* BTCLEAR = nullptr;
    QLabel* Label12 = nullptr;
    QSpinBox* UD_Chan = nullptr;
    QLabel* Label13 = nullptr;
    QSpinBox* UD_Pwr = nullptr;
    QPushButton* BT_ChanPwr = nullptr;
    QSpinBox* UD_Beep = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* EdRSSI0 = nullptr;
    QComboBox* CB_LED = nullptr;
    QCheckBox* CBTast = nullptr;
    QPushButton* BTBeep = nullptr;
    QLineEdit* EdVersion = nullptr;
    QCheckBox* CBOnline = nullptr;
    QPushButton* BtTemp = nullptr;
    QPushButton* BtTemp1 = nullptr;
    QPushButton* BtTemp2 = nullptr;
    QPushButton* BtDig = nullptr;
    QPushButton* btLEDs = nullptr;
    QPushButton* BtCal1 = nullptr;
    QPushButton* BtCal2 = nullptr;
    QLabel* Label15 = nullptr;
    QLineEdit* EDcrc = nullptr;
    QPushButton* BtArchives = nullptr;
    QGroupBox* GB_Config = nullptr;
    QComboBox* CB_Cmd = nullptr;
    QCheckBox* CB_Filter = nullptr;
    QCheckBox* CB_Broadcast = nullptr;
    QLineEdit* ED_Typ = nullptr;
    QLineEdit* Ed_SNR = nullptr;
    QLineEdit* Ed_BytePar = nullptr;
    QCheckBox* CB_ByteHex = nullptr;
    QLineEdit* Ed_WordPar = nullptr;
    QCheckBox* CB_WordHex = nullptr;
    QCheckBox* CB_Cont = nullptr;
    QCheckBox* CB_ContHex = nullptr;
    QCheckBox* CB_Cont2 = nullptr;
    std::array<QLineEdit*, 8> Ed_Cont{};
    QPushButton* BT_Radio_CMD = nullptr;
    QPushButton* BT_Ind_CMD = nullptr;
    QGroupBox* Authenticate = nullptr;
    QCheckBox* CB_Auth = nullptr;
    std::array<QLineEdit*, 8> ED_Key{};
    QGroupBox* GB_FW = nullptr;
    QCheckBox* CB_ID = nullptr;
    QPushButton* BT_FW_Start = nullptr;
    QPushButton* BT_FW_Stop = nullptr;
    QLineEdit* ED_FW_BL = nullptr;
    QLineEdit* ED_FW_BLH = nullptr;
    QPushButton* BT_FW_STAT = nullptr;
    QPushButton* BT_Reboot = nullptr;
    QSpinBox* UD_Speed = nullptr;
    QProgressBar* FW_Progress = nullptr;
    qrt::app::LogPane* ME_Comm = nullptr;
    qrt::app::LogPane* ME_Debug = nullptr;
    QTimer* Timer1 = nullptr;
};
