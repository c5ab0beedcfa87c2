// A browser engine that cannot start: every browser of the program that
// shows a page runs it in a render process, and here that process is a
// program that ends at once with a fault (the engine's
// QTWEBENGINEPROCESS_PATH points at "false"). The program must tell the
// user, in Dutch, and end with exit status 1. A browser that is never seen
// asks for its page without the engine, and so is not held up by it.
#include "FakeBackend.h"
#include "TestEnv.h"

#include "platform/ComponentFailure.h"
#include "platform/Forms.h"
#include "platform/ProgramDir.h"
#include "platform/WebBrowser.h"

#include <QFile>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTimer>
#include <cstdio>

namespace {
const char *ChildMode = "KIJKRAAM_BROWSER_TEST_CHILD";

// The program as it starts, in a directory of its own, with the news ticker
// on: its main window shows the ticker page. When the message box comes, its
// text goes to standard output and its OK button is pressed, as the user
// would.
int runProgramUntilTheMessage(QApplication &app)
{
    QTemporaryDir dir;
    const auto programDir = ProgramDir::seam.standIn({dir.path()});
    QFile ini(dir.filePath(QStringLiteral("ini.ini")));
    if (!ini.open(QIODevice::WriteOnly) || ini.write("[Kijkraam]\r\nNieuws=Ja\r\n") < 0)
        return 98;
    ini.close();
    FakeBackend::install(); // the players are not what this is about
    Forms::show(WindowKey::Main);
    auto *watch = new QTimer(&app);
    QObject::connect(watch, &QTimer::timeout, [watch] {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            auto *box = qobject_cast<QMessageBox *>(w);
            if (!box || !box->isVisible() || box->objectName() != QLatin1String("componentFailure"))
                continue;
            watch->stop();
            std::printf("TITLE %s\nTEXT %s\n", qPrintable(box->windowTitle()),
                        qPrintable(box->text().replace(QLatin1Char('\n'), QLatin1Char('|'))));
            std::fflush(stdout);
            box->button(QMessageBox::Ok)->click();
        }
    });
    watch->start(100);
    QTimer::singleShot(60000, &app, [] { QCoreApplication::exit(99); }); // never wait forever
    const int status = app.exec();
    Forms::destroyAll();
    return status;
}
// A browser in a window that is shown: inside it, or outside it (never seen).
WebBrowser *browserIn(QWidget &window, bool seen)
{
    window.resize(300, 100);
    auto *browser = new WebBrowser(&window);
    browser->setGeometry(seen ? QRect(10, 10, 200, 50) : QRect(400, 10, 200, 50));
    window.show();
    return browser;
}
} // namespace

class TestBrowser : public QObject {
    Q_OBJECT
    QStringList m_reports;
    std::optional<Seam<ComponentFailure::Handler>::Override> m_handler;

private slots:
    void init()
    {
        m_reports.clear();
        m_handler.emplace(ComponentFailure::handlerSeam, [this](const QString &component, const QString &reason) {
            m_reports << component + QStringLiteral(": ") + reason;
        });
    }
    void cleanup() { m_handler.reset(); }

    // Runs first: the engine is not loaded yet.
    void browserOutsideItsWindow_asksWithoutTheEngine()
    {
        QWidget window;
        WebBrowser *browser = browserIn(window, false);
        QSignalSpy loaded(browser, &WebBrowser::loadFinished);
        browser->Navigate(QStringLiteral("http://127.0.0.1:9/")); // nothing listens there
        QTRY_COMPARE_WITH_TIMEOUT(loaded.count(), 1, 30000);
        QCOMPARE(loaded.first().first().toBool(), false);
        QVERIFY(!browser->view());
        QCOMPARE(m_reports, QStringList());
        QVERIFY(!WebBrowser::engineStarted());
        QFile maps(QStringLiteral("/proc/self/maps"));
        QVERIFY(maps.open(QIODevice::ReadOnly));
        QVERIFY(!maps.readAll().contains("libQt6WebEngineCore"));
    }

    void engineThatCannotStart_isReported()
    {
        QWidget window;
        WebBrowser *browser = browserIn(window, true);
        browser->Navigate(QStringLiteral("http://127.0.0.1:9/"));
        QTRY_VERIFY_WITH_TIMEOUT(!m_reports.isEmpty(), 30000);
        QVERIFY(browser->view());
        QVERIFY(!WebBrowser::engineStarted());
        QVERIFY2(m_reports.first().startsWith(QLatin1String("de browser-engine (Qt WebEngine): het weergaveproces")),
                 qPrintable(m_reports.first()));
        // How the engine saw the process end (an exit status, or a crash)
        // varies with timing; never the raw wait status.
        QVERIFY2(!m_reports.first().contains(QLatin1String("256")), qPrintable(m_reports.first()));
        // One report is enough, however many pages fail after it.
        QTest::qWait(1000);
        QCOMPARE(m_reports.size(), 1);
    }

    // The program itself: the user sees the Dutch message, and the program
    // ends with status 1 once it is acknowledged.
    void program_showsTheMessageAndEndsWithStatus1()
    {
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QLatin1String(ChildMode), QStringLiteral("1"));
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(child.waitForStarted());
        QVERIFY(child.waitForFinished(90000));
        const QString out = QString::fromLocal8Bit(child.readAllStandardOutput());
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QVERIFY2(child.exitCode() == 1, qPrintable(QStringLiteral("status %1: %2").arg(child.exitCode()).arg(out)));
        QVERIFY2(out.contains(QLatin1String("TITLE Kijkraam 2005")), qPrintable(out));
        QVERIFY2(
            out.contains(QLatin1String("TEXT Kijkraam kan niet starten: de browser-engine (Qt WebEngine) werkt niet.")),
            qPrintable(out));
        QVERIFY2(out.contains(QLatin1String("Oorzaak: het weergaveproces van de browser")), qPrintable(out));
        QVERIFY2(out.contains(QLatin1String("Het programma wordt afgesloten.")), qPrintable(out));
    }
};

int main(int argc, char *argv[])
{
    // Every render process this test starts ends at once with status 1.
    qputenv("QTWEBENGINEPROCESS_PATH", QStandardPaths::findExecutable(QStringLiteral("false")).toLocal8Bit());
    // For an ordinary user the engine starts its sandbox's zygote from that
    // helper first, and a zygote that never starts trips a check inside the
    // engine that ends the whole process, which no program can catch. The
    // test runs the engine as root runs it (no sandbox, no zygote), so that
    // it reaches the render processes that end.
    if (!qEnvironmentVariableIsSet("QTWEBENGINE_CHROMIUM_FLAGS"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--no-sandbox --no-zygote");
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    kijkraamTestPrepare();
    QApplication app(argc, argv);
    kijkraamTestInit();
    if (qEnvironmentVariableIsSet(ChildMode))
        return runProgramUntilTheMessage(app);
    TestBrowser tc;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&tc, argc, argv);
}

#include "tst_browser.moc"
