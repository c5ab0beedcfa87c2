// What the players play: one row per kind of address that real servers
// deliver, each against a server of that kind started on 127.0.0.1, played
// by the real decoder in a real player. A video row passes when the player
// says it plays (playState 3) and its video surface shows a moving, not
// black, picture; an audio row when the player plays, its position goes on
// and the video area stays calm (black or a still) with no error.
// Each row prints the time from the address to the first picture (or to
// sound that plays). Cameras and live streams that go away come back
// without a click once their server is back. Over TLS, certificates are
// checked against a local authority that stands for the system's store; one
// that it does not vouch for is refused until the user trusts it.
#include "DemoServer.h"
#include "Pictures.h"
#include "TestEnv.h"
#include "TestServers.h"

#include "player/CertificateStore.h"
#include "player/WindowsMediaPlayer.h"

#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTemporaryDir>
#include <QVBoxLayout>

namespace {
constexpr int PlayWithinMs = 30000;

QImage frameOf(WindowsMediaPlayer *player)
{
    return player->videoSurface()->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// Counts the times a widget is shown.
class ShowCounter : public QObject {
public:
    explicit ShowCounter(QWidget *w) { w->installEventFilter(this); }
    int shown = 0;

protected:
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == QEvent::Show)
            ++shown;
        return false;
    }
};

QList<int> statesOf(const QSignalSpy &spy)
{
    QList<int> list;
    for (const auto &s : spy)
        list << s.first().toInt();
    return list;
}

// Which server a row needs: the HLS demo server, or one of TestServers.
enum class Server {
    Hls,
    WindowsMedia,
    WmvFile,
    MpegTs,
    Mp3,
    Aac,
    Rtsp,
    RtspUdpOnly,
    RtspTcpOnly,
    MpegTsBasicAuth,
    MpegTsDigestAuth,
    RtspWithPassword,
    Mp3WithTitles,
    Https,
    Variants,
    Dash,
    Page
};

TestServers::Kind kindOf(Server server)
{
    switch (server) {
    case Server::WindowsMedia:
        return TestServers::WindowsMediaStream;
    case Server::WmvFile:
        return TestServers::ProgressiveWmv;
    case Server::MpegTs:
        return TestServers::MpegTsOverHttp;
    case Server::Mp3:
        return TestServers::Mp3OverHttp;
    case Server::Aac:
        return TestServers::AacOverHttp;
    case Server::Rtsp:
        return TestServers::Rtsp;
    case Server::RtspUdpOnly:
        return TestServers::RtspUdpOnly;
    case Server::RtspTcpOnly:
        return TestServers::RtspTcpOnly;
    case Server::MpegTsBasicAuth:
        return TestServers::MpegTsBasicAuth;
    case Server::MpegTsDigestAuth:
        return TestServers::MpegTsDigestAuth;
    case Server::RtspWithPassword:
        return TestServers::RtspWithPassword;
    case Server::Mp3WithTitles:
        return TestServers::Mp3WithTitles;
    case Server::Https:
        return TestServers::HlsOverHttps;
    case Server::Variants:
        return TestServers::HlsVariants;
    case Server::Dash:
        return TestServers::LiveDash;
    case Server::Page:
        return TestServers::VideoPage;
    case Server::Hls:
        break;
    }
    return TestServers::Rtsp;
}

int countOf(const QByteArrayList &list, const QByteArray &part)
{
    return int(std::count_if(list.begin(), list.end(), [&](const QByteArray &b) { return b.contains(part); }));
}

// The requests a server logged ("REQ <status> <path>"), from line `from` on.
QByteArrayList requestsIn(const QByteArray &log, int from = 0)
{
    QByteArrayList paths;
    for (const QByteArray &line : log.split('\n'))
        if (line.contains(": REQ "))
            paths << line.mid(line.indexOf(": REQ ") + 6);
    return paths.mid(from);
}

void writeFile(const QString &path, const QByteArray &data)
{
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(data);
}

// A new key and certificate for 127.0.0.1 in `dir`/`name`.pem and .key:
// signed by the test's authority (ca.pem), or by itself.
bool makeCertificate(const QString &dir, const QString &name, bool bySelf)
{
    QStringList args{"req",
                     "-x509",
                     "-newkey",
                     "ec",
                     "-pkeyopt",
                     "ec_paramgen_curve:prime256v1",
                     "-nodes",
                     "-days",
                     "2",
                     "-subj",
                     "/CN=127.0.0.1",
                     "-addext",
                     "subjectAltName=IP:127.0.0.1",
                     "-keyout",
                     dir + "/new.key",
                     "-out",
                     dir + "/new.pem"};
    if (!bySelf)
        args << "-CA" << dir + "/ca.pem"
             << "-CAkey" << dir + "/ca.key"
             << "-addext"
             << "basicConstraints=critical,CA:FALSE";
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"), args);
    return openssl.waitForFinished(20000) && openssl.exitCode() == 0
           && QFile::rename(dir + "/new.key", dir + "/" + name + ".key.tmp")
           && ::rename(qPrintable(dir + "/new.pem"), qPrintable(dir + "/" + name + ".pem")) == 0
           && ::rename(qPrintable(dir + "/" + name + ".key.tmp"), qPrintable(dir + "/" + name + ".key")) == 0;
}

QString fingerprintOf(const QString &pemFile)
{
    const QList<QSslCertificate> certificate = QSslCertificate::fromPath(pemFile);
    return certificate.isEmpty()
               ? QString()
               : CertificateTrust::fingerprintText(certificate.first().digest(QCryptographicHash::Sha256));
}

// Opens the player's context menu and triggers the item of that name;
// false when the menu does not offer it.
bool chooseFromMenu(QWidget *player, const QString &action)
{
    bool found = false;
    QTimer::singleShot(300, player, [&] {
        if (auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget())) {
            if (auto *item = menu->findChild<QAction *>(action)) {
                found = true;
                item->trigger();
            }
            menu->close();
        }
    });
    const QPoint at = player->rect().center();
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, player->mapToGlobal(at));
    QApplication::sendEvent(player, &event);
    return found;
}
} // namespace

Q_DECLARE_METATYPE(Server)

class TestCompat : public QObject {
    Q_OBJECT
    TestServers m_servers;
    std::unique_ptr<DemoServer> m_hls;
    std::optional<Seam<QString>::Override> m_systemStore;
    QTemporaryDir m_files;
    std::unique_ptr<QWidget> m_window;
    WindowsMediaPlayer *m_player = nullptr;
    std::unique_ptr<TestEnv> m_env; // the trust file goes where the settings go

    // Only the server a row needs runs: the machine has few cores.
    QString need(Server server)
    {
        if (server != Server::Hls)
            m_hls.reset();
        for (TestServers::Kind kind : TestServers::AllKinds)
            if (server == Server::Hls || kind != kindOf(server))
                m_servers.stop(kind);
        if (server == Server::Hls) {
            if (!m_hls || !m_hls->isRunning())
                m_hls = std::make_unique<DemoServer>(QStringList{QStringLiteral("--slots"), QStringLiteral("1"),
                                                                 QStringLiteral("--size"), QStringLiteral("320x180")});
            return m_hls->isRunning() ? m_hls->base() : QString();
        }
        if (server == Server::Https && !m_servers.isRunning(TestServers::HlsOverHttps)) {
            // The test's own authority stands for the system's store; it
            // signed the playlist host's certificate and, for now, the media host's.
            const QString dir = m_files.path();
            if (!QFile::exists(dir + "/ca.pem"))
                QProcess::execute(QStringLiteral("openssl"),
                                  {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                                   "-nodes", "-days", "2", "-subj", "/CN=Kijkraam test CA", "-keyout", dir + "/ca.key",
                                   "-out", dir + "/ca.pem"});
            if (!makeCertificate(dir, "host", false) || !makeCertificate(dir, "media", false))
                return QString();
            m_systemStore.emplace(CertificateStore::systemStoreSeam, dir + "/ca.pem");
            m_servers.setTls({dir + "/host.pem", dir + "/host.key", dir + "/media.pem", dir + "/media.key"});
        }
        return m_servers.start(kindOf(server));
    }

    // The address a row plays, from what its server offers.
    QString addressFor(Server server, const QString &how)
    {
        if (server == Server::Hls)
            return m_hls->url(QStringLiteral("/kwa/KR5/KR1.asx"));
        const QStringList offered = m_servers.addresses(kindOf(server));
        if (how.isEmpty())
            return offered.value(0);
        if (how.startsWith(QLatin1String("offered:")))
            return offered.value(how.mid(8).toInt());
        const QString live = offered.value(2); // http://127.0.0.1:P/wm/live
        if (how == QLatin1String("asx with an http REF")) {
            const QString path = m_files.filePath(QStringLiteral("http-ref.asx"));
            writeFile(path, "<ASX version=\"3.0\"><ENTRY><REF HREF=\"" + live.toUtf8() + "\"/></ENTRY></ASX>\r\n");
            return path;
        }
        if (how == QLatin1String("reference file")) {
            const QString path = m_files.filePath(QStringLiteral("live.asx"));
            writeFile(path, "[Reference]\r\nRef1=" + live.toUtf8() + "\r\n");
            return path;
        }
        if (how == QLatin1String("local m3u")) {
            // The first channel refuses (nothing listens on port 9).
            const QString path = m_files.filePath(QStringLiteral("iptv.m3u"));
            writeFile(path, "#EXTM3U\n#EXTINF:-1,Dood\nhttp://127.0.0.1:9/dood.ts\n#EXTINF:-1,Test\n"
                                + offered.value(0).toUtf8() + "\n");
            return path;
        }
        if (how == QLatin1String("trailing blanks"))
            return offered.value(0) + QStringLiteral("   ");
        if (how == QLatin1String("rtspt"))
            return QString(offered.value(0)).replace(QLatin1String("rtsp://"), QLatin1String("rtspt://"));
        return QString();
    }

private slots:
    // A new player per row: no picture of an earlier row is left on it.
    void init()
    {
        m_window = std::make_unique<QWidget>();
        m_window->resize(400, 330);
        auto *layout = new QVBoxLayout(m_window.get());
        layout->setContentsMargins(0, 0, 0, 0);
        m_player = new WindowsMediaPlayer(m_window.get());
        m_player->setStretchToFit(true);
        layout->addWidget(m_player);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }
    void cleanup() { m_window.reset(); }
    void initTestCase() { m_env = std::make_unique<TestEnv>(); }
    void cleanupTestCase()
    {
        m_systemStore.reset();
        m_servers.stopAll();
        m_hls.reset();
    }

    void plays_data()
    {
        QTest::addColumn<Server>("server");
        QTest::addColumn<QString>("how"); // which address of the server (see addressFor)
        QTest::addColumn<bool>("audioOnly");
        QTest::addColumn<bool>("file");         // a file: the position slider shows
        QTest::addColumn<QByteArray>("setups"); // what the camera's log must say, in order

        QTest::newRow("HLS live (KR1.asx)") << Server::Hls << QString() << false << false << QByteArray();
        QTest::newRow("Windows Media: mms://") << Server::WindowsMedia << "offered:0" << false << false << QByteArray();
        QTest::newRow("Windows Media: mmsh://")
            << Server::WindowsMedia << "offered:1" << false << false << QByteArray();
        QTest::newRow("Windows Media: http:// (answered with a [Reference] file)")
            << Server::WindowsMedia << "offered:2" << false << false << QByteArray();
        QTest::newRow("Windows Media: KR4.asx, REF mms:// then http://")
            << Server::WindowsMedia << "offered:3" << false << false << QByteArray();
        QTest::newRow("Windows Media: ASX whose REF is http://")
            << Server::WindowsMedia << "asx with an http REF" << false << false << QByteArray();
        QTest::newRow("Windows Media: [Reference] file naming http://")
            << Server::WindowsMedia << "reference file" << false << false << QByteArray();
        QTest::newRow("WMV file over HTTP") << Server::WmvFile << QString() << false << true << QByteArray();
        QTest::newRow("endless MPEG-TS over HTTP") << Server::MpegTs << QString() << false << false << QByteArray();
        QTest::newRow("M3U over HTTP, its first channel dead (404)")
            << Server::MpegTs << "offered:1" << false << false << QByteArray();
        QTest::newRow("M3U on disk, its first channel dead (refused)")
            << Server::MpegTs << "local m3u" << false << false << QByteArray();
        QTest::newRow("PLS, its first entry dead") << Server::MpegTs << "offered:2" << false << false << QByteArray();
        QTest::newRow("XSPF, its first track dead") << Server::MpegTs << "offered:3" << false << false << QByteArray();
        QTest::newRow("address with trailing blanks")
            << Server::MpegTs << "trailing blanks" << false << false << QByteArray();
        QTest::newRow("SHOUTcast radio answering ICY 200 OK (audio only)")
            << Server::Mp3 << "offered:1" << true << false << QByteArray();
        QTest::newRow("MP3 radio over HTTP (audio only)") << Server::Mp3 << QString() << true << false << QByteArray();
        QTest::newRow("AAC radio over HTTP (audio only)") << Server::Aac << QString() << true << false << QByteArray();
        QTest::newRow("MPEG-TS over HTTP with a name and password (Basic)")
            << Server::MpegTsBasicAuth << QString() << false << false << QByteArray();
        QTest::newRow("MPEG-TS over HTTP with a name and password (Digest)")
            << Server::MpegTsDigestAuth << QString() << false << false << QByteArray();
        // Cameras. Each camera server logs the Transport of every SETUP it
        // gets; the one-transport cameras refuse the other transport.
        QTest::newRow("RTSP camera: rtsp:// (TCP first)")
            << Server::Rtsp << QString() << false << false << QByteArray("RTP/AVP/TCP");
        QTest::newRow("RTSP camera that sends UDP only: rtsp:// falls back to UDP")
            << Server::RtspUdpOnly << QString() << false << false << QByteArray("RTP/AVP/TCP|RTP/AVP/UDP");
        QTest::newRow("RTSP over TCP: rtspt:// to a camera that sends interleaved only")
            << Server::RtspTcpOnly << "rtspt" << false << false << QByteArray("RTP/AVP/TCP");
        QTest::newRow("RTSP camera with a name and password")
            << Server::RtspWithPassword << QString() << false << false << QByteArray("RTP/AVP/TCP");
        QTest::newRow("HLS over HTTPS, playlist and segments on two hosts the authority vouches for")
            << Server::Https << QString() << false << false << QByteArray();
        // Served from files: the server logs each request, and the row plays
        // on for a while, live and within the request bound.
        QTest::newRow("live MPEG-DASH, moving window") << Server::Dash << QString() << false << false << QByteArray();
        QTest::newRow("web page with <video src> through yt-dlp")
            << Server::Page << QString() << false << false << QByteArray();
    }
    void plays()
    {
        QFETCH(Server, server);
        QFETCH(QString, how);
        QFETCH(bool, audioOnly);
        QFETCH(bool, file);
        QFETCH(QByteArray, setups);
        QVERIFY2(!need(server).isEmpty(), "the server did not start");
        const QString address = addressFor(server, how);
        QVERIFY(!address.isEmpty());
        QSignalSpy states(m_player, &WindowsMediaPlayer::playStateChanged);
        auto *slider = m_player->findChild<QSlider *>(QStringLiteral("position"));
        ShowCounter sliderShown(slider);

        QElapsedTimer clock;
        clock.start();
        m_player->setURL(address);
        QTRY_COMPARE_WITH_TIMEOUT(m_player->playState(), 3, PlayWithinMs);
        const qint64 toPlaying = clock.elapsed();
        if (audioOnly) {
            // Sound that plays: the position goes on; the video area stays calm.
            const double from = m_player->controls.currentPosition();
            QTRY_VERIFY_WITH_TIMEOUT(m_player->controls.currentPosition() > from + 1.0, 10000);
            qInfo("playing after %lld ms, position on by 1 s after %lld ms  %s", toPlaying, clock.elapsed(),
                  qPrintable(address));
            const QImage before = frameOf(m_player);
            QTest::qWait(700);
            const QImage after = frameOf(m_player);
            QVERIFY2(litShare(before) < 0.01 || before == after, "the video area of a radio stream moves");
        } else {
            QTRY_VERIFY_WITH_TIMEOUT(litShare(frameOf(m_player)) > 0.005, PlayWithinMs);
            qInfo("playing after %lld ms, first picture after %lld ms  %s", toPlaying, clock.elapsed(),
                  qPrintable(address));
            // A moving picture, not a still.
            const QImage first = frameOf(m_player);
            QTRY_VERIFY_WITH_TIMEOUT(frameOf(m_player) != first, 10000);
        }
        QCOMPARE(m_player->playState(), 3);
        QCOMPARE(m_player->statusText(), QStringLiteral("Afspelen"));
        QVERIFY(!statesOf(states).contains(int(PlayState::Reconnecting)));
        // A position slider for files only; live streams' "length" only grows.
        if (file)
            QTRY_VERIFY_WITH_TIMEOUT(slider->isVisible(), 10000);
        else
            QCOMPARE(sliderShown.shown, 0);

        const int requestsBefore = requestsIn(m_servers.log(kindOf(server))).size();
        if (requestsBefore > 0) {
            // Live, not frozen: the position keeps up with the clock; and a
            // few requests a second at most.
            const double from = m_player->controls.currentPosition();
            QElapsedTimer played;
            played.start();
            QTest::qWait(15000);
            const double advanced = m_player->controls.currentPosition() - from;
            const int requests = requestsIn(m_servers.log(kindOf(server)), requestsBefore).size();
            qInfo("%.1f s played in %.1f s, %d requests (%.1f a second), status %s", advanced,
                  played.elapsed() / 1000.0, requests, requests * 1000.0 / played.elapsed(),
                  qPrintable(m_player->statusText()));
            QVERIFY2(advanced > 10.0, qPrintable(QString::number(advanced)));
            QVERIFY2(requests * 1000.0 / played.elapsed() <= 4.0, qPrintable(QString::number(requests)));
            QCOMPARE(m_player->playState(), 3);
        }

        if (!setups.isEmpty()) {
            // The Transport headers of the SETUPs, in order, without repeats.
            QByteArrayList seen;
            for (const QByteArray &line : m_servers.log(kindOf(server)).split('\n')) {
                if (!line.contains("SETUP "))
                    continue;
                const QByteArray transport = line.mid(line.indexOf("SETUP ") + 6).split(';').value(0);
                if (seen.isEmpty() || seen.last() != transport)
                    seen << transport;
            }
            QCOMPARE(seen.join('|'), setups);
        }
    }

    // A station's now-playing title (ICY StreamTitle) shows in the status
    // line and its tooltip, and follows the station's changes.
    void radio_showsItsChangingTitle()
    {
        QVERIFY2(!need(Server::Mp3WithTitles).isEmpty(), "the server did not start");
        const QString title = QStringLiteral("Afspelen: Kijkraam testradio - Nummer ");
        QElapsedTimer clock;
        clock.start();
        m_player->setURL(addressFor(Server::Mp3WithTitles, QString()));
        QTRY_VERIFY2_WITH_TIMEOUT(m_player->statusText().startsWith(title), qPrintable(m_player->statusText()),
                                  PlayWithinMs);
        qInfo("title shown after %lld ms: %s", clock.elapsed(), qPrintable(m_player->statusText()));
        const QString first = m_player->statusText();
        QCOMPARE(m_player->toolTip(), first);
        QTRY_VERIFY2_WITH_TIMEOUT(m_player->statusText() != first, qPrintable(m_player->statusText()), 10000);
        QVERIFY2(m_player->statusText().startsWith(title), qPrintable(m_player->statusText()));
        QCOMPARE(m_player->toolTip(), m_player->statusText());
        QCOMPARE(m_player->playState(), 3);
    }

    // An adaptive stream plays the variant that fits the player: the smallest
    // whose picture covers the video area, the largest where none does; it
    // switches up in full screen and back down after. `small`, `large`: what
    // the server's log shows of the variant's segments.
    void adaptiveStream_fitsThePlayer_data()
    {
        QTest::addColumn<Server>("server");
        QTest::addColumn<int>("offered");
        QTest::addColumn<QByteArray>("small"); // in a 300x230 video area
        QTest::addColumn<QByteArray>("large"); // full screen, 1920x1080
        QTest::newRow("HLS master, three variants")
            << Server::Variants << 0 << QByteArray("/v0/seg_") << QByteArray("/v2/seg_");
        QTest::newRow("HLS master without RESOLUTION (bandwidth)")
            << Server::Variants << 1 << QByteArray("/v0/seg_") << QByteArray("/v2/seg_");
        QTest::newRow("live DASH, two video representations")
            << Server::Dash << 0 << QByteArray("/chunk-stream0-") << QByteArray("/chunk-stream1-");
    }
    void adaptiveStream_fitsThePlayer()
    {
        QFETCH(Server, server);
        QFETCH(int, offered);
        QFETCH(QByteArray, small);
        QFETCH(QByteArray, large);
        QVERIFY2(!need(server).isEmpty(), "the server did not start");
        const TestServers::Kind kind = kindOf(server);
        m_window->resize(300, 230 + m_player->height() - m_player->videoSurface()->height());
        QTRY_COMPARE(m_player->videoSurface()->size(), QSize(300, 230));
        QElapsedTimer clock;
        clock.start();
        m_player->setURL(m_servers.addresses(kind).value(offered));
        QTRY_COMPARE_WITH_TIMEOUT(m_player->playState(), 3, PlayWithinMs);
        QTRY_VERIFY_WITH_TIMEOUT(litShare(frameOf(m_player)) > 0.005, PlayWithinMs);
        qInfo("first picture after %lld ms, status %s", clock.elapsed(), qPrintable(m_player->statusText()));
        // What the last few seconds fetched: one variant's segments.
        const auto segmentsSince = [&](int from, const QByteArray &other) {
            QByteArrayList seen;
            for (const QByteArray &r : requestsIn(m_servers.log(kind), from))
                if (r.contains(small) || r.contains(large) || r.contains(other))
                    seen << r;
            return seen;
        };
        const QByteArray middle = server == Server::Dash ? QByteArray("/chunk-stream9-") : QByteArray("/v1/seg_");
        QTest::qWait(3000);
        int mark = requestsIn(m_servers.log(kind)).size();
        QTest::qWait(5000);
        QByteArrayList seen = segmentsSince(mark, middle);
        QVERIFY2(!seen.isEmpty() && countOf(seen, small) == seen.size(), seen.join(' ').constData());

        clock.restart();
        m_player->setFullScreen(true);
        QTRY_VERIFY_WITH_TIMEOUT(countOf(segmentsSince(mark, middle), large) >= 2, 20000);
        qInfo("full screen: %s segments %lld ms after, status %s", large.constData(), clock.elapsed(),
              qPrintable(m_player->statusText()));
        QCOMPARE(m_player->playState(), 3);
        QTest::qWait(2000);
        mark = requestsIn(m_servers.log(kind)).size();
        QTest::qWait(3000);
        seen = segmentsSince(mark, middle);
        QVERIFY2(!seen.isEmpty() && countOf(seen, large) == seen.size(), seen.join(' ').constData());
        const QImage first = frameOf(m_player);
        QTRY_VERIFY_WITH_TIMEOUT(frameOf(m_player) != first, 10000);

        m_player->setFullScreen(false);
        mark = requestsIn(m_servers.log(kind)).size();
        QTRY_VERIFY_WITH_TIMEOUT(countOf(segmentsSince(mark, middle), small) >= 2, 20000);
        QCOMPARE(m_player->playState(), 3);
    }

    // A web page that does not play says why: yt-dlp missing, or a page
    // whose video is a file on this computer (network-only).
    void webPage_thatCannotPlay_saysWhy_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<bool>("withYtDlp");
        QTest::addColumn<QString>("status");
        QTest::newRow("without yt-dlp") << "/page.html" << false << "Kan niet openen: yt-dlp is nodig voor webpagina's";
        QTest::newRow("a page naming a local file") << "/local.html" << true << "Kan niet openen: ";
    }
    void webPage_thatCannotPlay_saysWhy()
    {
        QFETCH(QString, page);
        QFETCH(bool, withYtDlp);
        QFETCH(QString, status);
        QVERIFY2(!need(Server::Page).isEmpty(), "the server did not start");
        const QByteArray path = qgetenv("PATH");
        QTemporaryDir empty;
        if (!withYtDlp)
            qputenv("PATH", empty.path().toLocal8Bit()); // no yt-dlp to be found
        QSignalSpy states(m_player, &WindowsMediaPlayer::playStateChanged);
        m_player->setURL(QUrl(m_servers.addresses(TestServers::VideoPage).value(0)).resolved(QUrl(page)).toString());
        QTRY_COMPARE_WITH_TIMEOUT(m_player->playState(), int(PlayState::Ready), PlayWithinMs);
        qputenv("PATH", path);
        qInfo("status %s", qPrintable(m_player->statusText()));
        QVERIFY2(m_player->statusText().startsWith(status), qPrintable(m_player->statusText()));
        QVERIFY(!statesOf(states).contains(3));
    }

    void liveStreams_comeBackWithoutAClick_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("which"); // of the server's addresses
        QTest::newRow("RTSP camera") << int(TestServers::Rtsp) << 0;
        QTest::newRow("Windows Media: mms://") << int(TestServers::WindowsMediaStream) << 0;
    }
    void liveStreams_comeBackWithoutAClick()
    {
        QFETCH(int, kind);
        QFETCH(int, which);
        const auto k = TestServers::Kind(kind);
        m_hls.reset();
        for (TestServers::Kind other : TestServers::AllKinds)
            if (other != k)
                m_servers.stop(other);
        QVERIFY(!m_servers.start(k).isEmpty());
        const QString address = m_servers.addresses(k).value(which);
        const int port = QUrl(address).port();
        m_player->setURL(address);
        QTRY_COMPARE_WITH_TIMEOUT(m_player->playState(), 3, PlayWithinMs);
        QTest::qWait(4000); // long enough to tell a live stream from a file
        QSignalSpy states(m_player, &WindowsMediaPlayer::playStateChanged);
        m_servers.stop(k);
        // Dropped, not ended: reconnecting, and saying so.
        QTRY_VERIFY2_WITH_TIMEOUT(statesOf(states).contains(int(PlayState::Reconnecting)),
                                  qPrintable(m_player->statusText()), 30000);
        QVERIFY(!statesOf(states).contains(int(PlayState::MediaEnded)));
        QVERIFY2(m_player->statusText().startsWith(QStringLiteral("Verbinding verbroken")),
                 qPrintable(m_player->statusText()));
        // The same server back on the same port: playing again by itself.
        QVERIFY(!m_servers.start(k, port).isEmpty());
        QElapsedTimer clock;
        clock.start();
        QTRY_COMPARE_WITH_TIMEOUT(m_player->playState(), 3, 60000);
        QTRY_VERIFY_WITH_TIMEOUT(litShare(frameOf(m_player)) > 0.005, 10000);
        qInfo("back %lld ms after the server  %s", clock.elapsed(), qPrintable(address));
    }

    void untrustedCertificate_refusedUntilTrusted_data()
    {
        QTest::addColumn<int>("which"); // of the server's addresses
        QTest::newRow("segments on a self-signed host behind a trusted playlist (the hosts it names are looked at)")
            << 0;
        QTest::newRow("the self-signed host's own playlist (the program's first look)") << 1;
    }
    void untrustedCertificate_refusedUntilTrusted()
    {
        QFETCH(int, which);
        QVERIFY2(!need(Server::Https).isEmpty(), "the server did not start");
        const QStringList offered = m_servers.addresses(TestServers::HlsOverHttps);
        const QString host = CertificateTrust::hostOf(QUrl(offered.value(1))); // the media host
        const QString refused = QStringLiteral("Certificaat niet vertrouwd: ") + host;
        QFile::remove(CertificateStore::trustFilePath());
        QSignalSpy states(m_player, &WindowsMediaPlayer::playStateChanged);
        // First a self-signed certificate, then another one in its place: asked again.
        for (int round = 0; round < 2; ++round) {
            QVERIFY(makeCertificate(m_files.path(), QStringLiteral("media"), true));
            const QString fingerprint = fingerprintOf(m_files.filePath(QStringLiteral("media.pem")));
            states.clear();
            if (round == 0) {
                m_player->setURL(offered.value(which));
            } else {
                m_player->controls.stop();
                m_player->controls.play();
            }
            QTRY_VERIFY2_WITH_TIMEOUT(m_player->statusText().endsWith(refused), qPrintable(m_player->statusText()),
                                      PlayWithinMs);
            QVERIFY(!statesOf(states).contains(3));
            // Trusted from the menu, after its fingerprint was shown: it plays.
            QVERIFY(chooseFromMenu(m_player, QStringLiteral("trustCertificateAction")));
            QMessageBox *dialog = nullptr;
            QTRY_VERIFY((dialog = m_player->findChild<QMessageBox *>(QStringLiteral("certificateDialog"))));
            QVERIFY2(dialog->text().contains(fingerprint), qPrintable(dialog->text()));
            named<QPushButton>(dialog, QStringLiteral("trustButton"))->click();
            QTRY_COMPARE_WITH_TIMEOUT(m_player->playState(), 3, PlayWithinMs);
            QTRY_VERIFY_WITH_TIMEOUT(litShare(frameOf(m_player)) > 0.005, PlayWithinMs);
            QFile trust(CertificateStore::trustFilePath());
            QVERIFY(trust.open(QIODevice::ReadOnly));
            QCOMPARE(trust.readAll(), (host + QLatin1Char(' ') + fingerprint + QLatin1Char('\n')).toLatin1());
        }
        // Put back what the other rows expect of the media host.
        QVERIFY(makeCertificate(m_files.path(), QStringLiteral("media"), false));
    }

    void untrustedCertificate_decoderRefusesWhatTheProgramDidNotSee()
    {
        // The program looks at the master playlist, not at its variant,
        // whose segments are on the self-signed host: the decoder refuses them.
        QVERIFY2(!need(Server::Https).isEmpty(), "the server did not start");
        QVERIFY(makeCertificate(m_files.path(), QStringLiteral("media"), true));
        QFile::remove(CertificateStore::trustFilePath());
        const QStringList offered = m_servers.addresses(TestServers::HlsOverHttps);
        QSignalSpy states(m_player, &WindowsMediaPlayer::playStateChanged);
        m_player->setURL(offered.value(2));
        QTest::qWait(10000); // a stream that plays shows its picture in about 2 s
        QVERIFY2(!statesOf(states).contains(3), qPrintable(m_player->statusText()));
        QVERIFY(litShare(frameOf(m_player)) < 0.005);
        // Trusted: the decoder takes it at the next open.
        const QList<QSslCertificate> media = QSslCertificate::fromPath(m_files.filePath(QStringLiteral("media.pem")));
        QVERIFY(CertificateStore::trust(CertificateTrust::hostOf(QUrl(offered.value(1))), media.value(0)));
        m_player->controls.stop();
        m_player->controls.play();
        QTRY_COMPARE_WITH_TIMEOUT(m_player->playState(), 3, PlayWithinMs);
        QVERIFY(makeCertificate(m_files.path(), QStringLiteral("media"), false));
    }
};

KIJKRAAM_GUI_TEST_MAIN(TestCompat)
#include "tst_compat.moc"
