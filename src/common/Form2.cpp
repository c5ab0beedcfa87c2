#include "common/Form2.h"
#include "common/OnTopBas.h"
#include "common/SystemColors.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScreen>

namespace {
QFont makeFont(const QString &family, double points, bool bold, bool italic)
{
    QFont f(family);
    f.setPointSizeF(points);
    f.setBold(bold);
    f.setItalic(italic);
    // The fonts the window was drawn with are narrower than the usual
    // stand-ins; a little condensing keeps every caption within its label.
    f.setStretch(QFont::SemiCondensed);
    return f;
}

QLabel *label(QWidget *parent, const char *name, const QString &text, const QColor &fg,
              const QColor *bg, Qt::Alignment align = Qt::AlignLeft | Qt::AlignTop)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    QPalette pal = l->palette();
    pal.setColor(QPalette::WindowText, fg);
    if (bg) {
        l->setAutoFillBackground(true);
        pal.setColor(QPalette::Window, *bg);
    }
    l->setPalette(pal);
    l->setAlignment(align);
    return l;
}
} // namespace

QString Form2::termsOfUse()
{
    return QStringLiteral(
        "Alle intellectuele eigendomsrechten op de beelden en\r\n"
        "geluiden berusten bij Omroep Voorbeeld of haar licentiegevers.\r\n"
        "Omroep Voorbeeld en de maker van dit programma aanvaarden\r\n"
        "geen enkele aansprakelijkheid voor schade die voortvloeit\r\n"
        "uit het gebruik van dit programma.\r\n"
        "Gebruik van Kijkraam is geheel voor eigen risico.\r\n");
}

Form2::Form2() : Form(QStringLiteral("Form2"))
{
    setWindowTitle(QStringLiteral("About"));
    setDesign(6660, 2940, Frame::FixedSingle, false, false);
    QWidget *c = client();
    c->setAutoFillBackground(true);
    QPalette pal = c->palette();
    pal.setColor(QPalette::Window, SystemColors::desktop());
    c->setPalette(pal);

    const QColor desktop = SystemColors::desktop();
    const QColor hiText = SystemColors::highlightText();
    const auto centred = Qt::AlignHCenter | Qt::AlignTop;

    Label1[0] = label(c, "Label1_0", QStringLiteral("Kijkraam 2005"), SystemColors::window(), nullptr, centred);
    Label1[0]->setFont(makeFont(QStringLiteral("Comic Sans MS"), 12, true, true));
    placeTw(Label1[0], 0, 120, 2175, 375);

    Label1[1] = label(c, "Label1_1", QStringLiteral("versie 2.3a"), hiText, nullptr, centred);
    Label1[1]->setFont(makeFont(QStringLiteral("Arial"), 9.75, false, true));
    placeTw(Label1[1], 840, 480, 1215, 255);

    Label2 = label(c, "Label2", QStringLiteral("VOORWAARDEN"), hiText, &desktop);
    Label2->setFont(makeFont(QStringLiteral("Comic Sans MS"), 11.25, true, false));
    placeTw(Label2, 2280, 480, 1935, 375);

    Text1 = new QPlainTextEdit(c);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setPlainText(termsOfUse());
    Text1->setFont(makeFont(QStringLiteral("Arial"), 8.25, false, false));
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Text1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QPalette tp = Text1->palette();
    tp.setColor(QPalette::Base, SystemColors::activeTitleBar());
    tp.setColor(QPalette::Text, hiText);
    Text1->setPalette(tp);
    placeTw(Text1, 2280, 840, 4335, 1215);

    Label3 = label(c, "Label3", QStringLiteral("27-08-05"), hiText, &desktop);
    Label3->setFont(makeFont(QStringLiteral("Arial"), 8.25, false, true));
    placeTw(Label3, 5880, 2160, 735, 255);

    Label1[3] = label(c, "Label1_3", QStringLiteral("Voor updates of info:"), hiText, nullptr, centred);
    Label1[3]->setFont(makeFont(Label1[3]->font().family(), Label1[3]->font().pointSizeF(), false, false));
    placeTw(Label1[3], 0, 2400, 2175, 255);

    Label1[2] = label(c, "Label1_2", QStringLiteral("\u00a9 2003 - 2005 Kijkraam"), hiText, nullptr, centred);
    Label1[2]->setFont(makeFont(Label1[2]->font().family(), Label1[2]->font().pointSizeF(), false, false));
    placeTw(Label1[2], 3960, 2400, 2535, 255);

    Label1[4] = label(c, "Label1_4", QStringLiteral("www.kijkraam.example"), hiText, nullptr, centred);
    Label1[4]->setFont(makeFont(QStringLiteral("MS Sans Serif"), 8.25, true, false));
    placeTw(Label1[4], 600, 2640, 2175, 255);

    Label4 = label(c, "Label4", QStringLiteral("Team KR"), hiText, &desktop);
    Label4->setFont(makeFont(Label4->font().family(), Label4->font().pointSizeF(), false, false));
    placeTw(Label4, 5400, 2640, 1095, 255);

    for (QLabel *l : {Label1[0], Label1[1], Label1[2], Label1[3], Label1[4], Label2, Label3, Label4})
        l->setFocusPolicy(Qt::NoFocus);
    Text1->setFocus();

    // Opened without an owner: centre it on the screen.
    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        QRect r(QPoint(), size());
        r.moveCenter(screen->availableGeometry().center());
        move(r.topLeft());
    }
}

void Form2::Form_Load()
{
    SetOnTop(this, true);
}
