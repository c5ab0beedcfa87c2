#include "player/PlaylistFetcher.h"
#include "player/PlaylistFormats.h"

#include <QFile>
#include <QLoggingCategory>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>

Q_LOGGING_CATEGORY(lcFetch, "kijkraam.fetch", QtWarningMsg)

namespace {
QNetworkAccessManager &network()
{
    static QNetworkAccessManager *manager = new QNetworkAccessManager;
    return *manager;
}
} // namespace

FetchAnswer FetchAnswer::fromBody(const QUrl &url, const QByteArray &body, ServerAnswer::Answer reply)
{
    FetchAnswer answer = media(url);
    answer.reply = std::move(reply);
    answer.reply.head = body.left(SniffBytes);
    if (Playlists::formatOf(body, url, answer.reply.contentType) != Playlists::Format::None) {
        // A playlist of ours (not an HLS playlist: that is the decoder's);
        // the content type tells whether a [Reference] file's http://
        // addresses are MMS over HTTP.
        answer.kind = Playlist;
        answer.playlist = Playlists::read(body, url, answer.reply.contentType);
    }
    return answer;
}

FetchAnswer FetchAnswer::media(const QUrl &url)
{
    FetchAnswer answer;
    answer.kind = Media;
    answer.url = url;
    return answer;
}

FetchAnswer FetchAnswer::failure(const QUrl &url, const QString &reason, ServerAnswer::Answer reply)
{
    FetchAnswer answer;
    answer.url = url;
    answer.reason = reason;
    answer.reply = std::move(reply);
    return answer;
}

PlaylistFetcher::PlaylistFetcher(QObject *parent) : PlaylistSource(parent) {}

PlaylistFetcher::~PlaylistFetcher() { cancel(); }

void PlaylistFetcher::cancel()
{
    ++m_fetchId;
    if (m_reply) {
        m_reply->disconnect(this);
        if (!m_reply->isFinished())
            m_reply->abort();
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
            answerLater(FetchAnswer::failure(url, file.errorString()));
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
    m_reply = network().get(request);
    connect(m_reply, &QNetworkReply::readyRead, this, &PlaylistFetcher::onReadyRead);
    connect(m_reply, &QNetworkReply::finished, this, &PlaylistFetcher::onFinished);
}

void PlaylistFetcher::onReadyRead()
{
    if (!m_reply)
        return;
    const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status >= 400)
        return; // reported when finished
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
        QString reason;
        if (status >= 400)
            reason = QStringLiteral("HTTP %1 %2").arg(status).arg(
                reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString());
        else if (reply->error() == QNetworkReply::OperationCanceledError)
            reason = tr("geen antwoord van de server");
        else
            reason = reply->errorString();
        const QUrl url = reply->url();
        const ServerAnswer::Answer said = replyOf(reply);
        cancel();
        emit answered(FetchAnswer::failure(url, reason, said));
        return;
    }
    m_body += reply->read(Asx::MaxPlaylistBytes + 1 - m_body.size());
    decide(true);
}

void PlaylistFetcher::decide(bool complete)
{
    qCDebug(lcFetch) << "decide" << m_url << complete << m_body.size() << m_isPlaylist;
    const QUrl url = m_reply ? m_reply->url() : m_url;
    const ServerAnswer::Answer said = replyOf(m_reply);
    if (!m_isPlaylist) {
        if (Playlists::formatOf(m_body.left(FetchAnswer::SniffBytes), url, said.contentType) == Playlists::Format::None) {
            // Media, not a playlist: stop downloading, the decoder opens it itself.
            const QByteArray head = m_body.left(FetchAnswer::SniffBytes);
            cancel();
            emit answered(FetchAnswer::fromBody(url, head, said));
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
