#include "player/PlaylistFormats.h"

#include <QXmlStreamReader>

#include <algorithm>
#include <utility>

namespace Playlists {

namespace {

constexpr qsizetype HeadBytes = 1024;

// The first bytes without a UTF-8 byte-order mark and leading white space.
QByteArray head(const QByteArray &body)
{
    QByteArray text = body.left(HeadBytes);
    if (text.startsWith("\xEF\xBB\xBF"))
        text.remove(0, 3);
    qsizetype p = 0;
    while (p < text.size() && (text.at(p) == ' ' || text.at(p) == '\t' || text.at(p) == '\r' || text.at(p) == '\n'))
        ++p;
    return text.mid(p);
}

bool startsWithNoCase(const QByteArray &text, const char *prefix)
{
    const QByteArray p(prefix);
    return text.size() >= p.size() && text.left(p.size()).toLower() == p;
}

bool isMpegUrlType(const QByteArray &contentType)
{
    const QByteArray type = contentType.split(';').value(0).trimmed().toLower();
    return type == "audio/x-mpegurl" || type == "audio/mpegurl" || type == "application/x-mpegurl"
           || type == "application/vnd.apple.mpegurl";
}

// A bare list of addresses: text without control characters whose first
// line that is not a comment reads like an address or a file name.
bool looksLikeBareList(const QByteArray &text)
{
    for (char c : text)
        if ((uchar(c) < 0x20 && c != '\t' && c != '\r' && c != '\n') || c == 0x7f)
            return false;
    for (const QByteArray &raw : text.split('\n')) {
        const QByteArray line = raw.trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        return line.contains("://") || line.startsWith('/') || !line.contains(' ');
    }
    return false;
}

// After an XML declaration and comments, a <playlist> element of the XSPF
// name space.
bool looksLikeXspf(const QByteArray &text)
{
    qsizetype p = 0;
    for (;;) {
        while (p < text.size() && QByteArrayView(" \t\r\n").contains(text.at(p)))
            ++p;
        const QByteArray rest = text.mid(p, 4);
        const char *close = rest.startsWith("<?") ? "?>" : rest.startsWith("<!--") ? "-->" : nullptr;
        if (!close)
            break;
        const qsizetype end = text.indexOf(close, p + 2);
        if (end < 0)
            return false;
        p = end + qsizetype(qstrlen(close));
    }
    return startsWithNoCase(text.mid(p), "<playlist") && text.toLower().contains("xspf.org/ns/0");
}

QList<QStringView> linesOf(const QString &text)
{
    QList<QStringView> lines;
    for (QStringView line : QStringView(text).split(QLatin1Char('\n')))
        lines << line.trimmed();
    return lines;
}

} // namespace

bool isHls(const QByteArray &body)
{
    for (qsizetype at = body.indexOf("#EXT-X-"); at >= 0; at = body.indexOf("#EXT-X-", at + 7)) {
        qsizetype before = at - 1;
        while (before >= 0 && (body.at(before) == ' ' || body.at(before) == '\t' || body.at(before) == '\r'))
            --before;
        if (before < 0 || body.at(before) == '\n')
            return true;
    }
    return false;
}

Format formatOf(const QByteArray &body, const QUrl &url, const QByteArray &contentType)
{
    switch (Asx::formatOf(body.left(HeadBytes))) {
    case Asx::Format::Asx:
        return Format::Asx;
    case Asx::Format::Reference:
        return Format::Reference;
    case Asx::Format::None:
        break;
    }
    const QByteArray text = head(body);
    if (startsWithNoCase(text, "#extm3u"))
        return isHls(body.left(Asx::MaxPlaylistBytes)) ? Format::None : Format::M3u;
    if (startsWithNoCase(text, "[playlist]"))
        return Format::Pls;
    if (looksLikeXspf(text))
        return Format::Xspf;
    const QString path = url.path().toLower();
    if ((path.endsWith(QLatin1String(".m3u")) || path.endsWith(QLatin1String(".m3u8")) || isMpegUrlType(contentType))
        && looksLikeBareList(text))
        return Format::M3u;
    return Format::None;
}

Asx::Playlist readM3u(const QByteArray &data, const QUrl &documentUrl)
{
    // Every line that is neither blank nor a comment (#EXTM3U, #EXTINF,
    // #EXTVLCOPT ...) is an entry.
    QList<QStringList> entries;
    const QString text = Asx::decodeText(data); // the lines are views into it
    for (QStringView line : linesOf(text)) {
        if (entries.size() >= Asx::MaxItems)
            break;
        if (!line.isEmpty() && !line.startsWith(QLatin1Char('#')))
            entries << QStringList{line.toString()};
    }
    return Asx::fromEntries(entries, documentUrl);
}

Asx::Playlist readPls(const QByteArray &data, const QUrl &documentUrl)
{
    // "FileN=address" lines of the [playlist] section, in the order of N.
    QList<std::pair<qint64, QString>> files;
    bool inSection = false;
    const QString text = Asx::decodeText(data); // the lines are views into it
    for (QStringView line : linesOf(text)) {
        if (line.startsWith(QLatin1Char('['))) {
            inSection = line.compare(QLatin1String("[playlist]"), Qt::CaseInsensitive) == 0;
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (!inSection || equals < 5 || !line.startsWith(QLatin1String("file"), Qt::CaseInsensitive))
            continue;
        bool ok = false;
        const qint64 number = line.mid(4, equals - 4).trimmed().toLongLong(&ok);
        if (ok && files.size() < Asx::MaxItems)
            files.append({number, line.mid(equals + 1).trimmed().toString()});
    }
    std::stable_sort(files.begin(), files.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    QList<QStringList> entries;
    for (const auto &file : std::as_const(files))
        entries << QStringList{file.second};
    return Asx::fromEntries(entries, documentUrl);
}

Asx::Playlist readXspf(const QByteArray &data, const QUrl &documentUrl)
{
    // <track> elements anywhere under the root, each with its <location>s;
    // reading stops at the first XML error with what was read so far.
    QXmlStreamReader xml(data.left(Asx::MaxPlaylistBytes));
    QList<QStringList> entries;
    bool inTrack = false;
    QStringList locations;
    while (!xml.atEnd() && entries.size() < Asx::MaxItems) {
        const QXmlStreamReader::TokenType token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            if (xml.name() == QLatin1String("track")) {
                inTrack = true;
                locations.clear();
            } else if (inTrack && xml.name() == QLatin1String("location")) {
                const QString location = xml.readElementText(QXmlStreamReader::SkipChildElements).trimmed();
                if (locations.size() < Asx::MaxRefsPerEntry)
                    locations << location;
            }
        } else if (token == QXmlStreamReader::EndElement && inTrack && xml.name() == QLatin1String("track")) {
            inTrack = false;
            entries << locations;
        }
    }
    return Asx::fromEntries(entries, documentUrl);
}

Asx::Playlist read(const QByteArray &data, const QUrl &documentUrl, const QByteArray &contentType)
{
    switch (formatOf(data, documentUrl, contentType)) {
    case Format::Asx:
    case Format::Reference:
        return Asx::read(data, documentUrl, contentType);
    case Format::M3u:
        return readM3u(data, documentUrl);
    case Format::Pls:
        return readPls(data, documentUrl);
    case Format::Xspf:
        return readXspf(data, documentUrl);
    case Format::None:
        break;
    }
    return Asx::Playlist();
}

} // namespace Playlists
