#pragma once
// Every kind of playlist the player walks itself, told apart by a body's
// first bytes (and, for a bare list of addresses, by its name or content
// type), and read into one form (Asx::Playlist). Needs no display and no
// network.
//
//   ASX and [Reference]   AsxPlaylist.h
//   M3U, M3U8             "#EXTM3U" with #EXTINF lines, or a bare list of
//                         addresses in a file named .m3u/.m3u8 or sent as
//                         audio/x-mpegurl; one entry per address
//   PLS                   "[playlist]" with File1=, File2= ... in number order
//   XSPF                  <playlist xmlns="http://xspf.org/ns/0/">, one entry
//                         per <track>, its <location>s tried in turn
//
// An HLS playlist (any #EXT-X- line: a master or media playlist of an
// adaptive stream) is not a list of entries: it is media for the decoder.
#include "player/AsxPlaylist.h"

namespace Playlists {

enum class Format { None, Asx, Reference, M3u, Pls, Xspf };

// Which playlist `body` is (its first bytes are enough, except that an HLS
// playlist is told by an #EXT-X- line anywhere in what is given). `url` and
// `contentType` only matter for a bare list of addresses.
Format formatOf(const QByteArray &body, const QUrl &url = QUrl(), const QByteArray &contentType = QByteArray());

// Whether an #EXTM3U text is an HLS playlist.
bool isHls(const QByteArray &body);

Asx::Playlist readM3u(const QByteArray &data, const QUrl &documentUrl);
Asx::Playlist readPls(const QByteArray &data, const QUrl &documentUrl);
Asx::Playlist readXspf(const QByteArray &data, const QUrl &documentUrl);

// The reader formatOf() names; an empty, invalid playlist for None.
Asx::Playlist read(const QByteArray &data, const QUrl &documentUrl, const QByteArray &contentType = QByteArray());

} // namespace Playlists
