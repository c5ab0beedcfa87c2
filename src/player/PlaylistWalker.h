#pragma once
// The way through one player's address and the playlists behind it, with
// no decoder, network or clock: what to fetch or open next, and what comes
// after a fetch's answer, a failed open or an entry that has played.
//
// An http(s) or local address is fetched first; its answer is a playlist
// (ASX, [Reference], M3U, PLS, XSPF: PlaylistFormats.h) or media. Entries
// are tried in order; an entry's addresses (its REFs) in turn. An http(s)
// address of an entry is fetched before it plays: media is opened (a
// Windows Media server's stream as mmsh://), a playlist's addresses stand
// in for it, in order. An entry that names one playlist (ENTRYREF, or an
// only address named like a playlist) is replaced by that playlist's
// entries. rtsp:// addresses become their transports to try in turn
// (RtspTransport). An address that fails before it plays gives way to the
// next one, an entry without addresses left to the next entry.
//
// The same rules hold at every level and for every kind: a playlist from
// the network never leads to a local file, playlists nest at most
// Asx::MaxEntryRefDepth deep, a playlist that leads back to itself is not
// read again, and at most MaxFetchesWithoutPlay fetches are made before
// something plays.
#include <QList>
#include <QString>
#include <QUrl>

struct FetchAnswer;

class PlaylistWalker {
public:
    struct Step {
        enum Kind { Fetch, Open, End };
        Kind kind = End;
        QUrl url;        // Fetch: what to fetch; answered() follows
        QString address; // Open: what the decoder opens
        QString reason;  // End: why nothing played (the last failure)
    };

    // Addresses and playlists fetched in a row with nothing playing in
    // between; beyond that a playlist's further addresses are not fetched.
    static constexpr int MaxFetchesWithoutPlay = 32;

    // Starts over with the address as typed (surrounding blanks are not
    // part of it).
    void start(const QString &address);
    void clear();

    // What to do now. After Fetch comes answered(); after Open, one of
    // openFailed() and entryDone(); End stays End until start().
    Step next();
    void answered(const FetchAnswer &answer);
    // The address of the last Open failed before it played: the next one.
    void openFailed(const QString &reason);
    // The entry of the last Open has played and ended (or ended without
    // playing or failing): the next entry.
    void entryDone();
    // Something plays: the fetch budget starts again.
    void played() { m_fetches = 0; }

    int fetchesWithoutPlay() const { return m_fetches; }

    // What the decoder opens for an answer that is not a playlist: the
    // mmsh:// form of an http:// address that a Windows Media server
    // answered with its stream, a local file's path, else the address.
    static QString mediaAddress(const FetchAnswer &answer);

private:
    // Where an address came from.
    struct Origin {
        int depth = 0;            // nested playlists that led here
        QList<QUrl> chain;        // those playlists, to catch loops
        bool fromNetwork = false; // from a playlist fetched from the network
    };
    struct Ref {
        QString address;
        Origin origin;
        bool resolved = false; // looked at already: no fetch needed
        bool final = false;    // one of its transports: the decoder opens it as it is
    };
    // An entry to play, or a playlist to fetch that stands for entries.
    struct Item {
        bool playlist = false;
        QUrl url;        // playlist: where it is
        QList<Ref> refs; // entry: the addresses to try in turn, the current one first
        Origin origin;
    };
    enum class Waiting { Nothing, Playlist, Ref, Decoder };

    Step fetch(Waiting what, const QUrl &url);
    bool mayFetch();
    bool followable(const QUrl &url, const Origin &origin);
    bool nestingAllowed(const Origin &parent, const QUrl &url);
    Origin nestedOrigin(const Origin &parent, const FetchAnswer &answer) const;
    void onPlaylistAnswer(const FetchAnswer &answer);
    void onRefAnswer(const FetchAnswer &answer);
    static QString emptyReason(bool valid);

    QList<Item> m_todo; // the current item first
    Waiting m_waiting = Waiting::Nothing;
    QUrl m_fetchUrl;
    int m_fetches = 0;
    QString m_lastFailure;
};
