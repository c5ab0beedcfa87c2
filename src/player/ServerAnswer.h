#pragma once
// What an http(s) server answered, told from what a playlist fetch reads
// anyway: the status, a few headers and the first bytes of the body. Needs no
// display and no network.
//
// Windows Media servers stream "MMS over HTTP": a body framed in chunks ($H
// header, $D data, $E end) that a decoder reads only through an mmsh://
// address, never as plain http. Such a server answers a request that does
// not come from a Windows Media player with a [Reference] file instead.
#include <QByteArray>
#include <QUrl>

namespace ServerAnswer {

enum class Kind {
    Failed,             // a status other than 2xx: nothing to play
    AsxPlaylist,        // an ASX playlist: Asx::parse
    ReferenceFile,      // a [Reference] file: Asx::parseReference (with the content type)
    WindowsMediaStream, // MMS over HTTP: play mmshAddress(url)
    OtherMedia,         // anything else: the decoder opens the address itself
};

struct Answer {
    int status = 0;         // HTTP status code
    QByteArray contentType; // the Content-Type header as sent, parameters and all
    QByteArray server;      // the Server header
    QByteArray pragma;      // every Pragma header, joined with ", "
    QByteArray head;        // the first bytes of the body (a few hundred are enough)
};

// The order of the checks: a failed status; a body that starts with the MMS
// header chunk ("$H"); a body that is an ASX playlist or a [Reference] file;
// a framed-stream content type (application/vnd.ms.wms-hdr.asfv1,
// application/x-mms-framed); a Windows Media server (isWindowsMediaServer);
// otherwise other media.
Kind classify(const Answer &answer);

// One of the content types Windows Media servers label their playlists and
// streams with: video/x-ms-asf, video/x-ms-wmv, audio/x-ms-wma,
// audio/x-ms-wax, application/x-mms-framed, application/vnd.ms.wms-hdr.asfv1.
// Letter case and parameters (";charset=...") do not matter.
bool isWindowsMediaType(const QByteArray &contentType);

// A Server header of a Windows Media server ("Cougar/9.01...", "WMServer/...")
// together with a Pragma header that lists the server's features=.
bool isWindowsMediaServer(const QByteArray &server, const QByteArray &pragma);

// The MMS-over-HTTP address of an http:// address: scheme mmsh, the same user,
// host, port, path and query, no fragment. Both schemes default to port 80,
// so a missing port stays missing. Anything but http gives an empty QUrl:
// MMS over HTTP has no TLS form, so an https:// address is played as it is
// (rewriting it would send plain text to a TLS port, or silently give up
// the encryption the user asked for).
QUrl mmshAddress(const QUrl &url);

// What a server's raw first bytes say when the HTTP client could not read
// its answer (no HTTP status line, or headers that did not end in time):
enum class RawHead {
    Nothing,           // not a byte: silence
    HeadersWithoutEnd, // bytes, but no blank line that ends the headers
    Icy,               // "ICY 200 OK" and its headers: a SHOUTcast server's stream, played as it is
    Other,             // a complete head the client still could not use
};
// `bytes` is everything read, up to a size limit.
RawHead rawHead(const QByteArray &bytes);

} // namespace ServerAnswer
