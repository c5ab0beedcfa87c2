#pragma once
#include "layouts/LayoutGeometry.h"
#include "platform/Form.h"

class QAction;
class QMenu;
class TextField;
class WindowsMediaPlayer;

// The one-row window "Horizontaal" and the one-column window "verticaal":
// four players of their own, full screen and topmost commands, steps that
// enlarge or shrink the window with its players, and the switches to the
// main window and to the other layout. Both windows are this class; what
// differs between them is the LayoutDesign they are built from.
class LayoutWindow : public Form {
    Q_OBJECT
public:
    explicit LayoutWindow(bool horizontal);
    void Form_Load() override;

    const LayoutGeometry::LayoutDesign &design() const { return m_design; }

    WindowsMediaPlayer *WindowsMediaPlayer1, *WindowsMediaPlayer2, *WindowsMediaPlayer3,
        *WindowsMediaPlayer4;
    TextField *Adres1, *Adres2, *Adres3, *Adres4, *Text1;

    QMenu *mnuFile, *mnuView;
    QAction *mnuOpties, *mnuAbout, *mnu007, *mnuExit;
    QAction *mnuFullScreen, *mnuFullScreen2, *mnuFullScreen3, *mnuFullScreen4, *mnuStreep2;
    QAction *mnuVergroot, *mnuVerklein, *mnuStreep, *mnuNormaal;
    // The item that opens the other layout: mnuVerticaal in the row window,
    // mnuHorizontaal in the column window; the other pointer stays null.
    QAction *mnuVerticaal = nullptr, *mnuHorizontaal = nullptr;
    QAction *mnu001, *mnuOnTop;

    WindowsMediaPlayer *player(int slot) const;

    // The window's geometry as the step works on it, and the bounds it must
    // keep where it stands now on its screen.
    LayoutGeometry::LayoutState currentState() const;
    LayoutGeometry::Limits limits() const;
    // One enlarge or shrink step; false (and nothing changed) when refused.
    bool stepSize(LayoutGeometry::Step direction);

    // Command handlers
    void mnuExit_Click();
    void mnuVergroot_Click();
    void mnuVerklein_Click();
    void mnuNormaal_Click();
    void mnuSwitch_Click(); // mnuVerticaal / mnuHorizontaal
    void mnuOnTop_Click();

private:
    void replaceBy(const QString &next);

    const LayoutGeometry::LayoutDesign &m_design;
};
