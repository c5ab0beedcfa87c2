#pragma once
// What the three four-player windows (the grid, the row and the column)
// have in common: their "&Bestand" menu, the four full-screen items, and
// the part of their load that gives the players their streams.
#include <QString>
#include <array>
#include <functional>

class QAction;
class QMenu;
class QMenuBar;
class QObject;
class TextField;
class WindowsMediaPlayer;

namespace FourPlayers {

struct FileMenu {
    QMenu *menu;
    QAction *opties, *about, *separator, *exit;
};

// "&Bestand": "&Opties" (opens Opties), "&About" (opens Form2), a
// separator, "&Sluiten" (runs `exit`).
FileMenu addFileMenu(QMenuBar *bar, QObject *context, std::function<void()> exit);

// "&Stream1 Full Screen" … "&Stream4 Full Screen": full screen for a
// player that plays; nothing otherwise.
std::array<QAction *, 4> addFullScreenItems(QMenu *menu, QObject *context,
                                            std::function<WindowsMediaPlayer *(int)> player);

// Read the four addresses into their fields (all before any player is
// touched), give each player its address ("Auto": the slot's built-in
// one), read "Autostart" into its field, then play the four, or close
// them when it is exactly "Nee".
void loadStreams(const std::array<WindowsMediaPlayer *, 4> &players,
                 const std::array<TextField *, 4> &addressFields, TextField *autostartField);

} // namespace FourPlayers
