#pragma once
// Fetches an address from the network or the disk and decides whether it is
// a playlist. Bounded in size and time; never blocks the caller: an error
// answer is read no further than its first bytes, headers that have not
// ended after HeaderTimeoutMs end the fetch.
//
// When the HTTP client cannot read an answer (no HTTP status line, or
// headers without end), a raw look at the server's first bytes (at most
// MaxHeaderBytes, for LookTimeoutMs) tells a SHOUTcast server ("ICY 200
// OK", played as it is) from headers that never end and from silence.
#include "player/PlaylistSource.h"

#include <QPointer>

class QNetworkReply;
class QTcpSocket;
class QTimer;

class PlaylistFetcher : public PlaylistSource {
    Q_OBJECT
public:
    explicit PlaylistFetcher(QObject *parent = nullptr);
    ~PlaylistFetcher() override;

    void fetch(const QUrl &url) override;
    void cancel() override;

    static constexpr int TimeoutMs = 15000;
    static constexpr int HeaderTimeoutMs = 8000;
    static constexpr int LookTimeoutMs = 3000;
    static constexpr int MaxHeaderBytes = 16 * 1024;

signals:
    // A fetch failed on a certificate the system does not trust (and the
    // user has not trusted for `host`); answered() follows.
    void certificateRefused(const QString &host);

private:
    void answerLater(const FetchAnswer &answer);
    void onReadyRead();
    void onFinished();
    void decide(bool complete);
    void failWithStatus();
    void onHeaderTimeout();
    void lookAtServer(const QUrl &url, const QString &reason);
    void endLook();
    void answerAfterCertificates(const FetchAnswer &answer, bool whole);
    static ServerAnswer::Answer replyOf(const QNetworkReply *reply);

    QPointer<QNetworkReply> m_reply;
    QTimer *m_headerTimer = nullptr;
    // The raw look.
    QPointer<QTcpSocket> m_look;
    QTimer *m_lookTimer = nullptr;
    QByteArray m_lookBytes;
    QString m_lookReason; // what the HTTP client said, for a look that tells no more
    QUrl m_url;
    QByteArray m_body;
    bool m_isPlaylist = false;
    quint64 m_fetchId = 0; // answers of abandoned fetches are dropped
};
