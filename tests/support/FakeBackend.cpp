#include "FakeBackend.h"

#include <QWidget>

namespace {
QList<FakeBackend *> &registry()
{
    static QList<FakeBackend *> list;
    return list;
}
} // namespace

FakeBackend::FakeBackend() { registry() << this; }
FakeBackend::~FakeBackend() { registry().removeAll(this); }

void FakeBackend::install()
{
    PlayerBackend::setFactory([] { return new FakeBackend; });
}
void FakeBackend::uninstall() { PlayerBackend::setFactory({}); }
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
    emit phaseChanged(Phase::Opening, 0);
}

void FakeBackend::stop()
{
    calls << QStringLiteral("stop");
    current.clear();
}

void FakeBackend::setPaused(bool paused)
{
    calls << (paused ? QStringLiteral("pause") : QStringLiteral("resume"));
    emit phaseChanged(paused ? Phase::Paused : Phase::Playing, 0);
}

void FakeBackend::reachPlaying() { reach(Phase::Playing); }
void FakeBackend::reach(Phase phase, int percent) { emit phaseChanged(phase, percent); }
void FakeBackend::end(bool failed, const QString &reason) { emit finished(failed, reason); }
