#pragma once
#include "common/FourPlayerWindow.h"

class QAction;
class QPushButton;
class QFrame;
class TextField;
class WebBrowser;

// The main window: four players in a two-by-two grid, a "Vergroot" button
// per player, the news ticker below the grid and a hidden visitor counter.
class Form1 : public FourPlayerWindow {
    Q_OBJECT
public:
    Form1();
    void Form_Load() override;

    QPushButton *Command1, *Command2, *Command3, *Command4;
    WebBrowser *WebBrowser1, *WebBrowser2;
    QFrame *Picture1, *Picture2, *Picture3;
    TextField *Ticker;

    QAction *mnuStreep, *mnuHorizontaal, *mnuVerticaal;

    // Command handlers
    void mnuHorizontaal_Click();
    void mnuVerticaal_Click();
    void Command_Click(int slot); // "Vergroot" of slot 1..4
};
