#pragma once
#include "layouts/LayoutGeometry.h"
#include "platform/Form.h"

class QAction;
class QMenu;
class SnapshotButton;
class TextField;
class WindowsMediaPlayer;

// The window of one stream slot ("Stream1" .. "Stream4"): a larger player of
// its own for the slot, size steps, full screen, always on top, and the
// snapshot button over the video. The four slots differ only in data.
class StreamWindow : public Form {
    Q_OBJECT
public:
    explicit StreamWindow(int slot);
    int slot() const { return m_slot; }

    void Form_Load() override;

    WindowsMediaPlayer *WindowsMediaPlayer1;
    SnapshotButton *Image1;
    TextField *Adres, *Save;

    QAction *mnuSluiten;
    QMenu *mnuFile;
    QAction *mnuVerklein, *mnuVergroot, *mnuFullScreen, *mnuStreep, *mnuOnTop;

    // A step is refused whole when the player would get smaller than this,
    // or the window would leave its screen's available area from where it
    // stands.
    static constexpr double MinPlayerWidthTw = 2400.0;  // 160 pixels
    static constexpr double MinPlayerHeightTw = 1800.0; // 120 pixels

    // Handlers
    void Image1_Click();
    void mnuSluiten_Click();
    void mnuVergroot_Click();
    void mnuVerklein_Click();
    void mnuFullScreen_Click();
    void mnuOnTop_Click();

    // One enlarge or shrink step; false (and nothing changed) when refused.
    bool stepSize(LayoutGeometry::Step direction);

private:
    int m_slot;
};
