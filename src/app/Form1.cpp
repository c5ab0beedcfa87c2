#include "app/Form1.h"
#include "platform/Forms.h"
#include "platform/Menus.h"
#include "platform/TextField.h"
#include "platform/WebBrowser.h"
#include "player/WindowsMediaPlayer.h"
#include "settings/Addresses.h"
#include "settings/SettingKeys.h"

#include <QFrame>
#include <QPushButton>

namespace {
// The grid: two columns overlapping by 15 twips, rows 105 twips apart.
const std::array<QRectF, 4> Grid = {QRectF(0, 0, 4215, 3615), QRectF(4200, 0, 4215, 3615), QRectF(0, 3720, 4215, 3615),
                                    QRectF(4200, 3720, 4215, 3615)};
} // namespace

Form1::Form1() : FourPlayerWindow(WindowKey::Main, 8415, 7335, true, Grid)
{
    mnuStreep = Menus::separator(mnuView, "mnuStreep");
    mnuHorizontaal = Menus::item(mnuView, "mnuHorizontaal", QStringLiteral("&Horizontaal"), this,
                                 &Form1::mnuHorizontaal_Click);
    mnuVerticaal = Menus::item(mnuView, "mnuVerticaal", QStringLiteral("&Verticaal"), this, &Form1::mnuVerticaal_Click);
    addOnTopItem();

    QWidget *c = client();
    // "Vergroot" in the lower-right corner of each player, drawn above it.
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
    // Black boxes over the ticker's edges.
    auto blackBox = [c](const char *name, double left, double top, double width, double height) {
        auto *box = new QFrame(c);
        box->setObjectName(QLatin1String(name));
        fill(box, Qt::black);
        placeTw(box, left, top, width, height);
        return box;
    };
    Picture3 = blackBox("Picture3", 1200, 7440, 6375, 255);
    Picture2 = blackBox("Picture2", 720, 7545, 615, 615);
    Picture1 = blackBox("Picture1", 7200, 7545, 615, 615);
    WebBrowser1 = new WebBrowser(c);
    WebBrowser1->setObjectName(QStringLiteral("WebBrowser1"));
    placeTw(WebBrowser1, 8520, 6720, 855, 495);

    Ticker = new TextField(QStringLiteral("Ticker"), c, true);
    placeTw(Ticker, 7800, 360, 615, 285);

    setTabChain({WindowsMediaPlayer1, WindowsMediaPlayer2, WindowsMediaPlayer3, WindowsMediaPlayer4, Command1, Command2,
                 Command3, Command4, Text1, Adres1, Adres2, Adres3, Adres4, WebBrowser1, Picture3, Picture2, Picture1,
                 WebBrowser2, Ticker});

    placeClientAtTw(3195, 2685);
}

void Form1::Form_Load()
{
    // 1. The visitor counter, before any setting is read.
    WebBrowser1->Navigate(Addresses::counterPage());

    // 2, 3. The ticker and the window height that goes with it.
    Ticker->setText(SettingKeys::read(SettingKeys::Nieuws));
    if (Ticker->Text() == SettingKeys::Yes) {
        WebBrowser2->Navigate(Addresses::tickerPage());
        setOuterHeightTw(8790);
    } else {
        setOuterHeightTw(8115);
    }

    // 4 to 7. The four addresses, then each player its stream, then play
    // or close them by "Autostart".
    loadStreams();
}

void Form1::mnuHorizontaal_Click() { replaceBy(WindowKey::Row); }
void Form1::mnuVerticaal_Click() { replaceBy(WindowKey::Column); }

void Form1::Command_Click(int slot) { Forms::show(WindowKeys::stream(slot)); }
