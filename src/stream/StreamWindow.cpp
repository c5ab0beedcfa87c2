#include "stream/StreamWindow.h"
#include "common/OnTopBas.h"
#include "layouts/SizeSteps.h"
#include "platform/Forms.h"
#include "platform/Menus.h"
#include "platform/TextField.h"
#include "player/WindowsMediaPlayer.h"
#include "settings/Addresses.h"
#include "settings/SettingKeys.h"
#include "stream/SnapshotButton.h"
#include "stream/SnapshotCapture.h"

#include <QMenuBar>

namespace {

// What differs between the four stream windows.
struct SlotDesign {
    double clientWidthTw, clientHeightTw;
    bool fixedPosition;
    double clientLeftTw, clientTopTw; // on the screen, when fixedPosition
};

const SlotDesign &designOf(int slot)
{
    static const SlotDesign designs[] = {
        {5880, 4785, true, 4575, 3855},
        {5880, 4800, true, 4575, 4440},
        {5880, 4800, false, 0, 0},
        {5895, 4800, false, 0, 0},
    };
    return designs[qBound(1, slot, 4) - 1];
}

} // namespace

StreamWindow::StreamWindow(int slot) : Form(WindowKeys::stream(slot)), m_slot(slot)
{
    setWindowTitle(objectName());

    // Menus first: the menu bar is part of the outer size.
    QMenuBar *bar = menuBar();
    mnuSluiten = bar->addAction(QStringLiteral("&Sluiten"));
    mnuSluiten->setObjectName(QStringLiteral("mnuSluiten"));
    connect(mnuSluiten, &QAction::triggered, this, &StreamWindow::mnuSluiten_Click);
    mnuFile = Menus::menu(bar, "mnuFile", QStringLiteral("&Beeld"));
    mnuVerklein = Menus::item(mnuFile, "mnuVerklein", QStringLiteral("&Verklein"), this,
                              &StreamWindow::mnuVerklein_Click);
    mnuVergroot = Menus::item(mnuFile, "mnuVergroot", QStringLiteral("&Vergroot"), this,
                              &StreamWindow::mnuVergroot_Click);
    mnuFullScreen = Menus::item(mnuFile, "mnuFullScreen", QStringLiteral("&Full Screen"), this,
                                &StreamWindow::mnuFullScreen_Click);
    mnuFullScreen->setShortcut(QKeySequence(Qt::Key_F11));
    mnuFullScreen->setShortcutContext(Qt::WindowShortcut);
    mnuStreep = Menus::separator(mnuFile, "mnuStreep");
    mnuOnTop = Menus::checkItem(mnuFile, "mnuOnTop", QStringLiteral("&Always on Top"), this,
                                &StreamWindow::mnuOnTop_Click);

    const SlotDesign &design = designOf(slot);
    setDesign(design.clientWidthTw, design.clientHeightTw, Frame::FixedSingle, true, false);
    setClientColour(Qt::black);
    QWidget *c = client();

    WindowsMediaPlayer1 = new WindowsMediaPlayer(c);
    WindowsMediaPlayer1->setObjectName(QStringLiteral("WindowsMediaPlayer1"));
    WindowsMediaPlayer1->setStretchToFit(true);
    WindowsMediaPlayer1->setProperty("enableContextMenu", true);
    WindowsMediaPlayer1->placeTw(0, 0, 5895, 4815);

    Image1 = new SnapshotButton(c);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->placeTw(5520, 4395, 300, 315);
    Image1->raise(); // above the video
    connect(Image1, &SnapshotButton::clicked, this, &StreamWindow::Image1_Click);

    Adres = new TextField(QStringLiteral("Adres"), c, true);
    Save = new TextField(QStringLiteral("Save"), c, true);

    setTabChain({WindowsMediaPlayer1, Adres, Save});
    WindowsMediaPlayer1->setFocus();

    if (design.fixedPosition)
        placeClientAtTw(design.clientLeftTw, design.clientTopTw);
}

void StreamWindow::Form_Load()
{
    Save->setText(SettingKeys::read(SettingKeys::AutosaveSnapshot));
    Adres->setText(SettingKeys::read(SettingKeys::address(m_slot)));
    // Setting the address starts playback by itself (autoStart).
    WindowsMediaPlayer1->setURL(Addresses::resolve(m_slot, Adres->Text()));
}

void StreamWindow::Image1_Click() { SnapshotCapture::takeSnapshot(this, m_slot, Save->Text()); }

void StreamWindow::mnuSluiten_Click() { Forms::unload(WindowKeys::stream(m_slot)); }

// The window, the player and the snapshot button by one step, or nothing.
bool StreamWindow::stepSize(LayoutGeometry::Step direction)
{
    return SizeSteps::take(this, LayoutGeometry::StreamStep, {WindowsMediaPlayer1, Image1}, MinPlayerWidthTw,
                           MinPlayerHeightTw, direction);
}

void StreamWindow::mnuVergroot_Click() { stepSize(LayoutGeometry::Step::Enlarge); }
void StreamWindow::mnuVerklein_Click() { stepSize(LayoutGeometry::Step::Shrink); }

void StreamWindow::mnuFullScreen_Click()
{
    if (WindowsMediaPlayer1->playState() == int(PlayState::Playing))
        WindowsMediaPlayer1->setFullScreen(true);
}

void StreamWindow::mnuOnTop_Click() { ToggleOnTop(mnuOnTop, this); }
