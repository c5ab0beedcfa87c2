#pragma once
// The playback of one player's address, with no widget in sight: play states
// and status texts, time-outs, telling a dropped live stream from the end of
// a file, and getting a dropped stream back.
//
// Which address comes next is the PlaylistWalker's: the session fetches
// what it says to fetch (through a PlaylistSource), hands it the answers,
// opens what it says to open, and tells it when an address failed before
// it played or when an entry has played to its end.
// It drives a decoder (PlayerBackend); its time comes from a SessionClock
// and its durations from SessionTiming.
#include "player/AsxPlaylist.h"
#include "player/MediaTimeline.h"
#include "player/PlayState.h"
#include "player/PlayerBackend.h"
#include "player/PlaylistWalker.h"
#include "player/SessionClock.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QUrl>

class PlaylistSource;
struct FetchAnswer;

class StreamSession : public QObject {
    Q_OBJECT
public:
    // The session uses but does not own `engine` and `source`.
    StreamSession(PlayerBackend *engine, PlaylistSource *source, SessionClock &clock = SessionClock::system(),
                  const SessionTiming &timing = SessionTiming::forPlayers(), QObject *parent = nullptr);
    ~StreamSession() override; // ends every retry and fetch

    // A new address; with `start` it opens at once, else it waits for play().
    void setAddress(const QString &address, bool start);
    void play(); // resume what is paused, or open the address (again)
    void pause();
    void stop();
    void close();

    PlayState state() const { return m_state; }
    QString status() const { return m_status; }
    // What the status line's tooltip adds to it: the engine's or the
    // network's own words for a failure; empty for most states.
    QString statusDetail() const { return m_statusDetail; }
    double position() const { return m_engineActive ? m_timeline.position() : 0; } // seconds

    static constexpr int MaxFetchesWithoutPlay = PlaylistWalker::MaxFetchesWithoutPlay;

signals:
    void stateChanged(PlayState state);
    void statusChanged(const QString &text);
    // Where the media is; (0, 0, false) when nothing is loaded.
    void progressChanged(double position, double duration, bool seekable);

private:
    void reset();
    void open();
    void advance();
    void onAnswer(const FetchAnswer &answer);
    void openEngine();
    void endTry();
    void failOpen(const QString &reason);
    void onOpenTimeout();
    void onPhase(PlayState phase, int percent);
    void onFinished(bool failed, const QString &reason);
    void onTime(double position, double duration, bool seekable);
    void checkProgress();
    void scheduleReconnect(const QString &reason);
    void stopWatching();
    void setState(PlayState state);
    // Every status passes here: passwords taken out of the addresses in it,
    // a reason's first line shown, the words after it kept for the tooltip.
    void setStatus(const QString &text);
    void onTitle(const QString &title);
    QString playingStatus() const;
    void setConnecting(const QString &address);

    QPointer<PlayerBackend> m_engine;
    QPointer<PlaylistSource> m_source;
    SessionClock &m_clock;
    const SessionTiming m_timing;
    std::unique_ptr<SessionTimer> m_openTimer;     // an address that does not play in time has failed
    std::unique_ptr<SessionTimer> m_stallTimer;    // a stream that played and waits too long has dropped
    std::unique_ptr<SessionTimer> m_progressTimer; // a playing stream whose position stands still has dropped
    std::unique_ptr<SessionTimer> m_reconnectTimer;

    QString m_address;
    PlayState m_state = PlayState::Undefined;
    QString m_status;
    QString m_statusDetail;
    QString m_title; // of what the decoder plays (a radio's now-playing title)

    // What is under way. The decoder's and the fetcher's news counts only
    // while the session waits for it.
    bool m_fetching = false;
    bool m_engineActive = false;
    QUrl m_fetchUrl;

    PlaylistWalker m_walker;
    QString m_current;            // the address the decoder has
    bool m_everPlayed = false;    // something of this address played
    bool m_currentPlayed = false; // the current entry reached playing
    int m_reconnectAttempt = 0;
    MediaTimeline m_timeline;
    bool m_progressSeen = false;
    qint64 m_lastProgressAt = 0;
    qint64 m_playingSince = -1; // clock time playing began; -1 while not playing
    qint64 m_playedMs = 0;      // time the current entry spent playing before that
};
