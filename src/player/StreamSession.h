#pragma once
// The playback of one player's address, with no widget in sight: play states
// and status texts, playlists entry by entry, time-outs, telling a dropped
// live stream from the end of a file, and getting a dropped stream back.
//
// An address is looked at before the decoder gets it: an http(s) address
// (given, a REF, or an ENTRYREF) is fetched once and its answer decides:
// an ASX playlist or a [Reference] file is read as a playlist, a Windows
// Media server's stream is played as MMS over HTTP (mmsh://), anything else
// is opened as it is. A playlist behind a REF stands in for that REF: its
// addresses are tried in its place, in order. rtsp:// addresses are tried
// over TCP, then over UDP (RtspTransport).
// It drives a decoder (PlayerBackend) and a playlist fetcher (PlaylistSource);
// its time comes from a SessionClock and its durations from SessionTiming.
#include "player/AsxPlaylist.h"
#include "player/MediaTimeline.h"
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
    // What the status line's tooltip adds to it: the engine's or the
    // network's own words for a failure; empty for most states.
    QString statusDetail() const { return m_statusDetail; }
    double position() const { return m_engineActive ? m_timeline.position() : 0; } // seconds

    // What the decoder opens for an answer that is not a playlist: the
    // mmsh:// form of an http:// address that a Windows Media server
    // answered with its stream, else the address itself.
    static QString mediaAddress(const FetchAnswer &answer);

    // Addresses and playlists fetched in a row with nothing playing in
    // between; beyond that a playlist's further addresses are not fetched.
    static constexpr int MaxFetchesWithoutPlay = 32;

signals:
    void stateChanged(int state);
    void statusChanged(const QString &text);
    // Where the media is; (0, 0, false) when nothing is loaded.
    void progressChanged(double position, double duration, bool seekable);

private:
    // Where an address came from.
    struct Origin {
        int depth = 0;            // nested playlists that led here
        QList<QUrl> chain;        // those playlists, to catch loops
        bool fromNetwork = false; // from a playlist fetched from the network
    };
    struct Ref {
        QString address;
        Origin origin;
        bool resolved = false; // looked at already: no fetch needed
        bool final = false;    // one of its transports: the decoder opens it as it is
    };
    struct Item {
        Asx::Item::Kind kind = Asx::Item::Entry;
        QString href;    // EntryRef: the nested playlist
        QList<Ref> refs; // Entry: the addresses to try in turn
        Origin origin;
    };

    void reset();
    void open();
    void fetch(const QUrl &url);
    bool mayFetch();
    void onAnswer(const FetchAnswer &answer);
    void take(const FetchAnswer &answer);
    void onPlaylist(const FetchAnswer &answer);
    void onRefAnswer(const FetchAnswer &answer);
    Origin nestedOrigin(const Origin &parent, const FetchAnswer &answer) const;
    bool inItems() const { return m_itemIndex >= 0 && m_itemIndex < m_items.size(); }
    void playNextItem();
    bool followable(const QUrl &url, const Origin &origin);
    bool nestingAllowed(const Origin &parent, const QUrl &url);
    bool openRef(int from);
    void openEngine();
    void endTry();
    void failOpen(const QString &reason);
    void onOpenTimeout();
    void onPhase(PlayerBackend::Phase phase, int percent);
    void onFinished(bool failed, const QString &reason);
    void onTime(double position, double duration, bool seekable);
    void checkProgress();
    void scheduleReconnect(const QString &reason);
    void stopWatching();
    void setState(int state);
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
    std::unique_ptr<SessionTimer> m_openTimer;      // an address that does not play in time has failed
    std::unique_ptr<SessionTimer> m_stallTimer;     // a stream that played and waits too long has dropped
    std::unique_ptr<SessionTimer> m_progressTimer;  // a playing stream whose position stands still has dropped
    std::unique_ptr<SessionTimer> m_reconnectTimer;

    QString m_address;
    int m_state = Undefined;
    QString m_status;
    QString m_statusDetail;
    QString m_title; // of what the decoder plays (a radio's now-playing title)

    // What is under way. The decoder's and the fetcher's news counts only
    // while the session waits for it.
    bool m_fetching = false;
    bool m_probing = false; // the fetch looks at the current REF
    bool m_engineActive = false;
    QUrl m_fetchUrl;
    int m_fetchesWithoutPlay = 0;

    QList<Item> m_items;
    int m_itemIndex = -1;
    int m_refIndex = 0;
    QString m_current;            // the address the decoder has
    bool m_everPlayed = false;    // something of this address played
    bool m_currentPlayed = false; // the current entry reached playing
    QString m_lastFailure;
    int m_reconnectAttempt = 0;
    MediaTimeline m_timeline;
    bool m_progressSeen = false;
    qint64 m_lastProgressAt = 0;
    qint64 m_playingSince = -1; // clock time playing began; -1 while not playing
    qint64 m_playedMs = 0;      // time the current entry spent playing before that
};
