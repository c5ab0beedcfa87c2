#include "player/AsxPlaylist.h"

#include "player/ServerAnswer.h"

#include <QStringDecoder>

#include <algorithm>
#include <optional>

namespace Asx {

namespace {

const QByteArray Utf8Bom("\xEF\xBB\xBF", 3);
// How much of a body the format is told from.
constexpr qsizetype HeadBytes = 1024;
// REF addresses an entry looks at: more than it keeps, because some of them
// may be dropped as unusable.
constexpr int MaxRefsRead = 16 * MaxRefsPerEntry;

// Cuts off a UTF-8 sequence that the byte limit split in two, so that a valid
// file cut at the limit still reads as UTF-8.
QByteArray dropSplitSequence(const QByteArray &bytes)
{
    const qsizetype size = bytes.size();
    for (qsizetype back = 1; back <= 4 && back <= size; ++back) {
        const uchar c = uchar(bytes.at(size - back));
        if ((c & 0xC0) == 0x80)
            continue; // continuation byte: look further back for the lead
        int length = 1;
        if ((c & 0xE0) == 0xC0)
            length = 2;
        else if ((c & 0xF0) == 0xE0)
            length = 3;
        else if ((c & 0xF8) == 0xF0)
            length = 4;
        return length > back ? bytes.left(size - back) : bytes;
    }
    return bytes;
}

// The playlist as text. UTF-16 with a byte-order mark, UTF-8 (with or without
// one), and otherwise Latin-1, which old playlists written on Windows are
// closest to.
QString decode(const QByteArray &bytes, bool truncated)
{
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        QStringDecoder utf16(QStringConverter::Utf16);
        return utf16(bytes);
    }
    const QByteArray body = bytes.startsWith(Utf8Bom) ? bytes.mid(Utf8Bom.size()) : bytes;
    const QByteArray whole = truncated ? dropSplitSequence(body) : body;
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    const QString text = utf8(whole);
    if (!utf8.hasError())
        return text;
    return QString::fromLatin1(whole);
}

// The first bytes of a body as 8-bit text for recognising its format: a
// byte-order mark dropped, UTF-16 turned into UTF-8.
QByteArray headText(const QByteArray &head)
{
    if (head.startsWith("\xFF\xFE") || head.startsWith("\xFE\xFF")) {
        QStringDecoder utf16(QStringConverter::Utf16);
        return QString(utf16(head)).toUtf8();
    }
    return head.startsWith(Utf8Bom) ? head.mid(Utf8Bom.size()) : head;
}

bool isSpace(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r')
           || c == QLatin1Char('\f') || c == QLatin1Char('\v');
}

bool isNameStart(QChar c)
{
    const ushort u = c.unicode();
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || u == '_' || u == ':';
}

bool isNameChar(QChar c)
{
    const ushort u = c.unicode();
    return isNameStart(c) || (u >= '0' && u <= '9') || u == '-' || u == '.';
}

// One entity starting at text[at] == '&': its text and how many characters it
// spans. Without a closing ';' nearby it is no entity (a bare '&' in a query
// string is common in playlists).
std::optional<QString> entity(const QString &text, qsizetype at, qsizetype *length)
{
    constexpr qsizetype MaxEntityLength = 12;
    const qsizetype last = qMin(text.size(), at + MaxEntityLength + 1);
    qsizetype semi = at + 1;
    while (semi < last && text.at(semi) != QLatin1Char(';'))
        ++semi;
    if (semi >= last)
        return std::nullopt;
    const QString name = text.mid(at + 1, semi - at - 1);
    *length = semi - at + 1;
    if (name == QLatin1String("amp"))
        return QStringLiteral("&");
    if (name == QLatin1String("lt"))
        return QStringLiteral("<");
    if (name == QLatin1String("gt"))
        return QStringLiteral(">");
    if (name == QLatin1String("quot"))
        return QStringLiteral("\"");
    if (name == QLatin1String("apos"))
        return QStringLiteral("'");
    if (name.size() >= 2 && name.at(0) == QLatin1Char('#')) {
        bool ok = false;
        uint code = 0;
        if (name.at(1) == QLatin1Char('x') || name.at(1) == QLatin1Char('X'))
            code = name.mid(2).toUInt(&ok, 16);
        else
            code = name.mid(1).toUInt(&ok, 10);
        if (!ok)
            return std::nullopt;
        if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            code = QChar::ReplacementCharacter;
        const char32_t c = code;
        return QString::fromUcs4(&c, 1);
    }
    return std::nullopt;
}

QString decodeEntities(const QString &value)
{
    if (!value.contains(QLatin1Char('&')))
        return value;
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size();) {
        qsizetype length = 0;
        if (value.at(i) == QLatin1Char('&')) {
            if (const auto text = entity(value, i, &length)) {
                out += *text;
                i += length;
                continue;
            }
        }
        out += value.at(i);
        ++i;
    }
    return out;
}

struct Tag {
    QString name;                              // lower case
    bool end = false;                          // </name>
    bool selfClosing = false;                  // <name/>
    QList<QPair<QString, QString>> attributes; // lower-case names, decoded values
};

// A forgiving tag reader: it hands out start and end tags in order and steps
// over text, comments, CDATA sections, processing instructions and
// declarations. Every character is looked at a bounded number of times.
class Tokenizer {
public:
    explicit Tokenizer(const QString &text) : m_text(text) {}

    // The next tag, or nothing at the end of the text. A tag cut off by the
    // end of the text is dropped: its last attribute may be incomplete.
    std::optional<Tag> next()
    {
        const qsizetype n = m_text.size();
        while (m_pos < n) {
            const qsizetype lt = m_text.indexOf(QLatin1Char('<'), m_pos);
            if (lt < 0) {
                m_pos = n;
                break;
            }
            m_pos = lt;
            if (skipOver(QStringLiteral("<!--"), QStringLiteral("-->"))
                || skipOver(QStringLiteral("<![CDATA["), QStringLiteral("]]>"))
                || skipOver(QStringLiteral("<?"), QStringLiteral("?>"))
                || skipOver(QStringLiteral("<!"), QStringLiteral(">")))
                continue;
            const bool end = lt + 1 < n && m_text.at(lt + 1) == QLatin1Char('/');
            const qsizetype nameAt = lt + (end ? 2 : 1);
            if (nameAt >= n || !isNameStart(m_text.at(nameAt))) {
                m_pos = lt + 1; // a lone '<' in text
                continue;
            }
            qsizetype p = nameAt;
            while (p < n && isNameChar(m_text.at(p)))
                ++p;
            Tag tag;
            tag.name = m_text.mid(nameAt, p - nameAt).toLower();
            tag.end = end;
            m_pos = p;
            if (end ? finishEndTag() : readAttributes(&tag))
                return tag;
        }
        return std::nullopt;
    }

private:
    // Skips a construct that starts at m_pos with `open`, through `close`
    // or the end of the text.
    bool skipOver(const QString &open, const QString &close)
    {
        if (!QStringView(m_text).mid(m_pos).startsWith(open, Qt::CaseInsensitive))
            return false;
        const qsizetype at = m_text.indexOf(close, m_pos + open.size());
        m_pos = at < 0 ? m_text.size() : at + close.size();
        return true;
    }

    // "</name ...>": anything up to '>' is ignored. A missing '>' ends the
    // tag at the next '<'.
    bool finishEndTag()
    {
        const qsizetype n = m_text.size();
        while (m_pos < n) {
            const QChar c = m_text.at(m_pos);
            if (c == QLatin1Char('>')) {
                ++m_pos;
                return true;
            }
            if (c == QLatin1Char('<'))
                return true;
            ++m_pos;
        }
        return false;
    }

    bool readAttributes(Tag *tag)
    {
        const qsizetype n = m_text.size();
        while (m_pos < n) {
            const QChar c = m_text.at(m_pos);
            if (isSpace(c)) {
                ++m_pos;
            } else if (c == QLatin1Char('>')) {
                ++m_pos;
                return true;
            } else if (c == QLatin1Char('/') && m_pos + 1 < n && m_text.at(m_pos + 1) == QLatin1Char('>')) {
                tag->selfClosing = true;
                m_pos += 2;
                return true;
            } else if (c == QLatin1Char('<')) {
                return true; // the '>' is missing; a new tag begins here
            } else if (isNameStart(c)) {
                if (!readAttribute(tag))
                    return false;
            } else {
                ++m_pos; // stray character among the attributes
            }
        }
        return false;
    }

    bool readAttribute(Tag *tag)
    {
        const qsizetype n = m_text.size();
        const qsizetype nameAt = m_pos;
        while (m_pos < n && isNameChar(m_text.at(m_pos)))
            ++m_pos;
        const QString name = m_text.mid(nameAt, m_pos - nameAt).toLower();
        qsizetype p = m_pos;
        while (p < n && isSpace(m_text.at(p)))
            ++p;
        if (p >= n)
            return false;
        if (m_text.at(p) != QLatin1Char('=')) {
            tag->attributes.append({name, QString()}); // attribute without a value
            return true;
        }
        ++p;
        while (p < n && isSpace(m_text.at(p)))
            ++p;
        if (p >= n)
            return false;

        QString raw;
        const QChar quote = m_text.at(p);
        if (quote == QLatin1Char('"') || quote == QLatin1Char('\'')) {
            // The closing quote is looked for up to the next '<'. When it is
            // missing there, the value ends at the first '>' (or that '<'),
            // which also ends the tag.
            const qsizetype start = p + 1;
            qsizetype firstGt = -1;
            qsizetype q = start;
            while (q < n && m_text.at(q) != quote && m_text.at(q) != QLatin1Char('<')) {
                if (firstGt < 0 && m_text.at(q) == QLatin1Char('>'))
                    firstGt = q;
                ++q;
            }
            if (q < n && m_text.at(q) == quote) {
                raw = m_text.mid(start, q - start);
                m_pos = q + 1;
            } else if (firstGt >= 0) {
                raw = m_text.mid(start, firstGt - start);
                m_pos = firstGt; // readAttributes ends the tag here
            } else if (q < n) {
                raw = m_text.mid(start, q - start);
                m_pos = q;
            } else {
                return false; // cut off by the end of the text
            }
        } else {
            qsizetype q = p;
            while (q < n && !isSpace(m_text.at(q)) && m_text.at(q) != QLatin1Char('>')
                   && m_text.at(q) != QLatin1Char('<'))
                ++q;
            if (q >= n)
                return false;
            raw = m_text.mid(p, q - p);
            m_pos = q;
        }
        tag->attributes.append({name, decodeEntities(raw)});
        return true;
    }

    const QString &m_text;
    qsizetype m_pos = 0;
};

bool isNetworkScheme(const QString &scheme)
{
    static const QStringList schemes = {
        QStringLiteral("http"),  QStringLiteral("https"), QStringLiteral("mms"),   QStringLiteral("mmsh"),
        QStringLiteral("mmst"),  QStringLiteral("rtsp"),  QStringLiteral("rtspt"), QStringLiteral("rtspu"),
        QStringLiteral("rtsps"), QStringLiteral("rtmp"),
    };
    return schemes.contains(scheme.toLower());
}

QString attribute(const Tag &tag, QLatin1String name)
{
    for (const auto &attribute : tag.attributes) {
        if (attribute.first == name)
            return attribute.second.trimmed();
    }
    return QString();
}

// Gathers items while the tags go by. Entries do not nest: an ENTRY that
// opens while another is open ends that one, unless it has no REF yet, in
// which case the two are one entry. This keeps unclosed and deeply nested
// ENTRY tags linear and without recursion.
//
// BASE addresses are kept as written and made absolute only when an item
// needs them, once per BASE, so that thousands of BASE tags cost no more
// than reading them. Every address made absolute is charged to a budget of
// characters; reading stops when it is spent.
class Builder {
public:
    explicit Builder(const QUrl &documentUrl) : m_document(documentUrl), m_fromNetwork(!documentUrl.isLocalFile()) {}

    bool full() const { return m_playlist.items.size() >= MaxItems || m_budget <= 0; }

    void openEntry()
    {
        if (m_inEntry && !m_entryRefs.isEmpty())
            closeEntry();
        m_inEntry = true;
    }

    void closeEntry()
    {
        if (!m_inEntry)
            return;
        Item item;
        item.kind = Item::Entry;
        if (!m_entryRefs.isEmpty()) {
            const QUrl base = m_entryBase.isEmpty() ? playlistBase() : absolute(playlistBase(), m_entryBase);
            for (const QString &href : std::as_const(m_entryRefs)) {
                if (item.refs.size() >= MaxRefsPerEntry)
                    break;
                if (const auto address = usable(href, base))
                    item.refs.append(*address);
            }
        }
        add(std::move(item));
        m_inEntry = false;
        m_entryRefs.clear();
        m_entryBase = QUrl();
    }

    void ref(const QString &href)
    {
        if (href.isEmpty())
            return;
        if (m_inEntry) {
            if (m_entryRefs.size() < MaxRefsRead)
                m_entryRefs.append(href);
            return;
        }
        // A REF directly under ASX is an entry of its own.
        m_inEntry = true;
        m_entryRefs.append(href);
        closeEntry();
    }

    void entryRef(const QString &href)
    {
        closeEntry();
        if (href.isEmpty())
            return;
        if (const auto address = usable(href, playlistBase())) {
            Item item;
            item.kind = Item::EntryRef;
            item.href = *address;
            add(std::move(item));
        }
    }

    void base(const QString &href)
    {
        if (href.isEmpty())
            return;
        const QUrl url(href, QUrl::TolerantMode);
        if (!url.isValid())
            return;
        if (m_inEntry) {
            m_entryBase = url;
        } else {
            m_playlistBaseTag = url;
            m_playlistBase.reset();
        }
    }

    // The addresses of a [Reference] file: one entry.
    void referenceEntry(const QStringList &hrefs)
    {
        openEntry();
        for (const QString &href : hrefs)
            ref(href);
        closeEntry();
    }

    Playlist &playlist() { return m_playlist; }

private:
    // The playlist's BASE made absolute against the document address, or
    // the document address itself; worked out once per BASE.
    QUrl playlistBase()
    {
        if (!m_playlistBase)
            m_playlistBase = m_playlistBaseTag.isEmpty() ? m_document : absolute(m_document, m_playlistBaseTag);
        return *m_playlistBase;
    }

    QUrl absolute(const QUrl &base, const QUrl &url)
    {
        if (!url.isRelative())
            return url;
        const QUrl resolved = base.resolved(url);
        m_budget -= resolved.toString(QUrl::FullyEncoded).size();
        return resolved;
    }

    void add(Item &&item)
    {
        if (m_playlist.items.size() < MaxItems)
            m_playlist.items.append(std::move(item));
    }

    // The absolute address for a REF or ENTRYREF, or nothing when it cannot
    // be used. Absolute addresses are returned as written.
    std::optional<QString> usable(const QString &href, const QUrl &base)
    {
        if (m_budget <= 0)
            return std::nullopt; // spent: no more work
        m_budget -= href.size();
        const QUrl url(href, QUrl::TolerantMode);
        if (!url.isValid())
            return std::nullopt;
        QString text;
        QUrl absolute;
        if (url.isRelative()) {
            if (base.isEmpty() || base.isRelative())
                return std::nullopt;
            absolute = base.resolved(url);
            text = absolute.toString(QUrl::FullyEncoded);
            m_budget -= text.size();
        } else {
            absolute = url;
            text = href;
        }
        // A relative address made absolute can still be nothing: a path
        // without a leading '/' under an authority is no address at all.
        if (m_budget < 0 || !absolute.isValid())
            return std::nullopt;
        // A network scheme always needs a host; from the network nothing else
        // is allowed; a local playlist may name any scheme that points somewhere.
        if (m_fromNetwork || isNetworkScheme(absolute.scheme())) {
            if (!isNetworkAddress(absolute))
                return std::nullopt;
        } else if (absolute.host().isEmpty() && absolute.path().isEmpty()) {
            return std::nullopt;
        }
        return text;
    }

    QUrl m_document;
    bool m_fromNetwork;
    QUrl m_playlistBaseTag;             // the playlist's BASE as written
    std::optional<QUrl> m_playlistBase; // ... and made absolute, once needed
    bool m_inEntry = false;
    QStringList m_entryRefs;
    QUrl m_entryBase; // the entry's BASE as written
    qint64 m_budget = MaxResolvedChars;
    Playlist m_playlist;
};

} // namespace

bool looksLikeAsx(const QByteArray &head)
{
    const QByteArray text = headText(head);
    const qsizetype n = text.size();
    qsizetype p = 0;
    for (;;) {
        while (p < n && isSpace(QLatin1Char(text.at(p))))
            ++p;
        if (text.mid(p, 2) == "<?") {
            const qsizetype end = text.indexOf("?>", p + 2);
            if (end < 0)
                return false;
            p = end + 2;
        } else if (text.mid(p, 4) == "<!--") {
            const qsizetype end = text.indexOf("-->", p + 4);
            if (end < 0)
                return false;
            p = end + 3;
        } else {
            break;
        }
    }
    if (p + 4 >= n || text.mid(p, 4).toLower() != "<asx")
        return false;
    const char next = text.at(p + 4);
    return isSpace(QLatin1Char(next)) || next == '>' || next == '/';
}

bool looksLikeReference(const QByteArray &head)
{
    const QByteArray text = headText(head);
    const QByteArray tag = "[reference]";
    qsizetype p = 0;
    while (p < text.size() && isSpace(QLatin1Char(text.at(p))))
        ++p;
    if (text.mid(p, tag.size()).toLower() != tag)
        return false;
    p += tag.size();
    while (p < text.size() && (text.at(p) == ' ' || text.at(p) == '\t'))
        ++p;
    return p == text.size() || text.at(p) == '\r' || text.at(p) == '\n';
}

Format formatOf(const QByteArray &head)
{
    if (looksLikeAsx(head))
        return Format::Asx;
    if (looksLikeReference(head))
        return Format::Reference;
    return Format::None;
}

bool isNetworkAddress(const QUrl &url)
{
    return url.isValid() && !url.host().isEmpty() && isNetworkScheme(url.scheme());
}

Playlist parse(const QByteArray &data, const QUrl &documentUrl)
{
    const bool truncated = data.size() > MaxPlaylistBytes;
    const QString text = decode(truncated ? data.left(MaxPlaylistBytes) : data, truncated);

    Tokenizer tokens(text);
    Builder builder(documentUrl);
    bool inAsx = false;
    while (!builder.full()) {
        const std::optional<Tag> tag = tokens.next();
        if (!tag)
            break;
        const QString &name = tag->name;
        if (!inAsx) {
            // Whatever comes before the root is not part of the playlist.
            if (name == QLatin1String("asx") && !tag->end) {
                inAsx = true;
                builder.playlist().valid = true;
                if (tag->selfClosing)
                    break;
            }
            continue;
        }
        if (name == QLatin1String("asx")) {
            if (tag->end)
                break; // anything after the playlist is ignored
        } else if (name == QLatin1String("entry")) {
            if (tag->end) {
                builder.closeEntry();
            } else {
                builder.openEntry();
                if (tag->selfClosing)
                    builder.closeEntry();
            }
        } else if (!tag->end) {
            if (name == QLatin1String("ref"))
                builder.ref(attribute(*tag, QLatin1String("href")));
            else if (name == QLatin1String("entryref"))
                builder.entryRef(attribute(*tag, QLatin1String("href")));
            else if (name == QLatin1String("base"))
                builder.base(attribute(*tag, QLatin1String("href")));
        }
    }
    builder.closeEntry();
    return builder.playlist();
}

Playlist parseReference(const QByteArray &data, const QUrl &documentUrl, const QByteArray &contentType)
{
    const bool truncated = data.size() > MaxPlaylistBytes;
    if (!looksLikeReference(data.left(HeadBytes)))
        return Playlist();
    const QString text = decode(truncated ? data.left(MaxPlaylistBytes) : data, truncated);

    // Lines "RefN=address" of the [Reference] section, up to the next section.
    QStringList hrefs;
    bool inSection = false;
    for (QStringView line : QStringView(text).split(QLatin1Char('\n'))) {
        line = line.trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            if (inSection)
                break;
            inSection = line.compare(QLatin1String("[Reference]"), Qt::CaseInsensitive) == 0;
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (!inSection || equals < 4 || !line.startsWith(QLatin1String("ref"), Qt::CaseInsensitive))
            continue;
        const QStringView number = line.mid(3, equals - 3).trimmed();
        if (number.isEmpty() || !std::all_of(number.begin(), number.end(), [](QChar c) { return c.isDigit(); }))
            continue;
        if (hrefs.size() < MaxRefsRead)
            hrefs.append(line.mid(equals + 1).trimmed().toString());
    }

    Builder builder(documentUrl);
    builder.playlist().valid = true;
    builder.referenceEntry(hrefs);
    Playlist list = builder.playlist();

    // A Windows Media server answers a browser with this file, and its
    // http:// addresses are the same stream as MMS over HTTP.
    if (documentUrl.scheme().compare(QLatin1String("http"), Qt::CaseInsensitive) == 0
        && ServerAnswer::isWindowsMediaType(contentType)) {
        for (Item &item : list.items) {
            for (QString &ref : item.refs) {
                if (isPlaylistName(QUrl(ref)))
                    continue;
                const QUrl mmsh = ServerAnswer::mmshAddress(QUrl(ref));
                if (!mmsh.isEmpty())
                    ref = mmsh.toString(QUrl::FullyEncoded);
            }
        }
    }
    return list;
}

Playlist fromEntries(const QList<QStringList> &entries, const QUrl &documentUrl)
{
    Builder builder(documentUrl);
    builder.playlist().valid = true;
    for (const QStringList &refs : entries) {
        if (builder.full())
            break;
        builder.referenceEntry(refs);
    }
    return builder.playlist();
}

QString decodeText(const QByteArray &data)
{
    const bool truncated = data.size() > MaxPlaylistBytes;
    return decode(truncated ? data.left(MaxPlaylistBytes) : data, truncated);
}

bool isPlaylistName(const QUrl &url)
{
    const QString path = url.path().toLower();
    for (const char *ending : {".asx", ".wax", ".wvx", ".m3u", ".m3u8", ".pls", ".xspf"})
        if (path.endsWith(QLatin1String(ending)))
            return true;
    return false;
}

Playlist read(const QByteArray &data, const QUrl &documentUrl, const QByteArray &contentType)
{
    switch (formatOf(data.left(HeadBytes))) {
    case Format::Asx:
        return parse(data, documentUrl);
    case Format::Reference:
        return parseReference(data, documentUrl, contentType);
    case Format::None:
        break;
    }
    return Playlist();
}

} // namespace Asx
