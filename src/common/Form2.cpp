#include "common/Form2.h"
#include "common/Labels.h"
#include "common/OnTopBas.h"
#include "common/SystemColors.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScreen>

QString Form2::termsOfUse()
{
    return QStringLiteral("Alle intellectuele eigendomsrechten op de beelden\r\n"
                          "en geluiden berusten bij Omroep Voorbeeld of haar\r\n"
                          "licentiegevers. Omroep Voorbeeld en de maker van\r\n"
                          "dit programma aanvaarden geen aansprakelijkheid\r\n"
                          "voor schade door het gebruik van dit programma.\r\n"
                          "Gebruik van Kijkraam is geheel voor eigen risico.\r\n");
}

Form2::Form2() : Form(WindowKey::About)
{
    setWindowTitle(QStringLiteral("About"));
    setDesign(6660, 2940, Frame::FixedSingle, false, false);
    setClientColour(SystemColors::desktop());
    QWidget *c = client();

    using Labels::caption;
    using Labels::font;
    const QColor desktop = SystemColors::desktop();
    const QColor hiText = SystemColors::highlightText();
    const QColor transparent;
    const auto centred = Qt::AlignHCenter | Qt::AlignTop;
    // The window's own font, for the labels that name none.
    const QFont plain = font(QStringLiteral("MS Sans Serif"), 8.25);

    Label1[0] = caption(c, "Label1_0", QStringLiteral("Kijkraam 2005"),
                        font(QStringLiteral("Comic Sans MS"), 12, true, true), SystemColors::window(), transparent,
                        centred);
    placeTw(Label1[0], 0, 120, 2175, 375);
    Label1[1] = caption(c, "Label1_1", QStringLiteral("versie 2.3a"), font(QStringLiteral("Arial"), 9.75, false, true),
                        hiText, transparent, centred);
    placeTw(Label1[1], 840, 480, 1215, 255);
    Label2 = caption(c, "Label2", QStringLiteral("VOORWAARDEN"), font(QStringLiteral("Comic Sans MS"), 11.25, true),
                     hiText, desktop);
    placeTw(Label2, 2280, 480, 1935, 375);

    Text1 = new QPlainTextEdit(c);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setPlainText(termsOfUse());
    Text1->setFont(font(QStringLiteral("Arial"), 8.25));
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Text1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QPalette tp = Text1->palette();
    tp.setColor(QPalette::Base, SystemColors::activeTitleBar());
    tp.setColor(QPalette::Text, hiText);
    Text1->setPalette(tp);
    placeTw(Text1, 2280, 840, 4335, 1215);

    Label3 = caption(c, "Label3", QStringLiteral("27-08-05"), font(QStringLiteral("Arial"), 8.25, false, true), hiText,
                     desktop);
    placeTw(Label3, 5880, 2160, 735, 255);
    Label1[3] = caption(c, "Label1_3", QStringLiteral("Voor updates of info:"), plain, hiText, transparent, centred);
    placeTw(Label1[3], 0, 2400, 2175, 255);
    Label1[2] = caption(c, "Label1_2", QStringLiteral("\u00a9 2003 - 2005 Kijkraam"), plain, hiText, transparent,
                        centred);
    placeTw(Label1[2], 3960, 2400, 2535, 255);
    Label1[4] = caption(c, "Label1_4", QStringLiteral("www.kijkraam.example"),
                        font(QStringLiteral("MS Sans Serif"), 8.25, true), hiText, transparent, centred);
    placeTw(Label1[4], 600, 2640, 2175, 255);
    Label4 = caption(c, "Label4", QStringLiteral("Team KR"), plain, hiText, desktop);
    placeTw(Label4, 5400, 2640, 1095, 255);

    // The terms are the only control that takes the keyboard.
    Text1->setFocus();

    // Opened without an owner: centre it on the screen.
    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        QRect r(QPoint(), size());
        r.moveCenter(screen->availableGeometry().center());
        move(r.topLeft());
    }
}

void Form2::Form_Load() { SetOnTop(this, true); }
