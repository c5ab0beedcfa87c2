#pragma once
// Where a stream session gets its time from: a monotonic clock and one-shot
// timers. The program uses the system's; tests drive a clock of their own, so
// time-outs and reconnection pauses run in no time.
#include "platform/Seam.h"

#include <QList>
#include <QtGlobal>
#include <functional>
#include <memory>

class SessionTimer {
public:
    virtual ~SessionTimer() = default;
    virtual void start(int ms) = 0; // (re)start: fire once after ms
    virtual void stop() = 0;
    virtual bool isActive() const = 0;
};

class SessionClock {
public:
    virtual ~SessionClock() = default;
    virtual qint64 nowMs() const = 0;
    // A timer that calls `fire` on this thread; destroying it stops it.
    virtual std::unique_ptr<SessionTimer> makeTimer(std::function<void()> fire) = 0;

    // The system's clock and Qt's timers.
    static SessionClock &system();
};

// How long a session waits, in milliseconds.
struct SessionTiming {
    int openTimeoutMs = 25000;  // one address (or one playlist fetch) must answer in this time
    int stallTimeoutMs = 20000; // a stream that played may wait this long for data
    int progressCheckMs = 1000; // how often a playing stream's position is checked
    // Pauses before reconnection tries 1, 2, 3 ...; the last one repeats.
    QList<int> reconnectPausesMs{1000, 2000, 4000, 8000, 16000, 30000};

    int reconnectPauseMs(int attempt) const;

    // The timing new players get: the program's, or what a test puts in
    // its place (playerSeam, Seam.h).
    static SessionTiming forPlayers() { return playerSeam.get(); }
    static Seam<SessionTiming> playerSeam;
};
