// The playback rules of one player without a display and without waiting:
// a clock of the test's own runs time-outs and reconnection pauses, a fake
// decoder says what happens, and a fake fetcher hands out playlist bodies.
#include "FakeBackend.h"

#include "player/PlaylistFetcher.h"
#include "player/PlaylistWalker.h"
#include "player/RtspTransport.h"
#include "player/StreamSession.h"

#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
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
                emit answered(FetchAnswer::fromBody(url, bodies.value(key), said.value(key, ok())));
            else
                emit answered(FetchAnswer::failure(url, QStringLiteral("HTTP 404 Not Found")));
        }
    }

    static ServerAnswer::Answer ok()
    {
        ServerAnswer::Answer answer;
        answer.status = 200;
        return answer;
    }

    QMap<QString, QByteArray> bodies;
    QMap<QString, ServerAnswer::Answer> said; // the status and headers with a body (else a bare 200)
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
        QObject::connect(session.get(), &StreamSession::stateChanged, [this](PlayState s) { states << int(s); });
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
    // Play for `ms`, the position moving from `from` to `to` seconds. A
    // live stream's length may run `lead` seconds ahead of its position.
    void playFor(qint64 ms, double from, double to, double duration, bool seekable, double lead = 0)
    {
        for (qint64 t = 0; t <= ms; t += 500) {
            const double position = from + (to - from) * double(t) / double(qMax<qint64>(ms, 1));
            emit engine.timeChanged(position, lead > 0 ? position + lead : duration, seekable);
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
    int state() const { return int(session->state()); }
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
using Said = QMap<QString, ServerAnswer::Answer>;

ServerAnswer::Answer said(const QByteArray &contentType, const QByteArray &server = QByteArray(),
                          const QByteArray &pragma = QByteArray())
{
    ServerAnswer::Answer answer;
    answer.status = 200;
    answer.contentType = contentType;
    answer.server = server;
    answer.pragma = pragma;
    return answer;
}

const QByteArray HeaderChunk("$H\x10\x00\x00\x00\x00\x00\x00\x0c\x10\x00\x30\x26\xB2\x75", 16);
const QByteArray AsfStart("\x30\x26\xB2\x75\x8E\x66\xCF\x11\xA6\xD9\x00\xAA\x00\x62\xCE\x6C", 16);
const QByteArray Cougar("Cougar/9.01.01.3841");
const QByteArray Features("no-cache,client-id=3320437311,features=\"broadcast\"");

// The walker alone through `address`: every fetch answered from `bodies`
// (404 for the rest), every address it opens refused, until it ends.
struct Walk {
    QStringList opens;
    int fetches = 0;
    QString reason;
};
Walk walk(const QString &address, const Bodies &bodies, const Said &said)
{
    PlaylistWalker walker;
    walker.start(address);
    Walk w;
    for (int n = 0; n < 1000; ++n) {
        const PlaylistWalker::Step step = walker.next();
        const QString key = step.url.toString();
        if (step.kind == PlaylistWalker::Step::Fetch) {
            ++w.fetches;
            walker.answered(bodies.contains(key)
                                ? FetchAnswer::fromBody(step.url, bodies.value(key), said.value(key, FakeSource::ok()))
                                : FetchAnswer::failure(step.url, QStringLiteral("HTTP 404 Not Found")));
        } else if (step.kind == PlaylistWalker::Step::Open) {
            w.opens << step.address;
            walker.openFailed(QStringLiteral("refused"));
        } else {
            w.reason = step.reason;
            break;
        }
    }
    return w;
}
} // namespace

Q_DECLARE_METATYPE(FetchAnswer)

class TestStreamSession : public QObject {
    Q_OBJECT

private slots:
    void controls_driveThePlayStates()
    {
        Rig rig;
        rig.session->setAddress(QStringLiteral("rtsp://cam/a"), false);
        QCOMPARE(rig.state(), int(PlayState::Ready));
        QCOMPARE(rig.status(), QStringLiteral("Gereed"));
        QVERIFY(rig.opens().isEmpty());
        rig.session->play();
        QCOMPARE(rig.opens(), QStringList{QStringLiteral("rtsp://cam/a")});
        QCOMPARE(rig.status(), QStringLiteral("Verbinden met cam..."));
        rig.session->play(); // already opening: no second open
        QCOMPARE(rig.opens().size(), 1);
        rig.engine.reach(PlayState::Buffering, 40);
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
        QCOMPARE(rig.state(), int(PlayState::Stopped));
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
            "<asx version=\"3.0\"><entry><ref href=\"mms://srv/a1\"/><ref href=\"mms://srv/a2\"/></entry>"
            "<entry><ref href=\"mms://srv/b1\"/></entry></asx>";
        rig.start(QStringLiteral("http://srv/two.asx"));
        QCOMPARE(rig.opens(), QStringList{QStringLiteral("mms://srv/a1")});
        rig.engine.end(true, QStringLiteral("connection refused"));
        QCOMPARE(rig.opens().last(), QStringLiteral("mms://srv/a2"));
        QCOMPARE(rig.state(), int(PlayState::Transitioning));
        rig.engine.reachPlaying();
        rig.playFor(60000, 0, 59.5, 60, true);
        rig.engine.end(false);
        QCOMPARE(rig.opens().last(), QStringLiteral("mms://srv/b1"));
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
            QStringLiteral("http://srv/l.asx"), {{QStringLiteral("mms://srv/silent"), QStringLiteral("mms://srv/b")}});
        rig.start(QStringLiteral("http://srv/l.asx"));
        rig.engine.reach(PlayState::Buffering, 0); // opening, never playing
        rig.clock.advance(25000 - 1);
        QCOMPARE(rig.opens(), QStringList{QStringLiteral("mms://srv/silent")});
        rig.clock.advance(1);
        QCOMPARE(rig.opens().last(), QStringLiteral("mms://srv/b"));
        QCOMPARE(rig.engine.calls.at(rig.engine.calls.size() - 2), QStringLiteral("stop"));
        rig.clock.advance(25000);
        QCOMPARE(rig.state(), int(PlayState::Ready));
        QCOMPARE(rig.status(), QStringLiteral("Kan niet openen: geen beeld na 25 s"));
    }

    void endOfAnEntry_droppedOrReallyEnded_data()
    {
        // What the decoder reports while an entry plays (its length may run
        // `lead` seconds ahead of the position, as live streams report it),
        // and how it stops. Dropped streams are reconnected; a file that
        // ended goes on with the next entry. A position slider is offered
        // only for a file.
        QTest::addColumn<bool>("seekable");
        QTest::addColumn<double>("duration");
        QTest::addColumn<double>("lead");
        QTest::addColumn<double>("position");
        QTest::addColumn<int>("playedMs");
        QTest::addColumn<bool>("failed");
        QTest::addColumn<bool>("dropped");
        QTest::addColumn<bool>("slider");
        QTest::newRow("live stream ends") << false << 0.0 << 0.0 << 12.0 << 12000 << false << true << false;
        QTest::newRow("live stream with a growing length")
            << false << 40.0 << 0.0 << 40.0 << 40000 << false << true << false;
        // As libmpv reports them: HLS, MPEG-TS and MP3 over HTTP, RTSP.
        QTest::newRow("HLS, endless HTTP, RTSP: no seeking, length just ahead")
            << false << 0.0 << 1.0 << 30.0 << 30000 << false << true << false;
        // Live MMS (Windows Media): seekable, its length just ahead of the position.
        QTest::newRow("live MMS stream ends") << true << 0.0 << 1.5 << 40.0 << 40000 << false << true << false;
        QTest::newRow("live MMS stream ends after 3 s") << true << 0.0 << 1.5 << 3.0 << 3000 << false << true << false;
        QTest::newRow("file at its end") << true << 60.0 << 0.0 << 59.5 << 60000 << false << false << true;
        QTest::newRow("short file at its end") << true << 2.5 << 0.0 << 2.4 << 2500 << false << false << false;
        QTest::newRow("file stopped half way") << true << 60.0 << 0.0 << 30.0 << 30000 << false << true << true;
        QTest::newRow("file failed at its end") << true << 60.0 << 0.0 << 59.5 << 60000 << true << true << true;
        QTest::newRow("length reached far too late") << true << 60.0 << 0.0 << 60.0 << 200000 << false << true << true;
    }
    void endOfAnEntry_droppedOrReallyEnded()
    {
        QFETCH(bool, seekable);
        QFETCH(double, duration);
        QFETCH(double, lead);
        QFETCH(double, position);
        QFETCH(int, playedMs);
        QFETCH(bool, failed);
        QFETCH(bool, dropped);
        QFETCH(bool, slider);
        Rig rig;
        bool sliderShown = false;
        QObject::connect(rig.session.get(), &StreamSession::progressChanged,
                         [&sliderShown](double, double, bool seek) { sliderShown = sliderShown || seek; });
        rig.source.answers[QStringLiteral("http://srv/l.asx")] = playlistAnswer(
            QStringLiteral("http://srv/l.asx"), {{QStringLiteral("mms://srv/a")}, {QStringLiteral("mms://srv/b")}});
        rig.start(QStringLiteral("http://srv/l.asx"));
        rig.engine.reachPlaying();
        rig.playFor(playedMs, 0, position, duration, seekable, lead);
        rig.engine.end(failed, failed ? QStringLiteral("read error") : QString());
        if (dropped) {
            QCOMPARE(rig.state(), int(PlayState::Reconnecting));
            QCOMPARE(rig.opens(), QStringList{QStringLiteral("mms://srv/a")});
            rig.clock.advance(1000);
            QCOMPARE(rig.opens().last(), QStringLiteral("mms://srv/a")); // the same address again
        } else {
            QCOMPARE(rig.opens().last(), QStringLiteral("mms://srv/b"));
        }
        QCOMPARE(rig.opens().size(), 2);
        QCOMPARE(sliderShown, slider);
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
            QCOMPARE(rig.state(), int(PlayState::Reconnecting));
            QCOMPARE(rig.status(), QStringLiteral("Verbinding verbroken; opnieuw verbinden over %1 s (poging %2)")
                                       .arg(pause)
                                       .arg(attempt));
            const int before = rig.opens().size();
            rig.clock.advance(pause * 1000 - 1);
            QCOMPARE(rig.opens().size(), before);
            rig.clock.advance(1);
            QCOMPARE(rig.opens().size(), before + 1);
            QCOMPARE(rig.state(), int(PlayState::Reconnecting)); // a try keeps saying so
            if (silent)
                rig.clock.advance(25000);
            else
                rig.engine.end(true, QStringLiteral("connection refused"));
        }
        rig.clock.advance(30000);
        rig.engine.reachPlaying(); // back
        QCOMPARE(rig.state(), int(PlayState::Playing));
        rig.engine.end(true, QStringLiteral("network error"));
        QVERIFY2(rig.status().contains(QStringLiteral("over 1 s (poging 1)")), qPrintable(rig.status()));
    }

    void neverPlayed_isNotRetried_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("refused");
        QTest::addColumn<QString>("status");
        QTest::newRow("refused") << "mms://cam/never" << true << "Kan niet openen: Connection refused";
        QTest::newRow("no picture") << "mms://cam/never" << false << "Kan niet openen: geen beeld na 25 s";
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
        QCOMPARE(rig.state(), int(PlayState::Ready));
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
        QCOMPARE(rig.state(), int(PlayState::Reconnecting));
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
            QVERIFY(rig.state() != int(PlayState::Playing) && rig.state() != int(PlayState::Reconnecting));
    }

    void stalls_countAsDropsAfterTheTimeout()
    {
        Rig rig;
        rig.start(QStringLiteral("rtsp://cam/live"));
        // Waiting for data before it ever played is opening, not a stall.
        rig.engine.reach(PlayState::Buffering, 0);
        rig.clock.advance(20000 + 1000);
        QCOMPARE(rig.state(), int(PlayState::Buffering));
        rig.engine.reachPlaying();
        rig.playFor(2000, 0, 2, 0, false);
        // Data that comes back in time.
        rig.engine.reach(PlayState::Buffering, 10);
        rig.clock.advance(20000 - 1);
        rig.engine.reachPlaying();
        rig.playFor(30000, 2, 32, 0, false);
        QCOMPARE(rig.state(), int(PlayState::Playing));
        // A pause is no stall.
        rig.session->pause();
        rig.clock.advance(600000);
        QCOMPARE(rig.state(), int(PlayState::Paused));
        rig.session->play();
        rig.playFor(2000, 32, 34, 0, false);
        // Waiting too long for data.
        rig.engine.reach(PlayState::Buffering, 10);
        rig.clock.advance(20000);
        QCOMPARE(rig.state(), int(PlayState::Reconnecting));
        QCOMPARE(rig.engine.calls.last(), QStringLiteral("stop"));
        rig.clock.advance(1000);
        QCOMPARE(rig.opens().size(), 2);
        // "Playing" with a position that stands still.
        rig.engine.reachPlaying();
        rig.playFor(2000, 0, 2, 0, false);
        rig.clock.advance(20000);
        QCOMPARE(rig.state(), int(PlayState::Playing));
        rig.clock.advance(1000);
        QCOMPARE(rig.state(), int(PlayState::Reconnecting));
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
                QStringLiteral(
                    "<asx><entryref href=\"n%1.asx\"/><entry><ref href=\"mms://srv/level%2\"/></entry></asx>")
                    .arg(i + 1)
                    .arg(i)
                    .toUtf8();
        QTest::newRow("five levels deep, no more")
            << deep << QStringList{"mms://srv/level5"} << "Verbinden met srv..." << 6;
        QTest::newRow("loop") << Bodies{{"http://srv/n0.asx", "<asx><entryref href=\"b.asx\"/></asx>"},
                                        {"http://srv/b.asx", "<asx><entryref href=\"n0.asx\"/></asx>"}}
                              << QStringList() << "Kan niet openen: afspeellijst verwijst naar zichzelf" << 2;
        QTest::newRow("a REF to itself") << Bodies{{"http://srv/n0.asx",
                                                    "<asx><entry><ref href=\"n0.asx\"/></entry></asx>"}}
                                         << QStringList() << "Kan niet openen: afspeellijst verwijst naar zichzelf"
                                         << 1;
        QTest::newRow("a REF to another playlist")
            << Bodies{{"http://srv/n0.asx", "<asx><entry><ref href=\"inner.asx\"/></entry></asx>"},
                      {"http://srv/inner.asx", "<asx><entry><ref href=\"mms://srv/inner\"/></entry></asx>"}}
            << QStringList{"mms://srv/inner"} << "Verbinden met srv..." << 2;
        QTest::newRow("media named like a playlist")
            << Bodies{{"http://srv/n0.asx", "<asx><entryref href=\"clip.asx\"/></asx>"},
                      {"http://srv/clip.asx", QByteArray(300, 'x')}}
            << QStringList{"http://srv/clip.asx"} << "Verbinden met srv..." << 2;
        QTest::newRow("a missing nested playlist")
            << Bodies{{"http://srv/n0.asx",
                       "<asx><entryref href=\"gone.asx\"/><entry><ref href=\"mms://srv/after\"/></entry></asx>"}}
            << QStringList{"mms://srv/after"} << "Verbinden met srv..." << 2;
        QTest::newRow("empty") << Bodies{{"http://srv/n0.asx", "<asx version=3></asx>"}} << QStringList()
                               << "Kan niet openen: lege afspeellijst" << 1;
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
                                                  "<entry><ref href=\"mms://srv/next\"/></entry></asx>")
            << QStringList{"mms://srv/next"} << "Verbinden met srv...";
        QTest::newRow("empty REFs, then one") << playlistAnswer(local, {{"", " ", "mms://srv/a"}})
                                              << QStringList{"mms://srv/a"} << "Verbinden met srv...";
        QTest::newRow("nothing but empty REFs")
            << playlistAnswer(local, {{""}, {" "}}) << QStringList() << "Kan niet openen: geen speelbare stream";
        QTest::newRow("empty ENTRYREF") << playlistAnswer(local, {{"mms://srv/a"}}, {""}) << QStringList{"mms://srv/a"}
                                        << "Verbinden met srv...";
        // A playlist from the network may not lead to local files.
        QTest::newRow("network playlist naming local files") << playlistAnswer(
            "http://srv/list.asx", {{"file:///etc/passwd", "/etc/passwd", "mms://srv/ok"}}, {"file:///lists/other.asx"})
                                                             << QStringList{"mms://srv/ok"} << "Verbinden met srv...";
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
        QVERIFY2(rig.state() != int(PlayState::Transitioning) && rig.state() != int(PlayState::Buffering),
                 qPrintable(rig.status()));
    }

    void walker_triesAddressesInOrder_data()
    {
        // Each address the walker says to open is refused in turn: the list
        // is every address it tries, in order, until it gives up.
        QTest::addColumn<QString>("address");
        QTest::addColumn<Bodies>("bodies");
        QTest::addColumn<Said>("said");
        QTest::addColumn<QStringList>("opens");
        QTest::addColumn<int>("fetches");
        QTest::addColumn<QString>("status");
        const QString refused = QStringLiteral("refused");
        const QByteArray asf("video/x-ms-asf");
        const QByteArray reference = "[Reference]\r\nRef1=http://wm/pub?MSWMExt=.asf\r\nRef2=mms://wm/pub\r\n";

        // Windows Media servers behind http:// play as MMS over HTTP.
        QTest::newRow("http answering the framed stream")
            << "http://wm:8080/live?id=7" << Bodies{{"http://wm:8080/live?id=7", HeaderChunk}}
            << Said{{"http://wm:8080/live?id=7", said("application/x-mms-framed", Cougar, Features)}}
            << QStringList{"mmsh://wm:8080/live?id=7"} << 1 << refused;
        QTest::newRow("a Windows Media server known by its headers")
            << "http://wm/live" << Bodies{{"http://wm/live", AsfStart}}
            << Said{{"http://wm/live", said(asf, Cougar, Features)}} << QStringList{"mmsh://wm/live"} << 1 << refused;
        QTest::newRow("framed stream over https plays as it is")
            << "https://wm/live" << Bodies{{"https://wm/live", HeaderChunk}}
            << Said{{"https://wm/live", said("application/x-mms-framed")}} << QStringList{"https://wm/live"} << 1
            << refused;
        QTest::newRow("a Windows Media file of a web server stays http")
            << "http://web/clip.wmv" << Bodies{{"http://web/clip.wmv", AsfStart}}
            << Said{{"http://web/clip.wmv", said(asf, "Apache")}} << QStringList{"http://web/clip.wmv"} << 1 << refused;
        QTest::newRow("a failed answer is no stream")
            << "http://wm/live" << Bodies() << Said() << QStringList() << 1 << "HTTP 404 Not Found";

        // [Reference] files: their addresses in turn, http:// as mmsh:// from a Windows Media server.
        QTest::newRow("[Reference] of a Windows Media server")
            << "http://wm/pub" << Bodies{{"http://wm/pub", reference}}
            << Said{{"http://wm/pub", said(asf, Cougar, Features)}}
            << QStringList{"mmsh://wm/pub?MSWMExt=.asf", "mms://wm/pub"} << 1 << refused;
        QTest::newRow("[Reference] of a web server: its http addresses are looked at")
            << "http://web/list.ref"
            << Bodies{{"http://web/list.ref", "[Reference]\nRef1=http://cdn/a.ts\nRef2=rtsp://cam/b\n"},
                      {"http://cdn/a.ts", QByteArray(2000, 'G')}}
            << Said{{"http://web/list.ref", said("text/plain")}}
            << QStringList{"http://cdn/a.ts", "rtsp://cam/b", "rtspu://cam/b"} << 2 << refused;
        QTest::newRow("[Reference] from the network naming local files")
            << "http://web/list.ref"
            << Bodies{{"http://web/list.ref",
                       "[Reference]\nRef1=file:///etc/passwd\nRef2=/etc/passwd\nRef3=mms://srv/ok\n"}}
            << Said() << QStringList{"mms://srv/ok"} << 2
            << refused; // (the relative one is the server's own http://web/etc/passwd)
        QTest::newRow("[Reference] naming itself")
            << "http://web/self" << Bodies{{"http://web/self", "[Reference]\nRef1=http://web/self\n"}} << Said()
            << QStringList() << 1 << "afspeellijst verwijst naar zichzelf";
        Bodies deep;
        for (int i = 0; i < 8; ++i)
            deep[QStringLiteral("http://web/r%1").arg(i)] =
                QStringLiteral("[Reference]\nRef1=http://web/r%1\n").arg(i + 1).toUtf8();
        QTest::newRow("[Reference] files nested too deep")
            << "http://web/r0" << deep << Said() << QStringList() << 7 << "afspeellijsten te diep genest";
        QByteArray fan = "[Reference]\n";
        for (int i = 1; i <= 32; ++i)
            fan += QStringLiteral("Ref%1=http://web/gone%1\n").arg(i).toUtf8();
        QTest::newRow("fetches without playing are bounded")
            << "http://web/fan" << Bodies{{"http://web/fan", fan}} << Said() << QStringList()
            << PlaylistWalker::MaxFetchesWithoutPlay << "te veel afspeellijsten";

        // REFs and ENTRYREFs of ASX playlists.
        QTest::newRow("REF answering the framed stream, then the other REFs")
            << "http://web/l.asx"
            << Bodies{{"http://web/l.asx",
                       "<asx><entry><ref href=\"http://wm/live\"/><ref href=\"mms://wm/alt\"/></entry>"
                       "<entry><ref href=\"mms://srv/next\"/></entry></asx>"},
                      {"http://wm/live", HeaderChunk}}
            << Said{{"http://wm/live", said("application/x-mms-framed")}}
            << QStringList{"mmsh://wm/live", "mms://wm/alt", "mms://srv/next"} << 2 << refused;
        QTest::newRow("REF answering a [Reference]: its addresses stand in for the REF")
            << "http://web/l.asx"
            << Bodies{{"http://web/l.asx",
                       "<asx><entry><ref href=\"http://wm/pub\"/><ref href=\"mms://srv/after\"/></entry></asx>"},
                      {"http://wm/pub", reference}}
            << Said{{"http://wm/pub", said(asf, Cougar, Features)}}
            << QStringList{"mmsh://wm/pub?MSWMExt=.asf", "mms://wm/pub", "mms://srv/after"} << 2 << refused;
        QTest::newRow("as the demo server writes KR4: mms:// first, then http://")
            << "http://wm/KR4.asx"
            << Bodies{{"http://wm/KR4.asx", "<ASX version=\"3.0\"><ENTRY><REF HREF=\"mms://wm/pub\"/>"
                                            "<REF HREF=\"http://wm/pub\"/></ENTRY></ASX>"},
                      {"http://wm/pub", reference}}
            << Said{{"http://wm/pub", said(asf, Cougar, Features)}}
            << QStringList{"mms://wm/pub", "mmsh://wm/pub?MSWMExt=.asf", "mms://wm/pub"} << 2 << refused;
        QTest::newRow("ENTRYREF answering the framed stream")
            << "http://web/l.asx"
            << Bodies{{"http://web/l.asx", "<asx><entryref href=\"http://wm/live\"/></asx>"},
                      {"http://wm/live", HeaderChunk}}
            << Said() << QStringList{"mmsh://wm/live"} << 2 << refused;
        QTest::newRow("REF that does not answer: the next REF")
            << "http://web/l.asx"
            << Bodies{{"http://web/l.asx",
                       "<asx><entry><ref href=\"http://gone/x\"/><ref href=\"mms://srv/b\"/></entry></asx>"}}
            << Said() << QStringList{"mms://srv/b"} << 2 << refused;

        // Cameras: rtsp:// over TCP, then over UDP; rtspt:// and rtspu:// one of them.
        QTest::newRow("rtsp: TCP, then UDP")
            << "rtsp://cam:554/live" << Bodies() << Said() << QStringList{"rtsp://cam:554/live", "rtspu://cam:554/live"}
            << 0 << refused;
        QTest::newRow("rtspt: TCP only") << "rtspt://cam/live" << Bodies() << Said() << QStringList{"rtspt://cam/live"}
                                         << 0 << refused;
        QTest::newRow("rtspu: UDP only") << "rtspu://cam/live" << Bodies() << Said() << QStringList{"rtspu://cam/live"}
                                         << 0 << refused;
        QTest::newRow("blanks around an address are not part of it")
            << " \trtsp://cam/live   " << Bodies() << Said() << QStringList{"rtsp://cam/live", "rtspu://cam/live"} << 0
            << refused;
        QTest::newRow("blanks after an http address")
            << "http://cam/live.ts   " << Bodies{{"http://cam/live.ts", QByteArray(2000, 'G')}} << Said()
            << QStringList{"http://cam/live.ts"} << 1 << refused;
        // A [Reference] naming an ASX: the playlist is fetched over http, only streams are MMS.
        QTest::newRow("[Reference] of a Windows Media server naming an ASX")
            << "http://wm/pub"
            << Bodies{{"http://wm/pub", "[Reference]\r\nRef1=http://wm/x.asx\r\nRef2=http://wm/pub?MSWMExt=.asf\r\n"},
                      {"http://wm/x.asx", "<asx><entry><ref href=\"mms://wm/live\"/></entry></asx>"}}
            << Said{{"http://wm/pub", said(asf, Cougar, Features)}}
            << QStringList{"mms://wm/live", "mmsh://wm/pub?MSWMExt=.asf"} << 2 << refused;

        // M3U, PLS and XSPF: an entry that fails before it plays gives way to the next.
        const QByteArray iptv = "#EXTM3U url-tvg=\"http://iptv/epg.xml\"\r\n#EXTINF:-1 tvg-id=\"een\",Een\r\n"
                                "http://iptv/dead.ts\r\n#EXTINF:-1,Twee\r\n#EXTVLCOPT:http-user-agent=x\r\n"
                                "live.ts\r\n#EXTINF:-1,Drie\r\nrtsp://cam/drie\r\n";
        QTest::newRow("M3U over http: the dead first channel, then the others")
            << "http://iptv/list.m3u"
            << Bodies{{"http://iptv/list.m3u", iptv}, {"http://iptv/live.ts", QByteArray(2000, 'G')}} << Said()
            << QStringList{"http://iptv/live.ts", "rtsp://cam/drie", "rtspu://cam/drie"} << 3 << refused;
        QTest::newRow("M3U on disk") << "file:///lists/iptv.m3u"
                                     << Bodies{{"file:///lists/iptv.m3u",
                                                "http://127.0.0.1:9/dead.ts\n/media/clip.ts\nclip2.ts\n"}}
                                     << Said() << QStringList{"file:///media/clip.ts", "file:///lists/clip2.ts"} << 2
                                     << refused;
        QTest::newRow("M3U from the network naming local files")
            << "http://iptv/l.m3u"
            << Bodies{{"http://iptv/l.m3u", "#EXTM3U\nfile:///etc/passwd\nfile:/etc/passwd\nmms://srv/ok\n"}} << Said()
            << QStringList{"mms://srv/ok"} << 1 << refused;
        QTest::newRow("M3U naming itself")
            << "http://iptv/a.m3u"
            << Bodies{{"http://iptv/a.m3u", "#EXTM3U\nb.m3u\n"}, {"http://iptv/b.m3u", "#EXTM3U\na.m3u\n"}} << Said()
            << QStringList() << 2 << "afspeellijst verwijst naar zichzelf";
        Bodies deepM3u;
        for (int i = 0; i < 8; ++i)
            deepM3u[QStringLiteral("http://iptv/l%1.m3u").arg(i)] =
                QStringLiteral("#EXTM3U\nl%1.m3u\n").arg(i + 1).toUtf8();
        QTest::newRow("M3U nested too deep")
            << "http://iptv/l0.m3u" << deepM3u << Said() << QStringList() << 6 << "afspeellijsten te diep genest";
        QTest::newRow("HLS master: the decoder's, not a list of entries")
            << "http://hls/master.m3u8"
            << Bodies{{"http://hls/master.m3u8", "#EXTM3U\n#EXT-X-STREAM-INF:BANDWIDTH=800000\nlow/index.m3u8\n"}}
            << Said() << QStringList{"http://hls/master.m3u8"} << 1 << refused;
        QTest::newRow("PLS in the order of its numbers")
            << "http://radio/listen.pls"
            << Bodies{{"http://radio/listen.pls", "[playlist]\nFile2=mms://radio/b\nTitle2=B\nFile1=http://radio/gone\n"
                                                  "File3=mms://radio/c\nNumberOfEntries=3\nVersion=2\n"}}
            << Said() << QStringList{"mms://radio/b", "mms://radio/c"} << 2 << refused;
        QTest::newRow("XSPF: a track's locations in turn, then the next track")
            << "http://web/list.xspf"
            << Bodies{{"http://web/list.xspf",
                       "<?xml version=\"1.0\"?><playlist version=\"1\" xmlns=\"http://xspf.org/ns/0/\">"
                       "<trackList><track><location>mms://a/1</location><location>rtspt://a/2</location>"
                       "<title>A</title></track><track><location>mms://b/1</location></track>"
                       "</trackList></playlist>"}}
            << Said() << QStringList{"mms://a/1", "rtspt://a/2", "mms://b/1"} << 1 << refused;
    }
    void walker_triesAddressesInOrder()
    {
        QFETCH(QString, address);
        QFETCH(Bodies, bodies);
        QFETCH(Said, said);
        QFETCH(QStringList, opens);
        QFETCH(int, fetches);
        QFETCH(QString, status);
        const Walk w = walk(address, bodies, said);
        QCOMPARE(w.opens, opens);
        QCOMPARE(w.fetches, fetches);
        QCOMPARE(w.reason, status);
    }

    void rtspTransport_keptOnReconnect()
    {
        // What the decoder is asked for per address.
        using RtspTransport::forDecoder;
        QCOMPARE(forDecoder(QStringLiteral("rtsp://cam/a")).url, QStringLiteral("rtsp://cam/a"));
        QCOMPARE(forDecoder(QStringLiteral("rtsp://cam/a")).transport, QByteArray("tcp"));
        QCOMPARE(forDecoder(QStringLiteral("rtspt://cam/a")).transport, QByteArray("tcp"));
        const auto udp = forDecoder(QStringLiteral("RTSPU://user:pw@cam:554/a?x=1"));
        QCOMPARE(udp.url, QStringLiteral("rtsp://user:pw@cam:554/a?x=1"));
        QCOMPARE(udp.transport, QByteArray("udp"));
        QCOMPARE(forDecoder(QStringLiteral("mms://wm/a")).url, QStringLiteral("mms://wm/a"));
        QVERIFY(forDecoder(QStringLiteral("mms://wm/a")).transport.isEmpty());
        QVERIFY(forDecoder(QStringLiteral("rtsps://cam/a")).transport.isEmpty());

        // A camera that refused TCP and played over UDP comes back over UDP.
        Rig rig;
        rig.start(QStringLiteral("rtsp://cam/live"));
        rig.engine.end(true, QStringLiteral("461 Unsupported transport"));
        QCOMPARE(rig.opens().last(), QStringLiteral("rtspu://cam/live"));
        rig.engine.reachPlaying();
        rig.playFor(5000, 0, 5, 0, false);
        rig.engine.end(false);
        QCOMPARE(rig.state(), int(PlayState::Reconnecting));
        rig.clock.advance(1000);
        QCOMPARE(rig.opens(), (QStringList{"rtsp://cam/live", "rtspu://cam/live", "rtspu://cam/live"}));
    }

    // Through the real fetcher: what servers on this machine answer.
    void fetcher_readsWhatTheServerSays_data()
    {
        QTest::addColumn<QByteArray>("response"); // sent, then the connection stays open
        QTest::addColumn<QString>("path");
        QTest::addColumn<QStringList>("opens"); // "P" stands for the server's port
        const QByteArray wmHeaders = "Server: Cougar/9.01.01.3841\r\nPragma: no-cache,features=\"broadcast\"\r\n";
        // A header chunk shorter than what the fetcher reads to tell
        // playlists from media, and then nothing for a while.
        QTest::newRow("framed stream that waits after its header")
            << "HTTP/1.1 200 OK\r\nContent-Type: application/x-mms-framed\r\n" + wmHeaders + "\r\n" + HeaderChunk
            << "/wm/live" << QStringList{"mmsh://127.0.0.1:P/wm/live"};
        QTest::newRow("[Reference] file for other players")
            << "HTTP/1.1 200 OK\r\nContent-Type: video/x-ms-asf\r\n" + wmHeaders
                   + "Content-Length: 84\r\n\r\n[Reference]\r\nRef1=http://127.0.0.1:9/wm/live?MSWMExt=.asf\r\n"
                     "Ref2=mms://127.0.0.1:9/wm/live\r\n"
            << "/wm/live" << QStringList{"mmsh://127.0.0.1:9/wm/live?MSWMExt=.asf"};
        // Not HTTP's status line: the HTTP client gives up, the raw look plays it as it is.
        QTest::newRow("SHOUTcast answering ICY 200 OK")
            << QByteArray("ICY 200 OK\r\nicy-name: Radio\r\ncontent-type: audio/mpeg\r\n\r\n\xFF\xFB\x90\x00")
            << "/;stream.mp3" << QStringList{"http://127.0.0.1:P/;stream.mp3"};
    }
    void fetcher_readsWhatTheServerSays()
    {
        QFETCH(QByteArray, response);
        QFETCH(QString, path);
        QFETCH(QStringList, opens);
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        QList<QTcpSocket *> clients;
        QObject::connect(&server, &QTcpServer::newConnection, [&] {
            QTcpSocket *client = server.nextPendingConnection();
            clients << client;
            QObject::connect(client, &QTcpSocket::readyRead, [client, response] {
                if (client->readAll().contains("\r\n\r\n"))
                    client->write(response);
            });
        });
        PlaylistFetcher fetcher;
        Rig rig(&fetcher);
        rig.session->setAddress(QStringLiteral("http://127.0.0.1:%1%2").arg(server.serverPort()).arg(path), true);
        // Well before the fetcher's own time-out.
        QTRY_VERIFY_WITH_TIMEOUT(!rig.opens().isEmpty(), 5000);
        QCOMPARE(rig.opens().first(),
                 opens.first().replace(QLatin1String(":P/"), QStringLiteral(":%1/").arg(server.serverPort())));
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
        QByteArray big = "<asx><entry><ref href=\"mms://srv/media/caf\xC3\xA9.wmv\"/></entry><!-- ";
        big += QByteArray(Asx::MaxPlaylistBytes - 1 - big.size(), 'x') + "\xC3\xA9 -->\r\n</asx>\r\n";
        QCOMPARE(big.at(Asx::MaxPlaylistBytes - 1), '\xC3');
        write(QStringLiteral("big.asx"), big);
        write(QStringLiteral("a.asx"), "<asx><entry><ref href=\"mms://srv/a\"/></entry></asx>");
        write(QStringLiteral("b.asx"), "<asx><entry><ref href=\"mms://srv/b\"/></entry></asx>");

        PlaylistFetcher fetcher;
        Rig rig(&fetcher);
        rig.session->setAddress(dir.filePath(QStringLiteral("big.asx")), true);
        QTRY_COMPARE(rig.opens(), QStringList{QStringLiteral("mms://srv/media/café.wmv")});

        // Only the answer for the last address counts.
        rig.session->setAddress(dir.filePath(QStringLiteral("a.asx")), true);
        rig.session->setAddress(dir.filePath(QStringLiteral("b.asx")), true);
        QTRY_COMPARE(rig.opens().size(), 2);
        QCoreApplication::processEvents();
        QCOMPARE(rig.opens().last(), QStringLiteral("mms://srv/b"));
        QCOMPARE(rig.opens().size(), 2);
    }
};

QTEST_GUILESS_MAIN(TestStreamSession)
#include "tst_streamsession.moc"
