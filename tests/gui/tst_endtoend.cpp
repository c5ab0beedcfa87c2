// The whole program with real players against the demo server: the walk
// through the three four-player windows and a stream window, with every
// window's players playing and nothing of an unloaded window left running.
#include "DemoServer.h"
#include "Pictures.h"
#include "TestEnv.h"

#include "platform/ComponentFailure.h"
#include "platform/Form.h"
#include "platform/Forms.h"
#include "platform/WebBrowser.h"
#include "player/MpvBackend.h"
#include "player/WindowsMediaPlayer.h"
#include "settings/Addresses.h"

#include <QAction>
#include <QDir>
#include <QMetaMethod>
#include <QPushButton>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <signal.h>
#include <unistd.h>

namespace {
int threadCount()
{
    return QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size();
}

QList<WindowsMediaPlayer *> playersOf(Form *form)
{
    QList<WindowsMediaPlayer *> list;
    for (int slot = 1; slot <= 4; ++slot)
        if (auto *p = form->findChild<WindowsMediaPlayer *>(QStringLiteral("WindowsMediaPlayer%1").arg(slot)))
            list << p;
    return list;
}

bool allPlaying(Form *form, int expected)
{
    const auto players = playersOf(form);
    if (players.size() != expected)
        return false;
    for (auto *p : players)
        if (p->playState() != int(PlayState::Playing))
            return false;
    return true;
}

QStringList fourPlayerWindows()
{
    QStringList open;
    for (const char *name : {"Form1", "Horizontaal", "verticaal"})
        if (Forms::find(windowKey(QLatin1String(name))))
            open << QLatin1String(name);
    return open;
}

// The render processes of the browser engine that this process started.
// Without the engine's sandbox (as root) they are children of this process
// named "--type=renderer". With it, the engine's zygote forks them, so they
// keep the zygote's command line, each in a PID namespace of its own: they
// are processes of the zygote that lie one namespace deeper than their
// parent zygote process.
QList<pid_t> renderProcesses()
{
    struct Process {
        pid_t parent = 0;
        QByteArray command;
        int namespaces = 0; // how deep its PID namespace lies
    };
    QHash<pid_t, Process> all;
    for (const QString &pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid)), cmd(QStringLiteral("/proc/%1/cmdline").arg(pid)),
            status(QStringLiteral("/proc/%1/status").arg(pid));
        if (!stat.open(QIODevice::ReadOnly) || !cmd.open(QIODevice::ReadOnly) || !status.open(QIODevice::ReadOnly))
            continue;
        Process p;
        // pid (name) state ppid ...: the name may hold spaces, the rest not.
        p.parent = pid_t(stat.readAll().split(')').last().trimmed().split(' ').value(1).toInt());
        p.command = cmd.readAll();
        for (const QByteArray &line : status.readAll().split('\n'))
            if (line.startsWith("NSpid:"))
                p.namespaces = int(line.simplified().count(' '));
        all.insert(pid_t(pid.toInt()), p);
    }
    QList<pid_t> found;
    for (auto it = all.cbegin(); it != all.cend(); ++it) {
        const Process &parent = all.value(it->parent);
        const bool renderer = it->command.contains("--type=renderer")
                              || (it->command.contains("--type=zygote") && parent.command.contains("--type=zygote")
                                  && it->namespaces > parent.namespaces);
        if (!renderer)
            continue;
        for (pid_t up = it->parent, depth = 0; up > 1 && depth < 64; up = all.value(up).parent, ++depth)
            if (up == ::getpid()) {
                found << it.key();
                break;
            }
    }
    return found;
}

// A web server that notes every request's headers by path. /moved sends a
// cookie and redirects to /counted, /loop redirects to itself; every other
// path is a small page.
class HeaderServer : public QTcpServer {
public:
    HeaderServer()
    {
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = nextPendingConnection()) {
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { answer(socket); });
            }
        });
        listen(QHostAddress::LocalHost);
    }
    QString url(const char *path) const
    {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(serverPort()).arg(QLatin1String(path));
    }
    QList<QMap<QByteArray, QByteArray>> requests(const QByteArray &path) const { return m_requests.values(path); }
    int count(const QByteArray &path) const { return int(m_requests.count(path)); }

private:
    void answer(QTcpSocket *socket)
    {
        QByteArray &buffer = m_buffers[socket];
        buffer += socket->readAll();
        const int end = int(buffer.indexOf("\r\n\r\n"));
        if (end < 0)
            return;
        QList<QByteArray> lines = buffer.left(end).split('\n');
        buffer.remove(0, end + 4);
        const QByteArray path = lines.takeFirst().split(' ').value(1);
        QMap<QByteArray, QByteArray> headers;
        for (const QByteArray &line : lines) {
            const int colon = int(line.indexOf(':'));
            headers.insert(line.left(colon).trimmed().toLower(), line.mid(colon + 1).trimmed());
        }
        m_requests.insert(path, headers);
        QByteArray reply;
        if (path == "/moved")
            reply = "HTTP/1.1 302 Found\r\nLocation: /counted\r\nSet-Cookie: visitor=42; Path=/\r\nContent-Length: "
                    "0\r\n\r\n";
        else if (path == "/loop")
            reply = "HTTP/1.1 302 Found\r\nLocation: /loop\r\nContent-Length: 0\r\n\r\n";
        else
            reply =
                "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: 25\r\n\r\n<html><p>teller</p></html>";
        socket->write(reply);
    }

    QMultiMap<QByteArray, QMap<QByteArray, QByteArray>> m_requests;
    QHash<QTcpSocket *, QByteArray> m_buffers;
};

void trigger(Form *form, const char *item)
{
    auto *action = form->findChild<QAction *>(QLatin1String(item));
    QVERIFY2(action, item);
    action->trigger();
}
} // namespace

class TestEndToEnd : public QObject {
    Q_OBJECT
    QTemporaryDir m_media;
    std::unique_ptr<DemoServer> m_server;
    std::optional<Seam<QString>::Override> m_serverAddress;

    void shoot(Form *form, const char *name)
    {
        const QString dir = qEnvironmentVariable("KIJKRAAM_SCREENSHOT_DIR");
        if (!dir.isEmpty())
            form->grab().save(dir + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".png"));
    }

private slots:
    void initTestCase()
    {
        const char *sources[] = {"testsrc", "smptebars", "testsrc2", "rgbtestsrc"};
        for (int slot = 1; slot <= 4; ++slot)
            QVERIFY(DemoServer::makeWmv(m_media.filePath(QStringLiteral("slot%1.wmv").arg(slot)), 120,
                                        QStringLiteral("320x240"), QLatin1String(sources[slot - 1])));
        m_server = std::make_unique<DemoServer>(
            QStringList{QStringLiteral("--no-live"), QStringLiteral("--media"), m_media.path()});
        QVERIFY(m_server->isRunning());
        m_serverAddress.emplace(Addresses::serverSeam, m_server->base());
    }
    void cleanupTestCase() { m_serverAddress.reset(); }

    void counterPage_loadedAtEveryLoadOfTheMainWindow()
    {
        TestEnv env;
        m_server->resetStats();
        for (int load = 1; load <= 2; ++load) {
            Form *main = Forms::show(WindowKey::Main);
            QVERIFY(QTest::qWaitForWindowExposed(main));
            QTRY_COMPARE_WITH_TIMEOUT(m_server->stats().value(QStringLiteral("/kwa/KR5/count.php")).toInt(), load,
                                      20000);
            Forms::unload(WindowKey::Main);
            TestEnv::flushDeletes();
        }
    }

    // Once a page has loaded, the engine runs: a render process that dies
    // later (a page that crashes it) is that page's trouble, not a reason
    // to end the program.
    void renderProcessThatDiesAfterTheFirstPage_isNoFailure()
    {
        TestEnv env;
        env.writeIni("[Kijkraam]\r\nNieuws=Ja\r\n");
        QStringList reports;
        const auto handler = ComponentFailure::handlerSeam.standIn(
            [&reports](const QString &c, const QString &r) { reports << c + r; });
        Form *main = Forms::show(WindowKey::Main);
        auto *ticker = named<WebBrowser>(main, "WebBrowser2");
        QSignalSpy loaded(ticker, &WebBrowser::loadFinished);
        QTRY_VERIFY_WITH_TIMEOUT(loaded.count() >= 1 && renderProcesses().size() == 1, 20000);
        QVERIFY(WebBrowser::engineStarted());
        // The page shows in the strip (not only black).
        QTRY_VERIFY_WITH_TIMEOUT(litShare(ticker->grab(QRect(10, 4, 380, 26)).toImage()) > 0.01, 15000);
        // The engine's page, reached through Qt's meta-objects: the test
        // does not link the engine either.
        QObject *page = nullptr;
        for (QObject *child : ticker->view()->findChildren<QObject *>())
            if (child->inherits("QWebEnginePage"))
                page = child;
        QVERIFY(page);
        const QMetaObject *meta = page->metaObject();
        QMetaMethod terminated;
        for (int i = 0; i < meta->methodCount(); ++i)
            if (meta->method(i).name() == "renderProcessTerminated")
                terminated = meta->method(i);
        QSignalSpy ended(page, terminated);
        QVERIFY(ended.isValid());
        QCOMPARE(::kill(renderProcesses().first(), SIGKILL), 0);
        QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, 10000);
        QTest::qWait(200);
        QCOMPARE(reports, QStringList());
        QVERIFY(Forms::find(WindowKey::Main));
    }

    // A browser outside its window asks for its page as the engine does:
    // the same headers, a redirect followed, the session's cookies sent,
    // and a redirect loop given up.
    void browserOutsideItsWindow_asksLikeTheEngine()
    {
        HeaderServer server;
        QVERIFY(server.isListening());
        QWidget window;
        window.resize(300, 100);
        auto *seen = new WebBrowser(&window);
        seen->setGeometry(10, 10, 200, 50);
        auto *unseen = new WebBrowser(&window);
        unseen->setGeometry(400, 10, 200, 50);
        window.show();
        QSignalSpy seenLoaded(seen, &WebBrowser::loadFinished), unseenLoaded(unseen, &WebBrowser::loadFinished);
        seen->Navigate(server.url("/engine"));
        unseen->Navigate(server.url("/moved"));
        QTRY_VERIFY_WITH_TIMEOUT(seenLoaded.count() == 1 && unseenLoaded.count() == 1, 20000);
        QVERIFY(seen->view() && !unseen->view());
        QCOMPARE(unseenLoaded.first().first().toBool(), true);
        QCOMPARE(server.count("/engine"), 1);
        QCOMPARE(server.count("/counted"), 1);
        QMap<QByteArray, QByteArray> engine = server.requests("/engine").first();
        QMap<QByteArray, QByteArray> plain = server.requests("/counted").first();
        // The cookie of the redirect came along. Qt's network access always
        // names a language, the engine none.
        QCOMPARE(plain.take("cookie"), QByteArray("visitor=42"));
        QCOMPARE(plain.take("accept-language"), QByteArray("nl"));
        QVERIFY(!engine.contains("accept-language"));
        for (auto *headers : {&engine, &plain})
            for (const char *connection : {"host", "connection"})
                headers->remove(connection);
        QCOMPARE(plain, engine);

        unseen->Navigate(server.url("/loop"));
        QTRY_COMPARE_WITH_TIMEOUT(unseenLoaded.count(), 2, 20000);
        QCOMPARE(unseenLoaded.last().first().toBool(), false);
        QVERIFY2(server.count("/loop") <= 21, qPrintable(QString::number(server.count("/loop"))));
        QCOMPARE(server.requests("/loop").first().value("cookie"), QByteArray("visitor=42"));
    }

    // The program ends with its last window, whichever goes last and
    // however: the decoders of every window end with it.
    void lastWindowClosed_everyDecoderEnds()
    {
        TestEnv env;
        env.writeIni("[Kijkraam]\r\nAutostart=Ja\r\n");
        Form *main = Forms::show(WindowKey::Main);
        QVERIFY(QTest::qWaitForWindowExposed(main));
        main->findChild<QPushButton *>(QStringLiteral("Command2"))->click();
        Form *stream = Forms::find(WindowKey::Stream2);
        QVERIFY(stream);
        QTRY_VERIFY_WITH_TIMEOUT(allPlaying(main, 4) && allPlaying(stream, 1), 40000);
        QCOMPARE(MpvBackend::liveCores(), 5);
        // The main window's close box: the stream window plays on.
        main->close();
        TestEnv::flushDeletes();
        QCOMPARE(env.quitRequests, 0);
        QTRY_COMPARE_WITH_TIMEOUT(MpvBackend::liveCores(), 1, 15000);
        QVERIFY(allPlaying(stream, 1));
        // "&Sluiten" of the stream window: the last window, the end.
        trigger(stream, "mnuSluiten");
        QCOMPARE(env.quitRequests, 1);
        Forms::destroyAll();
        QTRY_COMPARE_WITH_TIMEOUT(MpvBackend::liveCores(), 0, 15000);
    }

    void walkThroughEveryFourPlayerWindow()
    {
        TestEnv env;
        m_server->resetStats();
        env.writeIni("[Kijkraam]\r\nAutostart=Ja\r\n");
        const int threadsBefore = threadCount();

        // Start: the main window plays the four built-in playlists.
        Form *main = Forms::show(WindowKey::Main);
        QVERIFY(QTest::qWaitForWindowExposed(main));
        QTRY_VERIFY_WITH_TIMEOUT(allPlaying(main, 4), 40000);
        QCOMPARE(MpvBackend::liveCores(), 4);
        QTRY_COMPARE_WITH_TIMEOUT(m_server->stats().value(QStringLiteral("/kwa/KR5/count.php")).toInt(), 1, 20000);
        shoot(main, "form1");

        // Main -> row.
        trigger(main, "mnuHorizontaal");
        TestEnv::flushDeletes();
        QCOMPARE(fourPlayerWindows(), QStringList{QStringLiteral("Horizontaal")});
        Form *row = Forms::find(WindowKey::Row);
        QTRY_VERIFY_WITH_TIMEOUT(allPlaying(row, 4), 40000);
        QTRY_COMPARE_WITH_TIMEOUT(MpvBackend::liveCores(), 4, 10000);
        shoot(row, "horizontaal");

        // Row -> column.
        trigger(row, "mnuVerticaal");
        TestEnv::flushDeletes();
        QCOMPARE(fourPlayerWindows(), QStringList{QStringLiteral("verticaal")});
        Form *column = Forms::find(WindowKey::Column);
        QTRY_VERIFY_WITH_TIMEOUT(allPlaying(column, 4), 40000);
        QTRY_COMPARE_WITH_TIMEOUT(MpvBackend::liveCores(), 4, 10000);
        shoot(column, "verticaal");

        // Column -> main: its whole load again, the counter page a second time.
        trigger(column, "mnuNormaal");
        TestEnv::flushDeletes();
        QCOMPARE(fourPlayerWindows(), QStringList{QStringLiteral("Form1")});
        main = Forms::find(WindowKey::Main);
        QTRY_VERIFY_WITH_TIMEOUT(allPlaying(main, 4), 40000);
        QTRY_COMPARE_WITH_TIMEOUT(m_server->stats().value(QStringLiteral("/kwa/KR5/count.php")).toInt(), 2, 20000);

        // A stream window from "Vergroot" plays beside the grid ...
        main->findChild<QPushButton *>(QStringLiteral("Command2"))->click();
        Form *stream = Forms::find(WindowKey::Stream2);
        QVERIFY(stream);
        QTRY_VERIFY_WITH_TIMEOUT(allPlaying(stream, 1), 40000);
        QCOMPARE(MpvBackend::liveCores(), 5);

        // ... and keeps playing while the layouts change around it.
        trigger(main, "mnuVerticaal");
        TestEnv::flushDeletes();
        column = Forms::find(WindowKey::Column);
        QTRY_VERIFY_WITH_TIMEOUT(allPlaying(column, 4), 40000);
        trigger(column, "mnuHorizontaal");
        TestEnv::flushDeletes();
        row = Forms::find(WindowKey::Row);
        QTRY_VERIFY_WITH_TIMEOUT(allPlaying(row, 4), 40000);
        QCOMPARE(Forms::find(WindowKey::Stream2), stream);
        QVERIFY(allPlaying(stream, 1));
        QTRY_COMPARE_WITH_TIMEOUT(MpvBackend::liveCores(), 5, 10000);
        QCOMPARE(fourPlayerWindows(), QStringList{QStringLiteral("Horizontaal")});

        // "&Sluiten" ends everything; no decoder and no thread of theirs stays.
        trigger(row, "mnuExit");
        QCOMPARE(env.quitRequests, 1);
        QVERIFY(Forms::loadedNames().isEmpty());
        TestEnv::flushDeletes();
        QTRY_COMPARE_WITH_TIMEOUT(MpvBackend::liveCores(), 0, 15000);
        // Threads of the decoders are gone (the browser engine and the
        // network keep a few of their own).
        QTRY_VERIFY2_WITH_TIMEOUT(
            threadCount() <= threadsBefore + 25,
            qPrintable(QStringLiteral("%1 threads, %2 before").arg(threadCount()).arg(threadsBefore)), 15000);
    }
};

KIJKRAAM_GUI_TEST_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
