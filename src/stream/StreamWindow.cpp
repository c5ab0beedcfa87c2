#include "stream/StreamWindow.h"
#include "common/OnTopBas.h"
#include "platform/Forms.h"
#include "platform/Menus.h"
#include "platform/TextField.h"
#include "platform/Twips.h"
#include "player/WindowsMediaPlayer.h"
#include "settings/Addresses.h"
#include "settings/Ini.h"
#include "stream/SnapshotButton.h"
#include "stream/SnapshotCapture.h"

#include <QGuiApplication>
#include <QMenuBar>
#include <QScreen>

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

StreamWindow::StreamWindow(int slot) : Form(QStringLiteral("Stream%1").arg(slot)), m_slot(slot)
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
    QWidget *c = client();
    c->setAutoFillBackground(true);
    QPalette pal = c->palette();
    pal.setColor(QPalette::Window, Qt::black);
    c->setPalette(pal);

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

    setTabOrder(WindowsMediaPlayer1, Adres);
    setTabOrder(Adres, Save);

    if (design.fixedPosition)
        placeClientAtTw(design.clientLeftTw, design.clientTopTw);
}

void StreamWindow::Form_Load()
{
    Save->setText(INI::ReadSetting(QStringLiteral("Kijkraam"), QStringLiteral("Autosave_Snapshot"), QStringLiteral("Ja")));
    Adres->setText(INI::ReadSetting(Addresses::sectionOf(m_slot), QStringLiteral("Adres"), QStringLiteral("Auto")));
    // Setting the address starts playback by itself (autoStart).
    WindowsMediaPlayer1->setURL(Addresses::resolve(m_slot, Adres->Text()));
}

void StreamWindow::Image1_Click()
{
    SnapshotCapture::takeSnapshot(this, m_slot, Save->Text());
}

void StreamWindow::mnuSluiten_Click()
{
    Forms::unload(objectName());
}

bool StreamWindow::sizeStep(float delta)
{
    // Each value is read as it is now and written back changed by one step,
    // in single precision like every twip computation of the window.
    const float outerW = float(outerWidthTw()) + delta;
    const float outerH = float(outerHeightTw()) + delta;
    const float playerW = float(WindowsMediaPlayer1->Width()) + delta;
    const float playerH = float(WindowsMediaPlayer1->Height()) + delta;
    const float imageLeft = float(Image1->Left()) + delta;
    const float imageTop = float(Image1->Top()) + delta;

    // The whole step, or none of it.
    if (playerW < MinPlayerWidthTw || playerH < MinPlayerHeightTw)
        return false;
    QScreen *scr = screen() ? screen() : QGuiApplication::primaryScreen();
    if (scr) {
        const QRect avail = scr->availableGeometry();
        if (Twips::toPx(outerW) > avail.width() || Twips::toPx(outerH) > avail.height())
            return false;
    }

    setOuterWidthTw(outerW);
    setOuterHeightTw(outerH);
    WindowsMediaPlayer1->setWidth(playerW);
    WindowsMediaPlayer1->setHeight(playerH);
    Image1->setLeft(imageLeft);
    Image1->setTop(imageTop);
    return true;
}

void StreamWindow::mnuVergroot_Click() { sizeStep(SizeStepTw); }
void StreamWindow::mnuVerklein_Click() { sizeStep(-SizeStepTw); }

void StreamWindow::mnuFullScreen_Click()
{
    if (WindowsMediaPlayer1->playState() == 3)
        WindowsMediaPlayer1->setFullScreen(true);
}

void StreamWindow::mnuOnTop_Click() { ToggleOnTop(mnuOnTop, this); }
