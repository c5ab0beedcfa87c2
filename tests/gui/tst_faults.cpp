// Real players against the demo server's live streams and its fault
// switches: the program survives, says what went wrong, keeps its event
// loop answering, and plays again once the stream is back.
#include "DemoServer.h"
#include "TestEnv.h"
#include "TestServers.h"

#include "player/SessionClock.h"
#include "player/WindowsMediaPlayer.h"

#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QSignalSpy>

namespace {
// Measures the longest pause of the event loop while it runs.
class LoopWatch : public QObject {
public:
    LoopWatch()
    {
        m_clock.start();
        m_timer.setInterval(20);
        QObject::connect(&m_timer, &QTimer::timeout, this, [this] {
            m_longest = qMax(m_longest, m_clock.restart());
        });
        m_timer.start();
    }
    qint64 longestMs() const { return m_longest; }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_longest = 0;
};

QList<int> statesOf(const QSignalSpy &spy)
{
    QList<int> list;
    for (const auto &s : spy)
        list << s.first().toInt();
    return list;
}
} // namespace

class TestFaults : public QObject {
    Q_OBJECT
    TestServers m_hostile;
    std::unique_ptr<DemoServer> m_server;
    std::unique_ptr<QWidget> m_window;
    WindowsMediaPlayer *m_players[2] = {};

private slots:
    void initTestCase()
    {
        // A stall shows sooner than in the program (restored in cleanupTestCase).
        SessionTiming timing;
        timing.stallTimeoutMs = 6000;
        SessionTiming::setForPlayers(timing);
        m_server = std::make_unique<DemoServer>(
            QStringList{QStringLiteral("--slots"), QStringLiteral("1"), QStringLiteral("--size"), QStringLiteral("320x180")});
        QVERIFY(m_server->isRunning());
        m_window = std::make_unique<QWidget>();
        m_window->resize(640, 260);
        auto *layout = new QHBoxLayout(m_window.get());
        for (auto *&p : m_players) {
            p = new WindowsMediaPlayer(m_window.get());
            layout->addWidget(p);
        }
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }
    void cleanupTestCase()
    {
        m_window.reset();
        m_server.reset();
        m_hostile.stopAll();
        SessionTiming::setForPlayers(SessionTiming());
    }
    void init() { m_server->setFault(QStringLiteral("/"), QStringLiteral("ok")); }

    void builtInPlaylist_playsInTwoViewersAtOnce()
    {
        for (auto *p : m_players)
            p->setURL(m_server->url(QStringLiteral("/kwa/KR5/KR1.asx")));
        for (auto *p : m_players)
            QTRY_COMPARE_WITH_TIMEOUT(p->playState(), 3, 30000);
    }

    void stalledStream_reconnectsAndPlaysAgain()
    {
        WindowsMediaPlayer *p = m_players[0];
        p->setURL(m_server->url(QStringLiteral("/kwa/KR5/KR1.asx")));
        QTRY_COMPARE_WITH_TIMEOUT(p->playState(), 3, 30000);
        QSignalSpy states(p, &WindowsMediaPlayer::playStateChanged);
        LoopWatch watch;
        QVERIFY(m_server->setFault(QStringLiteral("/live/1/"), QStringLiteral("stall")));
        QTRY_VERIFY2_WITH_TIMEOUT(statesOf(states).contains(WindowsMediaPlayer::Reconnecting),
                                  qPrintable(p->statusText()), 40000);
        QVERIFY2(p->statusText().startsWith(QStringLiteral("Verbinding verbroken")), qPrintable(p->statusText()));
        QVERIFY2(watch.longestMs() < 1000, qPrintable(QString::number(watch.longestMs())));
        QVERIFY(m_server->setFault(QStringLiteral("/live/1/"), QStringLiteral("ok")));
        QTRY_COMPARE_WITH_TIMEOUT(p->playState(), 3, 60000);
        QVERIFY2(watch.longestMs() < 1000, qPrintable(QString::number(watch.longestMs())));
    }

    void droppedConnections_troubleShownThenPlayingAgain()
    {
        // Every request of the live stream is cut off half way. The stream's
        // own segments come in pieces: the player shows that it waits
        // (buffering) or reconnects, and plays again once the cuts stop.
        WindowsMediaPlayer *p = m_players[1];
        p->setURL(m_server->url(QStringLiteral("/kwa/KR5/KR1.asx")));
        QTRY_COMPARE_WITH_TIMEOUT(p->playState(), 3, 30000);
        QSignalSpy states(p, &WindowsMediaPlayer::playStateChanged);
        QSignalSpy texts(p, &WindowsMediaPlayer::statusChanged);
        QVERIFY(m_server->setFault(QStringLiteral("/live/1/"), QStringLiteral("drop")));
        QTRY_VERIFY2_WITH_TIMEOUT(statesOf(states).contains(WindowsMediaPlayer::Reconnecting)
                                      || statesOf(states).contains(WindowsMediaPlayer::Buffering),
                                  qPrintable(p->statusText()), 40000);
        bool told = false;
        for (const auto &t : texts) {
            const QString text = t.first().toString();
            told = told || text.startsWith(QStringLiteral("Bufferen")) || text.startsWith(QStringLiteral("Verbinding verbroken"));
        }
        QVERIFY(told);
        QVERIFY(m_server->setFault(QStringLiteral("/live/1/"), QStringLiteral("ok")));
        QTRY_COMPARE_WITH_TIMEOUT(p->playState(), 3, 60000);
    }

    void serverRestart_streamComesBackWithoutAClick()
    {
        WindowsMediaPlayer *p = m_players[0];
        p->setURL(m_server->url(QStringLiteral("/kwa/KR5/KR1.asx")));
        QTRY_COMPARE_WITH_TIMEOUT(p->playState(), 3, 30000);
        QSignalSpy states(p, &WindowsMediaPlayer::playStateChanged);
        m_server->stop();
        QTRY_VERIFY2_WITH_TIMEOUT(statesOf(states).contains(WindowsMediaPlayer::Reconnecting),
                                  qPrintable(p->statusText()), 40000);
        QVERIFY(m_server->restart());
        QTRY_COMPARE_WITH_TIMEOUT(p->playState(), 3, 90000);
    }

    void badAnswers_sayWhyAndAreNotRetried_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("reason");
        QTest::newRow("404") << QStringLiteral("404") << QStringLiteral("404");
        // Random bytes where the playlist should be: handed to the decoder, which cannot read them.
        QTest::newRow("garbage") << QStringLiteral("garbage") << QStringLiteral("unrecognized file format");
    }
    void badAnswers_sayWhyAndAreNotRetried()
    {
        QFETCH(QString, mode);
        QFETCH(QString, reason);
        WindowsMediaPlayer *p = m_players[1];
        QVERIFY(m_server->setFault(QStringLiteral("/kwa/KR5/KR1.asx"), mode));
        QSignalSpy states(p, &WindowsMediaPlayer::playStateChanged);
        p->setURL(m_server->url(QStringLiteral("/kwa/KR5/KR1.asx")));
        QTRY_COMPARE_WITH_TIMEOUT(p->playState(), int(WindowsMediaPlayer::Ready), 40000);
        QVERIFY2(p->statusText().startsWith(QStringLiteral("Kan niet openen: ")), qPrintable(p->statusText()));
        QVERIFY2(p->statusText().contains(reason), qPrintable(p->statusText()));
        // (That no retry follows later is the session's rule, tested in tst_streamsession.)
        QVERIFY(!statesOf(states).contains(3) && !statesOf(states).contains(WindowsMediaPlayer::Reconnecting));
        // "play" tries again, and the healed server answers.
        QVERIFY(m_server->setFault(QStringLiteral("/kwa/KR5/KR1.asx"), QStringLiteral("ok")));
        p->controls.play();
        QTRY_COMPARE_WITH_TIMEOUT(p->playState(), 3, 30000);
    }

    // Answers of the MPEG-TS test server's hostile paths (TestServers::addresses).
    void hostileAnswers_data()
    {
        QTest::addColumn<int>("which");
        QTest::addColumn<QString>("status"); // "Afspelen", or how the failure starts
        QTest::addColumn<int>("withinMs");
        QTest::newRow("[Reference] naming an ASX over http") << 4 << "Afspelen" << 30000;
        QTest::newRow("headers without end")
            << 5 << "Kan niet openen: de kopregels van de server houden niet op" << 12000;
        QTest::newRow("a 404 whose body does not end") << 6 << "Kan niet openen: HTTP 404" << 5000;
    }
    void hostileAnswers()
    {
        QFETCH(int, which);
        QFETCH(QString, status);
        QFETCH(int, withinMs);
        QVERIFY(!m_hostile.start(TestServers::MpegTsOverHttp).isEmpty());
        WindowsMediaPlayer *p = m_players[0];
        LoopWatch watch;
        QElapsedTimer clock;
        clock.start();
        p->setURL(m_hostile.addresses(TestServers::MpegTsOverHttp).value(which));
        const int until = status == QLatin1String("Afspelen") ? 3 : int(WindowsMediaPlayer::Ready);
        QTRY_COMPARE_WITH_TIMEOUT(p->playState(), until, withinMs);
        qInfo("%s after %lld ms", qPrintable(p->statusText()), clock.elapsed());
        QVERIFY2(p->statusText().startsWith(status), qPrintable(p->statusText()));
        QVERIFY2(watch.longestMs() < 1000, qPrintable(QString::number(watch.longestMs())));
        if (which == 6) {
            // The player hung up after the first bytes: what the server got
            // out is what the sockets' buffers held, not a growing body.
            QTRY_VERIFY_WITH_TIMEOUT(m_hostile.log(TestServers::MpegTsOverHttp).contains("404 body: "), 5000);
            const QByteArray log = m_hostile.log(TestServers::MpegTsOverHttp);
            const qint64 sent = log.mid(log.indexOf("404 body: ") + 10).split(' ').value(0).toLongLong();
            qInfo("the server got %lld bytes of the body out", sent);
            QVERIFY2(sent < 16 * 1024 * 1024, qPrintable(QString::number(sent)));
        }
        p->controls.stop();
    }

    void tricklingPlaylist_stillPlays()
    {
        WindowsMediaPlayer *p = m_players[0];
        QVERIFY(m_server->setFault(QStringLiteral("/kwa/KR5/KR1.asx"), QStringLiteral("trickle")));
        LoopWatch watch;
        p->setURL(m_server->url(QStringLiteral("/kwa/KR5/KR1.asx")));
        QTRY_COMPARE_WITH_TIMEOUT(p->playState(), 3, 40000);
        QVERIFY(watch.longestMs() < 1000);
    }
};

KIJKRAAM_GUI_TEST_MAIN(TestFaults)
#include "tst_faults.moc"
