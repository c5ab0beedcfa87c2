#include "app/Form1.h"
#include "common/FourPlayers.h"
#include "common/OnTopBas.h"
#include "platform/Forms.h"
#include "platform/Menus.h"
#include "platform/TextField.h"
#include "platform/WebBrowser.h"
#include "player/WindowsMediaPlayer.h"
#include "settings/Addresses.h"
#include "settings/Ini.h"

#include <QFrame>
#include <QMenuBar>
#include <QPushButton>

namespace {
QFrame *blackBox(QWidget *parent, const char *name)
{
    auto *box = new QFrame(parent);
    box->setObjectName(QLatin1String(name));
    box->setAutoFillBackground(true);
    QPalette pal = box->palette();
    pal.setColor(QPalette::Window, Qt::black);
    box->setPalette(pal);
    return box;
}
} // namespace

Form1::Form1() : Form(QStringLiteral("Form1"))
{
    setWindowTitle(QStringLiteral("Kijkraam 2005"));

    // Menus first: the menu bar is part of the outer size.
    QMenuBar *bar = menuBar();
    const FourPlayers::FileMenu file = FourPlayers::addFileMenu(bar, this, [this] { mnuExit_Click(); });
    mnuFile = file.menu;
    mnuOpties = file.opties;
    mnuAbout = file.about;
    mnu007 = file.separator;
    mnuExit = file.exit;
    mnuView = Menus::menu(bar, "mnuView", QStringLiteral("&Beeld"));
    const auto fullScreen = FourPlayers::addFullScreenItems(mnuView, this, [this](int slot) { return player(slot); });
    mnuFullScreen = fullScreen[0];
    mnuFullScreen2 = fullScreen[1];
    mnuFullScreen3 = fullScreen[2];
    mnuFullScreen4 = fullScreen[3];
    mnuStreep = Menus::separator(mnuView, "mnuStreep");
    mnuHorizontaal = Menus::item(mnuView, "mnuHorizontaal", QStringLiteral("&Horizontaal"), this,
                                 &Form1::mnuHorizontaal_Click);
    mnuVerticaal = Menus::item(mnuView, "mnuVerticaal", QStringLiteral("&Verticaal"), this,
                               &Form1::mnuVerticaal_Click);
    mnu001 = Menus::separator(mnuView, "mnu001");
    mnuOnTop = Menus::checkItem(mnuView, "mnuOnTop", QStringLiteral("Always On &Top"), this, &Form1::mnuOnTop_Click);

    setDesign(8415, 7335, Frame::FixedSingle, true, false);
    QWidget *c = client();
    c->setAutoFillBackground(true);
    QPalette pal = c->palette();
    pal.setColor(QPalette::Window, Qt::black); // the system's window-text colour
    c->setPalette(pal);

    auto makePlayer = [c](const char *name, double left, double top) {
        auto *p = new WindowsMediaPlayer(c);
        p->setObjectName(QLatin1String(name));
        p->placeTw(left, top, 4215, 3615);
        return p;
    };
    WindowsMediaPlayer1 = makePlayer("WindowsMediaPlayer1", 0, 0);
    WindowsMediaPlayer2 = makePlayer("WindowsMediaPlayer2", 4200, 0);
    WindowsMediaPlayer3 = makePlayer("WindowsMediaPlayer3", 0, 3720);
    WindowsMediaPlayer4 = makePlayer("WindowsMediaPlayer4", 4200, 3720);

    auto makeButton = [this, c](const char *name, double left, double top, int slot) {
        auto *b = new QPushButton(QStringLiteral("Vergroot"), c);
        b->setObjectName(QLatin1String(name));
        placeTw(b, left, top, 855, 255);
        QFont f = b->font();
        f.setPointSizeF(8);
        b->setFont(f);
        connect(b, &QPushButton::clicked, this, [this, slot] { Command_Click(slot); });
        b->raise();
        return b;
    };
    Command1 = makeButton("Command1", 3360, 3360, 1);
    Command2 = makeButton("Command2", 7560, 3360, 2);
    Command3 = makeButton("Command3", 3360, 7080, 3);
    Command4 = makeButton("Command4", 7560, 7080, 4);

    WebBrowser2 = new WebBrowser(c);
    WebBrowser2->setObjectName(QStringLiteral("WebBrowser2"));
    placeTw(WebBrowser2, 1200, 7650, 6375, 495);
    Picture3 = blackBox(c, "Picture3");
    placeTw(Picture3, 1200, 7440, 6375, 255);
    Picture2 = blackBox(c, "Picture2");
    placeTw(Picture2, 720, 7545, 615, 615);
    Picture1 = blackBox(c, "Picture1");
    placeTw(Picture1, 7200, 7545, 615, 615);
    WebBrowser1 = new WebBrowser(c);
    WebBrowser1->setObjectName(QStringLiteral("WebBrowser1"));
    placeTw(WebBrowser1, 8520, 6720, 855, 495);

    Text1 = new TextField(QStringLiteral("Text1"), c, true);
    Text1->setText(QStringLiteral("Autostart"));
    Adres1 = new TextField(QStringLiteral("Adres1"), c, true);
    Adres2 = new TextField(QStringLiteral("Adres2"), c, true);
    Adres3 = new TextField(QStringLiteral("Adres3"), c, true);
    Adres4 = new TextField(QStringLiteral("Adres4"), c, true);
    for (TextField *f : {Adres1, Adres2, Adres3, Adres4})
        f->setText(QStringLiteral("Adres"));
    Ticker = new TextField(QStringLiteral("Ticker"), c, true);

    const QList<QWidget *> tabOrder = {WindowsMediaPlayer1, WindowsMediaPlayer2, WindowsMediaPlayer3,
                                       WindowsMediaPlayer4, Command1, Command2, Command3, Command4,
                                       Text1, Adres1, Adres2, Adres3, Adres4, WebBrowser1,
                                       Picture3, Picture2, Picture1, WebBrowser2, Ticker};
    for (int i = 1; i < tabOrder.size(); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);

    placeClientAtTw(3195, 2685);
}

WindowsMediaPlayer *Form1::player(int slot) const
{
    switch (slot) {
    case 1: return WindowsMediaPlayer1;
    case 2: return WindowsMediaPlayer2;
    case 3: return WindowsMediaPlayer3;
    case 4: return WindowsMediaPlayer4;
    default: return nullptr;
    }
}

void Form1::Form_Load()
{
    // 1. The visitor counter, before any setting is read.
    WebBrowser1->Navigate(Addresses::counterPage());

    // 2, 3. The ticker and the window height that goes with it.
    Ticker->setText(INI::ReadSetting(QStringLiteral("Kijkraam"), QStringLiteral("Nieuws"), QStringLiteral("Nee")));
    if (Ticker->Text() == QLatin1String("Ja")) {
        WebBrowser2->Navigate(Addresses::tickerPage());
        setOuterHeightTw(8790);
    } else {
        setOuterHeightTw(8115);
    }

    // 4 to 7. The four addresses, then each player its stream, then play
    // or close them by "Autostart".
    FourPlayers::loadStreams({WindowsMediaPlayer1, WindowsMediaPlayer2, WindowsMediaPlayer3, WindowsMediaPlayer4},
                             {Adres1, Adres2, Adres3, Adres4}, Text1);
}

void Form1::mnuExit_Click()
{
    Forms::unload(objectName());
    Forms::endProgram();
}

void Form1::mnuOnTop_Click() { ToggleOnTop(mnuOnTop, this); }


void Form1::mnuHorizontaal_Click()
{
    Forms::show(QStringLiteral("Horizontaal"));
    Forms::unload(objectName());
}

void Form1::mnuVerticaal_Click()
{
    Forms::show(QStringLiteral("verticaal"));
    Forms::unload(objectName());
}

void Form1::Command_Click(int slot)
{
    Forms::show(QStringLiteral("Stream%1").arg(slot));
}
