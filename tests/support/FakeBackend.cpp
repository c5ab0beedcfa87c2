#include "FakeBackend.h"

namespace {
QList<FakeBackend *> &registry()
{
    static QList<FakeBackend *> list;
    return list;
}
} // namespace

FakeBackend::FakeBackend() { registry() << this; }
FakeBackend::~FakeBackend() { registry().removeAll(this); }

QList<FakeBackend *> FakeBackend::alive() { return registry(); }

FakeBackend *FakeBackend::of(QObject *player)
{
    return player ? player->findChild<FakeBackend *>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
}

QWidget *(FakeBackend::*FakeBackend::s_videoWidget)(QWidget *) = nullptr;

QWidget *FakeBackend::videoWidget(QWidget *parent) { return s_videoWidget ? (this->*s_videoWidget)(parent) : nullptr; }

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
