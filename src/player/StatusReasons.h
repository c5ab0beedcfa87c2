#pragma once
// Why an address did not open, in Dutch words a user understands, from
// what the engine logged, what the network said, or what the program saw.
//
// A reason is one line of Dutch, optionally followed by the words it came
// from (the engine's log lines, Qt's error text) on lines of their own: the
// status line shows the first line, the tooltip all of it.
#include <QString>
#include <QStringList>

namespace StatusReasons {
enum class Cause {
    FileNotFound,
    NotFound,            // HTTP 404
    Forbidden,           // HTTP 403
    NameOrPasswordWrong, // HTTP or RTSP 401
    ServerError,         // HTTP 5xx
    Refused,             // another HTTP 4xx
    ConnectionRefused,
    TimedOut,
    HostUnknown,
    NotPlayable, // no stream the program can play
    CertificateNotTrusted,
    YtDlpNeeded, // a web page, and no yt-dlp to find its video
    ClosedByServer,
    LocalRedirect,  // a redirect to an address that is not followed (a local file)
    BadCompression, // packed data that does not unpack
    NetworkUnreachable,
    Unknown,
};

// The Dutch text; `what` is the host (HostUnknown, CertificateNotTrusted)
// or the HTTP status (ServerError, Refused) where the text names one.
QString text(Cause cause, const QString &what = QString());

// `text` with the words it came from on the lines after it.
QString withDetail(const QString &text, const QStringList &detail);
// The part of a reason the status line shows (its first line).
QString shownPart(const QString &reason);
QString detailPart(const QString &reason);

// The cause the engine's lines of one try name: the most telling one of
// all of them (a 401 before the "unrecognized format" that follows it).
Cause causeOf(const QStringList &lines);
// The reason for a try of `address` that failed with these engine lines
// (oldest first; the engine's final error text may be the last).
QString fromEngine(const QStringList &lines, const QString &address);
// The reason for a fetch that failed: Qt's QNetworkReply::NetworkError, the
// HTTP status (0 for none), the host and Qt's own text.
QString fromNetwork(int networkError, int httpStatus, const QString &host, const QString &errorText);
// The reason a local file could not be read.
QString fromFile(const QString &path, const QString &errorText);
} // namespace StatusReasons
