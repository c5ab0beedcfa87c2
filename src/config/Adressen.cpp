#include "config/Adressen.h"
#include "common/Labels.h"
#include "common/SystemColors.h"
#include "platform/TextField.h"
#include "settings/Addresses.h"
#include "settings/SettingKeys.h"

#include <QLabel>
#include <QPushButton>

Adressen::Adressen() : Form(WindowKey::StreamAddresses)
{
    setWindowTitle(QStringLiteral("Streams"));
    setDesign(5670, 2760, Frame::FixedSingle, false, false);
    setClientColour(Qt::black);
    QWidget *c = client();

    // Labels: opaque black, bold "MS Sans Serif" in the scroll-bar colour.
    auto label = [c](const char *name, const QString &caption, double top, double width) {
        QLabel *l = Labels::boldOnBlack(c, name, caption, 8.25, SystemColors::scrollBar());
        placeTw(l, 120, top, width, 255);
        return l;
    };
    Label1 = label("Label1", QStringLiteral("Stream1:"), 240, 975);
    Label2 = label("Label2", QStringLiteral("Stream2:"), 720, 975);
    Label3 = label("Label3", QStringLiteral("Stream3:"), 1200, 855);
    Label4 = label("Label4", QStringLiteral("Stream4:"), 1680, 975);

    auto text = [c](const char *name, double top) {
        auto *t = new TextField(QLatin1String(name), c);
        placeTw(t, 1080, top, 4455, 285);
        return t;
    };
    Text1 = text("Text1", 240);
    Text2 = text("Text2", 720);
    Text3 = text("Text3", 1200);
    Text4 = text("Text4", 1680);

    auto button = [this, c](const char *name, const QString &caption, double left, double width,
                            void (Adressen::*handler)()) {
        auto *b = new QPushButton(caption, c);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        placeTw(b, left, 2280, width, 375);
        connect(b, &QPushButton::clicked, this, handler);
        return b;
    };
    Command1 = button("Command1", QStringLiteral("Opslaan"), 4320, 1215, &Adressen::Command1_Click);
    Command2 = button("Command2", QStringLiteral("Reset"), 1080, 855, &Adressen::Command2_Click);

    setTabChain({Text1, Text2, Text3, Text4, Command1, Command2});
    Text1->setFocus();
}

TextField *Adressen::field(int slot) const
{
    switch (slot) {
    case 1:
        return Text1;
    case 2:
        return Text2;
    case 3:
        return Text3;
    case 4:
        return Text4;
    default:
        return nullptr;
    }
}

// A slot without a stored address shows "Auto", the default the players
// use too: saving an untouched window on a fresh install keeps the built-in
// streams instead of storing a text no player can open.
void Adressen::readAddresses()
{
    for (int slot = 1; slot <= 4; ++slot)
        field(slot)->setText(SettingKeys::read(SettingKeys::address(slot)));
}

// Runs once per load; showing the loaded window again keeps what was typed.
void Adressen::Form_Load() { readAddresses(); }

void Adressen::Command1_Click()
{
    // Exactly as typed: no trimming, no check, the empty text included.
    for (int slot = 1; slot <= 4; ++slot)
        SettingKeys::write(SettingKeys::address(slot), field(slot)->Text());
    close();
}

void Adressen::Command2_Click()
{
    for (int slot = 1; slot <= 4; ++slot)
        SettingKeys::write(SettingKeys::address(slot), Addresses::Auto);
    // Show what the file now holds: a write that failed leaves the old value.
    readAddresses();
}
