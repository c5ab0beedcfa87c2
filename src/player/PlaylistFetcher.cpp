#include "player/PlaylistFetcher.h"
#include "player/CertificateStore.h"
#include "player/PlaylistFormats.h"
#include "player/StatusReasons.h"

#include <QFile>
#include <QLoggingCategory>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSslSocket>
#include <QTimer>

#include <memory>

Q_LOGGING_CATEGORY(lcFetch, "kijkraam.fetch", QtWarningMsg)

namespace {
QNetworkAccessManager &network()
{
    static QNetworkAccessManager *manager = new QNetworkAccessManager;
    return *manager;
}
} // namespace

PlaylistFetcher::PlaylistFetcher(QObject *parent)
    : PlaylistSource(parent), m_headerTimer(new QTimer(this)), m_lookTimer(new QTimer(this))
{
    m_headerTimer->setSingleShot(true);
    m_lookTimer->setSingleShot(true);
    connect(m_headerTimer, &QTimer::timeout, this, &PlaylistFetcher::onHeaderTimeout);
    connect(m_lookTimer, &QTimer::timeout, this, &PlaylistFetcher::endLook);
}

PlaylistFetcher::~PlaylistFetcher() { cancel(); }

void PlaylistFetcher::cancel()
{
    ++m_fetchId;
    m_headerTimer->stop();
    m_lookTimer->stop();
    if (m_look) {
        m_look->disconnect(this);
        m_look->abort();
        m_look->deleteLater();
    }
    m_look = nullptr;
    m_lookBytes.clear();
    if (m_reply) {
        m_reply->disconnect(this);
        if (!m_reply->isFinished() && m_reply->error() == QNetworkReply::NoError)
            m_reply->abort(); // one that reported its error ends by itself; abort() would report another
        m_reply->deleteLater();
    }
    m_reply = nullptr;
    m_body.clear();
    m_isPlaylist = false;
}

void PlaylistFetcher::answerLater(const FetchAnswer &answer)
{
    QTimer::singleShot(0, this, [this, answer, id = m_fetchId] {
        if (id == m_fetchId)
            emit answered(answer);
    });
}

void PlaylistFetcher::fetch(const QUrl &url)
{
    cancel();
    m_url = url;
    if (url.isLocalFile()) {
        // A playlist the user named on disk: read no more than a playlist
        // may hold, and one byte beyond, so that the reader knows when the
        // file was cut at the limit.
        QFile file(url.toLocalFile());
        if (!file.open(QIODevice::ReadOnly)) {
            answerLater(FetchAnswer::failure(url, StatusReasons::fromFile(file.fileName(), file.errorString())));
            return;
        }
        const QByteArray head = file.read(FetchAnswer::SniffBytes);
        const bool playlist = Playlists::formatOf(head, url) != Playlists::Format::None;
        const QByteArray body = playlist ? head + file.read(Asx::MaxPlaylistBytes + 1 - head.size()) : head;
        answerLater(FetchAnswer::fromBody(url, body));
        return;
    }
    QNetworkRequest request(url);
    request.setTransferTimeout(TimeoutMs);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(5);
    request.setHeader(QNetworkRequest::UserAgentHeader, QByteArrayLiteral("Kijkraam/2.3"));
    CertificateStore::prepare(request);
    m_reply = network().get(request);
    CertificateStore::watch(m_reply);
    // What the client holds for us stays small whatever the server sends.
    m_reply->setReadBufferSize(64 * 1024);
    connect(m_reply, &QNetworkReply::metaDataChanged, this, [this] {
        m_headerTimer->stop();
        if (m_reply && m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() >= 400)
            failWithStatus();
    });
    connect(m_reply, &QNetworkReply::readyRead, this, &PlaylistFetcher::onReadyRead);
    connect(m_reply, &QNetworkReply::finished, this, &PlaylistFetcher::onFinished);
    m_headerTimer->start(HeaderTimeoutMs);
}

void PlaylistFetcher::onReadyRead()
{
    if (!m_reply)
        return;
    const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status >= 400)
        return failWithStatus();
    m_body += m_reply->read(Asx::MaxPlaylistBytes + 1 - m_body.size());
    // A Windows Media server's framed stream shows itself in its first two
    // bytes (the header chunk, "$H"): no need to wait for more.
    if (!m_isPlaylist && (m_body.size() >= FetchAnswer::SniffBytes || m_body.startsWith("$H")))
        decide(false);
    else if (m_isPlaylist && m_body.size() > Asx::MaxPlaylistBytes)
        decide(true);
}

void PlaylistFetcher::onFinished()
{
    if (!m_reply)
        return;
    QNetworkReply *reply = m_reply;
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    qCDebug(lcFetch) << "finished" << m_url << status << reply->error() << m_body.size();
    if (reply->error() != QNetworkReply::NoError || status >= 400) {
        if (status >= 400)
            return failWithStatus();
        const QNetworkReply::NetworkError error = reply->error();
        QString reason = StatusReasons::fromNetwork(error, status, reply->url().host(), reply->errorString());
        const QString untrusted = CertificateStore::refusedHost(reply);
        if (!untrusted.isEmpty())
            reason = CertificateTrust::untrustedReason(untrusted);
        const QUrl url = reply->url();
        if (status == 0
            && (error == QNetworkReply::RemoteHostClosedError || error == QNetworkReply::ProtocolFailure
                || error == QNetworkReply::ProtocolUnknownError || error == QNetworkReply::OperationCanceledError))
            return lookAtServer(url, reason); // something that is not HTTP, or nothing?
        const ServerAnswer::Answer said = replyOf(reply);
        cancel();
        if (!untrusted.isEmpty())
            emit certificateRefused(untrusted);
        emit answered(FetchAnswer::failure(url, reason, said));
        return;
    }
    m_body += reply->read(Asx::MaxPlaylistBytes + 1 - m_body.size());
    decide(true);
}

// An error answer: its status and first bytes, no more.
void PlaylistFetcher::failWithStatus()
{
    if (!m_reply)
        return;
    QNetworkReply *reply = m_reply;
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QString reason = StatusReasons::fromNetwork(
        reply->error(), status, reply->url().host(),
        QStringLiteral("HTTP %1 %2")
            .arg(status)
            .arg(reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString()));
    const QUrl url = reply->url();
    ServerAnswer::Answer said = replyOf(reply);
    said.head = reply->read(FetchAnswer::SniffBytes);
    cancel();
    emit answered(FetchAnswer::failure(url, reason, said));
}

void PlaylistFetcher::onHeaderTimeout()
{
    if (!m_reply)
        return;
    const QUrl url = m_reply->url();
    m_reply->disconnect(this);
    m_reply->abort();
    m_reply->deleteLater();
    m_reply = nullptr;
    lookAtServer(url, tr("geen antwoord van de server"));
}

// Opens a connection of its own to the server and reads the first bytes of
// its answer to the same request; endLook() decides.
void PlaylistFetcher::lookAtServer(const QUrl &url, const QString &reason)
{
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->deleteLater();
        m_reply = nullptr;
    }
    m_headerTimer->stop();
    m_url = url;
    m_lookReason = reason;
    m_lookBytes.clear();
    const bool tls = url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0;
    auto *socket = new QSslSocket(this);
    m_look = socket;
    connect(socket, &QSslSocket::readyRead, this, [this, socket] {
        m_lookBytes += socket->read(MaxHeaderBytes - m_lookBytes.size());
        if (m_lookBytes.size() >= MaxHeaderBytes || m_lookBytes.contains("\r\n\r\n") || m_lookBytes.contains("\n\n"))
            endLook();
    });
    connect(socket, &QSslSocket::disconnected, this, &PlaylistFetcher::endLook);
    connect(socket, &QSslSocket::errorOccurred, this, &PlaylistFetcher::endLook);
    const QByteArray target = url.path(QUrl::FullyEncoded).toUtf8();
    const QByteArray request = "GET " + (target.isEmpty() ? QByteArray("/") : target)
                               + (url.hasQuery() ? "?" + url.query(QUrl::FullyEncoded).toUtf8() : QByteArray())
                               + " HTTP/1.0\r\nHost: " + url.host(QUrl::FullyEncoded).toUtf8()
                               + (url.port() > 0 ? ":" + QByteArray::number(url.port()) : QByteArray())
                               + "\r\nUser-Agent: Kijkraam/2.3\r\nAccept: */*\r\n\r\n";
    connect(socket, tls ? &QSslSocket::encrypted : &QSslSocket::connected, this,
            [socket, request] { socket->write(request); });
    m_lookTimer->start(LookTimeoutMs);
    const quint16 port = quint16(url.port(tls ? 443 : 80));
    if (tls)
        socket->connectToHostEncrypted(url.host(), port);
    else
        socket->connectToHost(url.host(), port);
}

void PlaylistFetcher::endLook()
{
    if (!m_look)
        return;
    QTcpSocket *socket = m_look;
    m_lookBytes += socket->read(MaxHeaderBytes - m_lookBytes.size());
    const QByteArray bytes = m_lookBytes;
    const QUrl url = m_url;
    const QString reason = m_lookReason;
    cancel();
    switch (ServerAnswer::rawHead(bytes)) {
    case ServerAnswer::RawHead::Icy: {
        // A SHOUTcast server: the decoder reads its "ICY 200 OK" itself.
        ServerAnswer::Answer said;
        said.status = 200;
        emit answered(FetchAnswer::fromBody(url, QByteArray(), said));
        return;
    }
    case ServerAnswer::RawHead::HeadersWithoutEnd:
        emit answered(FetchAnswer::failure(url, tr("de kopregels van de server houden niet op")));
        return;
    case ServerAnswer::RawHead::Nothing:
    case ServerAnswer::RawHead::Other:
        break;
    }
    emit answered(FetchAnswer::failure(url, reason));
}

void PlaylistFetcher::decide(bool complete)
{
    qCDebug(lcFetch) << "decide" << m_url << complete << m_body.size() << m_isPlaylist;
    const QUrl url = m_reply ? m_reply->url() : m_url;
    const ServerAnswer::Answer said = replyOf(m_reply);
    if (!m_isPlaylist) {
        if (Playlists::formatOf(m_body.left(FetchAnswer::SniffBytes), url, said.contentType)
            == Playlists::Format::None) {
            // Media, not a playlist: stop downloading, the decoder opens it itself.
            const QByteArray head = m_body.left(FetchAnswer::SniffBytes);
            const bool whole = complete && m_body.size() <= FetchAnswer::SniffBytes;
            cancel();
            answerAfterCertificates(FetchAnswer::fromBody(url, head, said), whole);
            return;
        }
        m_isPlaylist = true;
    }
    if (!complete)
        return;
    const QByteArray body = m_body;
    cancel();
    if (body.size() > Asx::MaxPlaylistBytes)
        emit answered(FetchAnswer::failure(url, tr("afspeellijst is te groot"), said));
    else
        emit answered(FetchAnswer::fromBody(url, body, said));
}

// The decoder checks every certificate too, but cannot say whose it
// refused: the hosts an HLS playlist sends it to over TLS are looked at
// first, so that a certificate nobody trusts is refused with its host named.
void PlaylistFetcher::answerAfterCertificates(const FetchAnswer &answer, bool whole)
{
    const QStringList hosts = CertificateTrust::hlsHosts(answer.reply.head, answer.url, whole);
    if (hosts.isEmpty()) {
        emit answered(answer);
        return;
    }
    auto pending = std::make_shared<int>(int(hosts.size()));
    auto refused = std::make_shared<QString>();
    for (const QString &host : hosts) {
        CertificateStore::probe(host, this, [=, id = m_fetchId](const QSslCertificate &certificate, bool accepted) {
            if (!certificate.isNull() && !accepted && refused->isEmpty())
                *refused = host; // (a host that does not answer is the decoder's to report)
            if (--*pending > 0 || id != m_fetchId)
                return;
            if (refused->isEmpty()) {
                emit answered(answer);
                return;
            }
            emit certificateRefused(*refused);
            emit answered(FetchAnswer::failure(answer.url, CertificateTrust::untrustedReason(*refused), answer.reply));
        });
    }
}

ServerAnswer::Answer PlaylistFetcher::replyOf(const QNetworkReply *reply)
{
    ServerAnswer::Answer said;
    if (reply) {
        said.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        said.contentType = reply->rawHeader("Content-Type");
        said.server = reply->rawHeader("Server");
        said.pragma = reply->rawHeader("Pragma"); // several Pragma lines arrive joined by ", "
    }
    return said;
}
