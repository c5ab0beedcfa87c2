#include "player/SessionClock.h"

#include <QElapsedTimer>
#include <QTimer>

namespace {
class QtTimer : public SessionTimer {
public:
    explicit QtTimer(std::function<void()> fire)
    {
        m_timer.setSingleShot(true);
        QObject::connect(&m_timer, &QTimer::timeout, [fire = std::move(fire)] { fire(); });
    }
    void start(int ms) override { m_timer.start(ms); }
    void stop() override { m_timer.stop(); }
    bool isActive() const override { return m_timer.isActive(); }

private:
    QTimer m_timer;
};

class SystemClock : public SessionClock {
public:
    SystemClock() { m_clock.start(); }
    qint64 nowMs() const override { return m_clock.elapsed(); }
    std::unique_ptr<SessionTimer> makeTimer(std::function<void()> fire) override
    {
        return std::make_unique<QtTimer>(std::move(fire));
    }

private:
    QElapsedTimer m_clock;
};

} // namespace

SessionClock &SessionClock::system()
{
    static SystemClock clock;
    return clock;
}

int SessionTiming::reconnectPauseMs(int attempt) const
{
    if (reconnectPausesMs.isEmpty())
        return 0;
    return reconnectPausesMs.at(qBound(0, attempt - 1, int(reconnectPausesMs.size()) - 1));
}

Seam<SessionTiming> SessionTiming::playerSeam;
