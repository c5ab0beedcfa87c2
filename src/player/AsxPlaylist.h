#pragma once
// Windows Media playlists: a tolerant reader of ASX files and of the
// [Reference] files that Windows Media servers hand to a browser. It needs no
// display and no network. ASX tags and attributes match in any letter case;
// files that are not well-formed XML (unquoted or single-quoted attributes,
// unclosed tags, stray text, entities, comments) are read as far as they make
// sense. Reading is linear in the input: addresses made absolute add up to at
// most MaxResolvedChars characters.
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
// Characters of addresses a playlist may produce, all told: a long BASE before
// many short relative REFs would otherwise make the result far larger than the
// file. Reading stops once it is spent.
constexpr qint64 MaxResolvedChars = 4 * MaxPlaylistBytes;

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
    bool valid = false; // an <ASX> root or a [Reference] head was found
    QList<Item> items;  // in document order
};

// Whether the first bytes of a body are an ASX playlist: after an optional
// UTF-8 byte-order mark, white space, an XML declaration and comments, the
// first element is <ASX (any letter case).
bool looksLikeAsx(const QByteArray &head);

// Whether the first bytes of a body are a [Reference] file: after an optional
// byte-order mark (UTF-8 or UTF-16) and white space, a "[Reference]" line in
// any letter case.
bool looksLikeReference(const QByteArray &head);

enum class Format { None, Asx, Reference };
// Which kind of playlist a body's first bytes start, if any.
Format formatOf(const QByteArray &head);

// Whether a playlist fetched from the network may point to this address:
// only http, https, mms, mmsh, mmst, rtsp (and its rtspt, rtspu and rtsps
// forms) and rtmp (never local files).
bool isNetworkAddress(const QUrl &url);

// Parse an ASX playlist. `documentUrl` is where it came from: relative REF
// and ENTRYREF addresses resolve against the nearest BASE (entry, then
// playlist) or else against it. A BASE takes effect where it stands and
// replaces an earlier one of its level; a relative one resolves against the
// document address (playlist level) or the playlist's base (entry level).
// Addresses that resolve to nothing usable (empty, no scheme, a network
// scheme without a host) are dropped, and so are all that are not network
// addresses when the playlist came from the network (documentUrl is not a
// local file).
Playlist parse(const QByteArray &data, const QUrl &documentUrl);

// Parse a [Reference] file (lines "Ref1=address", "Ref2=..." in any letter
// case, CRLF or LF) into one entry whose refs are its addresses in order,
// under the same rules as parse(). When the file came over http:// with a
// Windows Media content type (ServerAnswer::isWindowsMediaType), its http://
// addresses are MMS over HTTP and come back as mmsh:// addresses, except
// those named like a playlist (isPlaylistName): a playlist is fetched over
// http, only a stream is MMS.
Playlist parseReference(const QByteArray &data, const QUrl &documentUrl, const QByteArray &contentType = QByteArray());

// A playlist of entries, each with its addresses to try in turn, under the
// same rules as parse(): relative addresses resolve against `documentUrl`,
// unusable ones are dropped, and from the network only network addresses
// are kept. The other playlist formats (M3U, PLS, XSPF) are read into it.
Playlist fromEntries(const QList<QStringList> &entries, const QUrl &documentUrl);

// A playlist body as text: UTF-16 with a byte-order mark, UTF-8 (with or
// without one), else Latin-1. Read up to MaxPlaylistBytes; a UTF-8
// character split at that limit is dropped.
QString decodeText(const QByteArray &data);

// Whether an address names a playlist file by its name (.asx, .wax, .wvx,
// .m3u, .m3u8, .pls, .xspf), whatever its scheme.
bool isPlaylistName(const QUrl &url);

// parse() or parseReference(), whichever formatOf() the data says; an empty,
// invalid playlist for anything else.
Playlist read(const QByteArray &data, const QUrl &documentUrl, const QByteArray &contentType = QByteArray());

} // namespace Asx
