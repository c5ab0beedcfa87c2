#include "player/DashLive.h"

#include <QDateTime>
#include <QList>
#include <QRegularExpression>
#include <QUrlQuery>
#include <QXmlStreamReader>
#include <cmath>

namespace DashLive {
namespace {

struct Template {
    QString media, init;
    qint64 timescale = 1, startNumber = 1, duration = 0, pto = 0;
    struct S {
        qint64 t = -1, d = 0, r = 0;
    };
    QList<S> timeline;
    bool hasTimeline = false;
};

struct Rep {
    QString id, kind, codecs;
    int width = 0, height = 0;
    qint64 bandwidth = 0;
    QUrl base;
    Template tpl;
};

struct Mpd {
    bool live = false;
    qint64 availabilityStartMs = 0;
    double timeShiftSeconds = 30;
    QList<Rep> reps;
};

double isoSeconds(const QString &duration)
{
    // PnDTnHnMnS, as MPDs write durations.
    static const QRegularExpression re(QStringLiteral(
        "^P(?:(\\d+(?:\\.\\d+)?)D)?(?:T(?:(\\d+(?:\\.\\d+)?)H)?(?:(\\d+(?:\\.\\d+)?)M)?(?:(\\d+(?:\\.\\d+)?)S)?)?$"));
    const QRegularExpressionMatch m = re.match(duration.trimmed());
    if (!m.hasMatch())
        return -1;
    return m.captured(1).toDouble() * 86400 + m.captured(2).toDouble() * 3600 + m.captured(3).toDouble() * 60
           + m.captured(4).toDouble();
}

void readTemplate(QXmlStreamReader &xml, Template &tpl)
{
    const QXmlStreamAttributes a = xml.attributes();
    if (a.hasAttribute(QLatin1String("media")))
        tpl.media = a.value(QLatin1String("media")).toString();
    if (a.hasAttribute(QLatin1String("initialization")))
        tpl.init = a.value(QLatin1String("initialization")).toString();
    if (a.hasAttribute(QLatin1String("timescale")))
        tpl.timescale = qMax<qint64>(1, a.value(QLatin1String("timescale")).toLongLong());
    if (a.hasAttribute(QLatin1String("startNumber")))
        tpl.startNumber = a.value(QLatin1String("startNumber")).toLongLong();
    if (a.hasAttribute(QLatin1String("duration")))
        tpl.duration = a.value(QLatin1String("duration")).toLongLong();
    if (a.hasAttribute(QLatin1String("presentationTimeOffset")))
        tpl.pto = a.value(QLatin1String("presentationTimeOffset")).toLongLong();
    while (xml.readNextStartElement()) {
        if (xml.name() == QLatin1String("SegmentTimeline")) {
            tpl.hasTimeline = true;
            tpl.timeline.clear();
            while (xml.readNextStartElement()) {
                if (xml.name() == QLatin1String("S") && tpl.timeline.size() < 10000) {
                    const QXmlStreamAttributes s = xml.attributes();
                    Template::S e;
                    if (s.hasAttribute(QLatin1String("t")))
                        e.t = s.value(QLatin1String("t")).toLongLong();
                    e.d = s.value(QLatin1String("d")).toLongLong();
                    e.r = s.value(QLatin1String("r")).toLongLong();
                    tpl.timeline << e;
                }
                xml.skipCurrentElement();
            }
        } else {
            xml.skipCurrentElement();
        }
    }
}

QUrl withBase(QXmlStreamReader &xml, const QUrl &base) { return base.resolved(QUrl(xml.readElementText().trimmed())); }

Mpd read(const QByteArray &body, const QUrl &url)
{
    Mpd mpd;
    QXmlStreamReader xml(body);
    if (!xml.readNextStartElement() || xml.name() != QLatin1String("MPD"))
        return mpd;
    const QXmlStreamAttributes top = xml.attributes();
    mpd.live = top.value(QLatin1String("type")) == QLatin1String("dynamic");
    mpd.availabilityStartMs = QDateTime::fromString(top.value(QLatin1String("availabilityStartTime")).toString(),
                                                    Qt::ISODateWithMs)
                                  .toMSecsSinceEpoch();
    const double depth = isoSeconds(top.value(QLatin1String("timeShiftBufferDepth")).toString());
    if (depth > 0)
        mpd.timeShiftSeconds = depth;
    QUrl mpdBase = url;
    QList<Rep> reps; // of the last period: a live MPD's current one
    while (xml.readNextStartElement()) {
        if (xml.name() == QLatin1String("BaseURL")) {
            mpdBase = withBase(xml, mpdBase);
            continue;
        }
        if (xml.name() != QLatin1String("Period")) {
            xml.skipCurrentElement();
            continue;
        }
        reps.clear();
        QUrl periodBase = mpdBase;
        Template periodTpl;
        while (xml.readNextStartElement()) {
            if (xml.name() == QLatin1String("BaseURL")) {
                periodBase = withBase(xml, periodBase);
            } else if (xml.name() == QLatin1String("SegmentTemplate")) {
                readTemplate(xml, periodTpl);
            } else if (xml.name() == QLatin1String("AdaptationSet")) {
                const QXmlStreamAttributes as = xml.attributes();
                QString kind = as.value(QLatin1String("contentType")).toString();
                const QString setMime = as.value(QLatin1String("mimeType")).toString();
                QUrl setBase = periodBase;
                Template setTpl = periodTpl;
                const int firstRep = reps.size();
                while (xml.readNextStartElement()) {
                    if (xml.name() == QLatin1String("BaseURL")) {
                        setBase = withBase(xml, setBase);
                    } else if (xml.name() == QLatin1String("SegmentTemplate")) {
                        readTemplate(xml, setTpl);
                    } else if (xml.name() == QLatin1String("Representation") && reps.size() < 32) {
                        const QXmlStreamAttributes ra = xml.attributes();
                        Rep rep;
                        rep.id = ra.value(QLatin1String("id")).toString();
                        const QString mime = ra.hasAttribute(QLatin1String("mimeType"))
                                                 ? ra.value(QLatin1String("mimeType")).toString()
                                                 : setMime;
                        rep.kind = !kind.isEmpty() ? kind : mime.section(QLatin1Char('/'), 0, 0);
                        rep.codecs = ra.value(QLatin1String("codecs")).toString();
                        rep.width = ra.value(QLatin1String("width")).toInt();
                        rep.height = ra.value(QLatin1String("height")).toInt();
                        rep.bandwidth = ra.value(QLatin1String("bandwidth")).toLongLong();
                        rep.base = setBase;
                        rep.tpl = setTpl;
                        while (xml.readNextStartElement()) {
                            if (xml.name() == QLatin1String("BaseURL"))
                                rep.base = withBase(xml, rep.base);
                            else if (xml.name() == QLatin1String("SegmentTemplate"))
                                readTemplate(xml, rep.tpl);
                            else
                                xml.skipCurrentElement();
                        }
                        if (!rep.id.isEmpty() && !rep.tpl.media.isEmpty())
                            reps << rep;
                    } else {
                        xml.skipCurrentElement();
                    }
                }
                for (int i = firstRep; i < reps.size(); ++i)
                    if (reps[i].kind.isEmpty())
                        reps[i].kind = kind;
            } else {
                xml.skipCurrentElement();
            }
        }
    }
    mpd.reps = reps;
    return mpd;
}

// A SegmentTemplate address: $RepresentationID$, $Number$, $Time$,
// $Bandwidth$, each with an optional %0Nd width, and $$.
QString fill(const QString &pattern, const Rep &rep, qint64 number, qint64 time)
{
    static const QRegularExpression id(QStringLiteral("\\$(RepresentationID|Number|Time|Bandwidth)(%0(\\d+)d)?\\$"));
    QString out;
    int at = 0;
    for (auto it = id.globalMatch(pattern); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        out += pattern.mid(at, m.capturedStart() - at);
        at = m.capturedEnd();
        const QString name = m.captured(1);
        const int width = qBound(0, m.captured(3).toInt(), 16);
        if (name == QLatin1String("RepresentationID"))
            out += rep.id;
        else
            out += QStringLiteral("%1").arg(name == QLatin1String("Number") ? number
                                            : name == QLatin1String("Time") ? time
                                                                            : rep.bandwidth,
                                            width, 10, QLatin1Char('0'));
    }
    out += pattern.mid(at);
    return out.replace(QLatin1String("$$"), QLatin1String("$"));
}

const Rep *find(const Mpd &mpd, const QString &id)
{
    for (const Rep &rep : mpd.reps)
        if (rep.id == id)
            return &rep;
    return nullptr;
}

QByteArray quoted(const QUrl &url) { return '"' + url.toString(QUrl::FullyEncoded).toUtf8() + '"'; }

// `url` with its query item `name` set to `value` alone.
QUrl withQueryItem(const QUrl &url, const char *name, const QString &value)
{
    QUrl result = url;
    QUrlQuery query(result);
    query.removeAllQueryItems(QLatin1String(name));
    query.addQueryItem(QLatin1String(name), value);
    result.setQuery(query);
    return result;
}

} // namespace

bool isLiveMpd(const QByteArray &body)
{
    const QByteArray head = body.left(4096);
    return head.contains("<MPD") && head.contains("type=\"dynamic\"");
}

QUrl mediaUrl(const QUrl &mpdUrl, const QString &id) { return withQueryItem(mpdUrl, QueryItem, id); }

QUrl singleVideoUrl(const QUrl &mpdUrl, const QString &id) { return withQueryItem(mpdUrl, VideoItem, id); }

QByteArray master(const QByteArray &body, const QUrl &url, const QString &onlyVideo)
{
    const Mpd mpd = read(body, url);
    if (!mpd.live)
        return QByteArray();
    QByteArray out = "#EXTM3U\n#EXT-X-VERSION:7\n";
    QByteArray audio;
    for (const Rep &rep : mpd.reps) {
        if (rep.kind == QLatin1String("audio")) {
            out += "#EXT-X-MEDIA:TYPE=AUDIO,GROUP-ID=\"sound\",NAME=\"" + rep.id.toUtf8()
                   + "\",DEFAULT=YES,AUTOSELECT=YES,URI=" + quoted(mediaUrl(url, rep.id)) + "\n";
            audio = ",AUDIO=\"sound\"";
            break;
        }
    }
    bool any = false;
    for (const Rep &rep : mpd.reps) {
        if (rep.kind != QLatin1String("video") || (!onlyVideo.isNull() && rep.id != onlyVideo))
            continue;
        any = true;
        out += "#EXT-X-STREAM-INF:BANDWIDTH=" + QByteArray::number(qMax<qint64>(1, rep.bandwidth));
        if (rep.width > 0 && rep.height > 0)
            out += ",RESOLUTION=" + QByteArray::number(rep.width) + 'x' + QByteArray::number(rep.height);
        out += audio + "\n" + mediaUrl(url, rep.id).toString(QUrl::FullyEncoded).toUtf8() + "\n";
    }
    return any || !audio.isEmpty() ? out : QByteArray();
}

QByteArray media(const QByteArray &body, const QUrl &url, const QString &id, qint64 nowMs)
{
    const Mpd mpd = read(body, url);
    const Rep *rep = find(mpd, id);
    if (!mpd.live || !rep)
        return QByteArray();
    const Template &tpl = rep->tpl;
    struct Seg {
        qint64 number, time, duration;
    };
    QList<Seg> segs;
    constexpr int MaxListed = 12; // the newest ones: a live playlist's window
    if (tpl.hasTimeline) {
        qint64 number = tpl.startNumber, time = 0;
        for (const Template::S &s : tpl.timeline) {
            if (s.t >= 0)
                time = s.t;
            if (s.d <= 0)
                continue;
            for (qint64 i = 0; i <= qBound(qint64(0), s.r, qint64(100000)); ++i) {
                segs << Seg{number++, time, s.d};
                time += s.d;
                if (segs.size() > MaxListed)
                    segs.removeFirst();
            }
        }
    } else if (tpl.duration > 0 && mpd.availabilityStartMs > 0) {
        // Segments that are complete by now, within the time-shift window.
        const double seconds = (nowMs - mpd.availabilityStartMs) / 1000.0;
        const double length = double(tpl.duration) / tpl.timescale;
        const qint64 done = qint64(std::floor(seconds / length)); // complete segments since the start
        const qint64 window = qMax<qint64>(1, qMin<qint64>(MaxListed, qint64(mpd.timeShiftSeconds / length)));
        for (qint64 k = qMax<qint64>(0, done - window); k < done; ++k)
            segs << Seg{tpl.startNumber + k, tpl.pto + k * tpl.duration, tpl.duration};
    }
    if (segs.isEmpty())
        return QByteArray();
    qint64 longest = 0;
    for (const Seg &s : segs)
        longest = qMax(longest, s.duration);
    QByteArray out = "#EXTM3U\n#EXT-X-VERSION:7\n#EXT-X-TARGETDURATION:"
                     + QByteArray::number(qint64(std::ceil(double(longest) / tpl.timescale)))
                     + "\n#EXT-X-MEDIA-SEQUENCE:" + QByteArray::number(segs.first().number) + "\n";
    if (!tpl.init.isEmpty())
        out += "#EXT-X-MAP:URI=" + quoted(rep->base.resolved(QUrl(fill(tpl.init, *rep, 0, 0)))) + "\n";
    for (const Seg &s : segs)
        out += "#EXTINF:" + QByteArray::number(double(s.duration) / tpl.timescale, 'f', 3) + ",\n"
               + rep->base.resolved(QUrl(fill(tpl.media, *rep, s.number, s.time))).toString(QUrl::FullyEncoded).toUtf8()
               + "\n";
    return out;
}

} // namespace DashLive
