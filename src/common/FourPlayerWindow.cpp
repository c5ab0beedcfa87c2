#include "common/FourPlayerWindow.h"
#include "common/OnTopBas.h"
#include "common/SystemColors.h"
#include "platform/Forms.h"
#include "platform/Menus.h"
#include "platform/TextField.h"
#include "player/WindowsMediaPlayer.h"
#include "settings/Addresses.h"
#include "settings/SettingKeys.h"

#include <QMenuBar>

FourPlayerWindow::FourPlayerWindow(WindowKey key, double clientWidthTw, double clientHeightTw, bool minimizeButton,
                                   const std::array<QRectF, 4> &players)
    : Form(key), m_key(key)
{
    setWindowTitle(QStringLiteral("Kijkraam 2005"));

    // Menus first: the menu bar is part of the outer size.
    QMenuBar *bar = menuBar();
    mnuFile = Menus::menu(bar, "mnuFile", QStringLiteral("&Bestand"));
    mnuOpties = Menus::item(mnuFile, "mnuOpties", QStringLiteral("&Opties"), this,
                            [] { Forms::show(WindowKey::Options); });
    mnuAbout = Menus::item(mnuFile, "mnuAbout", QStringLiteral("&About"), this, [] { Forms::show(WindowKey::About); });
    mnu007 = Menus::separator(mnuFile, "mnu007");
    mnuExit = Menus::item(mnuFile, "mnuExit", QStringLiteral("&Sluiten"), this, &FourPlayerWindow::mnuExit_Click);
    mnuView = Menus::menu(bar, "mnuView", QStringLiteral("&Beeld"));
    QAction **fullScreen[] = {&mnuFullScreen, &mnuFullScreen2, &mnuFullScreen3, &mnuFullScreen4};
    for (int slot = 1; slot <= 4; ++slot) {
        const QByteArray itemName = slot == 1 ? QByteArray("mnuFullScreen")
                                              : "mnuFullScreen" + QByteArray::number(slot);
        *fullScreen[slot - 1] = Menus::item(mnuView, itemName.constData(),
                                            QStringLiteral("&Stream%1 Full Screen").arg(slot), this,
                                            [this, slot] { mnuFullScreen_Click(slot); });
    }

    setDesign(clientWidthTw, clientHeightTw, Frame::FixedSingle, minimizeButton, false);
    setClientColour(SystemColors::windowText());

    // The players keep the component's design settings of the four-player
    // windows: no stretching, no context menu.
    QWidget *c = client();
    WindowsMediaPlayer **members[] = {&WindowsMediaPlayer1, &WindowsMediaPlayer2, &WindowsMediaPlayer3,
                                      &WindowsMediaPlayer4};
    for (int n = 0; n < 4; ++n) {
        auto *p = new WindowsMediaPlayer(c);
        p->setObjectName(QStringLiteral("WindowsMediaPlayer%1").arg(n + 1));
        p->placeTw(players[n].left(), players[n].top(), players[n].width(), players[n].height());
        *members[n] = p;
    }

    // Hidden fields that hold what the load read.
    auto hiddenField = [c](const char *fieldName, const char *text, double left, double top, double width) {
        auto *f = new TextField(QLatin1String(fieldName), c, true);
        f->setText(QLatin1String(text));
        placeTw(f, left, top, width, 285);
        return f;
    };
    Text1 = hiddenField("Text1", "Autostart", 0, 0, 855);
    Adres1 = hiddenField("Adres1", "Adres", 0, 360, 615);
    Adres2 = hiddenField("Adres2", "Adres", 7800, 0, 615);
    Adres3 = hiddenField("Adres3", "Adres", 0, 3600, 615);
    Adres4 = hiddenField("Adres4", "Adres", 7800, 3600, 615);

    // At start the keyboard is with the first player.
    WindowsMediaPlayer1->setFocus();
}

void FourPlayerWindow::addOnTopItem()
{
    mnu001 = Menus::separator(mnuView, "mnu001");
    mnuOnTop = Menus::checkItem(mnuView, "mnuOnTop", QStringLiteral("Always On &Top"), this,
                                &FourPlayerWindow::mnuOnTop_Click);
}

WindowsMediaPlayer *FourPlayerWindow::player(int slot) const
{
    switch (slot) {
    case 1:
        return WindowsMediaPlayer1;
    case 2:
        return WindowsMediaPlayer2;
    case 3:
        return WindowsMediaPlayer3;
    case 4:
        return WindowsMediaPlayer4;
    default:
        return nullptr;
    }
}

void FourPlayerWindow::loadStreams()
{
    TextField *fields[] = {Adres1, Adres2, Adres3, Adres4};
    for (int slot = 1; slot <= 4; ++slot)
        fields[slot - 1]->setText(SettingKeys::read(SettingKeys::address(slot)));
    for (int slot = 1; slot <= 4; ++slot)
        player(slot)->setURL(Addresses::resolve(slot, fields[slot - 1]->Text()));
    Text1->setText(SettingKeys::read(SettingKeys::Autostart));
    const bool start = Text1->Text() != SettingKeys::No;
    for (int slot = 1; slot <= 4; ++slot) {
        if (start)
            player(slot)->controls.play();
        else
            player(slot)->closeMedia();
    }
}

void FourPlayerWindow::mnuFullScreen_Click(int slot)
{
    WindowsMediaPlayer *p = player(slot);
    if (p->playState() == int(PlayState::Playing))
        p->setFullScreen(true);
}

void FourPlayerWindow::mnuOnTop_Click() { ToggleOnTop(mnuOnTop, this); }

void FourPlayerWindow::mnuExit_Click() { Forms::endProgram(); }

// The next window loads (reading the settings, starting its own players)
// and shows before this one goes; nothing is handed over.
void FourPlayerWindow::replaceBy(WindowKey next)
{
    Forms::show(next);
    Forms::unload(m_key);
}
