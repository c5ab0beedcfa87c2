#pragma once
// Fetches an address and decides whether it is a Windows Media playlist.
// Bounded in size and time; never blocks the caller.
#include "player/AsxPlaylist.h"

#include <QObject>
#include <QPointer>
#include <QUrl>

class QNetworkReply;

class PlaylistFetcher : public QObject {
    Q_OBJECT
public:
    explicit PlaylistFetcher(QObject *parent = nullptr);
    ~PlaylistFetcher() override;

    // Start fetching; any earlier fetch is abandoned. Exactly one of the
    // signals below follows (unless cancel() comes first).
    void fetch(const QUrl &url);
    void cancel();

    static constexpr int TimeoutMs = 15000;

signals:
    void playlist(const Asx::Playlist &playlist, const QUrl &url);
    void notPlaylist(const QUrl &url); // hand the address to the decoder as it is
    void failed(const QString &reason);

private:
    void onReadyRead();
    void onFinished();
    void decide(bool complete);

    QPointer<QNetworkReply> m_reply;
    QUrl m_url;
    QByteArray m_body;
    bool m_isPlaylist = false;
};
