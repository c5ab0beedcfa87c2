#pragma once
#include "platform/Form.h"
#include "platform/WindowKey.h"

#include <QRectF>
#include <array>

class QAction;
class QMenu;
class TextField;
class WindowsMediaPlayer;

// What the three windows that show all four streams (the grid `Form1`, the
// row `Horizontaal` and the column `verticaal`) have in common: four
// players of their own, the hidden fields their load fills, the "&Bestand"
// menu, the four full-screen items and the topmost toggle of "&Beeld", and
// the load steps that give the players their streams.
class FourPlayerWindow : public Form {
    Q_OBJECT
public:
    WindowsMediaPlayer *WindowsMediaPlayer1, *WindowsMediaPlayer2, *WindowsMediaPlayer3, *WindowsMediaPlayer4;
    TextField *Text1, *Adres1, *Adres2, *Adres3, *Adres4;

    QMenu *mnuFile, *mnuView;
    QAction *mnuOpties, *mnuAbout, *mnu007, *mnuExit;
    QAction *mnuFullScreen, *mnuFullScreen2, *mnuFullScreen3, *mnuFullScreen4;
    QAction *mnu001 = nullptr, *mnuOnTop = nullptr;

    // The player of slot 1..4, or nullptr.
    WindowsMediaPlayer *player(int slot) const;

    // Command handlers
    void mnuExit_Click(); // "&Sluiten": this window goes, and the program ends
    void mnuOnTop_Click();
    void mnuFullScreen_Click(int slot); // only while that player plays

protected:
    // Menus and players of a window with this client area; players at their
    // design rectangles (twips), slot 1 first.
    FourPlayerWindow(WindowKey key, double clientWidthTw, double clientHeightTw, bool minimizeButton,
                     const std::array<QRectF, 4> &players);

    // The end of "&Beeld": a separator and "Always On &Top". A window adds
    // its own items to `mnuView` first.
    void addOnTopItem();

    // The load steps every four-player window shares: the four addresses
    // into their fields (all before any player is touched), each player
    // its address ("Auto": the slot's built-in one), "Autostart" into
    // `Text1`, then the four players played, or closed when it is exactly
    // "Nee".
    void loadStreams();

    // Load and show the window `next`, then unload this one.
    void replaceBy(WindowKey next);

private:
    const WindowKey m_key;
};
