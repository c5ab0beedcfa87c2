#pragma once
// Windows Media ASX playlists: a tolerant reader that needs no display and
// no network. Tags and attributes match in any letter case; files that are
// not well-formed XML (unquoted or single-quoted attributes, unclosed tags,
// stray text, entities, comments) are read as far as they make sense.
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

namespace Asx {

constexpr qint64 MaxPlaylistBytes = 512 * 1024; // larger bodies are not playlists we read
constexpr int MaxEntryRefDepth = 5;             // nested ENTRYREF playlists followed at most
constexpr int MaxItems = 1000;                  // entries and entry references per playlist
constexpr int MaxRefsPerEntry = 32;

struct Item {
    enum Kind { Entry, EntryRef };
    Kind kind = Entry;
    // Entry: the REF addresses to try in turn, made absolute against BASE or
    // the playlist's own address. Empty when no REF was usable.
    QStringList refs;
    // EntryRef: the absolute address of the nested playlist.
    QString href;
};

struct Playlist {
    bool valid = false; // an <ASX> root was found
    QList<Item> items;  // in document order
};

// Whether the first bytes of a body are an ASX playlist: after an optional
// UTF-8 byte-order mark, white space, an XML declaration and comments, the
// first element is <ASX (any letter case).
bool looksLikeAsx(const QByteArray &head);

// Whether a playlist fetched from the network may point to this address:
// only http, https, mms, mmsh, mmst, rtsp and rtmp (never local files).
bool isNetworkAddress(const QUrl &url);

// Parse a playlist. `documentUrl` is where it came from: relative REF and
// ENTRYREF addresses resolve against the nearest BASE (entry, then playlist)
// or else against it. When the playlist came from the network (documentUrl is
// not a local file), addresses that are not network addresses are dropped.
Playlist parse(const QByteArray &data, const QUrl &documentUrl);

} // namespace Asx
