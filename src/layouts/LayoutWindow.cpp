#include "layouts/LayoutWindow.h"
#include "layouts/SizeSteps.h"
#include "platform/Menus.h"
#include "platform/TextField.h"
#include "player/WindowsMediaPlayer.h"

using namespace LayoutGeometry;

namespace {
const LayoutDesign &designOf(bool horizontal) { return horizontal ? Row : Column; }

std::array<QRectF, 4> playerRects(const LayoutDesign &design)
{
    std::array<QRectF, 4> rects;
    for (int n = 0; n < 4; ++n) {
        const TwRect &r = design.players[n];
        rects[size_t(n)] = QRectF(r.left, r.top, r.width, r.height);
    }
    return rects;
}
} // namespace

LayoutWindow::LayoutWindow(bool horizontal)
    : FourPlayerWindow(designOf(horizontal).key, designOf(horizontal).clientWidth, designOf(horizontal).clientHeight,
                       false, playerRects(designOf(horizontal))),
      m_design(designOf(horizontal))
{
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
    addOnTopItem();

    setTabChain({WindowsMediaPlayer1, WindowsMediaPlayer2, WindowsMediaPlayer3, WindowsMediaPlayer4, Adres4, Adres3,
                 Adres2, Adres1, Text1});

    placeClientAtTw(m_design.startLeft, m_design.startTop);
}

// The four addresses, then each player its stream, then play or close them
// by "Autostart"; nothing else (design geometry, no mark).
void LayoutWindow::Form_Load() { loadStreams(); }

bool LayoutWindow::stepSize(Step direction)
{
    return SizeSteps::take(this, m_design.step,
                           {WindowsMediaPlayer1, WindowsMediaPlayer2, WindowsMediaPlayer3, WindowsMediaPlayer4},
                           MinPlayerTw, MinPlayerTw, direction);
}

void LayoutWindow::mnuVergroot_Click() { stepSize(Step::Enlarge); }
void LayoutWindow::mnuVerklein_Click() { stepSize(Step::Shrink); }

void LayoutWindow::mnuNormaal_Click() { replaceBy(WindowKey::Main); }
void LayoutWindow::mnuSwitch_Click() { replaceBy(m_design.switchTarget); }
