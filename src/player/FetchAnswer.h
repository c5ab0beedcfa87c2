#pragma once
// What a fetch answered: a playlist (PlaylistFormats.h), media for the
// decoder, or an answer that cannot be used. Apart from the fetcher, so that
// readers and the walk use it without the network.
#include "player/AsxPlaylist.h"
#include "player/ServerAnswer.h"

#include <QByteArray>
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
