#pragma once
#include "platform/Form.h"

class QLabel;
class QPushButton;
class TextField;

// The stream-addresses window ("Streams"): the "Adres" of the four stream
// slots in editable fields. "Opslaan" writes all four exactly as typed and
// closes; "Reset" writes "Auto" to all four and shows what the file then
// holds. The fields are read from the file only when the window loads.
// What a stored address means ("Auto") is settings/Addresses.
class Adressen : public Form {
    Q_OBJECT
public:
    Adressen();
    void Form_Load() override;

    QLabel *Label1, *Label2, *Label3, *Label4;
    TextField *Text1, *Text2, *Text3, *Text4;
    QPushButton *Command1, *Command2;

    // The field of stream slot 1..4, or nullptr.
    TextField *field(int slot) const;

    // Command handlers
    void Command1_Click(); // "Opslaan"
    void Command2_Click(); // "Reset"

private:
    void readAddresses();
};
