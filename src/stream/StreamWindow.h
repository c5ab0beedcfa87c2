#pragma once
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

    // One size step changes each of these by this much (twips).
    static constexpr float SizeStepTw = 500.0f;
    // A step is refused whole when the player would get smaller than this...
    static constexpr float MinPlayerWidthTw = 2400.0f;  // 160 pixels
    static constexpr float MinPlayerHeightTw = 1800.0f; // 120 pixels
    // ...or the window larger than the available area of its screen.

    // Handlers
    void Image1_Click();
    void mnuSluiten_Click();
    void mnuVergroot_Click();
    void mnuVerklein_Click();
    void mnuFullScreen_Click();
    void mnuOnTop_Click();

private:
    // Apply one size step of `delta` twips to all six values, or to none.
    bool sizeStep(float delta);

    int m_slot;
};
