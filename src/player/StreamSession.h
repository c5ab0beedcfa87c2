#pragma once
// The playback of one player's address, with no widget in sight: play states
// and status texts, playlists entry by entry, time-outs, telling a dropped
// live stream from the end of a file, and getting a dropped stream back.
// It drives a decoder (PlayerBackend) and a playlist fetcher (PlaylistSource);
// its time comes from a SessionClock and its durations from SessionTiming.
#include "player/AsxPlaylist.h"
#include "player/PlayState.h"
#include "player/PlayerBackend.h"
#include "player/SessionClock.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QUrl>

class PlaylistSource;
struct FetchAnswer;

class StreamSession : public QObject, public PlayStates {
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

    int state() const { return m_state; }
    bool isRunning() const { return m_state == Playing || m_state == Buffering; }
    QString status() const { return m_status; }

    // What the decoder opens for an answer that is not a playlist.
    static QString mediaAddress(const FetchAnswer &answer);

signals:
    void stateChanged(int state);
    void statusChanged(const QString &text);
    // Where the media is; (0, 0, false) when nothing is loaded.
    void progressChanged(double position, double duration, bool seekable);

private:
    struct Item {
        Asx::Item entry;
        int depth = 0;          // nested playlists that led here
        QList<QUrl> chain;      // those playlists, to catch loops
        bool media = false;     // known not to be a playlist, whatever its name
        bool fromNetwork = false; // from a playlist fetched from the network
    };

    void reset();
    void open();
    void fetch(const QUrl &url);
    void onAnswer(const FetchAnswer &answer);
    void take(const FetchAnswer &answer);
    void onPlaylist(const FetchAnswer &answer);
    void playNextItem();
    bool followable(const Item &item);
    bool openRef(int from);
    void openEngine();
    void failOpen(const QString &reason);
    void onOpenTimeout();
    void onPhase(PlayerBackend::Phase phase, int percent);
    void onFinished(bool failed, const QString &reason);
    void onTime(double position, double duration, bool seekable);
    void checkProgress();
    void scheduleReconnect(const QString &reason);
    bool reachedItsEnd() const;
    void stopWatching();
    void setState(int state);
    void setStatus(const QString &text);
    void setConnecting(const QString &address);

    QPointer<PlayerBackend> m_engine;
    QPointer<PlaylistSource> m_source;
    SessionClock &m_clock;
    const SessionTiming m_timing;
    std::unique_ptr<SessionTimer> m_openTimer;      // an address that does not play in time has failed
    std::unique_ptr<SessionTimer> m_stallTimer;     // a stream that played and waits too long has dropped
    std::unique_ptr<SessionTimer> m_progressTimer;  // a playing stream whose position stands still has dropped
    std::unique_ptr<SessionTimer> m_reconnectTimer;

    QString m_address;
    int m_state = Undefined;
    QString m_status;

    // What is under way. The decoder's and the fetcher's news counts only
    // while the session waits for it.
    bool m_fetching = false;
    bool m_engineActive = false;
    QUrl m_fetchUrl;

    QList<Item> m_items;
    int m_itemIndex = -1;
    int m_refIndex = 0;
    QString m_current;            // the address the decoder has
    bool m_everPlayed = false;    // something of this address played
    bool m_currentPlayed = false; // the current entry reached playing
    QString m_lastFailure;
    int m_reconnectAttempt = 0;
    double m_position = 0, m_duration = 0;
    bool m_seekable = false;
    bool m_progressSeen = false;
    qint64 m_lastProgressAt = 0;
    qint64 m_playingSince = -1; // clock time playing began; -1 while not playing
    qint64 m_playedMs = 0;      // time the current entry spent playing before that
};
