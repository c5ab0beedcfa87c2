#include "player/PlayerFrame.h"

#include <QEvent>
#include <QRegion>

PlayerFrame::PlayerFrame(const char *name, const QColor &colour, int width, QWidget *player)
    : QWidget(player), m_width(width)
{
    setObjectName(QLatin1String(name));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, colour);
    setPalette(pal);
    hide();
    player->installEventFilter(this);
    fit();
}

void PlayerFrame::showIf(bool on)
{
    setVisible(on);
    raise();
}

PlayerFrame::HiddenIn::HiddenIn(QWidget *window)
{
    if (!window)
        return;
    for (PlayerFrame *ring : window->findChildren<PlayerFrame *>())
        if (!ring->isHidden()) {
            ring->hide();
            m_hidden << ring;
        }
}

PlayerFrame::HiddenIn::~HiddenIn()
{
    for (const QPointer<PlayerFrame> &ring : std::as_const(m_hidden))
        if (ring)
            ring->show();
}

bool PlayerFrame::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == parent() && event->type() == QEvent::Resize)
        fit();
    return QWidget::eventFilter(watched, event);
}

void PlayerFrame::fit()
{
    const QRect all = parentWidget()->rect();
    setGeometry(all);
    setMask(QRegion(all).subtracted(QRegion(all.adjusted(m_width, m_width, -m_width, -m_width))));
}
