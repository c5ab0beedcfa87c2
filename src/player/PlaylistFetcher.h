#pragma once
// Fetches an address from the network or the disk and decides whether it is
// a Windows Media playlist. Bounded in size and time; never blocks the caller.
#include "player/PlaylistSource.h"

#include <QPointer>

class QNetworkReply;

class PlaylistFetcher : public PlaylistSource {
    Q_OBJECT
public:
    explicit PlaylistFetcher(QObject *parent = nullptr);
    ~PlaylistFetcher() override;

    void fetch(const QUrl &url) override;
    void cancel() override;

    static constexpr int TimeoutMs = 15000;

signals:
    // A fetch failed on a certificate the system does not trust (and the
    // user has not trusted for `host`); answered() follows.
    void certificateRefused(const QString &host);

private:
    void answerLater(const FetchAnswer &answer);
    void onReadyRead();
    void onFinished();
    void decide(bool complete);
    void answerAfterCertificates(const FetchAnswer &answer, bool whole);
    static ServerAnswer::Answer replyOf(const QNetworkReply *reply);

    QPointer<QNetworkReply> m_reply;
    QUrl m_url;
    QByteArray m_body;
    bool m_isPlaylist = false;
    quint64 m_fetchId = 0; // answers of abandoned fetches are dropped
};
