#pragma once
#include "platform/Form.h"

class QLabel;
class QPushButton;

// The options window: three yes/no switches that are written to ini.ini on
// the click, a button that opens the stream-addresses window, and "Opslaan"
// that closes the window. It reads nothing and never shows the current
// values: every button is a write-only command.
class Opties : public Form {
    Q_OBJECT
public:
    Opties();

    QLabel *Label1, *Label2, *Label3, *Label4, *Label5, *Label6;
    QPushButton *Command1, *Command2, *Command3, *Command4;
    QPushButton *Command5, *Command6, *Command7, *Command8;

    // Command handlers
    void Command1_Click(); // "Autostart" = "Ja"
    void Command2_Click(); // "Autostart" = "Nee"
    void Command3_Click(); // open the stream-addresses window
    void Command4_Click(); // "Opslaan": close this window
    void Command5_Click(); // "Autosave_Snapshot" = "Ja"
    void Command6_Click(); // "Autosave_Snapshot" = "Nee"
    void Command7_Click(); // "Nieuws" = "Ja"
    void Command8_Click(); // "Nieuws" = "Nee"
};
