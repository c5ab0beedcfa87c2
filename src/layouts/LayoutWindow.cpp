#include "layouts/LayoutWindow.h"
#include "common/FourPlayers.h"
#include "common/OnTopBas.h"
#include "common/SystemColors.h"
#include "platform/Forms.h"
#include "platform/Menus.h"
#include "platform/TextField.h"
#include "platform/Twips.h"
#include "player/WindowsMediaPlayer.h"
#include "settings/Addresses.h"
#include "settings/Ini.h"

#include <QGuiApplication>
#include <QMenuBar>
#include <QScreen>

using namespace LayoutGeometry;

LayoutWindow::LayoutWindow(bool horizontal)
    : Form(QLatin1String(horizontal ? Row.name : Column.name)), m_design(horizontal ? Row : Column)
{
    setWindowTitle(QStringLiteral("Kijkraam 2005"));

    // Menus first: the menu bar is part of the outer size.
    QMenuBar *bar = menuBar();
    const FourPlayers::FileMenu file = FourPlayers::addFileMenu(bar, this, [this] { mnuExit_Click(); });
    mnuFile = file.menu;
    mnuOpties = file.opties;
    mnuAbout = file.about;
    mnu007 = file.separator;
    mnuExit = file.exit;
    mnuView = Menus::menu(bar, "mnuView", QStringLiteral("&Beeld"));
    const auto fullScreen = FourPlayers::addFullScreenItems(mnuView, this, [this](int slot) { return player(slot); });
    mnuFullScreen = fullScreen[0];
    mnuFullScreen2 = fullScreen[1];
    mnuFullScreen3 = fullScreen[2];
    mnuFullScreen4 = fullScreen[3];
    mnuStreep2 = Menus::separator(mnuView, "mnuStreep2");
    mnuVergroot = Menus::item(mnuView, "mnuVergroot", QStringLiteral("&Vergroot venster"), this,
                              &LayoutWindow::mnuVergroot_Click);
    mnuVerklein = Menus::item(mnuView, "mnuVerklein", QStringLiteral("&Verklein venster"), this,
                              &LayoutWindow::mnuVerklein_Click);
    mnuStreep = Menus::separator(mnuView, "mnuStreep");
    mnuNormaal = Menus::item(mnuView, "mnuNormaal", QStringLiteral("&Normale weergave"), this,
                             &LayoutWindow::mnuNormaal_Click);
    QAction *toOther = Menus::item(mnuView, m_design.switchItem, QString::fromUtf8(m_design.switchCaption), this,
                                   &LayoutWindow::mnuSwitch_Click);
    (horizontal ? mnuVerticaal : mnuHorizontaal) = toOther;
    mnu001 = Menus::separator(mnuView, "mnu001");
    mnuOnTop = Menus::checkItem(mnuView, "mnuOnTop", QStringLiteral("Always On &Top"), this, &LayoutWindow::mnuOnTop_Click);

    setDesign(m_design.clientWidth, m_design.clientHeight, Frame::FixedSingle, false, false);
    QWidget *c = client();
    c->setAutoFillBackground(true);
    QPalette pal = c->palette();
    pal.setColor(QPalette::Window, SystemColors::windowText());
    c->setPalette(pal);

    // Players keep the component's design settings of the four-player
    // windows: no stretching, no context menu.
    WindowsMediaPlayer **players[4] = {&WindowsMediaPlayer1, &WindowsMediaPlayer2, &WindowsMediaPlayer3,
                                       &WindowsMediaPlayer4};
    for (int n = 0; n < 4; ++n) {
        auto *p = new WindowsMediaPlayer(c);
        p->setObjectName(QStringLiteral("WindowsMediaPlayer%1").arg(n + 1));
        const TwRect &r = m_design.players[n];
        p->placeTw(r.left, r.top, r.width, r.height);
        *players[n] = p;
    }

    auto hiddenField = [c](const char *name, const char *text, double left, double top, double width) {
        auto *f = new TextField(QLatin1String(name), c, true);
        f->setText(QLatin1String(text));
        placeTw(f, left, top, width, 285);
        return f;
    };
    Adres1 = hiddenField("Adres1", "Adres", 0, 360, 615);
    Adres2 = hiddenField("Adres2", "Adres", 7800, 0, 615);
    Adres3 = hiddenField("Adres3", "Adres", 0, 3600, 615);
    Adres4 = hiddenField("Adres4", "Adres", 7800, 3600, 615);
    Text1 = hiddenField("Text1", "Autostart", 0, 0, 855);

    const QList<QWidget *> tabOrder = {WindowsMediaPlayer1, WindowsMediaPlayer2, WindowsMediaPlayer3,
                                       WindowsMediaPlayer4, Adres4, Adres3, Adres2, Adres1, Text1};
    for (int i = 1; i < tabOrder.size(); ++i)
        setTabOrder(tabOrder[i - 1], tabOrder[i]);

    placeClientAtTw(m_design.startLeft, m_design.startTop);
}

WindowsMediaPlayer *LayoutWindow::player(int slot) const
{
    switch (slot) {
    case 1: return WindowsMediaPlayer1;
    case 2: return WindowsMediaPlayer2;
    case 3: return WindowsMediaPlayer3;
    case 4: return WindowsMediaPlayer4;
    default: return nullptr;
    }
}

void LayoutWindow::Form_Load()
{
    // The four addresses, then each player its stream, then play or close
    // them by "Autostart"; nothing else (design geometry, no mark).
    FourPlayers::loadStreams({WindowsMediaPlayer1, WindowsMediaPlayer2, WindowsMediaPlayer3, WindowsMediaPlayer4},
                             {Adres1, Adres2, Adres3, Adres4}, Text1);
}

LayoutState LayoutWindow::currentState() const
{
    LayoutState s;
    s.outerWidth = float(outerWidthTw());
    s.outerHeight = float(outerHeightTw());
    for (int n = 0; n < 4; ++n) {
        const WindowsMediaPlayer *p = player(n + 1);
        s.players[n] = {float(p->Left()), float(p->Top()), float(p->Width()), float(p->Height())};
    }
    return s;
}

Limits LayoutWindow::limits() const
{
    Limits l;
    const QSizeF nonClient = nonClientTw();
    // Narrower than its menus, the menu bar would hide them behind an
    // overflow button: keep every menu title visible.
    const QMenuBar *bar = menuBar();
    const QRect first = bar->actionGeometry(mnuFile->menuAction());
    const QRect last = bar->actionGeometry(mnuView->menuAction());
    const int menusPx = last.right() + 1 + qMax(0, first.left());
    l.minOuterWidth = float(Twips::fromPx(menusPx) + nonClient.width());
    l.minOuterHeight = float(l.minPlayerHeight + nonClient.height());

    // The window grows to the right and downwards from where it stands.
    const QScreen *s = screen();
    if (!s)
        s = QGuiApplication::primaryScreen();
    if (s) {
        const QRect avail = s->availableGeometry();
        const QRect frame = frameGeometry();
        l.maxOuterWidth = float(Twips::fromPx(avail.x() + avail.width() - frame.x()));
        l.maxOuterHeight = float(Twips::fromPx(avail.y() + avail.height() - frame.y()));
    }
    return l;
}

bool LayoutWindow::stepSize(Step direction)
{
    const LayoutState now = currentState();
    const LayoutState next = step(m_design, now, direction);
    if (!allowed(now, next, limits()))
        return false;
    // Written back in the step's own order: window, the moves of players
    // 2 to 4, then the size of each player.
    setOuterWidthTw(next.outerWidth);
    setOuterHeightTw(next.outerHeight);
    for (int n = 1; n < 4; ++n) {
        if (m_design.stepMovesLeft)
            player(n + 1)->setLeft(next.players[n].left);
        else
            player(n + 1)->setTop(next.players[n].top);
    }
    for (int n = 0; n < 4; ++n) {
        player(n + 1)->setWidth(next.players[n].width);
        player(n + 1)->setHeight(next.players[n].height);
    }
    return true;
}

void LayoutWindow::mnuVergroot_Click() { stepSize(Step::Enlarge); }
void LayoutWindow::mnuVerklein_Click() { stepSize(Step::Shrink); }

void LayoutWindow::mnuOnTop_Click() { ToggleOnTop(mnuOnTop, this); }


// The next window loads (reading the settings, starting its own players)
// and shows before this one goes; nothing is handed over.
void LayoutWindow::replaceBy(const QString &next)
{
    Forms::show(next);
    Forms::unload(objectName());
}

void LayoutWindow::mnuNormaal_Click() { replaceBy(QStringLiteral("Form1")); }
void LayoutWindow::mnuSwitch_Click() { replaceBy(QLatin1String(m_design.switchTarget)); }

void LayoutWindow::mnuExit_Click()
{
    Forms::unload(objectName());
    Forms::endProgram();
}
