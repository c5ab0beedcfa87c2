#include "player/VariantChoice.h"

#include <QRegularExpression>
#include <QStringList>

namespace VariantChoice {

qint64 pixelsOf(const Variant &variant)
{
    if (variant.size.isValid() && !variant.size.isEmpty())
        return qint64(variant.size.width()) * variant.size.height();
    return variant.bandwidth > 0 ? qint64(variant.bandwidth / EstimatedBitsPerPixel) : 0;
}

namespace {
bool covers(const Variant &variant, const QSize &area)
{
    if (variant.size.isValid() && !variant.size.isEmpty())
        return variant.size.width() >= area.width() || variant.size.height() >= area.height();
    return pixelsOf(variant) >= qint64(area.width()) * area.height();
}
} // namespace

int choose(const QList<Variant> &variants, const QSize &area)
{
    int best = -1;    // smallest that covers
    int largest = -1; // largest of all
    int smallest = -1;
    for (int i = 0; i < variants.size(); ++i) {
        const qint64 pixels = pixelsOf(variants[i]);
        const auto larger = [&](int other) {
            // Ties go by bandwidth: of two equal pictures the richer is larger.
            const qint64 otherPixels = pixelsOf(variants[other]);
            return pixels != otherPixels ? pixels > otherPixels : variants[i].bandwidth > variants[other].bandwidth;
        };
        if (largest < 0 || larger(largest))
            largest = i;
        if (smallest < 0 || !larger(smallest))
            smallest = i;
        if (!area.isEmpty() && covers(variants[i], area) && (best < 0 || !larger(best)))
            best = i;
    }
    if (area.isEmpty())
        return smallest;
    return best >= 0 ? best : largest;
}

namespace {
// The value of an attribute of an #EXT-X-STREAM-INF line (quoted or not).
QString attribute(const QString &line, const QString &name)
{
    static const QRegularExpression pair(QStringLiteral("([A-Z0-9-]+)=(\"[^\"]*\"|[^,]*)"));
    for (auto it = pair.globalMatch(line); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        if (m.captured(1) == name) {
            QString value = m.captured(2);
            if (value.startsWith(QLatin1Char('"')))
                value = value.mid(1, value.size() - 2);
            return value;
        }
    }
    return QString();
}

bool soundOnly(const QString &codecs)
{
    if (codecs.isEmpty())
        return false;
    for (const QString &codec : codecs.split(QLatin1Char(','))) {
        const QString c = codec.trimmed().toLower();
        if (!(c.startsWith(QLatin1String("mp4a")) || c.startsWith(QLatin1String("ac-3"))
              || c.startsWith(QLatin1String("ec-3")) || c.startsWith(QLatin1String("opus"))
              || c.startsWith(QLatin1String("flac")) || c.startsWith(QLatin1String("mp3"))))
            return false;
    }
    return true;
}
} // namespace

QList<Variant> readMaster(const QByteArray &text, const QUrl &base, bool *ownSound)
{
    if (ownSound)
        *ownSound = false;
    QList<Variant> variants;
    if (text.size() > MaxMasterBytes)
        return variants;
    QString body = QString::fromUtf8(text);
    if (body.startsWith(QChar(0xFEFF)))
        body.remove(0, 1);
    const QStringList lines = body.split(QRegularExpression(QStringLiteral("\r\n|\n|\r")));
    if (lines.isEmpty() || lines.first().trimmed() != QLatin1String("#EXTM3U"))
        return variants;
    QString pending; // the #EXT-X-STREAM-INF waiting for its address
    for (const QString &raw : lines) {
        const QString line = raw.trimmed();
        if (line.isEmpty())
            continue;
        if (line.startsWith(QLatin1String("#EXT-X-MEDIA:")) && line.contains(QLatin1String("TYPE=AUDIO"))
            && line.contains(QLatin1String("URI="))) {
            if (ownSound)
                *ownSound = true;
            continue;
        }
        if (line.startsWith(QLatin1String("#EXT-X-STREAM-INF:"))) {
            pending = line.mid(18);
            continue;
        }
        if (line.startsWith(QLatin1Char('#')) || pending.isNull())
            continue;
        const QString attrs = pending;
        pending = QString();
        const QUrl url = base.resolved(QUrl(line));
        const QString scheme = url.scheme().toLower();
        if ((scheme != QLatin1String("http") && scheme != QLatin1String("https")) || url.host().isEmpty())
            continue;
        if (soundOnly(attribute(attrs, QStringLiteral("CODECS"))))
            continue;
        Variant v;
        v.url = url;
        v.bandwidth = attribute(attrs, QStringLiteral("BANDWIDTH")).toLongLong();
        static const QRegularExpression wxh(QStringLiteral("^(\\d{1,5})x(\\d{1,5})$"));
        const QRegularExpressionMatch m = wxh.match(attribute(attrs, QStringLiteral("RESOLUTION")));
        if (m.hasMatch())
            v.size = QSize(m.captured(1).toInt(), m.captured(2).toInt());
        variants << v;
    }
    return variants;
}

} // namespace VariantChoice

bool VariantChoice::skipLoopFilter(const QSize &source, const QSize &area)
{
    if (source.isEmpty() || area.isEmpty())
        return false;
    const QSize shown = source.scaled(area, Qt::KeepAspectRatio);
    return qint64(shown.width()) * shown.height() * 4 <= qint64(source.width()) * source.height();
}
