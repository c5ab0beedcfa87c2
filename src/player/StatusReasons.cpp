#include "player/StatusReasons.h"

#include <QFileInfo>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QUrl>

#include <vector>

namespace StatusReasons {
namespace {
QString nl(const char *text) { return QString::fromUtf8(text); }

// An HTTP or RTSP status in the engine's and the network's words:
// "HTTP error 404 Not Found", "Server returned 5XX Server Error reply",
// "method DESCRIBE failed: 401 Unauthorized", "HTTP 403 Forbidden".
const QRegularExpression &statusPattern()
{
    static const QRegularExpression re(
        QStringLiteral(R"((?:HTTP(?:/\d\.\d)?(?: error)?|[Ss]erver returned|failed:)\s+([1-5]\d\d|[45]XX)\b)"));
    return re;
}

Cause causeOfStatus(const QString &code)
{
    if (code == QLatin1String("401"))
        return Cause::NameOrPasswordWrong;
    if (code == QLatin1String("403"))
        return Cause::Forbidden;
    if (code == QLatin1String("404"))
        return Cause::NotFound;
    if (code.startsWith(u'5'))
        return Cause::ServerError;
    return Cause::Refused;
}

// The engine's words and what they mean. The rows stand in the order in
// which causes win when several lines of one try name different ones.
struct Row {
    QRegularExpression pattern;
    Cause cause;
};

const std::vector<Row> &rows()
{
    static const std::vector<Row> table = [] {
        const auto ci = QRegularExpression::CaseInsensitiveOption;
        std::vector<Row> t;
        auto row = [&t](const char *pattern, Cause cause, QRegularExpression::PatternOptions options = {}) {
            t.push_back({QRegularExpression(QString::fromUtf8(pattern), options), cause});
        };
        row(R"(\bUnauthorized\b|authori[sz]ation failed)", Cause::NameOrPasswordWrong);
        row(R"(\bForbidden\b|access denied)", Cause::Forbidden);
        row(R"(\bNot Found\b)", Cause::NotFound);
        row(R"(certificate|\bTLS\b.*(verif|handshake|trust)|\bX\.?509\b)", Cause::CertificateNotTrusted, ci);
        row(R"(Failed to resolve hostname|Name or service not known|Temporary failure in name resolution|)"
            R"(No address associated with hostname|Host not found|unknown host)",
            Cause::HostUnknown, ci);
        row(R"(Connection refused)", Cause::ConnectionRefused, ci);
        row(R"(Network is unreachable|No route to host)", Cause::NetworkUnreachable, ci);
        row(R"(timed out|\btimeout\b|time-out)", Cause::TimedOut, ci);
        row(R"(No such file or directory|Cannot open file|File not found)", Cause::FileNotFound, ci);
        row(R"(Decompression failed)", Cause::BadCompression, ci);
        row(R"(Failed to recognize file format|unrecognized file format|Invalid data found when processing input|)"
            R"(Unknown (?:input )?format|no demuxer)",
            Cause::NotPlayable, ci);
        row(R"(Connection reset|Broken pipe|Remote host closed|connection closed|End of file)", Cause::ClosedByServer,
            ci);
        return t;
    }();
    return table;
}

// How telling a cause is: a status the server gave says more than what the
// engine made of it afterwards.
int rank(Cause cause)
{
    static const Cause order[] = {Cause::NameOrPasswordWrong,
                                  Cause::Forbidden,
                                  Cause::NotFound,
                                  Cause::ServerError,
                                  Cause::Refused,
                                  Cause::CertificateNotTrusted,
                                  Cause::HostUnknown,
                                  Cause::ConnectionRefused,
                                  Cause::NetworkUnreachable,
                                  Cause::TimedOut,
                                  Cause::FileNotFound,
                                  Cause::BadCompression,
                                  Cause::NotPlayable,
                                  Cause::ClosedByServer,
                                  Cause::LocalRedirect,
                                  Cause::YtDlpNeeded,
                                  Cause::Unknown};
    for (int i = 0; i < int(std::size(order)); ++i)
        if (order[i] == cause)
            return i;
    return int(std::size(order));
}

Cause causeOfLine(const QString &line, QString *status)
{
    const QRegularExpressionMatch m = statusPattern().match(line);
    if (m.hasMatch() && !m.captured(1).startsWith(u'1') && !m.captured(1).startsWith(u'2')
        && !m.captured(1).startsWith(u'3')) {
        *status = m.captured(1);
        return causeOfStatus(m.captured(1));
    }
    for (const Row &row : rows())
        if (row.pattern.match(line).hasMatch())
            return row.cause;
    return Cause::Unknown;
}

Cause bestOf(const QStringList &lines, QString *status)
{
    Cause best = Cause::Unknown;
    for (const QString &line : lines) {
        QString code;
        const Cause cause = causeOfLine(line, &code);
        if (rank(cause) < rank(best)) {
            best = cause;
            *status = code;
        }
    }
    return best;
}

QString hostOf(const QStringList &lines, const QString &address)
{
    static const QRegularExpression resolve(QStringLiteral(R"(Failed to resolve hostname ([^\s:]+))"));
    for (const QString &line : lines) {
        const QRegularExpressionMatch m = resolve.match(line);
        if (m.hasMatch())
            return m.captured(1);
    }
    return QUrl(address.trimmed()).host();
}
} // namespace

QString text(Cause cause, const QString &what)
{
    switch (cause) {
    case Cause::FileNotFound:
        return nl("bestand niet gevonden");
    case Cause::NotFound:
        return nl("niet gevonden op de server (HTTP 404)");
    case Cause::Forbidden:
        return nl("de server weigert de toegang (HTTP 403)");
    case Cause::NameOrPasswordWrong:
        return nl("naam of wachtwoord onjuist");
    case Cause::ServerError:
        return nl("fout in de server (HTTP %1)").arg(what.isEmpty() || what.contains(u'X') ? nl("5xx") : what);
    case Cause::Refused:
        return nl("de server weigert het verzoek (HTTP %1)")
            .arg(what.isEmpty() || what.contains(u'X') ? nl("4xx") : what);
    case Cause::ConnectionRefused:
        return nl("verbinding geweigerd");
    case Cause::TimedOut:
        return nl("geen antwoord van de server (time-out)");
    case Cause::HostUnknown:
        return what.isEmpty() ? nl("onbekende servernaam") : nl("onbekende servernaam: %1").arg(what);
    case Cause::NotPlayable:
        return nl("geen stream die dit programma kan afspelen");
    case Cause::CertificateNotTrusted:
        return nl("Certificaat niet vertrouwd: %1").arg(what);
    case Cause::YtDlpNeeded:
        return nl("yt-dlp is nodig voor webpagina's");
    case Cause::ClosedByServer:
        return nl("de server verbrak de verbinding");
    case Cause::LocalRedirect:
        return nl("de server verwijst door naar een adres dat niet gevolgd wordt");
    case Cause::BadCompression:
        return nl("de server stuurde ingepakte gegevens die niet uit te pakken zijn");
    case Cause::NetworkUnreachable:
        return nl("netwerk niet bereikbaar");
    case Cause::Unknown:
        break;
    }
    return nl("onbekende fout");
}

QString withDetail(const QString &text, const QStringList &detail)
{
    QStringList lines{text};
    for (const QString &line : detail) {
        const QString trimmed = line.simplified();
        if (!trimmed.isEmpty() && !lines.contains(trimmed))
            lines << trimmed;
    }
    return lines.join(u'\n');
}

QString shownPart(const QString &reason) { return reason.section(u'\n', 0, 0); }
QString detailPart(const QString &reason) { return reason.section(u'\n', 1); }

Cause causeOf(const QStringList &lines)
{
    QString status;
    return bestOf(lines, &status);
}

QString fromEngine(const QStringList &lines, const QString &address)
{
    QString status;
    const Cause cause = bestOf(lines, &status);
    const QString what = cause == Cause::HostUnknown || cause == Cause::CertificateNotTrusted ? hostOf(lines, address)
                                                                                              : status;
    return withDetail(text(cause, what), lines);
}

QString fromNetwork(int networkError, int httpStatus, const QString &host, const QString &errorText)
{
    const QStringList detail{errorText};
    if (httpStatus >= 400)
        return withDetail(text(causeOfStatus(QString::number(httpStatus)), QString::number(httpStatus)), detail);
    Cause cause = Cause::Unknown;
    switch (QNetworkReply::NetworkError(networkError)) {
    case QNetworkReply::ConnectionRefusedError:
        cause = Cause::ConnectionRefused;
        break;
    case QNetworkReply::RemoteHostClosedError:
        cause = Cause::ClosedByServer;
        break;
    case QNetworkReply::HostNotFoundError:
        cause = Cause::HostUnknown;
        break;
    case QNetworkReply::TimeoutError:
    case QNetworkReply::OperationCanceledError: // the transfer time-out ends a fetch this way
        cause = Cause::TimedOut;
        break;
    case QNetworkReply::SslHandshakeFailedError:
        cause = Cause::CertificateNotTrusted;
        break;
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
        cause = Cause::NetworkUnreachable;
        break;
    case QNetworkReply::AuthenticationRequiredError:
        cause = Cause::NameOrPasswordWrong;
        break;
    case QNetworkReply::ContentAccessDenied:
        cause = Cause::Forbidden;
        break;
    case QNetworkReply::ContentNotFoundError:
        cause = Cause::NotFound;
        break;
    case QNetworkReply::ProtocolUnknownError:
    case QNetworkReply::InsecureRedirectError:
        cause = Cause::LocalRedirect;
        break;
    default: {
        // Qt's text may still tell (say "Decompression failed: ...").
        QString status;
        cause = bestOf(detail, &status);
        break;
    }
    }
    return withDetail(text(cause, host), detail);
}

QString fromFile(const QString &path, const QString &errorText)
{
    if (!QFileInfo::exists(path))
        return withDetail(text(Cause::FileNotFound), {errorText});
    return withDetail(nl("bestand kan niet worden gelezen"), {errorText});
}
} // namespace StatusReasons
