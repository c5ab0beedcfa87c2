// The part of FakeBackend that needs widgets: installing it in the players,
// and the video area it gives them.
#include "FakeBackend.h"

#include <QWidget>

void FakeBackend::install()
{
    s_videoWidget = &FakeBackend::makeVideoWidget;
    PlayerBackend::setFactory([] { return new FakeBackend; });
}
void FakeBackend::uninstall() { PlayerBackend::setFactory({}); }

QWidget *FakeBackend::makeVideoWidget(QWidget *parent)
{
    if (!m_video) {
        m_video = new QWidget(parent);
        m_video->setAutoFillBackground(true);
        QPalette pal = m_video->palette();
        pal.setColor(QPalette::Window, QColor(20, 90, 40));
        m_video->setPalette(pal);
    }
    return m_video;
}
