// The playback rules of one player without a display and without waiting:
// a clock of the test's own runs time-outs and reconnection pauses, a fake
// decoder says what happens, and a fake fetcher hands out playlist bodies.
#include "FakeBackend.h"

#include "player/PlaylistFetcher.h"
#include "player/StreamSession.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {
// Time that passes only when the test says so.
class ManualClock : public SessionClock {
public:
    qint64 nowMs() const override { return m_now; }
    std::unique_ptr<SessionTimer> makeTimer(std::function<void()> fire) override
    {
        return std::make_unique<Timer>(this, std::move(fire));
    }

    // Let `ms` pass, firing the timers that fall due on the way, in order.
    void advance(qint64 ms)
    {
        const qint64 until = m_now + ms;
        for (;;) {
            Timer *next = nullptr;
            for (Timer *t : std::as_const(m_timers))
                if (t->due >= 0 && t->due <= until && (!next || t->due < next->due))
                    next = t;
            if (!next)
                break;
            m_now = next->due;
            next->due = -1;
            next->fire();
        }
        m_now = until;
    }

private:
    struct Timer : SessionTimer {
        Timer(ManualClock *c, std::function<void()> f) : clock(c), fire(std::move(f)) { clock->m_timers << this; }
        ~Timer() override { clock->m_timers.removeAll(this); }
        void start(int ms) override { due = clock->m_now + ms; }
        void stop() override { due = -1; }
        bool isActive() const override { return due >= 0; }
        ManualClock *clock;
        std::function<void()> fire;
        qint64 due = -1;
    };
    QList<Timer *> m_timers;
    qint64 m_now = 0;
};

// Answers fetches from bodies (or whole answers) the test gives it; an
// address it does not know answers 404.
class FakeSource : public PlaylistSource {
public:
    void fetch(const QUrl &url) override
    {
        fetched << url.toString();
        pending = url;
    }
    void cancel() override { pending.clear(); }

    // Answer the pending fetch and every one that follows from it.
    void answerAll()
    {
        while (!pending.isEmpty()) {
            const QUrl url = pending;
            pending.clear();
            const QString key = url.toString();
            if (answers.contains(key))
                emit answered(answers.value(key));
            else if (bodies.contains(key))
                emit answered(FetchAnswer::fromBody(url, bodies.value(key)));
            else
                emit answered(FetchAnswer::failure(url, QStringLiteral("HTTP 404 Not Found")));
        }
    }

    QMap<QString, QByteArray> bodies;
    QMap<QString, FetchAnswer> answers;
    QStringList fetched;
    QUrl pending;
};

// A session with its fake decoder, fetcher and clock.
struct Rig {
    ManualClock clock;
    FakeBackend engine;
    FakeSource source;
    std::unique_ptr<StreamSession> session;
    QList<int> states;

    explicit Rig(PlaylistSource *fetcher = nullptr)
        : session(std::make_unique<StreamSession>(&engine, fetcher ? fetcher : &source, clock, SessionTiming()))
    {
        QObject::connect(session.get(), &StreamSession::stateChanged, [this](int s) { states << s; });
    }

    QStringList opens() const
    {
        QStringList list;
        for (const QString &c : engine.calls)
            if (c.startsWith(QLatin1String("open ")))
                list << c.mid(5);
        return list;
    }
    void start(const QString &address)
    {
        session->setAddress(address, true);
        source.answerAll();
    }
    // Play for `ms`, the position moving from `from` to `to` seconds.
    void playFor(qint64 ms, double from, double to, double duration, bool seekable)
    {
        for (qint64 t = 0; t <= ms; t += 500) {
            emit engine.timeChanged(from + (to - from) * double(t) / double(qMax<qint64>(ms, 1)), duration, seekable);
            clock.advance(qMin<qint64>(500, ms - t));
        }
    }
    // From playing, the stream ends: after how long must a reconnection try come?
    void dropLiveStream()
    {
        start(QStringLiteral("rtsp://cam/live"));
        engine.reachPlaying();
        playFor(3000, 0, 3, 0, false);
        engine.end(false);
    }
    int state() const { return session->state(); }
    QString status() const { return session->status(); }
};

// A playlist as the reader would give it: ENTRYREFs first, then entries.
FetchAnswer playlistAnswer(const QString &url, const QList<QStringList> &entries, const QStringList &entryRefs = {})
{
    FetchAnswer answer;
    answer.kind = FetchAnswer::Playlist;
    answer.url = QUrl(url);
    answer.playlist.valid = true;
    for (const QStringList &refs : entries) {
        Asx::Item item;
        item.refs = refs;
        answer.playlist.items << item;
    }
    for (const QString &href : entryRefs) {
        Asx::Item item;
        item.kind = Asx::Item::EntryRef;
        item.href = href;
        answer.playlist.items.prepend(item);
    }
    return answer;
}

using Bodies = QMap<QString, QByteArray>;
} // namespace

Q_DECLARE_METATYPE(FetchAnswer)

class TestStreamSession : public QObject {
    Q_OBJECT

private slots:
    void controls_driveThePlayStates()
    {
        Rig rig;
        rig.session->setAddress(QStringLiteral("rtsp://cam/a"), false);
        QCOMPARE(rig.state(), int(PlayStates::Ready));
        QCOMPARE(rig.status(), QStringLiteral("Gereed"));
        QVERIFY(rig.opens().isEmpty());
        rig.session->play();
        QCOMPARE(rig.opens(), QStringList{QStringLiteral("rtsp://cam/a")});
        QCOMPARE(rig.status(), QStringLiteral("Verbinden met cam..."));
        rig.session->play(); // already opening: no second open
        QCOMPARE(rig.opens().size(), 1);
        rig.engine.reach(PlayerBackend::Phase::Buffering, 40);
        QCOMPARE(rig.status(), QStringLiteral("Bufferen: 40%"));
        rig.engine.reachPlaying();
        QCOMPARE(rig.status(), QStringLiteral("Afspelen"));
        rig.session->pause();
        QCOMPARE(rig.status(), QStringLiteral("Gepauzeerd"));
        rig.session->play();
        QCOMPARE(rig.opens().size(), 1); // resumed, not reopened
        rig.session->stop();
        QCOMPARE(rig.status(), QStringLiteral("Gestopt"));
        QCOMPARE(rig.engine.calls.last(), QStringLiteral("stop"));
        rig.engine.reachPlaying(); // late news from the decoder after a stop is ignored
        QCOMPARE(rig.state(), int(PlayStates::Stopped));
        rig.session->play();
        QCOMPARE(rig.opens().size(), 2);
        rig.session->close();
        QCOMPARE(rig.status(), QStringLiteral("Gesloten"));
        rig.session->setAddress(QString(), true);
        QCOMPARE(rig.status(), QStringLiteral("Geen adres"));
        // Every state change was announced once, in order.
        QCOMPARE(rig.states, (QList<int>{10, 9, 6, 3, 2, 3, 1, 9, 0}));
    }

    void playlist_refsInTurnEntriesInOrderThenMediaEnded()
    {
        Rig rig;
        rig.source.bodies[QStringLiteral("http://srv/two.asx")] =
            "<asx version=\"3.0\"><entry><ref href=\"rtsp://srv/a1\"/><ref href=\"rtsp://srv/a2\"/></entry>"
            "<entry><ref href=\"rtsp://srv/b1\"/></entry></asx>";
        rig.start(QStringLiteral("http://srv/two.asx"));
        QCOMPARE(rig.opens(), QStringList{QStringLiteral("rtsp://srv/a1")});
        rig.engine.end(true, QStringLiteral("connection refused"));
        QCOMPARE(rig.opens().last(), QStringLiteral("rtsp://srv/a2"));
        QCOMPARE(rig.state(), int(PlayStates::Transitioning));
        rig.engine.reachPlaying();
        rig.playFor(60000, 0, 59.5, 60, true);
        rig.engine.end(false);
        QCOMPARE(rig.opens().last(), QStringLiteral("rtsp://srv/b1"));
        rig.engine.reachPlaying();
        rig.playFor(10000, 0, 10, 10, true);
        rig.engine.end(false);
        // The end of the playlist: media ended, then stopped.
        QCOMPARE(rig.states.mid(rig.states.size() - 2), (QList<int>{8, 1}));
        QCOMPARE(rig.status(), QStringLiteral("Afgelopen"));
        QCOMPARE(rig.opens().size(), 3);
    }

    void openingTimeout_thenTheNextRef()
    {
        Rig rig;
        rig.source.answers[QStringLiteral("http://srv/l.asx")] = playlistAnswer(
            QStringLiteral("http://srv/l.asx"), {{QStringLiteral("rtsp://srv/silent"), QStringLiteral("rtsp://srv/b")}});
        rig.start(QStringLiteral("http://srv/l.asx"));
        rig.engine.reach(PlayerBackend::Phase::Buffering, 0); // opening, never playing
        rig.clock.advance(25000 - 1);
        QCOMPARE(rig.opens(), QStringList{QStringLiteral("rtsp://srv/silent")});
        rig.clock.advance(1);
        QCOMPARE(rig.opens().last(), QStringLiteral("rtsp://srv/b"));
        QCOMPARE(rig.engine.calls.at(rig.engine.calls.size() - 2), QStringLiteral("stop"));
        rig.clock.advance(25000);
        QCOMPARE(rig.state(), int(PlayStates::Ready));
        QCOMPARE(rig.status(), QStringLiteral("Kan niet openen: geen beeld na 25 s"));
    }

    void endOfAnEntry_droppedOrReallyEnded_data()
    {
        QTest::addColumn<bool>("seekable");
        QTest::addColumn<double>("duration");
        QTest::addColumn<double>("position");
        QTest::addColumn<int>("playedMs");
        QTest::addColumn<bool>("failed");
        QTest::addColumn<bool>("dropped");
        QTest::newRow("live stream ends") << false << 0.0 << 12.0 << 12000 << false << true;
        QTest::newRow("live stream with a growing length") << false << 40.0 << 40.0 << 40000 << false << true;
        QTest::newRow("file at its end") << true << 60.0 << 59.5 << 60000 << false << false;
        QTest::newRow("file stopped half way") << true << 60.0 << 30.0 << 30000 << false << true;
        QTest::newRow("file failed at its end") << true << 60.0 << 59.5 << 60000 << true << true;
        QTest::newRow("length reached far too late") << true << 60.0 << 60.0 << 200000 << false << true;
    }
    void endOfAnEntry_droppedOrReallyEnded()
    {
        QFETCH(bool, seekable);
        QFETCH(double, duration);
        QFETCH(double, position);
        QFETCH(int, playedMs);
        QFETCH(bool, failed);
        QFETCH(bool, dropped);
        Rig rig;
        rig.source.answers[QStringLiteral("http://srv/l.asx")] = playlistAnswer(
            QStringLiteral("http://srv/l.asx"), {{QStringLiteral("rtsp://srv/a")}, {QStringLiteral("rtsp://srv/b")}});
        rig.start(QStringLiteral("http://srv/l.asx"));
        rig.engine.reachPlaying();
        rig.playFor(playedMs, 0, position, duration, seekable);
        rig.engine.end(failed, failed ? QStringLiteral("read error") : QString());
        if (dropped) {
            QCOMPARE(rig.state(), int(PlayStates::Reconnecting));
            QCOMPARE(rig.opens(), QStringList{QStringLiteral("rtsp://srv/a")});
            rig.clock.advance(1000);
            QCOMPARE(rig.opens().last(), QStringLiteral("rtsp://srv/a")); // the same address again
        } else {
            QCOMPARE(rig.opens().last(), QStringLiteral("rtsp://srv/b"));
        }
        QCOMPARE(rig.opens().size(), 2);
    }

    void droppedStream_reconnectsWithGrowingPauses_data()
    {
        QTest::addColumn<bool>("silent");
        QTest::newRow("tries refused") << false;
        QTest::newRow("tries unanswered") << true;
    }
    void droppedStream_reconnectsWithGrowingPauses()
    {
        QFETCH(bool, silent);
        Rig rig;
        rig.dropLiveStream();
        const QList<int> pauses{1, 2, 4, 8, 16, 30, 30, 30};
        for (int attempt = 1; attempt <= pauses.size(); ++attempt) {
            const int pause = pauses[attempt - 1];
            QCOMPARE(rig.state(), int(PlayStates::Reconnecting));
            QCOMPARE(rig.status(), QStringLiteral("Verbinding verbroken; opnieuw verbinden over %1 s (poging %2)")
                                       .arg(pause).arg(attempt));
            const int before = rig.opens().size();
            rig.clock.advance(pause * 1000 - 1);
            QCOMPARE(rig.opens().size(), before);
            rig.clock.advance(1);
            QCOMPARE(rig.opens().size(), before + 1);
            QCOMPARE(rig.state(), int(PlayStates::Reconnecting)); // a try keeps saying so
            if (silent)
                rig.clock.advance(25000);
            else
                rig.engine.end(true, QStringLiteral("connection refused"));
        }
        rig.clock.advance(30000);
        rig.engine.reachPlaying(); // back
        QCOMPARE(rig.state(), int(PlayStates::Playing));
        rig.engine.end(true, QStringLiteral("network error"));
        QVERIFY2(rig.status().contains(QStringLiteral("over 1 s (poging 1)")), qPrintable(rig.status()));
    }

    void neverPlayed_isNotRetried_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("refused");
        QTest::addColumn<QString>("status");
        QTest::newRow("refused") << "rtsp://cam/never" << true << "Kan niet openen: Connection refused";
        QTest::newRow("no picture") << "rtsp://cam/never" << false << "Kan niet openen: geen beeld na 25 s";
        QTest::newRow("no answer") << "http://srv/hangs.asx" << false << "Kan niet openen: geen antwoord na 25 s";
    }
    void neverPlayed_isNotRetried()
    {
        QFETCH(QString, address);
        QFETCH(bool, refused);
        QFETCH(QString, status);
        Rig rig;
        rig.session->setAddress(address, true); // the fetcher never answers
        if (refused)
            rig.engine.end(true, QStringLiteral("Connection refused"));
        else
            rig.clock.advance(25000);
        QCOMPARE(rig.state(), int(PlayStates::Ready));
        QCOMPARE(rig.status(), status);
        const int tries = rig.opens().size() + rig.source.fetched.size();
        QCOMPARE(tries, 1);
        rig.clock.advance(600000);
        QCOMPARE(rig.opens().size() + rig.source.fetched.size(), tries);
        rig.session->play(); // the user tries again
        QCOMPARE(rig.opens().size() + rig.source.fetched.size(), tries + 1);
    }

    void closeStopAndDestruction_endAllRetrying_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<bool>("duringATry");
        for (const char *action : {"close", "stop", "new address", "destroy"}) {
            QTest::addRow("%s while waiting", action) << action << false;
            QTest::addRow("%s during a try", action) << action << true;
        }
    }
    void closeStopAndDestruction_endAllRetrying()
    {
        QFETCH(QString, action);
        QFETCH(bool, duringATry);
        Rig rig;
        rig.dropLiveStream();
        if (duringATry)
            rig.clock.advance(1000);
        QCOMPARE(rig.state(), int(PlayStates::Reconnecting));
        const int opens = rig.opens().size();
        if (action == QLatin1String("close"))
            rig.session->close();
        else if (action == QLatin1String("stop"))
            rig.session->stop();
        else if (action == QLatin1String("new address"))
            rig.session->setAddress(QStringLiteral("rtsp://cam/other"), false);
        else
            rig.session.reset();
        if (rig.session)
            QCOMPARE(rig.state(), action == QLatin1String("close") ? 0 : action == QLatin1String("stop") ? 1 : 10);
        QCOMPARE(rig.engine.calls.last(), QStringLiteral("stop"));
        rig.engine.reachPlaying(); // late news
        rig.engine.end(true, QStringLiteral("gone"));
        rig.clock.advance(600000);
        QCOMPARE(rig.opens().size(), opens);
        if (rig.session)
            QVERIFY(rig.state() != PlayStates::Playing && rig.state() != PlayStates::Reconnecting);
    }

    void stalls_countAsDropsAfterTheTimeout()
    {
        Rig rig;
        rig.start(QStringLiteral("rtsp://cam/live"));
        // Waiting for data before it ever played is opening, not a stall.
        rig.engine.reach(PlayerBackend::Phase::Buffering, 0);
        rig.clock.advance(20000 + 1000);
        QCOMPARE(rig.state(), int(PlayStates::Buffering));
        rig.engine.reachPlaying();
        rig.playFor(2000, 0, 2, 0, false);
        // Data that comes back in time.
        rig.engine.reach(PlayerBackend::Phase::Buffering, 10);
        rig.clock.advance(20000 - 1);
        rig.engine.reachPlaying();
        rig.playFor(30000, 2, 32, 0, false);
        QCOMPARE(rig.state(), int(PlayStates::Playing));
        // A pause is no stall.
        rig.session->pause();
        rig.clock.advance(600000);
        QCOMPARE(rig.state(), int(PlayStates::Paused));
        rig.session->play();
        rig.playFor(2000, 32, 34, 0, false);
        // Waiting too long for data.
        rig.engine.reach(PlayerBackend::Phase::Buffering, 10);
        rig.clock.advance(20000);
        QCOMPARE(rig.state(), int(PlayStates::Reconnecting));
        QCOMPARE(rig.engine.calls.last(), QStringLiteral("stop"));
        rig.clock.advance(1000);
        QCOMPARE(rig.opens().size(), 2);
        // "Playing" with a position that stands still.
        rig.engine.reachPlaying();
        rig.playFor(2000, 0, 2, 0, false);
        rig.clock.advance(20000);
        QCOMPARE(rig.state(), int(PlayStates::Playing));
        rig.clock.advance(1000);
        QCOMPARE(rig.state(), int(PlayStates::Reconnecting));
        QCOMPARE(rig.status(), QStringLiteral("Verbinding verbroken; opnieuw verbinden over 1 s (poging 1)"));
    }

    void nestedPlaylists_data()
    {
        QTest::addColumn<Bodies>("bodies");
        QTest::addColumn<QStringList>("opens");
        QTest::addColumn<QString>("status");
        QTest::addColumn<int>("fetches");

        Bodies deep;
        for (int i = 0; i < 8; ++i)
            deep[QStringLiteral("http://srv/n%1.asx").arg(i)] =
                QStringLiteral("<asx><entryref href=\"n%1.asx\"/><entry><ref href=\"rtsp://srv/level%2\"/></entry></asx>")
                    .arg(i + 1).arg(i).toUtf8();
        QTest::newRow("five levels deep, no more")
            << deep << QStringList{"rtsp://srv/level5"} << "Verbinden met srv..." << 6;
        QTest::newRow("loop") << Bodies{{"http://srv/n0.asx", "<asx><entryref href=\"b.asx\"/></asx>"},
                                        {"http://srv/b.asx", "<asx><entryref href=\"n0.asx\"/></asx>"}}
                              << QStringList() << "Kan niet openen: afspeellijst verwijst naar zichzelf" << 2;
        QTest::newRow("a REF to itself") << Bodies{{"http://srv/n0.asx", "<asx><entry><ref href=\"n0.asx\"/></entry></asx>"}}
                                         << QStringList() << "Kan niet openen: afspeellijst verwijst naar zichzelf" << 1;
        QTest::newRow("a REF to another playlist")
            << Bodies{{"http://srv/n0.asx", "<asx><entry><ref href=\"inner.asx\"/></entry></asx>"},
                      {"http://srv/inner.asx", "<asx><entry><ref href=\"rtsp://srv/inner\"/></entry></asx>"}}
            << QStringList{"rtsp://srv/inner"} << "Verbinden met srv..." << 2;
        QTest::newRow("media named like a playlist")
            << Bodies{{"http://srv/n0.asx", "<asx><entryref href=\"clip.asx\"/></asx>"},
                      {"http://srv/clip.asx", QByteArray(300, 'x')}}
            << QStringList{"http://srv/clip.asx"} << "Verbinden met srv..." << 2;
        QTest::newRow("a missing nested playlist")
            << Bodies{{"http://srv/n0.asx", "<asx><entryref href=\"gone.asx\"/><entry><ref href=\"rtsp://srv/after\"/></entry></asx>"}}
            << QStringList{"rtsp://srv/after"} << "Verbinden met srv..." << 2;
        QTest::newRow("empty") << Bodies{{"http://srv/n0.asx", "<asx version=3></asx>"}}
                               << QStringList() << "Kan niet openen: lege afspeellijst" << 1;
        QTest::newRow("missing") << Bodies() << QStringList() << "Kan niet openen: HTTP 404 Not Found" << 1;
    }
    void nestedPlaylists()
    {
        QFETCH(Bodies, bodies);
        QFETCH(QStringList, opens);
        QFETCH(QString, status);
        QFETCH(int, fetches);
        Rig rig;
        rig.source.bodies = bodies;
        rig.start(QStringLiteral("http://srv/n0.asx"));
        QCOMPARE(rig.opens(), opens);
        QCOMPARE(rig.status(), status);
        QCOMPARE(rig.source.fetched.size(), fetches);
    }

    void unusableReferences_areSkipped_data()
    {
        QTest::addColumn<FetchAnswer>("answer");
        QTest::addColumn<QStringList>("opens");
        QTest::addColumn<QString>("status");
        const QString local = QUrl::fromLocalFile(QStringLiteral("/lists/list.asx")).toString();
        // A BASE that leaves nothing of the address (the reader may drop such a REF or keep it empty).
        QTest::newRow("base that empties the address")
            << FetchAnswer::fromBody(QUrl(local), "<asx><base href=\"//\"><entry><ref href=\"clip.wmv\"></entry>"
                                                  "<entry><ref href=\"rtsp://srv/next\"/></entry></asx>")
            << QStringList{"rtsp://srv/next"} << "Verbinden met srv...";
        QTest::newRow("empty REFs, then one")
            << playlistAnswer(local, {{"", " ", "rtsp://srv/a"}}) << QStringList{"rtsp://srv/a"} << "Verbinden met srv...";
        QTest::newRow("nothing but empty REFs")
            << playlistAnswer(local, {{""}, {" "}}) << QStringList() << "Kan niet openen: geen speelbare stream";
        QTest::newRow("empty ENTRYREF") << playlistAnswer(local, {{"rtsp://srv/a"}}, {""})
                                        << QStringList{"rtsp://srv/a"} << "Verbinden met srv...";
        // A playlist from the network may not lead to local files.
        QTest::newRow("network playlist naming local files")
            << playlistAnswer("http://srv/list.asx", {{"file:///etc/passwd", "/etc/passwd", "rtsp://srv/ok"}},
                              {"file:///lists/other.asx"})
            << QStringList{"rtsp://srv/ok"} << "Verbinden met srv...";
    }
    void unusableReferences_areSkipped()
    {
        QFETCH(FetchAnswer, answer);
        QFETCH(QStringList, opens);
        QFETCH(QString, status);
        Rig rig;
        rig.source.answers[answer.url.toString()] = answer;
        rig.start(answer.url.toString());
        QCOMPARE(rig.opens(), opens);
        QCOMPARE(rig.source.fetched.size(), 1);
        QCOMPARE(rig.status(), status);
        // No state outlasts its time-out.
        rig.clock.advance(25000);
        QVERIFY2(rig.state() != PlayStates::Transitioning && rig.state() != PlayStates::Buffering,
                 qPrintable(rig.status()));
    }

    // Through the real fetcher: playlist files on disk.
    void localPlaylists_throughTheFetcher()
    {
        QTemporaryDir dir;
        auto write = [&dir](const QString &name, const QByteArray &data) {
            QFile f(dir.filePath(name));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(data);
        };
        // Longer than a playlist may be, with a UTF-8 character split at the limit.
        QByteArray big = "<asx><entry><ref href=\"http://srv/media/caf\xC3\xA9.wmv\"/></entry><!-- ";
        big += QByteArray(Asx::MaxPlaylistBytes - 1 - big.size(), 'x') + "\xC3\xA9 -->\r\n</asx>\r\n";
        QCOMPARE(big.at(Asx::MaxPlaylistBytes - 1), '\xC3');
        write(QStringLiteral("big.asx"), big);
        write(QStringLiteral("a.asx"), "<asx><entry><ref href=\"rtsp://srv/a\"/></entry></asx>");
        write(QStringLiteral("b.asx"), "<asx><entry><ref href=\"rtsp://srv/b\"/></entry></asx>");

        PlaylistFetcher fetcher;
        Rig rig(&fetcher);
        rig.session->setAddress(dir.filePath(QStringLiteral("big.asx")), true);
        QTRY_COMPARE(rig.opens(), QStringList{QStringLiteral("http://srv/media/café.wmv")});

        // Only the answer for the last address counts.
        rig.session->setAddress(dir.filePath(QStringLiteral("a.asx")), true);
        rig.session->setAddress(dir.filePath(QStringLiteral("b.asx")), true);
        QTRY_COMPARE(rig.opens().size(), 2);
        QCoreApplication::processEvents();
        QCOMPARE(rig.opens().last(), QStringLiteral("rtsp://srv/b"));
        QCOMPARE(rig.opens().size(), 2);
    }
};

QTEST_GUILESS_MAIN(TestStreamSession)
#include "tst_streamsession.moc"
