#pragma once

#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/form_reader.h"
#include "commands/service_commands.h"
#include "core/tool_core.h"
#include "firmware/firmware_transfer.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTimer;
class QVBoxLayout;

namespace qrt::app {
class LogPane;
class ValuesWindow;
}  // namespace qrt::app
namespace qrt::ui {
class Dialogs;
}

/// What the main window is given by the program entry (or a test).
struct MainFormServices {
    qrt::core::ToolCore& core;
    qrt::ui::Dialogs& dialogs;
    std::string executablePath;  // the settings file sits beside it
    std::function<std::vector<std::string>()> availablePorts;
};

/// The main window: every control of the service tool, the settings file, Open and
/// Close, and the operator's commands. It reads its controls, calls the core and shows
/// the results; the core's objects are given to it by the program entry.
class TMainForm : public QWidget {
    Q_OBJECT

  public:
    explicit TMainForm(MainFormServices services, QWidget* parent = nullptr);
    ~TMainForm() override;

    /// How the window sets up the core it is given: six polls of rest after Open, a value
    /// history with points for the plots.
    [[nodiscard]] static qrt::core::CoreOptions coreOptions();

    /// The archive window, shown by "Archives".
    void setArchiveWindow(QWidget* window) { archiveWindow_ = window; }
    /// The values window, shown by "Werte" and the panes' context menu.
    void setValuesWindow(qrt::app::ValuesWindow* window) { valuesWindow_ = window; }
    /// The settings file this window reads and writes.
    [[nodiscard]] const std::string& settingsPath() const { return iniPath_; }

    /// The module typed in the serial number and type fields, when both scan (the
    /// archive window's module by radio, the firmware transfer's module).
    [[nodiscard]] std::optional<qrt::frames::ModuleAddress> typedModule() const;
    [[nodiscard]] const qrt::firmware::FirmwareTransfer& firmware() const { return *firmware_; }

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

    // The controls, created and laid out group by group.
    void buildControls();
    QVBoxLayout* buildServiceRows();  // the five rows of service buttons on Panel1
    void buildConfigGroup();          // "Konfigurationsprotokoll"
    void buildKeyGroup();             // "Authenticate"
    void buildFirmwareGroup();        // "Firmware-Update"
    void explainControls();           // a tooltip on each control
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
    void BtValuesClick();
    void BT_FW_StartClick();
    void showFirmwarePaused(bool paused);
    void savePane(const qrt::app::LogPane& pane);

    [[nodiscard]] qrt::app::ConfigurationForm configurationForm() const;

    qrt::core::ToolCore& core_;
    qrt::ui::Dialogs& dialogs_;
    std::function<std::vector<std::string>()> availablePorts_;
    std::string executablePath_;
    std::string iniPath_;
    std::unique_ptr<PaneSink> sink_;
    qrt::commands::ServiceCommands commands_;
    std::unique_ptr<FirmwareControls> firmwareControls_;
    std::unique_ptr<qrt::firmware::FirmwareTransfer> firmware_;
    qrt::common::Attachment attached_;  // ends first: nothing of the core points here then
    QWidget* archiveWindow_ = nullptr;
    qrt::app::ValuesWindow* valuesWindow_ = nullptr;

    // Controls, named as on the form; tests find them by these object names.
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
    QPushButton* BtValues = nullptr;  // opens the values window
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
