#include "common/FourPlayers.h"
#include "platform/Forms.h"
#include "platform/Menus.h"
#include "platform/TextField.h"
#include "player/WindowsMediaPlayer.h"
#include "settings/Addresses.h"
#include "settings/Ini.h"

namespace FourPlayers {

FileMenu addFileMenu(QMenuBar *bar, QObject *context, std::function<void()> exit)
{
    FileMenu m;
    m.menu = Menus::menu(bar, "mnuFile", QStringLiteral("&Bestand"));
    m.opties = Menus::item(m.menu, "mnuOpties", QStringLiteral("&Opties"), context,
                           [] { Forms::show(QStringLiteral("Opties")); });
    m.about = Menus::item(m.menu, "mnuAbout", QStringLiteral("&About"), context,
                          [] { Forms::show(QStringLiteral("Form2")); });
    m.separator = Menus::separator(m.menu, "mnu007");
    m.exit = Menus::item(m.menu, "mnuExit", QStringLiteral("&Sluiten"), context, std::move(exit));
    return m;
}

std::array<QAction *, 4> addFullScreenItems(QMenu *menu, QObject *context,
                                            std::function<WindowsMediaPlayer *(int)> player)
{
    static const char *const names[] = {"mnuFullScreen", "mnuFullScreen2", "mnuFullScreen3", "mnuFullScreen4"};
    std::array<QAction *, 4> items{};
    for (int slot = 1; slot <= 4; ++slot)
        items[size_t(slot - 1)] = Menus::item(menu, names[slot - 1], QStringLiteral("&Stream%1 Full Screen").arg(slot),
                                              context, [player, slot] {
                                                  WindowsMediaPlayer *p = player(slot);
                                                  if (p->playState() == 3)
                                                      p->setFullScreen(true);
                                              });
    return items;
}

void loadStreams(const std::array<WindowsMediaPlayer *, 4> &players,
                 const std::array<TextField *, 4> &addressFields, TextField *autostartField)
{
    for (int slot = 1; slot <= 4; ++slot)
        addressFields[size_t(slot - 1)]->setText(
            INI::ReadSetting(Addresses::sectionOf(slot), QStringLiteral("Adres"), QStringLiteral("Auto")));
    for (int slot = 1; slot <= 4; ++slot)
        players[size_t(slot - 1)]->setURL(Addresses::resolve(slot, addressFields[size_t(slot - 1)]->Text()));
    autostartField->setText(INI::ReadSetting(QStringLiteral("Kijkraam"), QStringLiteral("Autostart"), QStringLiteral("Nee")));
    const bool start = autostartField->Text() != QLatin1String("Nee");
    for (WindowsMediaPlayer *p : players) {
        if (start)
            p->controls.play();
        else
            p->close();
    }
}

} // namespace FourPlayers
