#include "player/EngineGate.h"
#include "player/DashLive.h"

#include <QDateTime>
#include <QUrlQuery>

#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

Q_LOGGING_CATEGORY(lcGate, "kijkraam.gate", QtWarningMsg)

// ---- the rules ---------------------------------------------------------------------

namespace GateRules {

qint64 RequestBudget::reserve(qint64 nowMs)
{
    if (m_lastMs >= 0)
        m_tokens = qMin<double>(Burst, m_tokens + (nowMs - m_lastMs) * PerSecond / 1000.0);
    m_lastMs = nowMs;
    m_tokens -= 1.0;
    if (m_tokens >= 0)
        return 0;
    // Owed: the slot comes when the bucket has refilled to zero.
    return qint64(-m_tokens * 1000.0 / PerSecond + 0.999);
}

bool isPlaylistAnswer(const QByteArray &contentType, const QUrl &url)
{
    const QByteArray type = contentType.toLower();
    if (type.contains("mpegurl") || type.contains("dash+xml"))
        return true;
    const QString path = url.path().toLower();
    return path.endsWith(QLatin1String(".m3u8")) || path.endsWith(QLatin1String(".m3u"))
           || path.endsWith(QLatin1String(".mpd"));
}

bool looksLikeHls(const QByteArray &head)
{
    QByteArray h = head;
    if (h.startsWith("\xEF\xBB\xBF"))
        h = h.mid(3);
    return h.trimmed().startsWith("#EXTM3U");
}

QList<QUrl> segmentsOf(const QByteArray &playlist, const QUrl &base)
{
    QList<QUrl> segments;
    bool next = false;
    for (const QByteArray &raw : playlist.split('\n')) {
        const QByteArray line = raw.trimmed();
        if (line.startsWith("#EXTINF")) {
            next = true;
        } else if (next && !line.isEmpty() && !line.startsWith('#')) {
            segments << base.resolved(QUrl(QString::fromUtf8(line)));
            next = false;
        }
    }
    return segments;
}

} // namespace GateRules

// ---- the gates' thread -----------------------------------------------------------

namespace {
class GateThread : public QThread {
public:
    GateThread()
    {
        setObjectName(QStringLiteral("kijkraam-gate"));
        start();
    }
    ~GateThread() override
    {
        quit();
        wait();
    }
};

QThread *gateThread()
{
    static GateThread thread;
    return &thread;
}

QByteArray headerValue(const QList<QByteArray> &lines, const QByteArray &name)
{
    for (const QByteArray &line : lines) {
        const int colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().toLower() == name)
            return line.mid(colon + 1).trimmed();
    }
    return QByteArray();
}

bool isHopHeader(const QByteArray &line)
{
    const QByteArray name = line.left(line.indexOf(':')).trimmed().toLower();
    return name == "connection" || name == "proxy-connection" || name == "keep-alive" || name == "te"
           || name == "proxy-authorization" || name == "upgrade" || name == "transfer-encoding";
}

// One connection from the engine: one request, or one tunnel.
class GateConnection : public QObject {
public:
    GateConnection(EngineGate *gate, QTcpSocket *client) : QObject(gate), m_gate(gate), m_client(client)
    {
        m_client->setParent(this);
        m_clock.start();
        m_timer.setSingleShot(true);
        connect(&m_timer, &QTimer::timeout, this, [this] { onTimer(); });
        connect(m_client, &QTcpSocket::readyRead, this, [this] { onClientData(); });
        connect(m_client, &QTcpSocket::bytesWritten, this, [this] { pump(); });
        connect(m_client, &QTcpSocket::disconnected, this, [this] { finish(); });
        m_timer.start(GateRules::HeadTimeoutMs);
        onClientData();
    }

private:
    enum Stage { Request, Waiting, Head, Playlist, Relay, Tunnel, Done };

    void onClientData()
    {
        if (m_stage == Tunnel) {
            if (m_upstream)
                m_upstream->write(m_client->readAll());
            return;
        }
        if (m_stage != Request) {
            m_client->readAll(); // nothing more is read from the engine on this connection
            return;
        }
        m_request += m_client->readAll();
        const int end = m_request.indexOf("\r\n\r\n");
        if (end < 0) {
            if (m_request.size() > GateRules::MaxHeadBytes)
                refuse("431 Request Header Fields Too Large");
            return;
        }
        m_early = m_request.mid(end + 4);
        QList<QByteArray> lines = m_request.left(end).split('\n');
        for (QByteArray &l : lines)
            l = l.trimmed();
        const QList<QByteArray> first = lines.takeFirst().split(' ');
        if (first.size() < 3)
            return refuse("400 Bad Request");
        m_method = first.at(0).toUpper();
        m_headers = lines;
        if (m_method == "CONNECT") {
            const QByteArray target = first.at(1);
            const int colon = target.lastIndexOf(':');
            m_host = QString::fromLatin1(target.left(colon)).remove(QLatin1Char('[')).remove(QLatin1Char(']'));
            m_port = colon > 0 ? target.mid(colon + 1).toInt() : 443;
            if (m_host.isEmpty() || m_port <= 0 || m_port > 65535)
                return refuse("400 Bad Request");
        } else {
            m_url = QUrl(QString::fromLatin1(first.at(1)));
            if (m_url.scheme().toLower() != QLatin1String("http") || m_url.host().isEmpty())
                return refuse("400 Bad Request");
            m_host = m_url.host();
            m_port = m_url.port(80);
            QUrlQuery query(m_url);
            if (query.hasQueryItem(QLatin1String(DashLive::QueryItem))) {
                // A live DASH representation told as HLS: the MPD is fetched.
                m_hlsRepresentation = query.queryItemValue(QLatin1String(DashLive::QueryItem));
                query.removeAllQueryItems(QLatin1String(DashLive::QueryItem));
                m_url.setQuery(query);
            }
            if (query.hasQueryItem(QLatin1String(DashLive::VideoItem))) {
                m_onlyVideo = query.queryItemValue(QLatin1String(DashLive::VideoItem));
                query.removeAllQueryItems(QLatin1String(DashLive::VideoItem));
                m_url.setQuery(query);
            }
        }
        waitForBudget();
    }

    void waitForBudget()
    {
        m_stage = Waiting;
        m_timer.stop();
        const qint64 wait = m_gate->reserveRequest();
        if (wait > 0)
            qCDebug(lcGate) << "request waits" << wait << "ms" << m_url;
        m_timer.start(int(qMin<qint64>(wait, 60000)));
    }

    void onTimer()
    {
        switch (m_stage) {
        case Waiting:
            return connectUpstream();
        case Request:
        case Head:
            return refuse("504 Gateway Timeout");
        default:
            return;
        }
    }

    void connectUpstream()
    {
        m_stage = Head;
        m_answer.clear();
        delete m_upstream;
        m_upstream = new QTcpSocket(this);
        m_upstream->setReadBufferSize(256 * 1024);
        connect(m_upstream, &QTcpSocket::connected, this, [this] { onUpstreamConnected(); });
        connect(m_upstream, &QTcpSocket::readyRead, this, [this] { onUpstreamData(); });
        connect(m_upstream, &QTcpSocket::disconnected, this, [this] { onUpstreamGone(); });
        connect(m_upstream, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError e) {
            if (e != QAbstractSocket::RemoteHostClosedError)
                onUpstreamGone();
        });
        m_timer.start(GateRules::HeadTimeoutMs);
        m_upstream->connectToHost(m_host, quint16(m_port));
    }

    void onUpstreamConnected()
    {
        if (m_method == "CONNECT") {
            m_stage = Tunnel;
            m_timer.stop();
            m_client->write("HTTP/1.1 200 Connection established\r\n\r\n");
            if (!m_early.isEmpty())
                m_upstream->write(m_early);
            m_early.clear();
            onUpstreamData();
            return;
        }
        // HTTP/1.0 upstream: the body ends with the connection, never chunked.
        QByteArray path = m_url.path(QUrl::FullyEncoded).toLatin1();
        if (path.isEmpty())
            path = "/";
        if (m_url.hasQuery())
            path += '?' + m_url.query(QUrl::FullyEncoded).toLatin1();
        QByteArray out = m_method + ' ' + path + " HTTP/1.0\r\n";
        bool host = false;
        for (const QByteArray &line : m_headers) {
            if (line.isEmpty() || isHopHeader(line))
                continue;
            host = host || line.toLower().startsWith("host:");
            out += line + "\r\n";
        }
        if (!host)
            out += "Host: " + m_url.authority(QUrl::FullyEncoded).section('@', -1).toLatin1() + "\r\n";
        out += "Connection: close\r\n\r\n";
        m_upstream->write(out);
    }

    void onUpstreamData()
    {
        if (!m_upstream)
            return;
        switch (m_stage) {
        case Head:
            return readHead();
        case Playlist:
            return readPlaylist();
        case Relay:
        case Tunnel:
            return pump();
        default:
            m_upstream->readAll();
            return;
        }
    }

    void readHead()
    {
        m_answer += m_upstream->read(GateRules::MaxHeadBytes + 1 - m_answer.size());
        const int end = m_answer.indexOf("\r\n\r\n");
        if (end < 0) {
            if (m_answer.size() > GateRules::MaxHeadBytes)
                refuse("502 Answer Header Too Large");
            return;
        }
        m_timer.stop();
        m_body = m_answer.mid(end + 4);
        QList<QByteArray> lines = m_answer.left(end).split('\n');
        for (QByteArray &l : lines)
            l = l.trimmed();
        m_statusLine = lines.takeFirst();
        m_answerHeaders = lines;
        m_status = m_statusLine.split(' ').value(1).toInt();
        qCDebug(lcGate) << m_status << m_url << m_clock.elapsed() << "ms";
        bool ok = false;
        m_length = headerValue(lines, "content-length").toLongLong(&ok);
        if (!ok)
            m_length = -1;
        if (m_status == 404 && m_method == "GET"
            && m_clock.elapsed() + GateRules::NotFoundRetryMs < GateRules::NotFoundHoldMs) {
            // Perhaps not there yet (a live stream's next segment): ask again soon.
            dropUpstream();
            m_stage = Waiting;
            QTimer::singleShot(GateRules::NotFoundRetryMs, this, [this] {
                if (m_stage == Waiting)
                    waitForBudget();
            });
            return;
        }
        if (m_status >= 400 || m_status < 100) {
            // The status and headers only: an error's body is not passed on.
            dropUpstream();
            sendHead(0);
            return finishClient();
        }
        const bool noBody = m_method == "HEAD" || m_status == 204 || m_status == 304
                            || (m_status >= 100 && m_status < 200);
        if (noBody) {
            dropUpstream();
            sendHead(m_length);
            return finishClient();
        }
        m_sniffing = true;
        m_stage = Playlist;
        readPlaylist();
    }

    // The first bytes decide whether the body is a playlist (read whole, then
    // judged) or media (passed on as it comes).
    void readPlaylist()
    {
        m_body += m_upstream->read(GateRules::MaxPlaylistBytes + 1 - m_body.size());
        if (m_body.size() > GateRules::MaxPlaylistBytes)
            return refuse("502 Playlist Too Large");
        const bool complete = (m_length >= 0 && m_body.size() >= m_length)
                              || (m_upstream->state() != QAbstractSocket::ConnectedState
                                  && !m_upstream->bytesAvailable());
        if (m_sniffing) {
            if (m_body.size() < 16 && !complete)
                return;
            m_sniffing = false;
            const QByteArray type = headerValue(m_answerHeaders, "content-type");
            if (!GateRules::isPlaylistAnswer(type, m_url) && !GateRules::looksLikeHls(m_body)) {
                m_stage = Relay;
                sendHead(m_length);
                m_client->write(m_body);
                m_sent = m_body.size();
                m_body.clear();
                return pump();
            }
            m_stage = Playlist;
        }
        if (!complete)
            return;
        if (m_length >= 0)
            m_body.truncate(int(m_length));
        if (DashLive::isLiveMpd(m_body)) {
            const QByteArray hlsText = m_hlsRepresentation.isNull()
                                           ? DashLive::master(m_body, m_url, m_onlyVideo)
                                           : DashLive::media(m_body, m_url, m_hlsRepresentation,
                                                             QDateTime::currentMSecsSinceEpoch());
            if (!hlsText.isEmpty()) {
                m_body = hlsText;
                m_contentType = "application/vnd.apple.mpegurl";
            } else if (!m_hlsRepresentation.isNull()) {
                return refuse("502 No Such Representation");
            }
        }
        const bool hls = GateRules::looksLikeHls(m_body);
        if (hls && m_gate->isKnownSegment(m_url)) {
            qCDebug(lcGate) << "a playlist as a segment:" << m_url;
            return refuse("502 Playlist As Segment");
        }
        if (hls)
            m_gate->rememberSegments(GateRules::segmentsOf(m_body, m_url));
        dropUpstream();
        sendHead(m_body.size());
        m_client->write(m_body);
        finishClient();
    }

    // Upstream to the engine, no faster than the engine reads.
    void pump()
    {
        if (m_stage != Relay && m_stage != Tunnel)
            return;
        if (!m_upstream)
            return;
        while (m_upstream->bytesAvailable() && m_client->bytesToWrite() < 512 * 1024) {
            QByteArray chunk = m_upstream->read(64 * 1024);
            if (m_stage == Relay && m_length >= 0) {
                chunk.truncate(int(qMax<qint64>(0, qMin<qint64>(chunk.size(), m_length - m_sent))));
            }
            m_sent += chunk.size();
            m_client->write(chunk);
            if (m_stage == Relay && m_length >= 0 && m_sent >= m_length) {
                dropUpstream();
                return finishClient();
            }
        }
        if (m_upstream->state() != QAbstractSocket::ConnectedState && !m_upstream->bytesAvailable())
            finishClient();
    }

    void onUpstreamGone()
    {
        switch (m_stage) {
        case Head:
            if (m_upstream && m_upstream->bytesAvailable())
                readHead();
            if (m_stage == Head)
                refuse("502 Bad Gateway");
            return;
        case Playlist:
            return readPlaylist();
        case Relay:
        case Tunnel:
            return pump();
        default:
            return;
        }
    }

    void sendHead(qint64 length)
    {
        QByteArray out = m_statusLine + "\r\n";
        for (const QByteArray &line : m_answerHeaders) {
            if (line.isEmpty() || isHopHeader(line) || line.toLower().startsWith("content-length:"))
                continue;
            if (!m_contentType.isEmpty() && line.toLower().startsWith("content-type:"))
                continue;
            out += line + "\r\n";
        }
        if (!m_contentType.isEmpty())
            out += "Content-Type: " + m_contentType + "\r\n";
        if (length >= 0)
            out += "Content-Length: " + QByteArray::number(length) + "\r\n";
        out += "Connection: close\r\n\r\n";
        m_client->write(out);
    }

    void refuse(const QByteArray &status)
    {
        dropUpstream();
        if (m_stage == Relay || m_stage == Tunnel) {
            m_client->abort(); // already answering: end it short
            return finish();
        }
        m_client->write("HTTP/1.1 " + status + "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
        finishClient();
    }

    void dropUpstream()
    {
        if (!m_upstream)
            return;
        m_upstream->disconnect(this);
        m_upstream->abort();
        m_upstream->deleteLater();
        m_upstream = nullptr;
    }

    void finishClient()
    {
        m_stage = Done;
        m_timer.stop();
        dropUpstream();
        m_client->disconnectFromHost(); // after what is still to be written
        if (m_client->state() == QAbstractSocket::UnconnectedState)
            finish();
    }

    void finish()
    {
        if (m_finished)
            return;
        m_finished = true;
        m_stage = Done;
        m_timer.stop();
        dropUpstream();
        deleteLater();
    }

    EngineGate *m_gate;
    QTcpSocket *m_client;
    QPointer<QTcpSocket> m_upstream;
    QTimer m_timer;
    QElapsedTimer m_clock;
    Stage m_stage = Request;
    QByteArray m_request, m_early, m_method;
    QList<QByteArray> m_headers;
    QUrl m_url;
    QString m_hlsRepresentation; // set: the HLS media playlist of this live DASH representation
    QString m_onlyVideo;         // set: the HLS master of this one live DASH video representation
    QByteArray m_contentType;    // set: the answer's type is this
    QString m_host;
    int m_port = 0;
    QByteArray m_answer, m_statusLine, m_body;
    QList<QByteArray> m_answerHeaders;
    int m_status = 0;
    qint64 m_length = -1, m_sent = 0;
    bool m_sniffing = false;
    bool m_finished = false;
};
} // namespace

// ---- the gate ----------------------------------------------------------------------

EngineGate *EngineGate::create()
{
    auto *gate = new EngineGate;
    gate->m_server = new QTcpServer(gate);
    if (!gate->m_server->listen(QHostAddress::LocalHost, 0)) {
        qCWarning(lcGate) << "cannot listen:" << gate->m_server->errorString();
        delete gate;
        return nullptr;
    }
    gate->m_port = gate->m_server->serverPort();
    connect(gate->m_server, &QTcpServer::newConnection, gate, &EngineGate::onConnection);
    gate->moveToThread(gateThread());
    return gate;
}

void EngineGate::onConnection()
{
    while (QTcpSocket *client = m_server->nextPendingConnection())
        new GateConnection(this, client);
}

qint64 EngineGate::reserveRequest()
{
    static QElapsedTimer clock;
    if (!clock.isValid())
        clock.start();
    return m_budget.reserve(clock.elapsed());
}

void EngineGate::rememberSegments(const QList<QUrl> &segments)
{
    if (m_segments.size() + segments.size() > GateRules::MaxRememberedSegments)
        m_segments.clear();
    for (const QUrl &url : segments.mid(0, GateRules::MaxRememberedSegments))
        m_segments.insert(url);
}
