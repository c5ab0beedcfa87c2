#include "player/CertificateTrust.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QRegularExpression>
#include <QSet>

namespace CertificateTrust {

QString hostOf(const QUrl &url)
{
    QString host = url.host(QUrl::FullyEncoded).toLower();
    if (host.isEmpty())
        return QString();
    if (host.contains(QLatin1Char(':')))
        host = QLatin1Char('[') + host + QLatin1Char(']'); // IPv6
    const int port = url.port();
    if (port > 0 && port != 443)
        host += QLatin1Char(':') + QString::number(port);
    return host;
}

QString untrustedReason(const QString &host)
{
    return QCoreApplication::translate("CertificateTrust", "Certificaat niet vertrouwd: %1").arg(host);
}

QString fingerprintText(const QByteArray &sha256)
{
    return QString::fromLatin1(sha256.toHex(':').toUpper());
}

QByteArray parseFingerprint(const QString &text)
{
    QString hex = text.trimmed();
    hex.remove(QLatin1Char(':'));
    static const QRegularExpression sha256Hex(QStringLiteral("^[0-9A-Fa-f]{64}$"));
    if (!sha256Hex.match(hex).hasMatch())
        return QByteArray();
    return QByteArray::fromHex(hex.toLatin1());
}

// ---- the trust file ---------------------------------------------------------

TrustList TrustList::parse(const QByteArray &text)
{
    TrustList list;
    QList<QByteArray> lines = text.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast(); // the end of the last line
    for (const QByteArray &raw : lines) {
        Line line{raw, QString(), QByteArray()};
        const QList<QByteArray> words = raw.simplified().split(' ');
        if (words.size() == 2 && !raw.trimmed().startsWith('#')) {
            const QByteArray sha256 = parseFingerprint(QString::fromLatin1(words.at(1)));
            if (!sha256.isEmpty()) {
                line.host = QString::fromUtf8(words.at(0)).toLower();
                line.sha256 = sha256;
            }
        }
        list.m_lines << line;
    }
    return list;
}

QByteArray TrustList::text() const
{
    QByteArray out;
    for (const Line &line : m_lines)
        out += line.raw + '\n';
    return out;
}

bool TrustList::isEmpty() const
{
    for (const Line &line : m_lines)
        if (!line.host.isEmpty())
            return false;
    return true;
}

bool TrustList::trusts(const QString &host, const QByteArray &sha256) const
{
    if (host.isEmpty() || sha256.size() != 32)
        return false;
    for (const Line &line : m_lines)
        if (line.host == host.toLower() && line.sha256 == sha256)
            return true;
    return false;
}

bool TrustList::listsFingerprint(const QByteArray &sha256) const
{
    for (const Line &line : m_lines)
        if (!line.host.isEmpty() && line.sha256 == sha256)
            return true;
    return false;
}

void TrustList::trust(const QString &host, const QByteArray &sha256)
{
    const QString name = host.toLower();
    if (name.isEmpty() || name.contains(QRegularExpression(QStringLiteral("\\s"))) || sha256.size() != 32)
        return;
    const Line fresh{name.toUtf8() + ' ' + fingerprintText(sha256).toLatin1(), name, sha256};
    qsizetype at = -1;
    for (qsizetype i = m_lines.size() - 1; i >= 0; --i) {
        if (m_lines.at(i).host == name) {
            m_lines.removeAt(i);
            at = i;
        }
    }
    if (at < 0)
        m_lines << fresh;
    else
        m_lines.insert(at, fresh);
}

// ---- the decoder's authorities ---------------------------------------------------

QList<QByteArray> pemCertificates(const QByteArray &pem)
{
    static const QByteArray begin = "-----BEGIN CERTIFICATE-----";
    static const QByteArray end = "-----END CERTIFICATE-----";
    QList<QByteArray> blocks;
    qsizetype from = 0;
    while ((from = pem.indexOf(begin, from)) >= 0) {
        const qsizetype stop = pem.indexOf(end, from + begin.size());
        if (stop < 0)
            break;
        blocks << pem.mid(from, stop + end.size() - from) + '\n';
        from = stop + end.size();
    }
    return blocks;
}

QByteArray fingerprintOfPem(const QByteArray &block)
{
    const qsizetype open = block.indexOf('\n');
    const qsizetype close = block.lastIndexOf("-----END");
    if (open < 0 || close <= open)
        return QByteArray();
    const auto der = QByteArray::fromBase64Encoding(block.mid(open + 1, close - open - 1).simplified().replace(' ', ""),
                                                    QByteArray::AbortOnBase64DecodingErrors);
    if (!der || der.decoded.isEmpty())
        return QByteArray();
    return QCryptographicHash::hash(der.decoded, QCryptographicHash::Sha256);
}

QByteArray engineBundle(const QByteArray &systemStore, const QByteArray &kept, const QByteArray &added,
                        const TrustList &list)
{
    QByteArray bundle = systemStore;
    if (!bundle.isEmpty() && !bundle.endsWith('\n'))
        bundle += '\n';
    QSet<QByteArray> present;
    for (const QByteArray &block : pemCertificates(kept) + pemCertificates(added)) {
        const QByteArray sha256 = fingerprintOfPem(block);
        if (sha256.isEmpty() || present.contains(sha256) || !list.listsFingerprint(sha256))
            continue;
        present.insert(sha256);
        bundle += "# " + fingerprintText(sha256).toLatin1() + '\n' + block;
    }
    return bundle;
}

// ---- the decoder's log ------------------------------------------------------------

bool EngineLog::see(const QString &line)
{
    // Where the decoder goes: a stream it opens, or a segment, key or
    // playlist of one (FFmpeg's words, and mpv's).
    static const QRegularExpression opening(QStringLiteral("Opening '([^']+)' for reading|^Playing: (\\S+)"));
    const QRegularExpressionMatch open = opening.match(line);
    if (open.hasMatch()) {
        m_lastOpened = QUrl(open.captured(1).isEmpty() ? open.captured(2) : open.captured(1));
        return false;
    }
    // GnuTLS through FFmpeg: a certificate that no authority vouches for,
    // one that does not name its host, or none that can be checked.
    static const QRegularExpression refused(QStringLiteral(
        "Peer certificate failed verification|Unable to verify peer certificate"
        "|The certificate's owner does not match hostname (\\S+)"));
    const QRegularExpressionMatch refusal = refused.match(line);
    if (!refusal.hasMatch())
        return false;
    if (m_lastOpened.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0)
        m_refused = hostOf(m_lastOpened);
    else if (!refusal.captured(1).isEmpty())
        m_refused = refusal.captured(1).toLower();
    else
        m_refused = hostOf(m_lastOpened);
    if (m_refused.isEmpty())
        m_refused = QStringLiteral("?");
    return true;
}

} // namespace CertificateTrust
