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

QString fingerprintText(const QByteArray &sha256) { return QString::fromLatin1(sha256.toHex(':').toUpper()); }

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

// ---- where an HLS playlist leads ------------------------------------------------

QStringList hlsHosts(const QByteArray &head, const QUrl &playlist, bool whole)
{
    QStringList hosts;
    if (!head.trimmed().startsWith("#EXTM3U"))
        return hosts;
    QList<QByteArray> lines = head.split('\n');
    if (!whole && !head.endsWith('\n'))
        lines.removeLast(); // may be cut anywhere
    const bool overTls = playlist.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0;
    const QString own = overTls ? hostOf(playlist) : QString();
    static const QRegularExpression attribute(QStringLiteral("URI=\"([^\"]*)\""));
    for (const QByteArray &raw : lines) {
        const QString line = QString::fromUtf8(raw.trimmed());
        QStringList targets;
        if (line.startsWith(QLatin1Char('#'))) {
            for (const QRegularExpressionMatch &m : attribute.globalMatch(line))
                targets << m.captured(1);
        } else if (!line.isEmpty()) {
            targets << line;
        }
        for (const QString &target : targets) {
            const QUrl url = playlist.resolved(QUrl(target));
            if (url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) != 0)
                continue;
            const QString host = hostOf(url);
            if (!host.isEmpty() && host != own && !hosts.contains(host) && hosts.size() < MaxHostsChecked)
                hosts << host;
        }
    }
    return hosts;
}

} // namespace CertificateTrust
