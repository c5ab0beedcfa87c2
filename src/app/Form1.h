#pragma once
#include "platform/Form.h"

class QAction;
class QMenu;
class QPushButton;
class QFrame;
class TextField;
class WebBrowser;
class WindowsMediaPlayer;

// The main window: four players in a two-by-two grid, a "Vergroot" button
// per player, the news ticker below the grid and a hidden visitor counter.
class Form1 : public Form {
    Q_OBJECT
public:
    Form1();
    void Form_Load() override;

    WindowsMediaPlayer *WindowsMediaPlayer1, *WindowsMediaPlayer2, *WindowsMediaPlayer3,
        *WindowsMediaPlayer4;
    QPushButton *Command1, *Command2, *Command3, *Command4;
    WebBrowser *WebBrowser1, *WebBrowser2;
    QFrame *Picture1, *Picture2, *Picture3;
    TextField *Text1, *Adres1, *Adres2, *Adres3, *Adres4, *Ticker;

    QMenu *mnuFile, *mnuView;
    QAction *mnuOpties, *mnuAbout, *mnu007, *mnuExit;
    QAction *mnuFullScreen, *mnuFullScreen2, *mnuFullScreen3, *mnuFullScreen4, *mnuStreep;
    QAction *mnuHorizontaal, *mnuVerticaal, *mnu001, *mnuOnTop;

    WindowsMediaPlayer *player(int slot) const;

    // Command handlers
    void mnuExit_Click();
    void mnuOnTop_Click();
    void mnuHorizontaal_Click();
    void mnuVerticaal_Click();
    void Command_Click(int slot);
};
