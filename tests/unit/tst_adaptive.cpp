// The rules of adaptive streams and of the engine's gate, without a player:
// which variant fits a video area, what a master playlist offers, a live
// MPD told as HLS, and the gate's request budget and playlist checks.
#include "player/DashLive.h"
#include "player/EngineGate.h"
#include "player/VariantChoice.h"

#include <QDateTime>
#include <QTest>

using VariantChoice::Variant;
Q_DECLARE_METATYPE(QList<Variant>)

namespace {
Variant v(int w, int h, qint64 bandwidth)
{
    Variant out;
    if (w > 0)
        out.size = QSize(w, h);
    out.bandwidth = bandwidth;
    return out;
}

// As ffmpeg's DASH muxer writes a live stream (-window_size 5 -use_template 1).
const QByteArray LiveMpd = R"(<?xml version="1.0" encoding="utf-8"?>
<MPD xmlns="urn:mpeg:dash:schema:mpd:2011" type="dynamic" availabilityStartTime="2026-12-09T10:26:37.111Z"
     timeShiftBufferDepth="PT10.0S" minimumUpdatePeriod="PT2S">
 <Period id="0" start="PT0.0S">
  <AdaptationSet id="0" contentType="video">
   <Representation id="0" mimeType="video/mp4" bandwidth="713036" width="320" height="240">
    <SegmentTemplate timescale="12800" initialization="init-stream$RepresentationID$.m4s"
        media="chunk-stream$RepresentationID$-$Number%05d$.m4s" startNumber="3">
     <SegmentTimeline><S t="51200" d="25600" r="2" /></SegmentTimeline>
    </SegmentTemplate>
   </Representation>
   <Representation id="1" mimeType="video/mp4" bandwidth="2282436" width="640" height="480">
    <SegmentTemplate timescale="12800" initialization="init-$RepresentationID$.m4s"
        media="seg-$RepresentationID$-$Time$.m4s" startNumber="1" duration="25600"/>
   </Representation>
  </AdaptationSet>
  <AdaptationSet id="1" contentType="audio">
   <Representation id="2" mimeType="audio/mp4" bandwidth="64000">
    <SegmentTemplate timescale="48000" initialization="init-stream$RepresentationID$.m4s"
        media="chunk-stream$RepresentationID$-$Number%05d$.m4s" startNumber="1">
     <SegmentTimeline><S t="0" d="95232" /><S d="96256" r="1" /></SegmentTimeline>
    </SegmentTemplate>
   </Representation>
  </AdaptationSet>
 </Period>
</MPD>
)";
} // namespace

class TestAdaptive : public QObject {
    Q_OBJECT
private slots:
    void choice_data()
    {
        QTest::addColumn<QList<Variant>>("variants");
        QTest::addColumn<QSize>("area");
        QTest::addColumn<int>("chosen");
        const QList<Variant> three{v(1920, 1080, 6000000), v(640, 360, 900000), v(1280, 720, 2500000)};
        QTest::newRow("a tile: the smallest that covers it") << three << QSize(281, 241) << 1;
        QTest::newRow("wider and taller than 640x360: 720p") << three << QSize(700, 400) << 2;
        QTest::newRow("500x400 shows 640x360 reduced: 360p") << three << QSize(500, 400) << 1;
        QTest::newRow("exactly 1280x720") << three << QSize(1280, 720) << 2;
        QTest::newRow("full screen of 1920x1200: the largest") << three << QSize(1920, 1200) << 0;
        QTest::newRow("larger than all: the largest") << three << QSize(3840, 2160) << 0;
        QTest::newRow("not shown: the smallest") << three << QSize() << 1;
        const QList<Variant> byRate{v(0, 0, 6000000), v(0, 0, 400000), v(0, 0, 2500000)};
        QTest::newRow("no RESOLUTION, a tile: by bandwidth") << byRate << QSize(281, 241) << 1;
        QTest::newRow("no RESOLUTION, 800x450") << byRate << QSize(800, 450) << 2;
        QTest::newRow("no RESOLUTION, full screen") << byRate << QSize(1920, 1080) << 0;
        QTest::newRow("equal pictures: the lower bandwidth first")
            << QList<Variant>{v(640, 360, 1500000), v(640, 360, 800000)} << QSize(281, 241) << 1;
        QTest::newRow("nothing known at all: the first")
            << QList<Variant>{v(0, 0, 0), v(0, 0, 0)} << QSize(300, 200) << 0;
        QTest::newRow("no variants") << QList<Variant>{} << QSize(300, 200) << -1;
    }
    void choice()
    {
        QFETCH(QList<Variant>, variants);
        QFETCH(QSize, area);
        QFETCH(int, chosen);
        QCOMPARE(VariantChoice::choose(variants, area), chosen);
    }

    void loopFilter()
    {
        struct Row {
            QSize source, area;
            bool skip;
        } rows[] = {
            {{640, 360}, {281, 241}, true},     // a tile shows a fifth of 360p
            {{640, 360}, {320, 180}, true},     // exactly a quarter
            {{640, 360}, {321, 181}, false},    // just more than a quarter
            {{1280, 720}, {1920, 1080}, false}, // full screen
            {{320, 240}, {281, 241}, false},    // a small source almost whole
            {{1920, 1080}, {281, 2000}, true},  // a tall area: the width decides
            {{}, {281, 241}, false},            // the source not known yet
            {{640, 360}, {}, false},            // not shown
        };
        for (const Row &r : rows)
            QVERIFY2(VariantChoice::skipLoopFilter(r.source, r.area) == r.skip,
                     qPrintable(QStringLiteral("%1x%2 in %3x%4")
                                    .arg(r.source.width())
                                    .arg(r.source.height())
                                    .arg(r.area.width())
                                    .arg(r.area.height())));
    }

    void readMaster()
    {
        const QUrl base(QStringLiteral("http://tv.example/live/master.m3u8?token=1"));
        const QList<Variant> vs = VariantChoice::readMaster(
            "\xEF\xBB\xBF#EXTM3U\r\n#EXT-X-VERSION:3\r\n"
            "#EXT-X-STREAM-INF:BANDWIDTH=900000,RESOLUTION=640x360,CODECS=\"avc1.4d401e,mp4a.40.2\"\r\nlow/"
            "index.m3u8\r\n"
            "#EXT-X-STREAM-INF:BANDWIDTH=64000,CODECS=\"mp4a.40.2\"\r\naudio.m3u8\r\n"
            "#EXT-X-STREAM-INF:BANDWIDTH=5000000\r\n\r\nhttps://cdn.example/hi.m3u8\r\n"
            "#EXT-X-STREAM-INF:BANDWIDTH=1\r\nfile:///etc/passwd\r\n",
            base);
        QCOMPARE(vs.size(), 2); // sound only and a local file are left out
        QCOMPARE(vs[0].url, QUrl(QStringLiteral("http://tv.example/live/low/index.m3u8")));
        QCOMPARE(vs[0].size, QSize(640, 360));
        QCOMPARE(vs[0].bandwidth, 900000);
        QCOMPARE(vs[1].url, QUrl(QStringLiteral("https://cdn.example/hi.m3u8")));
        QVERIFY(!vs[1].size.isValid());
        // A media playlist is no master.
        QVERIFY(VariantChoice::readMaster("#EXTM3U\n#EXT-X-TARGETDURATION:2\n#EXTINF:2,\na.ts\n", base).isEmpty());
        // A master whose sound is a rendition of its own says so.
        bool ownSound = false;
        QCOMPARE(VariantChoice::readMaster("#EXTM3U\n#EXT-X-MEDIA:TYPE=AUDIO,GROUP-ID=\"a\",URI=\"a.m3u8\"\n"
                                           "#EXT-X-STREAM-INF:BANDWIDTH=1,AUDIO=\"a\"\nv1.m3u8\n"
                                           "#EXT-X-STREAM-INF:BANDWIDTH=2,AUDIO=\"a\"\nv2.m3u8\n",
                                           base, &ownSound)
                     .size(),
                 2);
        QVERIFY(ownSound);
    }

    void liveDash_toldAsHls()
    {
        const QUrl mpd(QStringLiteral("http://127.0.0.1:8000/live/live.mpd"));
        QVERIFY(DashLive::isLiveMpd(LiveMpd));
        QVERIFY(!DashLive::isLiveMpd(QByteArray(LiveMpd).replace("dynamic", "static")));
        const QByteArray master = DashLive::master(LiveMpd, mpd);
        QCOMPARE(master, "#EXTM3U\n#EXT-X-VERSION:7\n"
                         "#EXT-X-MEDIA:TYPE=AUDIO,GROUP-ID=\"sound\",NAME=\"2\",DEFAULT=YES,AUTOSELECT=YES,"
                         "URI=\"http://127.0.0.1:8000/live/live.mpd?kijkraam-hls=2\"\n"
                         "#EXT-X-STREAM-INF:BANDWIDTH=713036,RESOLUTION=320x240,AUDIO=\"sound\"\n"
                         "http://127.0.0.1:8000/live/live.mpd?kijkraam-hls=0\n"
                         "#EXT-X-STREAM-INF:BANDWIDTH=2282436,RESOLUTION=640x480,AUDIO=\"sound\"\n"
                         "http://127.0.0.1:8000/live/live.mpd?kijkraam-hls=1\n");
        const QByteArray single = DashLive::master(LiveMpd, mpd, QStringLiteral("1"));
        QVERIFY(single.contains("kijkraam-hls=1\n") && !single.contains("kijkraam-hls=0\n")
                && single.contains("kijkraam-hls=2\""));
        // SegmentTimeline: numbered from startNumber, the times as listed.
        QCOMPARE(DashLive::media(LiveMpd, mpd, QStringLiteral("0"), 0),
                 "#EXTM3U\n#EXT-X-VERSION:7\n#EXT-X-TARGETDURATION:2\n#EXT-X-MEDIA-SEQUENCE:3\n"
                 "#EXT-X-MAP:URI=\"http://127.0.0.1:8000/live/init-stream0.m4s\"\n"
                 "#EXTINF:2.000,\nhttp://127.0.0.1:8000/live/chunk-stream0-00003.m4s\n"
                 "#EXTINF:2.000,\nhttp://127.0.0.1:8000/live/chunk-stream0-00004.m4s\n"
                 "#EXTINF:2.000,\nhttp://127.0.0.1:8000/live/chunk-stream0-00005.m4s\n");
        const QByteArray sound = DashLive::media(LiveMpd, mpd, QStringLiteral("2"), 0);
        QVERIFY2(sound.contains("#EXTINF:1.984,\nhttp://127.0.0.1:8000/live/chunk-stream2-00001.m4s\n"
                                "#EXTINF:2.005,\nhttp://127.0.0.1:8000/live/chunk-stream2-00002.m4s\n"),
                 sound.constData());
        // A fixed duration: the segments complete by the wall clock, $Time$ filled in.
        const qint64 start = QDateTime::fromString(QStringLiteral("2026-12-09T10:26:37.111Z"), Qt::ISODateWithMs)
                                 .toMSecsSinceEpoch();
        const QByteArray fixed = DashLive::media(LiveMpd, mpd, QStringLiteral("1"), start + 21000);
        QVERIFY2(fixed.contains("#EXT-X-MEDIA-SEQUENCE:6\n"), fixed.constData());
        QVERIFY2(fixed.endsWith("seg-1-230400.m4s\n"), fixed.constData()); // the tenth, 18 s to 20 s
        QCOMPARE(fixed.count("#EXTINF"), 5);                               // ten seconds of them
        QVERIFY(DashLive::media(LiveMpd, mpd, QStringLiteral("9"), 0).isEmpty());
    }

    void gate_requestBudget()
    {
        GateRules::RequestBudget budget;
        for (int i = 0; i < GateRules::Burst; ++i)
            QCOMPARE(budget.reserve(1000), 0);
        // Then one every third of a second, each waiting its turn.
        QCOMPARE(budget.reserve(1000), 334);
        QCOMPARE(budget.reserve(1000), 667);
        QVERIFY(qAbs(budget.reserve(1667) - 333) <= 1);
        // Ten seconds of quiet fill it again, and no further.
        for (int i = 0; i < GateRules::Burst; ++i)
            QCOMPARE(budget.reserve(60000), 0);
        QVERIFY(budget.reserve(60000) > 0);
    }

    void gate_playlists()
    {
        QVERIFY(GateRules::looksLikeHls("\xEF\xBB\xBF\n#EXTM3U\n"));
        QVERIFY(!GateRules::looksLikeHls("\x47\x40\x00\x10"));
        QVERIFY(GateRules::isPlaylistAnswer("application/vnd.apple.mpegURL", QUrl(QStringLiteral("http://h/x"))));
        QVERIFY(GateRules::isPlaylistAnswer("text/plain", QUrl(QStringLiteral("http://h/live.MPD"))));
        QVERIFY(!GateRules::isPlaylistAnswer("video/mp2t", QUrl(QStringLiteral("http://h/seg.ts"))));
        const QUrl base(QStringLiteral("http://h/live/index.m3u8"));
        QCOMPARE(
            GateRules::segmentsOf("#EXTM3U\n#EXT-X-STREAM-INF:BANDWIDTH=1\nv1.m3u8\n#EXTINF:1,\r\nseg1.ts\r\n"
                                  "#EXT-X-DISCONTINUITY\n#EXTINF:1,\n\n/abs/seg2.ts\n",
                                  base),
            (QList<QUrl>{QUrl(QStringLiteral("http://h/live/seg1.ts")), QUrl(QStringLiteral("http://h/abs/seg2.ts"))}));
    }
};

QTEST_GUILESS_MAIN(TestAdaptive)
#include "tst_adaptive.moc"
