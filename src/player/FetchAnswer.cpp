#include "player/FetchAnswer.h"
#include "player/PlaylistFormats.h"

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
