// What each control of the main window sends or sets, shown when the pointer rests on it.
// The captions stay as they are; a label shares the tip of the field it names.
#include <QWidget>
#include <array>

#include "app/Testunit1.h"

namespace {

struct Tip {
    const char* controls;  // object names, separated by blanks
    const char* text;
};

constexpr std::array kTips{
    // The link.
    Tip{"Label3 CB_ComA",
        "Serial port of the receiver (interface A, 19200 baud), or of the interface box in MXL "
        "Mode: a name such as ttyUSB0, or a full path"},
    Tip{"Lb_Induktiv CB_ComB",
        "Serial port of the inductive head (interface B, 1200 baud); unused in MXL Mode"},
    Tip{"CB_MXL",
        "The receiver, the inductive head and the interface box share the receiver's port "
        "through the interface box; changed only while the ports are closed"},
    Tip{"CB_Bin",
        "Commands to the module on the inductive head go out as binary frames instead of text "
        "lines; Temp, LED, Cal, RTC and Log need it"},
    Tip{"BTOpen",
        "Opens the ports and the log file named in the settings; the devices get three seconds "
        "before anything is shown"},
    Tip{"BTClose", "Closes the ports and the log file"},
    // The module on the inductive head: it answers by radio, in the upper pane.
    Tip{"BTReset", "Asks the module on the inductive head for its version (VER)"},
    Tip{"BTNVP", "Asks the module on the inductive head for its parameters (NVP)"},
    Tip{"CBPar", "The module parameter WritePar writes, by its number"},
    Tip{"EDPar", "The value WritePar writes: decimal, 0x... hexadecimal, a leading 0 octal"},
    Tip{"BTNVW",
        "Writes the chosen parameter of the module on the inductive head with the value beside "
        "it (NVW)"},
    Tip{"BTSTRT", "Starts the module on the inductive head (OPR 1,4,1)"},
    Tip{"BTSTP", "Stops the module on the inductive head (OPR 0)"},
    Tip{"BTCLEAR", "Empties both panes"},
    Tip{"BTSetRTC",
        "Sets the clock of the module on the inductive head to this computer's UTC time "
        "(binary protocol)"},
    Tip{"BTGetRTC",
        "Reads the clock of the module on the inductive head: a time and a date line "
        "(binary protocol)"},
    Tip{"BTLogOn", "Switches logging on in the module on the inductive head (binary protocol)"},
    Tip{"BTLogOff", "Switches logging off in the module on the inductive head (binary protocol)"},
    // The receiver and the interface box.
    Tip{"Label12 UD_Chan", "Radio channel of the receiver (0 to 9), sent by Chan/Pwr"},
    Tip{"Label13 UD_Pwr", "Transmit power of the receiver (0 to 9), sent by Chan/Pwr"},
    Tip{"BT_ChanPwr", "Sends the radio channel and the transmit power to the receiver"},
    Tip{"Label2 EdRSSI0", "Background radio level measured by the interface box"},
    Tip{"CBTast", "The interface box's key: ticked while it is pressed"},
    Tip{"EdVersion", "Version of the interface box"},
    Tip{"BTRcvVer", "Asks the interface box for its version (MXL Mode)"},
    Tip{"BtBoot", "Sends the interface box its boot command (MXL Mode)"},
    Tip{"UD_Beep", "Length of the interface box's beep (0 to 7)"},
    Tip{"BTBeep", "Makes the interface box beep (MXL Mode)"},
    Tip{"CB_LED", "Sets the interface box's LED as soon as another entry is chosen (MXL Mode)"},
    Tip{"CBOnline", "Switches the interface box online or offline"},
    // Measurements of the module on the inductive head: its telegram shows in the lower
    // pane.
    Tip{"BtTemp",
        "Asks the module on the inductive head for a measurement telegram (cTMP, BytePar 0; "
        "binary protocol)"},
    Tip{"BtTemp1",
        "Asks the module on the inductive head for a measurement telegram (cTMP, BytePar 1; "
        "binary protocol)"},
    Tip{"BtTemp2",
        "Asks the module on the inductive head for a measurement telegram (cTMP, BytePar 2; "
        "binary protocol)"},
    Tip{"BtDig",
        "Asks the module on the inductive head for its digital inputs (cTMP, BytePar 3; binary "
        "protocol)"},
    Tip{"btLEDs",
        "Sends the module on the inductive head the LED request (cTMP 4,4; binary protocol); "
        "the interface box's LED is the list above"},
    Tip{"BtCal1",
        "Calibrates the first temperature input of the module on the inductive head to the "
        "target in [Calib] Offset of the settings file, in hundredths of a degree (binary "
        "protocol)"},
    Tip{"BtCal2",
        "Calibrates the second temperature input of the module on the inductive head to the "
        "target in [Calib] Offset of the settings file (binary protocol)"},
    Tip{"BtValues", "Opens the values window: every decoded value, as a table and over time"},
    Tip{"Label15 EDcrc",
        "Start value of the frames' CRC, hexadecimal: sent frames use it and received ones "
        "are checked with it"},
    Tip{"BtArchives", "Opens the archive window, which reads a logging module's archive"},
    // A configuration command to one module or to all.
    Tip{"CB_Cmd", "The command Funk or Induktiv sends"},
    Tip{"CB_Filter",
        "The lower pane shows only the module in Typ and Seriennummer (short telegrams always)"},
    Tip{"CB_Broadcast", "Funk sends to every module in range instead of the one named"},
    Tip{"Label_Typ ED_Typ", "Module type of the module addressed (the number before the point)"},
    Tip{"Label_SNR Ed_SNR",
        "Serial number of the module addressed (decimal, or 0x... hexadecimal)"},
    Tip{"Label_BytePar Ed_BytePar",
        "The command's byte parameter (BytePar, 8 bits): decimal, or hexadecimal with Hex"},
    Tip{"CB_ByteHex", "BytePar is hexadecimal"},
    Tip{"Label_WordPar Ed_WordPar",
        "The command's word parameter (WordPar, 16 bits): decimal, or hexadecimal with Hex"},
    Tip{"CB_WordHex", "WordPar is hexadecimal"},
    Tip{"CB_Cont", "Funk sends a content frame with the words Cont 1 to 4 after the command"},
    Tip{"CB_ContHex", "The content words are hexadecimal"},
    Tip{"CB_Cont2", "Funk sends a second content frame with the words of the second row"},
    Tip{"Label_Cont1 Label_Cont2 Label_Cont3 Label_Cont4 Ed_Cont1 Ed_Cont2 Ed_Cont3 Ed_Cont4 "
        "Ed_Cont5 Ed_Cont6 Ed_Cont7 Ed_Cont8",
        "Content words (16 bits each): the first row in the first content frame, the second "
        "row in the second"},
    Tip{"BT_Radio_CMD",
        "Sends the command by radio to the module named (or to all with Broadcast), with its "
        "content frames and, with Enable, the authenticator"},
    Tip{"BT_Ind_CMD",
        "Sends the command with BytePar and WordPar to the module on the inductive head"},
    // The installation's key.
    Tip{"CB_Auth",
        "Commands that change a module (NVW, OPR, AUX1, DBW) sent by Funk carry an "
        "authenticator made with the key below"},
    Tip{"ED_Key1 ED_Key2 ED_Key3 ED_Key4 ED_Key5 ED_Key6 ED_Key7 ED_Key8",
        "The installation's key, eight words of four hexadecimal digits"},
    // Firmware by radio.
    Tip{"CB_ID",
        "Sends the image only to the module in Typ and Seriennummer; without it to every "
        "module in range"},
    Tip{"Label_Speed UD_Speed", "Polls (half seconds) between two blocks, 2 to 5"},
    Tip{"BT_FW_Start",
        "Asks for a firmware image and sends it block by block; during a transfer, starts it "
        "again"},
    Tip{"BT_FW_Stop", "Stops the transfer"},
    Tip{"Label_Block ED_FW_BL", "The block being sent, or the status the module reported"},
    Tip{"Label_von ED_FW_BLH", "Blocks in the image"},
    Tip{"BT_FW_STAT",
        "Asks the module for its status: Good, Error, or a missing block, which is sent again"},
    Tip{"BT_Reboot", "Restarts the module"},
};

}  // namespace

void TMainForm::explainControls() {
    for (const Tip& tip : kTips) {
        for (const QString& name : QString::fromLatin1(tip.controls).split(' ')) {
            if (auto* control = findChild<QWidget*>(name)) {
                control->setToolTip(QString::fromUtf8(tip.text));
            }
        }
    }
}
