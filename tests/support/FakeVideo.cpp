// The part of FakeBackend that needs widgets: installing it in the players,
// and the video area it gives them.
#include "FakeBackend.h"

#include <QWidget>
#include <optional>

namespace {
std::optional<Seam<PlayerBackend::Factory>::Override> &installed()
{
    static std::optional<Seam<PlayerBackend::Factory>::Override> factory;
    return factory;
}
} // namespace

void FakeBackend::install()
{
    s_videoWidget = &FakeBackend::makeVideoWidget;
    installed().emplace(PlayerBackend::factorySeam, [] { return new FakeBackend; });
}
void FakeBackend::uninstall() { installed().reset(); }

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
