#include "app/Testunit1.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QSpinBox>
#include <QTimer>
#include <filesystem>
#include <iostream>

#include "app/form_reader.h"
#include "app/log_pane.h"
#include "app/values_window.h"
#include "commands/calibration.h"
#include "commands/command_tables.h"
#include "common/settings_file.h"
#include "common/settings_location.h"
#include "common/text_format.h"
#include "common/version.h"
#include "core/tool_settings.h"
#include "link/interfaces.h"
#include "ui/dialogs.h"
#include "ui/save_file.h"

using namespace qrt;

namespace {

constexpr int kStartupSkipPolls = 6;  // three seconds for the devices to settle

std::string text(const QLineEdit* edit) {
    return edit->text().toStdString();
}
std::string text(const QComboBox* combo) {
    return combo->currentText().toStdString();
}

}  // namespace

/// Decoded lines, the box status and the end of each poll go to the window's controls.
class TMainForm::PaneSink final : public receive::LineSink,
                                  public receive::BoxStatusSink,
                                  public receive::MeasurementSink {
  public:
    explicit PaneSink(TMainForm& form) : form_(form) {}
    std::string& beginLine(receive::Pane pane) override {
        pane_ = pane;
        line_.clear();
        return line_;
    }
    void endLine() override {
        (pane_ == receive::Pane::Debug ? form_.ME_Debug : form_.ME_Comm)->appendLine(line_);
    }
    void showKeyState(bool pressed) override { form_.CBTast->setChecked(pressed); }
    void showBoxVersion(std::uint32_t version) override {
        form_.EdVersion->setText(QString::fromStdString(common::format<"%04X">(version)));
    }
    void showBackgroundLevel(std::int32_t level) override {
        form_.EdRSSI0->setText(QString::number(level));
    }
    // The values go to the core's history first; the values window shows what is new.
    void addMeasurements(std::span<const receive::Measurement>) override {}
    void pollFinished() override {
        if (form_.valuesWindow_ != nullptr) {
            form_.valuesWindow_->pollFinished();
        }
    }

  private:
    TMainForm& form_;
    receive::Pane pane_ = receive::Pane::Debug;
    std::string line_;
};

/// The firmware group's controls as the transfer sees them.
class TMainForm::FirmwareControls final : public firmware::FirmwareView {
  public:
    explicit FirmwareControls(TMainForm& form) : form_(form) {}
    [[nodiscard]] firmware::FirmwareTarget target() const override {
        return {form_.CB_ID->isChecked(), form_.typedModule()};
    }
    [[nodiscard]] int speed() const override { return form_.UD_Speed->value(); }
    void showBlock(std::uint32_t index) override {
        form_.ED_FW_BL->setText(QString::number(index));
    }
    void showBlockCount(std::uint32_t count) override {
        form_.ED_FW_BLH->setText(QString::number(count));
    }
    void showStatus(const firmware::FirmwareStatus& status) override {
        using Kind = firmware::FirmwareStatus::Kind;
        form_.ED_FW_BL->setText(status.kind == Kind::Complete ? QString("Good")
                                : status.kind == Kind::Faulty ? QString("Error")
                                                              : QString::number(status.block));
    }
    void showProgress(std::uint32_t sent, std::uint32_t count) override {
        form_.FW_Progress->setRange(0, static_cast<int>(std::max<std::uint32_t>(count, 1)));
        form_.FW_Progress->setValue(static_cast<int>(sent));
    }

  private:
    TMainForm& form_;
};

TMainForm::TMainForm(MainFormServices services, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      core_(services.core),
      dialogs_(services.dialogs),
      availablePorts_(std::move(services.availablePorts)),
      executablePath_(std::move(services.executablePath)),
      sink_(std::make_unique<PaneSink>(*this)),
      commands_(core_.sender, core_.clock),
      firmwareControls_(std::make_unique<FirmwareControls>(*this)),
      firmware_(std::make_unique<firmware::FirmwareTransfer>(core_.sender, core_.clock,
                                                             *firmwareControls_)) {
    setObjectName("MainForm");
    setWindowTitle("QRT Test");
    buildControls();
    explainControls();
    setFixedSize(571, 713);
    attached_ = core_.attach(
        {.lines = sink_.get(),
         .measurements = sink_.get(),
         .boxStatus = sink_.get(),
         .firmwarePacing = [this] { firmware_->pace(); },
         .firmwareStatus =
             [this](const frames::StandardFrame& frame) { firmware_->statusReply(frame); }});
    connectHandlers();
    setLinkControlsOpen(false);
    BTRcvVer->setEnabled(true);
    FormCreate();
    Timer1->start();
}

TMainForm::~TMainForm() = default;

core::CoreOptions TMainForm::coreOptions() {
    return {.poller = {.startupSkipPolls = kStartupSkipPolls}, .keepValuePoints = true};
}

std::optional<frames::ModuleAddress> TMainForm::typedModule() const {
    return app::typedModule(text(Ed_SNR), text(ED_Typ));
}

void TMainForm::FormCreate() {
    setWindowTitle(QString::fromStdString(
        common::format<"QRT-Tester - V%d.%d.%d.%d">(common::kVersionMajor, common::kVersionMinor,
                                                    common::kVersionPatch, common::kVersionTweak)));
    iniPath_ = common::settingsPath(executablePath_, common::systemSettingsEnvironment());
    const core::ToolSettings settings = core::readToolSettings(common::SettingsFile(iniPath_));
    for (QComboBox* combo : {CB_ComA, CB_ComB}) {
        QStringList names;
        for (const std::string& name :
             availablePorts_ ? availablePorts_() : std::vector<std::string>{}) {
            names << QString::fromStdString(name);
        }
        for (int i = 1; i <= 16; ++i) {
            const QString usual =
                i <= 4 ? QString("ttyS%1").arg(i - 1) : QString("ttyUSB%1").arg(i - 5);
            if (!names.contains(usual)) {
                names << usual;
            }
        }
        combo->addItems(names);
    }
    CB_ComA->setEditText(QString::fromStdString(settings.interfaceA));
    CB_ComB->setEditText(QString::fromStdString(settings.interfaceB));
    CBPar->setCurrentIndex(3);
    CB_MXL->setChecked(settings.multiplexed);
    CB_MXLClick();
    CB_Bin->setChecked(settings.binaryProtocol);
    CB_BinClick();
    CB_LED->setCurrentIndex(1);
    CB_Cmd->setCurrentIndex(0);
    CBPar->setCurrentIndex(3);
    Ed_SNR->setText(QString::fromStdString(settings.serial));
    ED_Typ->setText(QString::fromStdString(settings.type));
}

void TMainForm::FormClose() {
    std::error_code ignored;  // a folder that cannot be made shows as a failed write
    std::filesystem::create_directories(std::filesystem::path(iniPath_).parent_path(), ignored);
    common::SettingsFile file(iniPath_);
    const bool saved =
        core::writeToolSettings(file, {.interfaceA = text(CB_ComA),
                                       .interfaceB = text(CB_ComB),
                                       .multiplexed = core_.link.multiplexed(),
                                       .binaryProtocol = core_.protocol.binaryProtocol,
                                       .serial = text(Ed_SNR),
                                       .type = text(ED_Typ)});
    if (!saved) {
        // Said once, where a technician or a script can see it.
        const std::string line = "Settings not saved: cannot write " + iniPath_;
        std::cerr << "qrt-tester: " << line << std::endl;
        ME_Debug->appendLine(line);
    }
}

void TMainForm::closeEvent(QCloseEvent* event) {
    FormClose();
    if (archiveWindow_ != nullptr) {
        archiveWindow_->close();
    }
    if (valuesWindow_ != nullptr) {
        valuesWindow_->close();
    }
    event->accept();
}

void TMainForm::setLinkControlsOpen(bool open) {
    for (QWidget* control : std::initializer_list<QWidget*>{
             BTReset,  BTNVP,    BTNVW,      BTSTRT,  BTSTP,    BTRcvVer,   BTBeep, BT_Radio_CMD,
             BTSetRTC, BTGetRTC, BT_Ind_CMD, BTLogOn, BTLogOff, BT_ChanPwr, BtTemp, BtTemp1,
             BtTemp2,  BtDig,    btLEDs,     BtCal1,  BtCal2,   BtArchives, GB_FW,  BTClose}) {
        control->setEnabled(open);
    }
    for (QWidget* control : std::initializer_list<QWidget*>{BTOpen, CB_ComA, CB_ComB, CB_MXL}) {
        control->setEnabled(!open);
    }
}

void TMainForm::BTOpenClick() {
    setLinkControlsOpen(true);
    core_.poller.skipStartupPolls();
    const std::string logPath = core::readToolSettings(common::SettingsFile(iniPath_)).logFile;
    if (!logPath.empty()) {
        core_.logFile.open(logPath);  // no log when it cannot be opened
    }
    const auto failed = link::openInterfaces(core_.link, text(CB_ComA), text(CB_ComB));
    if (!failed) {
        showFirmwarePaused(false);
        return;
    }
    const std::string message = common::format<"Can't open %s">(failed->name.c_str());
    BTCloseClick();
    dialogs_.message(this, "QRTTest", QString::fromStdString(message),
                     QString::fromStdString(failed->result.failure));
}

void TMainForm::BTCloseClick() {
    setLinkControlsOpen(false);
    showFirmwarePaused(firmware_->running());
    core_.logFile.close();
    core_.link.ClosePort(link::Port::A);
    if (!core_.link.multiplexed()) {
        core_.link.ClosePort(link::Port::B);
    }
}

void TMainForm::Timer1Timer() {
    core_.poller.poll();
    if (const auto lost = core_.link.takeLostDevice()) {
        // A pulled adapter: the frames that arrived before it went are shown first, then
        // it is named once, and the link is left closed as Close does.
        core_.poller.pollRemaining();
        const std::string name = text(*lost == link::Port::A ? CB_ComA : CB_ComB);
        // Stamped with the poll's time, as every other line of the pane.
        const std::string line =
            common::format<"%s  Device lost: %s">(core_.poller.decodeState().timestamp, name);
        core_.lines.addLine(receive::Pane::Debug, line);
        BTCloseClick();
    }
}

void TMainForm::addCommLine(std::string_view line) {
    ME_Comm->appendLine(line);
}

void TMainForm::CB_MXLClick() {
    const bool on = CB_MXL->isChecked();
    core_.link.setMultiplexed(on);
    CB_ComB->setVisible(!on);
    Lb_Induktiv->setVisible(!on);
    for (QWidget* control :
         std::initializer_list<QWidget*>{Label2, EdRSSI0, CB_LED, CBTast, BTBeep, EdVersion}) {
        control->setVisible(on);
    }
    CBOnline->setVisible(false);
}

void TMainForm::CB_BinClick() {
    core_.protocol.binaryProtocol = CB_Bin->isChecked();
}

void TMainForm::CB_BroadcastClick() {
    const bool addressed = !CB_Broadcast->isChecked();
    Ed_SNR->setEnabled(addressed);
    ED_Typ->setEnabled(addressed);
}

void TMainForm::CB_ContClick() {
    const bool on = CB_Cont->isChecked();
    for (std::size_t i = 0; i < 4; ++i) {
        Ed_Cont[i]->setEnabled(on);
    }
    CB_ContHex->setEnabled(on);
    CB_Cont2->setEnabled(on);
}

void TMainForm::CB_Cont2Click() {
    for (std::size_t i = 4; i < 8; ++i) {
        Ed_Cont[i]->setEnabled(CB_Cont2->isChecked());
    }
}

void TMainForm::CB_AuthClick() {
    for (QLineEdit* key : ED_Key) {
        key->setEnabled(CB_Auth->isChecked());
    }
}

void TMainForm::ED_TypChange() {
    core_.poller.setIdFilter(app::idFilterOf(CB_Filter->isChecked(), CB_Broadcast->isChecked(),
                                             text(Ed_SNR), text(ED_Typ)));
}

void TMainForm::EDcrcChange() {
    if (const auto value = app::crcStartOf(text(EDcrc))) {
        core_.protocol.crcStart = *value;
    }
}

app::ConfigurationForm TMainForm::configurationForm() const {
    app::ConfigurationForm fields;
    fields.commandIndex = CB_Cmd->currentIndex();
    fields.serial = text(Ed_SNR);
    fields.type = text(ED_Typ);
    fields.bytePar = text(Ed_BytePar);
    fields.wordPar = text(Ed_WordPar);
    fields.byteHex = CB_ByteHex->isChecked();
    fields.wordHex = CB_WordHex->isChecked();
    fields.broadcast = CB_Broadcast->isChecked();
    fields.content = CB_Cont->isChecked();
    fields.contentHex = CB_ContHex->isChecked();
    fields.secondContent = CB_Cont2->isChecked();
    for (std::size_t i = 0; i < Ed_Cont.size(); ++i) {
        fields.contentWords[i] = text(Ed_Cont[i]);
    }
    fields.authenticate = CB_Auth->isChecked();
    return fields;
}

void TMainForm::BT_Radio_CMDClick() {
    // The key is read from its fields for every command, as the authenticator is computed.
    std::array<std::string, 8> keyFields;
    for (std::size_t i = 0; i < ED_Key.size(); ++i) {
        keyFields[i] = text(ED_Key[i]);
    }
    core_.protocol.authKey = app::keyOf(keyFields);
    commands::sendRadioCommand(core_.sender, app::radioCommandOf(configurationForm()));
}

void TMainForm::BT_Ind_CMDClick() {
    commands::sendInductiveCommand(core_.sender, app::inductiveCommandOf(configurationForm()));
}

void TMainForm::BTNVWClick() {
    if (const auto value = app::parameterValueOf(text(EDPar))) {
        commands_.writeParameter(
            commands::itemAt(commands::kParameterList, CBPar->currentIndex()).value, *value);
    }
}

void TMainForm::BTBeepClick() {
    commands_.beep(UD_Beep->value());
}

void TMainForm::CB_LEDChange(int index) {
    commands_.boxCommand(commands::itemAt(commands::kLedList, index).value);
}

void TMainForm::BtCalClick(int input) {
    // The target is read afresh at every click: the operator edits it between two.
    const std::int16_t target =
        core::readToolSettings(common::SettingsFile(iniPath_)).calibrationTarget;
    commands::calibrate(input, target, core_.sender, core_.clock, core_.poller,
                        [this](std::string_view line) { addCommLine(line); });
}

void TMainForm::BtArchivesClick() {
    if (archiveWindow_ != nullptr) {
        archiveWindow_->show();
        archiveWindow_->raise();
    }
}

void TMainForm::BtValuesClick() {
    if (valuesWindow_ != nullptr) {
        valuesWindow_->show();
        valuesWindow_->raise();
    }
}

void TMainForm::BT_FW_StartClick() {
    // While a transfer runs, Start begins it again with the same image, without asking.
    std::string path = firmware_->imagePath();
    if (!firmware_->running()) {
        const auto chosen = dialogs_.openFile(this, QString::fromUtf8("Binär-File|*.bin"), "bin");
        if (!chosen) {
            return;  // the operator declined: nothing starts
        }
        path = chosen->toStdString();
    }
    if (firmware_->start(path) == firmware::FirmwareTransfer::StartResult::Started) {
        showFirmwarePaused(false);
        return;
    }
    // The progress bar's own text says why; "Block" and "von" stay as they are.
    FW_Progress->setTextVisible(true);
    FW_Progress->setFormat(QString::fromStdString(firmware::refusalText(*firmware_->refusal())));
}

void TMainForm::savePane(const app::LogPane& pane) {
    const auto chosen = dialogs_.saveFile(this, pane.objectName() + ".txt", "Text|*.txt", "txt");
    if (!chosen) {
        return;  // cancelled: no file
    }
    // Every line the pane holds, UTF-8 as stored, each ended by LF.
    std::string text;
    for (std::size_t i = 0; i < pane.store().size(); ++i) {
        text += pane.store().line(i);
        text += '\n';
    }
    ui::saveFile(dialogs_, this, "QRTTest", *chosen, text);
}

void TMainForm::showFirmwarePaused(bool paused) {
    // A transfer interrupted by Close or a lost device resumes at the next Open.
    FW_Progress->setTextVisible(paused);
    FW_Progress->setFormat(paused ? "%v / %m paused" : "%v / %m");
}

void TMainForm::connectHandlers() {
    auto onClick = [this](QPushButton* b, auto handler) {
        connect(b, &QPushButton::clicked, this, handler);
    };
    onClick(BTOpen, [this] { BTOpenClick(); });
    onClick(BTClose, [this] { BTCloseClick(); });
    onClick(BTReset, [this] { commands_.version(); });
    onClick(BTNVP, [this] { commands_.parameterPage(); });
    onClick(BTNVW, [this] { BTNVWClick(); });
    onClick(BTSTRT, [this] { commands_.start(); });
    onClick(BTSTP, [this] { commands_.stop(); });
    onClick(BTLogOn, [this] { commands_.logOn(); });
    onClick(BTLogOff, [this] { commands_.logOff(); });
    onClick(BTGetRTC, [this] { commands_.getClock(); });
    onClick(BTSetRTC, [this] { commands_.setClock(); });
    onClick(BTRcvVer, [this] { commands_.boxCommand(frames::box::kVersion); });
    onClick(BtBoot, [this] { commands_.boxCommand(frames::box::kBoot); });
    onClick(BTBeep, [this] { BTBeepClick(); });
    onClick(BTCLEAR, [this] {
        ME_Debug->clear();
        ME_Comm->clear();
    });
    onClick(BT_ChanPwr, [this] { commands_.radioSettings(UD_Chan->value(), UD_Pwr->value()); });
    onClick(BtTemp, [this] { commands_.measure(0, 0); });
    onClick(BtTemp1, [this] { commands_.measure(0, 1); });
    onClick(BtTemp2, [this] { commands_.measure(0, 2); });
    onClick(BtDig, [this] { commands_.measure(0, 3); });
    onClick(btLEDs, [this] { commands_.measure(4, 4); });
    onClick(BtCal1, [this] { BtCalClick(1); });
    onClick(BtCal2, [this] { BtCalClick(2); });
    onClick(BtArchives, [this] { BtArchivesClick(); });
    onClick(BtValues, [this] { BtValuesClick(); });
    onClick(BT_Radio_CMD, [this] { BT_Radio_CMDClick(); });
    onClick(BT_Ind_CMD, [this] { BT_Ind_CMDClick(); });
    onClick(BT_FW_Start, [this] { BT_FW_StartClick(); });
    onClick(BT_FW_Stop, [this] { firmware_->stop(); });
    onClick(BT_FW_STAT, [this] { firmware_->requestStatus(); });
    onClick(BT_Reboot, [this] { firmware_->reboot(); });
    connect(CB_MXL, &QCheckBox::toggled, this, [this] { CB_MXLClick(); });
    connect(CB_Bin, &QCheckBox::toggled, this, [this] { CB_BinClick(); });
    connect(CB_Broadcast, &QCheckBox::toggled, this, [this] { CB_BroadcastClick(); });
    connect(CB_Cont, &QCheckBox::toggled, this, [this] { CB_ContClick(); });
    connect(CB_Cont2, &QCheckBox::toggled, this, [this] { CB_Cont2Click(); });
    connect(CB_Auth, &QCheckBox::toggled, this, [this] { CB_AuthClick(); });
    connect(CBOnline, &QCheckBox::clicked, this, [this](bool on) {
        commands_.boxCommand(on ? frames::box::kOnline : frames::box::kOffline);
    });
    connect(CB_LED, &QComboBox::activated, this, [this](int index) { CB_LEDChange(index); });
    for (QWidget* trigger : std::initializer_list<QWidget*>{Ed_SNR, ED_Typ}) {
        connect(static_cast<QLineEdit*>(trigger), &QLineEdit::textChanged, this,
                [this] { ED_TypChange(); });
    }
    connect(CB_Filter, &QCheckBox::toggled, this, [this] { ED_TypChange(); });
    connect(CB_ID, &QCheckBox::toggled, this, [this] { ED_TypChange(); });
    connect(EDcrc, &QLineEdit::textChanged, this, [this] { EDcrcChange(); });
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
    // Ctrl+F anywhere in the window: the upper pane when it has the focus, else the lower.
    connect(new QShortcut(QKeySequence::Find, this), &QShortcut::activated, this, [this] {
        (ME_Comm->hasFocus() || ME_Comm->isAncestorOf(focusWidget()) ? ME_Comm : ME_Debug)
            ->openFind();
    });
    for (app::LogPane* pane : {ME_Comm, ME_Debug}) {
        connect(pane, &app::LogPane::saveRequested, this, [this, pane] { savePane(*pane); });
        connect(pane, &app::LogPane::valuesRequested, this, [this] { BtValuesClick(); });
    }
    CB_BroadcastClick();
    CB_ContClick();
    CB_Cont2Click();
    CB_AuthClick();
}
