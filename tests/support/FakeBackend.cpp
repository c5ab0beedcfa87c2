#include "FakeBackend.h"

#include <QWidget>
#include <optional>

namespace {
QList<FakeBackend *> &registry()
{
    static QList<FakeBackend *> list;
    return list;
}
} // namespace

FakeBackend::FakeBackend() { registry() << this; }
FakeBackend::~FakeBackend() { registry().removeAll(this); }

namespace {
std::optional<Seam<PlayerBackend::Factory>::Override> &installed()
{
    static std::optional<Seam<PlayerBackend::Factory>::Override> factory;
    return factory;
}
} // namespace

void FakeBackend::install() { installed().emplace(PlayerBackend::factorySeam, [] { return new FakeBackend; }); }
void FakeBackend::uninstall() { installed().reset(); }
QList<FakeBackend *> FakeBackend::alive() { return registry(); }

FakeBackend *FakeBackend::of(QObject *player)
{
    return player ? player->findChild<FakeBackend *>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
}

QWidget *FakeBackend::videoWidget(QWidget *parent)
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

void FakeBackend::open(const QString &url)
{
    calls << QStringLiteral("open ") + url;
    current = url;
    emit phaseChanged(PlayState::Transitioning, 0);
}

void FakeBackend::stop()
{
    calls << QStringLiteral("stop");
    current.clear();
}

void FakeBackend::setPaused(bool paused)
{
    calls << (paused ? QStringLiteral("pause") : QStringLiteral("resume"));
    emit phaseChanged(paused ? PlayState::Paused : PlayState::Playing, 0);
}

void FakeBackend::reachPlaying() { reach(PlayState::Playing); }
void FakeBackend::reach(PlayState phase, int percent) { emit phaseChanged(phase, percent); }
void FakeBackend::end(bool failed, const QString &reason) { emit finished(failed, reason); }
