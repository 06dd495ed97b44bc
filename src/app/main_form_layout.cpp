// The main window's controls: created, named as on the form, given their captions and
// defaults, and laid out in their groups.
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

#include "app/Testunit1.h"
#include "app/form_reader.h"
#include "app/log_pane.h"
#include "commands/command_tables.h"

namespace {

constexpr int kRowHeight = 22;

template <typename Widget>
Widget* named(Widget* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QPushButton* button(const char* name, const char* caption, int width = 0) {
    auto* b = named(new QPushButton(QString::fromUtf8(caption)), name);
    b->setFixedHeight(kRowHeight);
    if (width > 0) {
        b->setFixedWidth(width);
    }
    b->setAutoDefault(false);
    return b;
}

QCheckBox* checkBox(const char* name, const char* caption) {
    return named(new QCheckBox(QString::fromUtf8(caption)), name);
}

QLineEdit* edit(const char* name, const char* text, int maxLength, int width) {
    auto* e = named(new QLineEdit(QString::fromUtf8(text)), name);
    if (maxLength > 0) {
        e->setMaxLength(maxLength);
    }
    e->setFixedWidth(width);
    e->setFixedHeight(kRowHeight);
    return e;
}

QLineEdit* readOnly(const char* name, const char* text, int width) {
    QLineEdit* e = edit(name, text, 0, width);
    e->setReadOnly(true);
    return e;
}

QLabel* label(const char* name, const char* caption) {
    return named(new QLabel(QString::fromUtf8(caption)), name);
}

// An up-down control bound to its edit field: the spin box carries the up-down's
// name and its text field the edit's.
QSpinBox* upDown(const char* name, const char* editName, int minimum, int maximum, int value) {
    auto* spin = named(new QSpinBox, name);
    spin->setRange(minimum, maximum);
    spin->setValue(value);
    spin->setWrapping(false);
    spin->setFixedWidth(44);
    spin->setFixedHeight(kRowHeight);
    if (auto* field = spin->findChild<QLineEdit*>()) {
        field->setObjectName(QString::fromLatin1(editName));
    }
    return spin;
}

template <std::size_t N>
QComboBox* list(const char* name, const std::array<qrt::commands::ListItem, N>& items, int width) {
    auto* combo = named(new QComboBox, name);
    for (const auto& item : items) {
        combo->addItem(QString::fromLatin1(item.text));
    }
    combo->setFixedWidth(width);
    combo->setFixedHeight(kRowHeight);
    return combo;
}

QComboBox* portList(const char* name) {
    auto* combo = named(new QComboBox, name);
    combo->setEditable(true);
    combo->setFixedWidth(100);
    combo->setFixedHeight(kRowHeight);
    return combo;
}

QHBoxLayout* row(std::initializer_list<QWidget*> widgets, bool stretchAtEnd = true) {
    auto* layout = new QHBoxLayout;
    layout->setSpacing(3);
    layout->setContentsMargins(0, 0, 0, 0);
    for (QWidget* widget : widgets) {
        if (widget == nullptr) {
            layout->addStretch();
        } else {
            layout->addWidget(widget);
        }
    }
    if (stretchAtEnd) {
        layout->addStretch();
    }
    return layout;
}

QGroupBox* group(const char* name, const char* caption) {
    auto* box = named(new QGroupBox(QString::fromUtf8(caption)), name);
    return box;
}

}  // namespace

void TMainForm::buildControls() {
    QFont small = font();
    small.setPointSize(8);
    setFont(small);

    QVBoxLayout* panel = buildServiceRows();
    buildConfigGroup();
    buildKeyGroup();
    buildFirmwareGroup();
    auto* groups = new QHBoxLayout;
    groups->setSpacing(4);
    groups->addWidget(GB_Config, 3);
    auto* right = new QVBoxLayout;
    right->setSpacing(4);
    right->addWidget(Authenticate);
    right->addWidget(GB_FW);
    groups->addLayout(right, 2);
    panel->addLayout(groups, 1);

    ME_Comm = named(new qrt::app::LogPane, "ME_Comm");
    ME_Debug = named(new qrt::app::LogPane, "ME_Debug");
    ME_Debug->setFixedHeight(195);
    auto* window = new QVBoxLayout(this);
    window->setContentsMargins(0, 0, 0, 0);
    window->setSpacing(0);
    window->addWidget(Panel1);
    window->addWidget(ME_Comm, 1);
    window->addWidget(ME_Debug);

    Timer1 = named(new QTimer(this), "Timer1");
    Timer1->setInterval(500);
}

QVBoxLayout* TMainForm::buildServiceRows() {
    using namespace qrt::commands;
    Panel1 = named(new QWidget, "Panel1");
    Panel1->setFixedHeight(425);

    Label3 = label("Label3", "Receiver");
    CB_ComA = portList("CB_ComA");
    Lb_Induktiv = label("Lb_Induktiv", "Induktiv");
    CB_ComB = portList("CB_ComB");
    CB_MXL = checkBox("CB_MXL", "MXL Mode");
    CB_Bin = checkBox("CB_Bin", "Binär");
    BTOpen = button("BTOpen", "Open", 56);
    BTClose = button("BTClose", "Close", 56);

    BTReset = button("BTReset", "VER", 44);
    BTNVP = button("BTNVP", "NVP", 44);
    CBPar = list("CBPar", kParameterList, 104);
    EDPar = edit("EDPar", "", 6, 56);
    BTNVW = button("BTNVW", "WritePar", 62);
    BTSTRT = button("BTSTRT", "Start", 48);
    BTSTP = button("BTSTP", "Stop", 48);
    BTCLEAR = button("BTCLEAR", "Clear", 56);

    BTSetRTC = button("BTSetRTC", "Set RTC", 58);
    BTGetRTC = button("BTGetRTC", "Get RTC", 58);
    BTLogOn = button("BTLogOn", "Log On", 56);
    BTLogOff = button("BTLogOff", "Log Off", 56);
    Label2 = label("Label2", "Hintergrund");
    EdRSSI0 = readOnly("EdRSSI0", "", 40);
    CBTast = checkBox("CBTast", "Keystate");
    EdVersion = readOnly("EdVersion", "", 46);

    Label12 = label("Label12", "MXL Chan.");
    UD_Chan = upDown("UD_Chan", "ED_Chan", 0, 9, 7);
    Label13 = label("Label13", "Pwr.");
    UD_Pwr = upDown("UD_Pwr", "ED_Pwr", 0, 9, 9);
    BT_ChanPwr = button("BT_ChanPwr", "Chan/Pwr", 64);
    BTRcvVer = button("BTRcvVer", "Version", 56);
    BtBoot = button("BtBoot", "Boot", 44);
    UD_Beep = upDown("UD_Beep", "ED_Beep", 0, 7, 0);
    BTBeep = button("BTBeep", "Beep", 44);
    CB_LED = list("CB_LED", kLedList, 112);
    CBOnline = checkBox("CBOnline", "Online");
    CBOnline->setVisible(false);

    BtTemp = button("BtTemp", "Temp", 46);
    BtTemp1 = button("BtTemp1", "Temp1", 46);
    BtTemp2 = button("BtTemp2", "Temp2", 46);
    BtDig = button("BtDig", "Digital", 50);
    btLEDs = button("btLEDs", "LED", 40);
    BtCal1 = button("BtCal1", "Cal1", 40);
    BtCal2 = button("BtCal2", "Cal2", 40);
    Label15 = label("Label15", "CRC");
    EDcrc = edit("EDcrc", "0", 6, 48);
    BtArchives = button("BtArchives", "Archives", 64);
    BtValues = button("BtValues", "Werte", 50);

    auto* panel = new QVBoxLayout(Panel1);
    panel->setContentsMargins(4, 4, 4, 2);
    panel->setSpacing(3);
    panel->addLayout(row(
        {Label3, CB_ComA, Lb_Induktiv, CB_ComB, CB_MXL, CB_Bin, nullptr, BTOpen, BTClose}, false));
    panel->addLayout(
        row({BTReset, BTNVP, CBPar, EDPar, BTNVW, BTSTRT, BTSTP, nullptr, BTCLEAR}, false));
    panel->addLayout(
        row({BTSetRTC, BTGetRTC, BTLogOn, BTLogOff, nullptr, Label2, EdRSSI0, CBTast, EdVersion},
            false));
    panel->addLayout(row({Label12, UD_Chan, Label13, UD_Pwr, BT_ChanPwr, nullptr, BTRcvVer, BtBoot,
                          UD_Beep, BTBeep, CB_LED, CBOnline},
                         false));
    // "Werte" sits in the row's free space, so no other control moves.
    panel->addLayout(row({BtTemp, BtTemp1, BtTemp2, BtDig, btLEDs, BtCal1, BtCal2, BtValues,
                          nullptr, Label15, EDcrc, BtArchives},
                         false));
    return panel;
}

void TMainForm::buildConfigGroup() {
    using namespace qrt::commands;
    GB_Config = group("GB_Config", "Konfigurationsprotokoll");
    CB_Cmd = list("CB_Cmd", kCommandList, 76);
    CB_Filter = checkBox("CB_Filter", "ID Filter");
    CB_Broadcast = checkBox("CB_Broadcast", "Broadcast");
    ED_Typ = edit("ED_Typ", "5", 1, 24);
    Ed_SNR = edit("Ed_SNR", "0", 10, 96);
    Ed_BytePar = edit("Ed_BytePar", "0", 6, 56);
    CB_ByteHex = checkBox("CB_ByteHex", "Hex");
    Ed_WordPar = edit("Ed_WordPar", "0", 6, 56);
    CB_WordHex = checkBox("CB_WordHex", "Hex");
    CB_Cont = checkBox("CB_Cont", "Cont");
    CB_ContHex = checkBox("CB_ContHex", "Cont Hex");
    CB_Cont2 = checkBox("CB_Cont2", "Cont2x");
    static constexpr std::array<const char*, 8> kContNames{"Ed_Cont1", "Ed_Cont2", "Ed_Cont3",
                                                           "Ed_Cont4", "Ed_Cont5", "Ed_Cont6",
                                                           "Ed_Cont7", "Ed_Cont8"};
    for (std::size_t i = 0; i < Ed_Cont.size(); ++i) {
        Ed_Cont[i] = edit(kContNames[i], "0", 6, 56);
    }
    BT_Radio_CMD = button("BT_Radio_CMD", "Funk", 70);
    BT_Ind_CMD = button("BT_Ind_CMD", "Induktiv", 70);

    auto* config = new QGridLayout(GB_Config);
    config->setContentsMargins(6, 4, 6, 4);
    config->setHorizontalSpacing(4);
    config->setVerticalSpacing(3);
    config->addLayout(row({CB_Cmd, CB_Filter, CB_Broadcast}), 0, 0, 1, 4);
    config->addLayout(
        row({label("Label_Typ", "Typ"), ED_Typ, label("Label_SNR", "Seriennummer"), Ed_SNR}), 1, 0,
        1, 4);
    config->addLayout(row({label("Label_BytePar", "BytePar"), Ed_BytePar, CB_ByteHex}), 2, 0, 1, 2);
    config->addLayout(row({label("Label_WordPar", "WordPar"), Ed_WordPar, CB_WordHex}), 2, 2, 1, 2);
    config->addLayout(row({CB_Cont, CB_ContHex, CB_Cont2}), 3, 0, 1, 4);
    static constexpr std::array<const char*, 4> kContLabels{"Cont 1", "Cont 2", "Cont 3", "Cont 4"};
    static constexpr std::array<const char*, 4> kContLabelNames{"Label_Cont1", "Label_Cont2",
                                                                "Label_Cont3", "Label_Cont4"};
    for (int i = 0; i < 4; ++i) {
        const auto at = static_cast<std::size_t>(i);
        config->addWidget(label(kContLabelNames[at], kContLabels[at]), 4, i);
        config->addWidget(Ed_Cont[at], 5, i);
        config->addWidget(Ed_Cont[at + 4], 6, i);
    }
    config->setRowStretch(7, 1);
    config->addLayout(row({BT_Radio_CMD, BT_Ind_CMD}), 8, 0, 1, 4);
}

void TMainForm::buildKeyGroup() {
    Authenticate = group("Authenticate", "Authenticate");
    CB_Auth = checkBox("CB_Auth", "Enable");
    static constexpr std::array<const char*, 8> kKeyNames{
        "ED_Key1", "ED_Key2", "ED_Key3", "ED_Key4", "ED_Key5", "ED_Key6", "ED_Key7", "ED_Key8"};
    auto* auth = new QGridLayout(Authenticate);
    auth->setContentsMargins(6, 4, 6, 4);
    auth->setSpacing(3);
    auth->addWidget(CB_Auth, 0, 0, 1, 4);
    const auto defaultKey = qrt::app::keyFieldsOf(qrt::frames::kDefaultKey);
    for (std::size_t i = 0; i < ED_Key.size(); ++i) {
        ED_Key[i] = edit(kKeyNames[i], defaultKey[i].c_str(), 6, 46);
        auth->addWidget(ED_Key[i], 1 + static_cast<int>(i / 4), static_cast<int>(i % 4));
    }
}

void TMainForm::buildFirmwareGroup() {
    GB_FW = group("GB_FW", "Firmware-Update");
    CB_ID = checkBox("CB_ID", "Einzelmodul");
    UD_Speed = upDown("UD_Speed", "ED_Speed", 2, 5, 2);
    BT_FW_Start = button("BT_FW_Start", "Start", 70);
    BT_FW_Stop = button("BT_FW_Stop", "Stop", 70);
    ED_FW_BL = readOnly("ED_FW_BL", "0", 56);
    ED_FW_BLH = readOnly("ED_FW_BLH", "0", 56);
    BT_FW_STAT = button("BT_FW_STAT", "Stat/Retry", 70);
    BT_Reboot = button("BT_Reboot", "Reboot", 70);
    FW_Progress = named(new QProgressBar, "FW_Progress");
    FW_Progress->setFixedHeight(14);
    FW_Progress->setRange(0, 1);
    FW_Progress->setValue(0);
    FW_Progress->setTextVisible(false);
    auto* firmware = new QVBoxLayout(GB_FW);
    firmware->setContentsMargins(6, 4, 6, 4);
    firmware->setSpacing(3);
    firmware->addLayout(row({CB_ID, nullptr, label("Label_Speed", "Speed"), UD_Speed}, false));
    firmware->addLayout(row({BT_FW_Start, BT_FW_Stop}));
    firmware->addLayout(
        row({label("Label_Block", "Block"), ED_FW_BL, label("Label_von", "von"), ED_FW_BLH}));
    firmware->addLayout(row({BT_FW_STAT, BT_Reboot}));
    firmware->addWidget(FW_Progress);
}
