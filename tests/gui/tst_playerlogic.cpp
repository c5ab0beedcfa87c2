// The player's own logic on a decoder that plays nothing: play states,
// playlists entry by entry, and getting a dropped live stream back.
#include "FakeBackend.h"
#include "TestEnv.h"

#include "player/WindowsMediaPlayer.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

namespace {
QString writeFile(const QTemporaryDir &dir, const QString &name, const QByteArray &data)
{
    QFile f(dir.filePath(name));
    if (f.open(QIODevice::WriteOnly))
        f.write(data);
    return QUrl::fromLocalFile(dir.filePath(name)).toString();
}
QStringList opens(FakeBackend *b)
{
    QStringList list;
    for (const QString &c : b->calls)
        if (c.startsWith(QLatin1String("open ")))
            list << c.mid(5);
    return list;
}
} // namespace

class TestPlayerLogic : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void initTestCase() { FakeBackend::install(); }
    void cleanupTestCase() { FakeBackend::uninstall(); }

    void playStates_followTheControls()
    {
        WindowsMediaPlayer player;
        FakeBackend *b = FakeBackend::of(&player);
        QSignalSpy states(&player, &WindowsMediaPlayer::playStateChanged);
        QCOMPARE(player.playState(), 0);
        player.setProperty("autoStart", false);
        player.setURL(QStringLiteral("rtsp://127.0.0.1:9/a"));
        QCOMPARE(player.playState(), int(WindowsMediaPlayer::Ready));
        QVERIFY(opens(b).isEmpty());
        player.controls.play();
        QCOMPARE(opens(b), QStringList{QStringLiteral("rtsp://127.0.0.1:9/a")});
        QCOMPARE(player.playState(), int(WindowsMediaPlayer::Transitioning));
        player.controls.play(); // already opening: no second open
        QCOMPARE(opens(b).size(), 1);
        b->reachPlaying();
        QCOMPARE(player.playState(), 3);
        player.controls.pause();
        QCOMPARE(player.playState(), int(WindowsMediaPlayer::Paused));
        player.controls.play();
        QCOMPARE(player.playState(), 3);
        QCOMPARE(opens(b).size(), 1); // resumed, not reopened
        player.controls.stop();
        QCOMPARE(player.playState(), int(WindowsMediaPlayer::Stopped));
        QCOMPARE(b->calls.last(), QStringLiteral("stop"));
        b->reachPlaying(); // late news from the decoder after a stop is ignored
        QCOMPARE(player.playState(), int(WindowsMediaPlayer::Stopped));
        player.controls.play();
        QCOMPARE(opens(b).size(), 2);
        player.close();
        QCOMPARE(player.playState(), 0);
        QCOMPARE(player.statusText(), QStringLiteral("Gesloten"));
        // Every state change was announced once, in order.
        QList<int> seen;
        for (const auto &s : states)
            seen << s.first().toInt();
        QCOMPARE(seen, (QList<int>{10, 9, 3, 2, 3, 1, 9, 0}));
    }

    void playlist_refsInTurnThenEntriesInOrder()
    {
        const QString list = writeFile(m_dir, QStringLiteral("two.asx"),
            "<asx version=\"3.0\"><entry><ref href=\"rtsp://127.0.0.1:9/a1\"/><ref href=\"rtsp://127.0.0.1:9/a2\"/></entry>"
            "<entry><ref href=\"rtsp://127.0.0.1:9/b1\"/></entry></asx>");
        WindowsMediaPlayer player;
        FakeBackend *b = FakeBackend::of(&player);
        player.setURL(list);
        QTRY_COMPARE(opens(b), QStringList{QStringLiteral("rtsp://127.0.0.1:9/a1")});
        b->end(true, QStringLiteral("connection refused"));
        QCOMPARE(opens(b).last(), QStringLiteral("rtsp://127.0.0.1:9/a2"));
        QCOMPARE(player.playState(), int(WindowsMediaPlayer::Transitioning));
        b->reachPlaying();
        // A file with a known end that reached it: the next entry follows.
        emit b->timeChanged(59.5, 60.0, true);
        b->end(false);
        QCOMPARE(opens(b).last(), QStringLiteral("rtsp://127.0.0.1:9/b1"));
        b->reachPlaying();
        emit b->timeChanged(10.0, 10.0, true);
        b->end(false);
        QCOMPARE(player.playState(), int(WindowsMediaPlayer::Stopped));
        QCOMPARE(player.statusText(), QStringLiteral("Afgelopen"));
        QCOMPARE(opens(b).size(), 3);
    }

    void playlist_loopsAndDepthEndInAReason()
    {
        // a -> b -> a
        const QString a = writeFile(m_dir, QStringLiteral("a.asx"), "<asx><entryref href=\"b.asx\"/></asx>");
        writeFile(m_dir, QStringLiteral("b.asx"), "<asx><entryref href=\"a.asx\"/></asx>");
        WindowsMediaPlayer player;
        FakeBackend *b = FakeBackend::of(&player);
        player.setURL(a);
        QTRY_COMPARE(player.playState(), int(WindowsMediaPlayer::Ready));
        QCOMPARE(player.statusText(), QStringLiteral("Kan niet openen: afspeellijst verwijst naar zichzelf"));
        QVERIFY(opens(b).isEmpty());

        // A chain of eight nested playlists: five levels are followed, no more.
        for (int i = 0; i < 8; ++i)
            writeFile(m_dir, QStringLiteral("n%1.asx").arg(i),
                      QStringLiteral("<asx><entryref href=\"n%1.asx\"/><entry><ref href=\"rtsp://127.0.0.1:9/level%2\"/></entry></asx>")
                          .arg(i + 1).arg(i).toUtf8());
        player.setURL(QUrl::fromLocalFile(m_dir.filePath(QStringLiteral("n0.asx"))).toString());
        QTRY_VERIFY(!opens(b).isEmpty());
        // The deepest entry reached first is that of the fifth nested playlist.
        QCOMPARE(opens(b).first(), QStringLiteral("rtsp://127.0.0.1:9/level5"));

        // Something named like a playlist that is media is opened once, not fetched forever.
        const int before = opens(b).size();
        player.setURL(writeFile(m_dir, QStringLiteral("notalist.asx"), QByteArray(300, 'x')));
        QTRY_COMPARE(opens(b).size(), before + 1);
        QCOMPARE(opens(b).last(), m_dir.filePath(QStringLiteral("notalist.asx")));
        QTest::qWait(300);
        QCOMPARE(opens(b).size(), before + 1);

        // Malformed and empty playlists say so.
        player.setURL(writeFile(m_dir, QStringLiteral("empty.asx"), "<asx version=3></asx>"));
        QTRY_COMPARE(player.statusText(), QStringLiteral("Kan niet openen: lege afspeellijst"));
        player.setURL(writeFile(m_dir, QStringLiteral("missing.wmv"), QByteArray()) + QStringLiteral(".nothere"));
        QTRY_VERIFY(player.statusText().startsWith(QStringLiteral("Kan niet openen: ")));
    }

    void droppedLiveStream_reconnectsWithGrowingPauses()
    {
        QCOMPARE(WindowsMediaPlayer::reconnectDelayMs(1), 1000);
        QCOMPARE(WindowsMediaPlayer::reconnectDelayMs(2), 2000);
        QCOMPARE(WindowsMediaPlayer::reconnectDelayMs(5), 16000);
        QCOMPARE(WindowsMediaPlayer::reconnectDelayMs(6), 30000);
        QCOMPARE(WindowsMediaPlayer::reconnectDelayMs(60), 30000);

        WindowsMediaPlayer player;
        FakeBackend *b = FakeBackend::of(&player);
        player.setURL(QStringLiteral("rtsp://127.0.0.1:9/live"));
        b->reachPlaying();
        // A live stream (no known end) that ends was dropped.
        b->end(false);
        QCOMPARE(player.playState(), int(WindowsMediaPlayer::Reconnecting));
        QVERIFY(player.statusText().startsWith(QStringLiteral("Verbinding verbroken")));
        QCOMPARE(opens(b).size(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(opens(b).size(), 2, 3000);
        QCOMPARE(player.playState(), int(WindowsMediaPlayer::Reconnecting));
        b->end(true, QStringLiteral("connection refused")); // still gone: wait longer
        QVERIFY(player.statusText().contains(QStringLiteral("2 s")));
        QTest::qWait(1200);
        QCOMPARE(opens(b).size(), 2);
        QTRY_COMPARE_WITH_TIMEOUT(opens(b).size(), 3, 3000);
        b->reachPlaying(); // back
        QCOMPARE(player.playState(), 3);
        b->end(true, QStringLiteral("network error"));
        QVERIFY(player.statusText().contains(QStringLiteral("1 s"))); // pauses start again
        // close ends every retry at once.
        player.close();
        QTest::qWait(1500);
        QCOMPARE(opens(b).size(), 3);
        QCOMPARE(player.playState(), 0);
    }

    void stalledStream_countsAsDroppedAfterTheTimeout()
    {
        const int saved = WindowsMediaPlayer::stallTimeoutMs();
        WindowsMediaPlayer::setStallTimeoutMs(300);
        WindowsMediaPlayer player;
        FakeBackend *b = FakeBackend::of(&player);
        player.setURL(QStringLiteral("rtsp://127.0.0.1:9/live"));
        b->reach(PlayerBackend::Phase::Buffering, 0); // still opening: no watchdog yet
        QTest::qWait(500);
        QCOMPARE(player.playState(), int(WindowsMediaPlayer::Buffering));
        b->reachPlaying();
        b->reach(PlayerBackend::Phase::Buffering, 10);
        QTest::qWait(150);
        b->reachPlaying(); // data came back in time
        QTest::qWait(300);
        QCOMPARE(player.playState(), 3);
        b->reach(PlayerBackend::Phase::Buffering, 10);
        QTRY_COMPARE_WITH_TIMEOUT(player.playState(), int(WindowsMediaPlayer::Reconnecting), 2000);
        QCOMPARE(b->calls.last(), QStringLiteral("stop"));
        QTRY_COMPARE_WITH_TIMEOUT(opens(b).size(), 2, 3000);
        WindowsMediaPlayer::setStallTimeoutMs(saved);
    }

    void neverOpened_isNotRetried()
    {
        WindowsMediaPlayer player;
        FakeBackend *b = FakeBackend::of(&player);
        player.setURL(QStringLiteral("rtsp://127.0.0.1:9/never"));
        b->end(true, QStringLiteral("Connection refused"));
        QCOMPARE(player.playState(), int(WindowsMediaPlayer::Ready));
        QCOMPARE(player.statusText(), QStringLiteral("Kan niet openen: Connection refused"));
        QTest::qWait(1500);
        QCOMPARE(opens(b).size(), 1);
        player.controls.play(); // the user tries again
        QCOMPARE(opens(b).size(), 2);
    }

    void designSettings_reachTheDecoder()
    {
        WindowsMediaPlayer player;
        FakeBackend *b = FakeBackend::of(&player);
        QCOMPARE(player.volume(), 50);
        QCOMPARE(b->volume_, 50);
        QVERIFY(!player.stretchToFit());
        player.setStretchToFit(true);
        QVERIFY(b->stretch_);
        player.setMute(true);
        QVERIFY(b->mute_);
        QCOMPARE(player.property("uiMode").toString(), QStringLiteral("full"));
        QVERIFY(player.findChild<QWidget *>(QStringLiteral("transportBar"))->isVisibleTo(&player));
        player.setUiMode(QStringLiteral("none"));
        QVERIFY(!player.findChild<QWidget *>(QStringLiteral("transportBar"))->isVisibleTo(&player));
        player.placeTw(4200, 3720, 4215, 3615);
        QCOMPARE(player.geometry(), QRect(280, 248, 281, 241));
        player.setWidth(4215 + 500);
        QCOMPARE(player.Width(), 4715.0);
        QCOMPARE(player.width(), 314);
    }
};

KIJKRAAM_GUI_TEST_MAIN(TestPlayerLogic)
#include "tst_playerlogic.moc"
