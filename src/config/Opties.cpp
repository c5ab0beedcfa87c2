#include "config/Opties.h"
#include "common/Labels.h"
#include "common/SystemColors.h"
#include "platform/Forms.h"
#include "settings/SettingKeys.h"

#include <QLabel>
#include <QPushButton>

Opties::Opties() : Form(WindowKey::Options)
{
    setWindowTitle(QStringLiteral("Opties"));
    setDesign(6525, 3675, Frame::FixedSingle, false, false);
    setClientColour(Qt::black);
    QWidget *c = client();

    const QColor text = SystemColors::scrollBar();
    const QColor heading = SystemColors::inactiveTitleBar();
    auto label = [c](const char *name, const QString &caption, double points, const QColor &colour, double top,
                     double width, double height) {
        QLabel *l = Labels::boldOnBlack(c, name, caption, points, colour);
        placeTw(l, 240, top, width, height);
        return l;
    };
    auto button = [this, c](const char *name, const QString &caption, double left, double top, double width,
                            double height, void (Opties::*handler)()) {
        auto *b = new QPushButton(caption, c);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        placeTw(b, left, top, width, height);
        connect(b, &QPushButton::clicked, this, handler);
        return b;
    };

    Label1 = label("Label1", QStringLiteral("Auto-start streams bij starten Kijkraam:"), 8.25, text, 240, 3615, 255);
    Command1 = button("Command1", QStringLiteral("Ja"), 4080, 240, 495, 255, &Opties::Command1_Click);
    Command2 = button("Command2", QStringLiteral("Nee"), 4680, 240, 615, 255, &Opties::Command2_Click);

    Label2 = label("Label2", QStringLiteral("Stream-adressen:"), 8.25, text, 720, 3615, 255);
    Command3 = button("Command3", QStringLiteral("Wijzigen"), 4080, 720, 1215, 255, &Opties::Command3_Click);

    Label4 = label("Label4", QStringLiteral("Snapshot"), 12, heading, 1320, 2775, 375);
    Label3 = label("Label3", QStringLiteral("Auto-save bij nemen snapshot:"), 8.25, text, 1680, 2775, 255);
    Command5 = button("Command5", QStringLiteral("Ja"), 4080, 1680, 495, 255, &Opties::Command5_Click);
    Command6 = button("Command6", QStringLiteral("Nee"), 4680, 1680, 615, 255, &Opties::Command6_Click);

    Label5 = label("Label5", QStringLiteral("Nieuws-ticker"), 12, heading, 2160, 2775, 375);
    Label6 = label("Label6", QStringLiteral("Start Nieuws-ticker bij starten Kijkraam:"), 8.25, text, 2520, 3615, 255);
    Command7 = button("Command7", QStringLiteral("Ja"), 4080, 2520, 495, 255, &Opties::Command7_Click);
    Command8 = button("Command8", QStringLiteral("Nee"), 4680, 2520, 615, 255, &Opties::Command8_Click);

    Command4 = button("Command4", QStringLiteral("Opslaan"), 5400, 3240, 975, 375, &Opties::Command4_Click);

    // Focus moves through the buttons in this order; "Opslaan" comes fourth.
    setTabChain({Command1, Command2, Command3, Command4, Command5, Command6, Command7, Command8});
    Command1->setFocus();
}

// Each switch button writes its one key at once; the result of the write is
// not looked at and nothing in the window changes.
void Opties::Command1_Click() { SettingKeys::write(SettingKeys::Autostart, SettingKeys::Yes); }
void Opties::Command2_Click() { SettingKeys::write(SettingKeys::Autostart, SettingKeys::No); }
void Opties::Command5_Click() { SettingKeys::write(SettingKeys::AutosaveSnapshot, SettingKeys::Yes); }
void Opties::Command6_Click() { SettingKeys::write(SettingKeys::AutosaveSnapshot, SettingKeys::No); }
void Opties::Command7_Click() { SettingKeys::write(SettingKeys::Nieuws, SettingKeys::Yes); }
void Opties::Command8_Click() { SettingKeys::write(SettingKeys::Nieuws, SettingKeys::No); }

void Opties::Command3_Click() { Forms::show(WindowKey::StreamAddresses); }

// Every switch is stored already; closing only unloads the window (the same
// as its close box). The addresses window stays as it is.
void Opties::Command4_Click() { close(); }
