#pragma once
// The way one player's engine reaches the network: an HTTP proxy on
// 127.0.0.1 that the engine (and the program's own look at an HLS master)
// is pointed at, so that what a server sends is bounded whatever it sends:
//
//  - Requests: at most GateRules::Burst at once, then GateRules::PerSecond
//    a second, across every open, retry and reconnect of the player.
//  - A 404 is asked again for a while (GateRules::NotFoundHoldMs) before it
//    is passed on: a live stream's segment that is not there yet arrives
//    instead of an error, and an engine that asks again at once for ever
//    (ffmpeg's DASH reader) waits.
//  - Error answers (status 400 and up) pass on without their body.
//  - Playlists (HLS, DASH) are read whole up to GateRules::MaxPlaylistBytes;
//    a longer one is answered "502". A segment of an HLS playlist that is
//    itself an HLS playlist is answered "502": a playlist that names itself
//    or other playlists as its segments is not followed deeper.
//  - Request and answer heads have a size limit (GateRules::MaxHeadBytes) and
//    answers a time limit for their head.
//  - Bodies are passed on only as fast as the engine reads them.
// https goes through as a tunnel (CONNECT): the engine checks certificates
// itself; only the request budget applies to it.
// All of it runs in one thread of its own, shared by every player's gate.
#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <QUrl>

class QTcpServer;

namespace GateRules {
constexpr int Burst = 8;             // requests at once
constexpr double PerSecond = 3.0;    // requests a second after that
constexpr int NotFoundHoldMs = 4000; // a 404 is asked again this long
constexpr int NotFoundRetryMs = 1000;
constexpr int MaxHeadBytes = 32 * 1024;
constexpr int HeadTimeoutMs = 15000;
constexpr int MaxPlaylistBytes = 1024 * 1024;
constexpr int MaxRememberedSegments = 8192;

// A token bucket: when the request asked for at `nowMs` may go out.
class RequestBudget {
public:
    // Takes the next free slot and says how long to wait for it (0: now).
    qint64 reserve(qint64 nowMs);

private:
    double m_tokens = Burst;
    qint64 m_lastMs = -1;
};

// Whether an answer's body is a playlist by its type or address alone.
bool isPlaylistAnswer(const QByteArray &contentType, const QUrl &url);
// Whether a body starts like an HLS playlist.
bool looksLikeHls(const QByteArray &head);
// The segments that an HLS media playlist names (the addresses after
// #EXTINF), resolved against `base`.
QList<QUrl> segmentsOf(const QByteArray &playlist, const QUrl &base);
} // namespace GateRules

class EngineGate : public QObject {
    Q_OBJECT
public:
    // A gate listening on 127.0.0.1, living in the gates' thread; nullptr
    // when it cannot listen. Release it with deleteLater().
    static EngineGate *create();
    quint16 port() const { return m_port; }
    QString proxyAddress() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_port); }

    // For the connections of this gate.
    qint64 reserveRequest();
    bool isKnownSegment(const QUrl &url) const { return m_segments.contains(url); }
    void rememberSegments(const QList<QUrl> &segments);

private:
    EngineGate() = default;
    void onConnection();

    QTcpServer *m_server = nullptr;
    quint16 m_port = 0;
    GateRules::RequestBudget m_budget;
    QSet<QUrl> m_segments;
};
