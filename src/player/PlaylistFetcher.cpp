#include "player/PlaylistFetcher.h"

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
// How much of a body is enough to tell a playlist from media.
constexpr int SniffBytes = 1024;
} // namespace

PlaylistFetcher::PlaylistFetcher(QObject *parent) : QObject(parent) {}

PlaylistFetcher::~PlaylistFetcher() { cancel(); }

void PlaylistFetcher::cancel()
{
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

void PlaylistFetcher::fetch(const QUrl &url)
{
    cancel();
    m_url = url;
    if (url.isLocalFile()) {
        // A playlist the user named on disk; read its head without waiting long.
        QFile file(url.toLocalFile());
        if (!file.open(QIODevice::ReadOnly)) {
            const QString reason = file.errorString();
            QTimer::singleShot(0, this, [this, reason] { emit failed(reason); });
            return;
        }
        const QByteArray head = file.read(SniffBytes);
        if (Asx::looksLikeAsx(head)) {
            const QByteArray data = head + file.read(Asx::MaxPlaylistBytes - head.size());
            const Asx::Playlist list = Asx::parse(data, url);
            QTimer::singleShot(0, this, [this, list, url] { emit playlist(list, url); });
        } else {
            QTimer::singleShot(0, this, [this, url] { emit notPlaylist(url); });
        }
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
    if (!m_isPlaylist && m_body.size() >= SniffBytes)
        decide(false);
    else if (m_isPlaylist && m_body.size() > Asx::MaxPlaylistBytes) {
        cancel();
        emit failed(tr("afspeellijst is te groot"));
    }
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
        cancel();
        emit failed(reason);
        return;
    }
    m_body += reply->read(Asx::MaxPlaylistBytes + 1 - m_body.size());
    decide(true);
}

void PlaylistFetcher::decide(bool complete)
{
    qCDebug(lcFetch) << "decide" << m_url << complete << m_body.size() << m_isPlaylist;
    if (!m_isPlaylist) {
        if (!Asx::looksLikeAsx(m_body.left(SniffBytes))) {
            // Media, not a playlist: stop downloading, the decoder opens it itself.
            const QUrl url = m_reply ? m_reply->url() : m_url;
            cancel();
            emit notPlaylist(url);
            return;
        }
        m_isPlaylist = true;
    }
    if (!complete)
        return;
    if (m_body.size() > Asx::MaxPlaylistBytes) {
        cancel();
        emit failed(tr("afspeellijst is te groot"));
        return;
    }
    const QUrl url = m_reply ? m_reply->url() : m_url;
    const QByteArray body = m_body;
    cancel();
    emit playlist(Asx::parse(body, url), url);
}
