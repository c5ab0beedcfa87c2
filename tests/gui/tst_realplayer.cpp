// The media player with the real decoder, against streams served on
// 127.0.0.1: direct Windows Media files, ASX playlists, addresses that fail,
// full screen and teardown.
#include "DemoServer.h"
#include "Pictures.h"
#include "TestEnv.h"

#include "app/Form1.h"
#include "platform/Forms.h"
#include "platform/Renderer.h"
#include "platform/WebBrowser.h"
#include "player/MpvBackend.h"
#include "player/WindowsMediaPlayer.h"
#include "settings/Addresses.h"

#include <QFile>
#include <QLoggingCategory>
#include <QOpenGLWidget>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <optional>

namespace {
QImage videoFrame(WindowsMediaPlayer *player) { return player->videoSurface()->grab().toImage(); }

void writeFile(const QString &path, const QByteArray &data)
{
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(data);
}

// The lines of one logging category while an object of this class lives,
// with that category's debug output on.
class CategoryLines {
public:
    explicit CategoryLines(const char *category)
    {
        s_category = category;
        s_lines.clear();
        QLoggingCategory::setFilterRules(QStringLiteral("%1.debug=true").arg(QLatin1String(category)));
        s_previous = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &context, const QString &text) {
            if (context.category && s_category == context.category)
                s_lines << text;
            else
                s_previous(type, context, text);
        });
    }
    ~CategoryLines()
    {
        qInstallMessageHandler(s_previous);
        QLoggingCategory::setFilterRules(QString());
    }
    static const QStringList &lines() { return s_lines; }

private:
    static inline QByteArray s_category;
    static inline QStringList s_lines;
    static inline QtMessageHandler s_previous = nullptr;
};
} // namespace

class TestRealPlayer : public QObject {
    Q_OBJECT
    QTemporaryDir m_media;
    std::unique_ptr<DemoServer> m_server;

    std::unique_ptr<QWidget> makeWindow(WindowsMediaPlayer *&player)
    {
        auto window = std::make_unique<QWidget>();
        window->setObjectName(QStringLiteral("window"));
        window->resize(393, 321);
        auto *layout = new QVBoxLayout(window.get());
        layout->setContentsMargins(0, 0, 0, 0);
        player = new WindowsMediaPlayer(window.get());
        player->setObjectName(QStringLiteral("WindowsMediaPlayer1"));
        player->setStretchToFit(true);
        layout->addWidget(player);
        window->show();
        if (!QTest::qWaitForWindowExposed(window.get()))
            qWarning("window not exposed");
        return window;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(DemoServer::makeWmv(m_media.filePath(QStringLiteral("clip.wmv")), 30));
        // First REF cannot be reached; the second is the clip, relative to the playlist.
        writeFile(m_media.filePath(QStringLiteral("list.asx")),
                  "<ASX version=\"3.0\">\r\n <Title>Test</Title>\r\n <Entry>\r\n"
                  "  <ref href=\"http://127.0.0.1:1/gone.wmv\"/>\r\n  <REF HREF='clip.wmv'/>\r\n"
                  " </Entry>\r\n</ASX>\r\n");
        writeFile(m_media.filePath(QStringLiteral("outer.asx")),
                  "<asx version=3.0><entryref href=\"list.asx\"/></asx>");
        writeFile(m_media.filePath(QStringLiteral("local.asx")),
                  "<asx><entry><ref href=\"file:///etc/passwd\"/></entry></asx>");
        m_server = std::make_unique<DemoServer>(
            QStringList{QStringLiteral("--no-live"), QStringLiteral("--media"), m_media.path()});
        QVERIFY(m_server->isRunning());
    }

    // Every engine option the player sets is one this libmpv takes: a
    // rejected one would leave mpv's default in place without a sign.
    void engineOptions_allTakenByThisLibmpv()
    {
        MpvBackend backend;
        QCOMPARE(backend.startError(), QString());
        QCOMPARE(backend.rejectedOptions(), QStringList());
    }

    void directWindowsMediaFile_playsAndDrawsVideo()
    {
        WindowsMediaPlayer *player = nullptr;
        auto window = makeWindow(player);
        QSignalSpy states(player, &WindowsMediaPlayer::playStateChanged);
        player->setURL(m_server->url(QStringLiteral("/media/clip.wmv")));
        QTRY_COMPARE_WITH_TIMEOUT(player->playState(), 3, 20000);
        QCOMPARE(states.first().first().toInt(), int(PlayState::Transitioning));
        QCOMPARE(player->statusText(), QStringLiteral("Afspelen"));
        QTRY_VERIFY_WITH_TIMEOUT(litShare(videoFrame(player)) > 0.5, 10000);
        // Pause and play again.
        player->controls.pause();
        QTRY_COMPARE_WITH_TIMEOUT(player->playState(), int(PlayState::Paused), 5000);
        player->controls.play();
        QTRY_COMPARE_WITH_TIMEOUT(player->playState(), 3, 5000);
        player->controls.stop();
        QCOMPARE(player->playState(), int(PlayState::Stopped));
        QTest::qWait(500);
        QCOMPARE(player->playState(), int(PlayState::Stopped));
    }

    void playlist_triesRefsInTurnAndFollowsEntryRef()
    {
        WindowsMediaPlayer *player = nullptr;
        auto window = makeWindow(player);
        player->setURL(m_server->url(QStringLiteral("/media/outer.asx")));
        QTRY_COMPARE_WITH_TIMEOUT(player->playState(), 3, 25000);
        QTRY_VERIFY_WITH_TIMEOUT(litShare(videoFrame(player)) > 0.5, 10000);
        const QJsonObject stats = m_server->stats();
        QVERIFY(stats.value(QStringLiteral("/media/outer.asx")).toInt() >= 1);
        QVERIFY(stats.value(QStringLiteral("/media/list.asx")).toInt() >= 1);
    }

    void failingAddresses_neverPlayAndSayWhy()
    {
        WindowsMediaPlayer *player = nullptr;
        auto window = makeWindow(player);
        QSignalSpy states(player, &WindowsMediaPlayer::playStateChanged);
        player->setURL(QStringLiteral("http://127.0.0.1:1/kwa/KR5/KR1.asx"));
        QTRY_COMPARE_WITH_TIMEOUT(player->playState(), int(PlayState::Ready), 10000);
        QVERIFY2(player->statusText().startsWith(QStringLiteral("Kan niet openen: ")),
                 qPrintable(player->statusText()));

        // A network playlist may not point at local files.
        player->setURL(m_server->url(QStringLiteral("/media/local.asx")));
        QTRY_COMPARE_WITH_TIMEOUT(player->playState(), int(PlayState::Ready), 10000);
        QVERIFY(player->statusText().startsWith(QStringLiteral("Kan niet openen: ")));

        // A missing file on the server.
        player->setURL(m_server->url(QStringLiteral("/media/nothing.wmv")));
        QTRY_COMPARE_WITH_TIMEOUT(player->playState(), int(PlayState::Ready), 10000);
        QVERIFY2(player->statusText().contains(QStringLiteral("404")), qPrintable(player->statusText()));

        // Text that is no address at all.
        player->setURL(QStringLiteral("Default value"));
        QTRY_COMPARE_WITH_TIMEOUT(player->playState(), int(PlayState::Ready), 10000);
        for (const QList<QVariant> &s : states)
            QVERIFY(s.first().toInt() != 3);
    }

    void bothRenderers_drawVideoAndSurviveFullScreen_data()
    {
        QTest::addColumn<int>("renderer");
        QTest::newRow("OpenGL") << int(Renderer::Kind::OpenGL);
        QTest::newRow("software") << int(Renderer::Kind::Software);
    }
    void bothRenderers_drawVideoAndSurviveFullScreen()
    {
        QFETCH(int, renderer);
        const CategoryLines frameLines("kijkraam.player.frames");
        WindowsMediaPlayer *player = nullptr;
        std::optional<Seam<Renderer::Kind>::Override> forced;
        forced.emplace(Renderer::seam, Renderer::Kind(renderer));
        auto window = makeWindow(player);
        forced.reset();
        QCOMPARE(qobject_cast<QOpenGLWidget *>(player->videoSurface()) != nullptr,
                 renderer == int(Renderer::Kind::OpenGL));
        player->setURL(m_server->url(QStringLiteral("/media/clip.wmv")));
        QTRY_COMPARE_WITH_TIMEOUT(player->playState(), 3, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(litShare(videoFrame(player)) > 0.5, 10000);
        // The frame counters, for measuring: frames drawn and painted, none dropped.
        static const QRegularExpression counters(QStringLiteral(
            "^window/WindowsMediaPlayer1 frames rendered (\\d+) shown (\\d+) dropped (\\d+) decoder-dropped (\\d+)$"));
        QTRY_VERIFY_WITH_TIMEOUT(!frameLines.lines().isEmpty()
                                     && counters.match(frameLines.lines().last()).captured(2).toInt() >= 10,
                                 10000);
        const QRegularExpressionMatch last = counters.match(frameLines.lines().last());
        QVERIFY2(last.captured(2).toInt() <= last.captured(1).toInt(), qPrintable(last.captured(0)));
        QCOMPARE(last.captured(3).toInt() + last.captured(4).toInt(), 0);
        QStringList distinct = frameLines.lines();
        QCOMPARE(distinct.removeDuplicates(), 0); // one line for each change
        // A double click on the video goes to full screen and back, whichever
        // widget draws it. Unscaled, as the four-player windows show it, the
        // 320x240 clip fills a quarter of a 640x480 player; full screen it
        // fills the screen's height, and back its own scaling returns.
        player->setStretchToFit(false);
        window->resize(640, 480 + player->height() - player->videoSurface()->height());
        QTRY_COMPARE(player->videoSurface()->size(), QSize(640, 480));
        QTRY_VERIFY_WITH_TIMEOUT(qAbs(litShare(videoFrame(player)) - 0.25) < 0.05, 10000);
        QTest::mouseDClick(player->videoSurface(), Qt::LeftButton);
        QVERIFY(player->fullScreen());
        QTRY_VERIFY_WITH_TIMEOUT(player->width() > 1000, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(litShare(videoFrame(player)) > 0.5, 10000);
        QTest::mouseDClick(player->videoSurface(), Qt::LeftButton);
        QVERIFY(!player->fullScreen());
        QTRY_VERIFY_WITH_TIMEOUT(player->isVisible() && !player->isWindow(), 5000);
        QTest::qWait(300);
        QTRY_VERIFY_WITH_TIMEOUT(qAbs(litShare(videoFrame(player)) - 0.25) < 0.05, 10000);
        QCOMPARE(player->playState(), 3);
        // Closing the window ends the player while it draws (run this in a
        // sanitizer build: nothing may touch the widget half destroyed).
        window.reset();
        QTRY_COMPARE_WITH_TIMEOUT(MpvBackend::liveCores(), 0, 10000);
    }

    void teardown_endsEveryCore()
    {
        {
            WindowsMediaPlayer *player = nullptr;
            auto window = makeWindow(player);
            player->setURL(m_server->url(QStringLiteral("/media/clip.wmv")));
            QTRY_COMPARE_WITH_TIMEOUT(player->playState(), 3, 20000);
            QVERIFY(MpvBackend::liveCores() >= 1);
        }
        QTRY_COMPARE_WITH_TIMEOUT(MpvBackend::liveCores(), 0, 10000);
    }

    void mainWindow_fourPlayersAndTickerFromTheServer()
    {
        TestEnv env;
        const auto server = Addresses::serverSeam.standIn(m_server->base());
        QByteArray ini = "[Kijkraam]\r\nAutostart=Ja\r\nNieuws=Ja\r\n";
        for (int slot = 1; slot <= 4; ++slot)
            ini +=
                QStringLiteral("[Stream%1]\r\nAdres=%2\r\n").arg(slot).arg(m_server->url("/media/clip.wmv")).toUtf8();
        env.writeIni(ini);
        auto *form = qobject_cast<Form1 *>(Forms::show(WindowKey::Main));
        QVERIFY(QTest::qWaitForWindowExposed(form));
        QSignalSpy tickerLoaded(form->WebBrowser2, &WebBrowser::loadFinished);
        for (int slot = 1; slot <= 4; ++slot)
            QTRY_COMPARE_WITH_TIMEOUT(form->player(slot)->playState(), 3, 30000);
        QTRY_VERIFY_WITH_TIMEOUT(tickerLoaded.count() >= 1, 30000);
        QVERIFY(tickerLoaded.first().first().toBool());
        QTRY_COMPARE_WITH_TIMEOUT(m_server->stats().value(QStringLiteral("/kwa/KR5/count.php")).toInt(), 1, 15000);
        // The visible strip of the ticker shows the page (not only black).
        QTRY_VERIFY_WITH_TIMEOUT(litShare(form->WebBrowser2->grab(QRect(10, 4, 380, 26)).toImage()) > 0.01, 15000);
        for (int slot = 1; slot <= 4; ++slot)
            QTRY_VERIFY_WITH_TIMEOUT(litShare(videoFrame(form->player(slot))) > 0.5, 10000);
        if (!qEnvironmentVariableIsEmpty("KIJKRAAM_SCREENSHOT"))
            form->grab().save(qEnvironmentVariable("KIJKRAAM_SCREENSHOT"));
    }
};

int main(int argc, char *argv[])
{
    kijkraamTestPrepare();
    // The players' OpenGL renderer is used only where there is a GPU, and
    // there the program shares OpenGL contexts (Application::prepare): so
    // here too, whatever this machine has.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    kijkraamTestInit();
    TestRealPlayer tc;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&tc, argc, argv);
}
#include "tst_realplayer.moc"
