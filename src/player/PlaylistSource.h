#pragma once
// What a stream session needs to look at an address before it plays it:
// fetch it and say whether it is a playlist (PlaylistFormats.h), media for
// the decoder, or an answer that cannot be used.
#include "player/AsxPlaylist.h"
#include "player/ServerAnswer.h"

#include <QByteArray>
#include <QObject>
#include <QUrl>

struct FetchAnswer {
    enum Kind { Playlist, Media, Failed };
    Kind kind = Failed;
    QUrl url;               // where the answer came from (after redirections)
    Asx::Playlist playlist; // Playlist: what it holds
    QString reason;         // Failed: why, in Dutch
    // What was read: the HTTP status and headers (none for files) and the
    // first bytes of the body, as far as they were read.
    ServerAnswer::Answer reply;

    // The answer for a body read from `url`: a playlist when it is one of
    // Playlists::formatOf (read with reply.contentType), else media. A body longer than Asx::MaxPlaylistBytes is read up to the
    // limit. `reply` gets the body's first bytes.
    static FetchAnswer fromBody(const QUrl &url, const QByteArray &body, ServerAnswer::Answer reply = {});
    static FetchAnswer media(const QUrl &url);
    static FetchAnswer failure(const QUrl &url, const QString &reason, ServerAnswer::Answer reply = {});

    static constexpr int SniffBytes = 1024; // enough of a body to tell a playlist from media
};

class PlaylistSource : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    // Start fetching; any earlier fetch is abandoned. One answered() follows
    // (never from inside fetch()), unless cancel() comes first.
    virtual void fetch(const QUrl &url) = 0;
    virtual void cancel() = 0;

signals:
    void answered(const FetchAnswer &answer);
};
