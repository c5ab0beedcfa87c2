#include "config/Opties.h"
#include "common/SystemColors.h"
#include "platform/Forms.h"
#include "settings/Ini.h"

#include <QLabel>
#include <QPushButton>

namespace {
const QString Section = QStringLiteral("Kijkraam");

// A label as the window draws them: opaque black like the window, bold
// "MS Sans Serif" (the nearest present font where it is missing).
QLabel *label(QWidget *parent, const char *name, const QString &caption, double points,
              const QColor &colour)
{
    auto *l = new QLabel(caption, parent);
    l->setObjectName(QLatin1String(name));
    QFont f(QStringLiteral("MS Sans Serif"));
    f.setPointSizeF(points);
    f.setBold(true);
    // "MS Sans Serif" is rarely present and the fonts standing in for it
    // are wider: set a little narrower, the captions fit as designed.
    f.setStretch(QFont::SemiCondensed);
    l->setFont(f);
    l->setAutoFillBackground(true);
    QPalette pal = l->palette();
    pal.setColor(QPalette::Window, Qt::black);
    pal.setColor(QPalette::WindowText, colour);
    l->setPalette(pal);
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    l->setFocusPolicy(Qt::NoFocus);
    return l;
}
} // namespace

Opties::Opties() : Form(QStringLiteral("Opties"))
{
    setWindowTitle(QStringLiteral("Opties"));
    setDesign(6525, 3675, Frame::FixedSingle, false, false);
    QWidget *c = client();
    c->setAutoFillBackground(true);
    QPalette pal = c->palette();
    pal.setColor(QPalette::Window, Qt::black);
    c->setPalette(pal);

    const QColor text = SystemColors::scrollBar();
    const QColor heading = SystemColors::inactiveTitleBar();

    auto button = [this, c](const char *name, const QString &caption, double left, double top,
                            double width, double height, void (Opties::*handler)()) {
        auto *b = new QPushButton(caption, c);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        placeTw(b, left, top, width, height);
        connect(b, &QPushButton::clicked, this, handler);
        return b;
    };

    Label1 = label(c, "Label1", QStringLiteral("Auto-start streams bij starten Kijkraam:"), 8.25, text);
    placeTw(Label1, 240, 240, 3615, 255);
    Command1 = button("Command1", QStringLiteral("Ja"), 4080, 240, 495, 255, &Opties::Command1_Click);
    Command2 = button("Command2", QStringLiteral("Nee"), 4680, 240, 615, 255, &Opties::Command2_Click);

    Label2 = label(c, "Label2", QStringLiteral("Stream-adressen:"), 8.25, text);
    placeTw(Label2, 240, 720, 3615, 255);
    Command3 = button("Command3", QStringLiteral("Wijzigen"), 4080, 720, 1215, 255, &Opties::Command3_Click);

    Label4 = label(c, "Label4", QStringLiteral("Snapshot"), 12, heading);
    placeTw(Label4, 240, 1320, 2775, 375);
    Label3 = label(c, "Label3", QStringLiteral("Auto-save bij nemen snapshot:"), 8.25, text);
    placeTw(Label3, 240, 1680, 2775, 255);
    Command5 = button("Command5", QStringLiteral("Ja"), 4080, 1680, 495, 255, &Opties::Command5_Click);
    Command6 = button("Command6", QStringLiteral("Nee"), 4680, 1680, 615, 255, &Opties::Command6_Click);

    Label5 = label(c, "Label5", QStringLiteral("Nieuws-ticker"), 12, heading);
    placeTw(Label5, 240, 2160, 2775, 375);
    Label6 = label(c, "Label6", QStringLiteral("Start Nieuws-ticker bij starten Kijkraam:"), 8.25, text);
    placeTw(Label6, 240, 2520, 3615, 255);
    Command7 = button("Command7", QStringLiteral("Ja"), 4080, 2520, 495, 255, &Opties::Command7_Click);
    Command8 = button("Command8", QStringLiteral("Nee"), 4680, 2520, 615, 255, &Opties::Command8_Click);

    Command4 = button("Command4", QStringLiteral("Opslaan"), 5400, 3240, 975, 375, &Opties::Command4_Click);

    // Focus moves through the buttons in this order; "Opslaan" comes fourth.
    const QList<QWidget *> tabOrder = {Command1, Command2, Command3, Command4,
                                       Command5, Command6, Command7, Command8};
    for (int i = 1; i < tabOrder.size(); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);
    Command1->setFocus();
}

// Each switch button writes its one key at once; the result of the write is
// not looked at and nothing in the window changes.
void Opties::Command1_Click() { INI::WriteSetting(Section, QStringLiteral("Autostart"), QStringLiteral("Ja")); }
void Opties::Command2_Click() { INI::WriteSetting(Section, QStringLiteral("Autostart"), QStringLiteral("Nee")); }
void Opties::Command5_Click() { INI::WriteSetting(Section, QStringLiteral("Autosave_Snapshot"), QStringLiteral("Ja")); }
void Opties::Command6_Click() { INI::WriteSetting(Section, QStringLiteral("Autosave_Snapshot"), QStringLiteral("Nee")); }
void Opties::Command7_Click() { INI::WriteSetting(Section, QStringLiteral("Nieuws"), QStringLiteral("Ja")); }
void Opties::Command8_Click() { INI::WriteSetting(Section, QStringLiteral("Nieuws"), QStringLiteral("Nee")); }

void Opties::Command3_Click() { Forms::show(QStringLiteral("Adressen")); }

// Every switch is stored already; closing only unloads the window (the same
// as its close box). The addresses window stays as it is.
void Opties::Command4_Click() { close(); }
