#pragma once
#include "platform/Form.h"

class QLabel;
class QPlainTextEdit;

// The About window: product, version, terms of use, where to find updates.
class Form2 : public Form {
    Q_OBJECT
public:
    Form2();
    void Form_Load() override;

    QLabel *Label1[5] = {};
    QLabel *Label2 = nullptr;
    QLabel *Label3 = nullptr;
    QLabel *Label4 = nullptr;
    QPlainTextEdit *Text1 = nullptr;

    static QString termsOfUse();
};
