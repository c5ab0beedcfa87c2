// libFuzzer target for the settings document. Input: section, key and value
// (UTF-8, each ended by a 0x01 byte), then the bytes of a settings file.
// After one write:
//  - an unchanged document gives its bytes back exactly;
//  - the written value reads back (cut at a line break or NUL, without the
//    blanks after the equals sign);
//  - every other line of the file is still there with its line ending and
//    reads as the same text, and byte for byte unless the write had to
//    re-encode a Windows-1252 file as UTF-8; only the written line changed,
//    or one key line or one section with its key was added, and the old
//    last line may have gained a line ending.
#include "settings/Ini.h"
#include "settings/TextCodec.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

using INI::IniDocument;

namespace {

struct Line {
    QByteArray raw, ending;
    bool operator==(const Line &o) const { return raw == o.raw && ending == o.ending; }
};

// An independent reading of the line structure: CRLF, LF and CR end lines.
QList<Line> splitLines(QByteArray bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    QList<Line> lines;
    qsizetype pos = 0;
    while (pos < bytes.size()) {
        qsizetype end = pos;
        while (end < bytes.size() && bytes[end] != '\r' && bytes[end] != '\n')
            ++end;
        Line line{bytes.mid(pos, end - pos), {}};
        if (end < bytes.size())
            line.ending = bytes.mid(end,
                                    bytes[end] == '\r' && end + 1 < bytes.size() && bytes[end + 1] == '\n' ? 2 : 1);
        pos = end + line.ending.size();
        lines.append(line);
    }
    return lines;
}

// Whether `after` is `in` with one line replaced (same ending), or one or
// two lines inserted, where the old last line may have gained an ending.
bool onlyOneEdit(const QList<Line> &in, const QList<Line> &after)
{
    qsizetype p = 0;
    while (p < in.size() && p < after.size() && in[p] == after[p])
        ++p;
    qsizetype q = 0;
    while (q < in.size() - p && q < after.size() - p && in[in.size() - 1 - q] == after[after.size() - 1 - q])
        ++q;
    const qsizetype removed = in.size() - p - q;
    const qsizetype added = after.size() - p - q;
    const bool same = removed == 0 && added == 0;
    const bool replaced = removed == 1 && added == 1 && in[p].ending == after[p].ending;
    const bool inserted = removed == 0 && (added == 1 || added == 2);
    const bool endingGained = removed == 1 && q == 0 && p == in.size() - 1 && in[p].ending.isEmpty()
                              && (added == 2 || added == 3) && after[p].raw == in[p].raw && !after[p].ending.isEmpty();
    return same || replaced || inserted || endingGained;
}

[[noreturn]] void fail(const char *what, const QByteArray &in, const QByteArray &out)
{
    std::fprintf(stderr, "invariant broken: %s\ninput:  %s\noutput: %s\n", what, in.toHex(' ').constData(),
                 out.toHex(' ').constData());
    std::abort();
}

QString expectedValue(const QString &value)
{
    qsizetype end = 0;
    while (end < value.size() && value[end] != QLatin1Char('\r') && value[end] != QLatin1Char('\n')
           && value[end].unicode() != 0)
        ++end;
    qsizetype start = 0;
    while (start < end && (value[start] == QLatin1Char(' ') || value[start] == QLatin1Char('\t')))
        ++start;
    return value.mid(start, end - start);
}

QByteArray field(const QByteArray &data, qsizetype *pos, const char *fallback)
{
    const qsizetype end = data.indexOf('\x01', *pos);
    if (end < 0)
        return fallback;
    const QByteArray text = data.mid(*pos, end - *pos);
    *pos = end + 1;
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    qsizetype pos = 0;
    const QString section = QString::fromUtf8(field(input, &pos, "Stream1"));
    const QString key = QString::fromUtf8(field(input, &pos, "Adres"));
    const QString value = QString::fromUtf8(field(input, &pos, "x"));
    const QByteArray file = input.mid(pos);

    const IniDocument before = IniDocument::parse(file);
    if (before.toBytes() != file)
        fail("parse and toBytes change the file", file, before.toBytes());
    (void)before.value(section, key);

    IniDocument doc = before;
    const bool written = doc.setValue(section, key, value);
    const QByteArray out = doc.toBytes();
    if (!written) {
        if (out != file)
            fail("a refused write changed the file", file, out);
        return 0;
    }
    if (IniDocument::parse(out).value(section, key) != expectedValue(value))
        fail("the written value does not read back", file, out);

    // Lines compared as text (each file decoded as its reader decodes it)
    // and, unless the write re-encoded the file, as bytes.
    const auto asText = [](QList<Line> lines, IniDocument::Encoding encoding) {
        for (Line &line : lines) {
            line.raw = (encoding == IniDocument::Encoding::Utf8 ? TextCodec::decodeUtf8(line.raw)
                                                                : TextCodec::decodeWindows1252(line.raw))
                           .toUtf8();
        }
        return lines;
    };
    const QList<Line> in = splitLines(file);
    const QList<Line> after = splitLines(out);
    if (!onlyOneEdit(asText(in, before.encoding()), asText(after, IniDocument::parse(out).encoding())))
        fail("the text of lines other than the written one changed", file, out);
    const bool reencoded = before.encoding() != doc.encoding();
    if (!reencoded && !onlyOneEdit(in, after))
        fail("the bytes of lines other than the written one changed", file, out);
    return 0;
}
