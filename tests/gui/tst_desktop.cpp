// The built program on a desktop of its own (Xvfb with the openbox window
// manager), driven as a person drives it: windows closed with the window
// manager's close request, menus and buttons through the keyboard, the
// snapshot button with the mouse. The program must end when its last window
// goes, whichever that is, with exit status 0 and no process of its own left.
//
// The program is build/kijkraam (next to the directory of this test), copied
// with an ini.ini into a directory of its own; its players get addresses
// where nothing answers, so no network is needed.
#include <QtTest>

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <functional>
#include <signal.h>

namespace {

bool waitUntil(const std::function<bool()> &done, int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms)
            return false;
        QTest::qWait(100);
    }
    return true;
}

// The processes whose parent chain leads to `root`.
QSet<qint64> descendantsOf(qint64 root)
{
    QHash<qint64, qint64> parent;
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        if (!number)
            continue;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = stat.readAll();
        // "pid (name) state ppid ...": the name may hold blanks.
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1)
            parent.insert(pid, fields[1].toLongLong());
    }
    QSet<qint64> found;
    bool grew = true;
    while (grew) {
        grew = false;
        for (auto it = parent.cbegin(); it != parent.cend(); ++it)
            if ((it.value() == root || found.contains(it.value())) && !found.contains(it.key())) {
                found.insert(it.key());
                grew = true;
            }
    }
    return found;
}

// Whether a process still runs (a zombie has ended).
bool running(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray text = stat.readAll();
    return text.mid(text.lastIndexOf(')') + 2, 1) != "Z";
}

QString commandOf(qint64 pid)
{
    QFile cmd(QStringLiteral("/proc/%1/cmdline").arg(pid));
    return cmd.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(cmd.readAll().replace('\0', ' ')).left(100)
                                         : QString();
}

} // namespace

class TestDesktop : public QObject {
    Q_OBJECT

    QProcess m_xvfb, m_openbox, m_program;
    QProcessEnvironment m_env;
    QString m_programFile;
    QSet<qint64> m_children;     // every process the program started, seen so far
    QSet<QString> m_iconColours; // the fill colours of the program's icon

    // A tool on the desktop; its standard output.
    QString tool(const QString &program, const QStringList &args)
    {
        QProcess p;
        p.setProcessEnvironment(m_env);
        p.start(program, args);
        if (!p.waitForFinished(10000)) {
            p.kill();
            p.waitForFinished();
        }
        return QString::fromLocal8Bit(p.readAllStandardOutput());
    }

    // The managed windows: id and title.
    QList<QPair<QString, QString>> windows()
    {
        QList<QPair<QString, QString>> list;
        static const QRegularExpression line(QStringLiteral("^(0x[0-9a-f]+)\\s+\\S+\\s+\\S+\\s(.*)$"));
        for (const QString &l : tool(QStringLiteral("wmctrl"), {QStringLiteral("-l")}).split(QLatin1Char('\n'))) {
            const auto m = line.match(l);
            if (m.hasMatch())
                list << qMakePair(m.captured(1), m.captured(2));
        }
        return list;
    }
    QStringList titles()
    {
        QStringList list;
        for (const auto &w : windows())
            list << w.second;
        list.sort();
        return list;
    }
    QString idOf(const QString &title)
    {
        for (const auto &w : windows())
            if (w.second == title)
                return w.first;
        return QString();
    }

    void watchChildren()
    {
        if (m_program.state() == QProcess::Running)
            m_children.unite(descendantsOf(m_program.processId()));
    }

    // Make the window active, as a click on its frame would.
    bool activate(const QString &title)
    {
        const QString id = idOf(title);
        if (id.isEmpty())
            return false;
        tool(QStringLiteral("wmctrl"), {QStringLiteral("-i"), QStringLiteral("-a"), id});
        const qulonglong wanted = id.toULongLong(nullptr, 16);
        const bool ok = waitUntil(
            [&] {
                return tool(QStringLiteral("xdotool"), {QStringLiteral("getactivewindow")}).trimmed().toULongLong()
                       == wanted;
            },
            5000);
        QTest::qWait(300); // the program takes the keyboard focus
        return ok;
    }
    void keys(const QStringList &keys)
    {
        tool(QStringLiteral("xdotool"),
             QStringList{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("120")} + keys);
    }

    // One step of a row, then the windows expected afterwards.
    void act(const QString &step)
    {
        const QString verb = step.section(QLatin1Char(' '), 0, 0);
        const QString arg = step.section(QLatin1Char(' '), 1);
        const QString main = QStringLiteral("Kijkraam 2005");
        if (verb == QLatin1String("close")) { // the window manager's close request
            QVERIFY2(!idOf(arg).isEmpty(), qPrintable(arg));
            tool(QStringLiteral("wmctrl"), {QStringLiteral("-i"), QStringLiteral("-c"), idOf(arg)});
        } else if (verb.startsWith(QLatin1String("vergroot"))) { // "vergrootN": the Nth "Vergroot" button
            QVERIFY(activate(main));
            // Back from the first player: the last "Vergroot" button, then up to the Nth.
            QStringList back;
            for (int n = verb.mid(8).toInt(); n <= 4; ++n)
                back << QStringLiteral("shift+Tab");
            keys(back << QStringLiteral("space"));
        } else if (verb == QLatin1String("menu")) { // "&Bestand" of the main or layout window
            QVERIFY(activate(main));
            // Alt alone, then Down, opens the first menu: "&Bestand" and
            // "&Beeld" share their access key, so Alt+B opens either.
            keys(QStringList{QStringLiteral("Alt_L"), QStringLiteral("Down")} + arg.split(QLatin1Char(' ')));
        } else if (verb == QLatin1String("keys")) { // keys to a window: "keys TITLE key..."
            QVERIFY(activate(arg.section(QLatin1Char(' '), 0, 0)));
            keys(arg.section(QLatin1Char(' '), 1).split(QLatin1Char(' ')));
        } else if (verb == QLatin1String("snapshot")) { // a click on Stream1's red button
            QVERIFY(activate(QStringLiteral("Stream1")));
            const QString id = idOf(QStringLiteral("Stream1"));
            const QString shell = tool(QStringLiteral("xdotool"),
                                       {QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), id});
            const int height = QRegularExpression(QStringLiteral("HEIGHT=(\\d+)")).match(shell).captured(1).toInt();
            // The client area (319 pixels high) lies below the menu bar;
            // the button at 368, 293 in it, 20 x 21.
            const int y = height - 319 + 293 + 10;
            tool(QStringLiteral("xdotool"),
                 {QStringLiteral("mousemove"), QStringLiteral("--window"), id, QStringLiteral("378"),
                  QString::number(y), QStringLiteral("click"), QStringLiteral("1")});
        } else {
            QFAIL(qPrintable(QStringLiteral("unknown step ") + step));
        }
    }

    // A copy of the program with its own ini.ini in `dir`, started; its
    // main window is up.
    void start(const QTemporaryDir &dir, bool ticker)
    {
        const QString program = dir.filePath(QStringLiteral("kijkraam"));
        QVERIFY(QFile::copy(m_programFile, program));
        QFile ini(dir.filePath(QStringLiteral("ini.ini")));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[Kijkraam]\r\nAutostart=Ja\r\nAutosave_Snapshot=Nee\r\n");
        if (ticker)
            ini.write("Nieuws=Ja\r\n");
        for (int slot = 1; slot <= 4; ++slot)
            ini.write(QStringLiteral("[Stream%1]\r\nAdres=rtsp://127.0.0.1:9/x%1\r\n").arg(slot).toLatin1());
        ini.close();

        m_program.setProcessEnvironment(m_env);
        m_program.setWorkingDirectory(dir.path());
        m_program.setProcessChannelMode(QProcess::MergedChannels);
        m_program.start(program, {});
        QVERIFY(m_program.waitForStarted());
        QVERIFY2(waitUntil([&] { return titles() == QStringList{QStringLiteral("Kijkraam 2005")}; }, 30000),
                 qPrintable(titles().join(QLatin1Char('|'))));
    }

    // An X window's place and size on the screen; with `frame`, those of
    // the window manager's frame around it.
    QRect geometryOf(QString id, bool frame = false)
    {
        static const QRegularExpression parent(QStringLiteral("Parent window id: (0x[0-9a-f]+)"));
        if (frame)
            id = parent.match(tool(QStringLiteral("xwininfo"), {QStringLiteral("-tree"), QStringLiteral("-id"), id}))
                     .captured(1);
        const QString info = tool(QStringLiteral("xwininfo"), {QStringLiteral("-id"), id});
        auto value = [&](const char *key) {
            return QRegularExpression(QLatin1String(key) + QStringLiteral(":\\s+(-?\\d+)"))
                .match(info)
                .captured(1)
                .toInt();
        };
        return QRect(value("Absolute upper-left X"), value("Absolute upper-left Y"), value("Width"), value("Height"));
    }
    // The top of the client area of a window that spans `own` (menu bar and
    // client area): the first row under the light grey menu bar that is not
    // light, on the screen.
    int clientTop(const QRect &own)
    {
        const QString column = tool(QStringLiteral("import"),
                                    {QStringLiteral("-window"), QStringLiteral("root"), QStringLiteral("-crop"),
                                     QStringLiteral("1x60+%1+%2").arg(own.right() - 2).arg(own.y()),
                                     QStringLiteral("-depth"), QStringLiteral("8"), QStringLiteral("txt:-")});
        static const QRegularExpression pixel(QStringLiteral("^0,(\\d+): \\((\\d+),(\\d+),(\\d+)"),
                                              QRegularExpression::MultilineOption);
        for (auto it = pixel.globalMatch(column); it.hasNext();) {
            const auto m = it.next();
            if (m.captured(2).toInt() + m.captured(3).toInt() + m.captured(4).toInt() < 450)
                return own.y() + m.captured(1).toInt();
        }
        return -1;
    }

private slots:
    void initTestCase()
    {
        for (const char *needed : {"Xvfb", "openbox", "wmctrl", "xdotool", "xprop"})
            if (QStandardPaths::findExecutable(QLatin1String(needed)).isEmpty())
                QSKIP(qPrintable(
                    QStringLiteral("%1 is not installed (scripts/setup installs it)").arg(QLatin1String(needed))));
        m_programFile = QCoreApplication::applicationDirPath() + QStringLiteral("/../kijkraam");
        QFile svg(QStringLiteral(KIJKRAAM_SOURCE_DIR "/resources/kijkraam.svg"));
        QVERIFY(svg.open(QIODevice::ReadOnly));
        static const QRegularExpression fill(QStringLiteral("fill=\"#([0-9a-f]{6})\""));
        for (auto it = fill.globalMatch(QString::fromUtf8(svg.readAll())); it.hasNext();)
            m_iconColours << it.next().captured(1);
        QVERIFY(m_iconColours.size() >= 4);
        QVERIFY2(QFile::exists(m_programFile), qPrintable(m_programFile + QStringLiteral(" is not built")));

        // A screen of its own: openbox there changes no other test's windows.
        m_xvfb.start(QStringLiteral("Xvfb"),
                     {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"), QStringLiteral("0"),
                      QStringLiteral("1920x1080x24"), QStringLiteral("-nolisten"), QStringLiteral("tcp")});
        QVERIFY(m_xvfb.waitForStarted());
        QVERIFY(waitUntil([&] { return m_xvfb.canReadLine(); }, 15000));
        const QString display = QStringLiteral(":") + QString::fromLatin1(m_xvfb.readLine().trimmed());
        m_env = QProcessEnvironment::systemEnvironment();
        m_env.insert(QStringLiteral("DISPLAY"), display);
        m_env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        m_env.remove(QStringLiteral("XAUTHORITY"));
        m_openbox.setProcessEnvironment(m_env);
        m_openbox.start(QStringLiteral("openbox"), {});
        QVERIFY(m_openbox.waitForStarted());
        QVERIFY(waitUntil(
            [&] { return tool(QStringLiteral("wmctrl"), {QStringLiteral("-m")}).contains(QLatin1String("Openbox")); },
            15000));
    }

    void cleanupTestCase()
    {
        for (QProcess *p : {&m_program, &m_openbox, &m_xvfb}) {
            if (p->state() != QProcess::NotRunning) {
                p->terminate();
                if (!p->waitForFinished(5000)) {
                    p->kill();
                    p->waitForFinished();
                }
            }
        }
    }

    void cleanup()
    {
        if (m_program.state() != QProcess::NotRunning) {
            m_program.kill();
            m_program.waitForFinished();
        }
        for (qint64 pid : std::as_const(m_children))
            if (running(pid) && commandOf(pid).contains(QLatin1String("QtWebEngine")))
                ::kill(pid_t(pid), SIGKILL);
        m_children.clear();
    }

    void programEndsWithItsLastWindow_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("windowsAfter"); // after each step, "|"-separated titles
        QTest::addColumn<bool>("ticker");
        const QString main = QStringLiteral("Kijkraam 2005");
        QTest::newRow("main window's close box, then Stream1's Sluiten")
            << QStringList{"vergroot1", "close Kijkraam 2005", "keys Stream1 alt+s"}
            << QStringList{"Kijkraam 2005|Stream1", "Stream1", ""} << false;
        QTest::newRow("Stream1's close box, main window's close box, About last")
            << QStringList{"vergroot1", "menu a", "close Stream1", "close Kijkraam 2005", "close About"}
            << QStringList{"Kijkraam 2005|Stream1", "About|Kijkraam 2005|Stream1", "About|Kijkraam 2005", "About", ""}
            << false;
        QTest::newRow("snapshot window's Sluiten last")
            << QStringList{"vergroot1", "snapshot", "close Kijkraam 2005", "keys Stream1 alt+s",
                           "keys Snapshot Tab space"}
            << QStringList{"Kijkraam 2005|Stream1", "Kijkraam 2005|Snapshot|Stream1", "Snapshot|Stream1", "Snapshot",
                           ""}
            << false;
        QTest::newRow("main window's Sluiten ends everything at once")
            << QStringList{"vergroot1", "menu o", "menu s"}
            << QStringList{"Kijkraam 2005|Stream1", "Kijkraam 2005|Opties|Stream1", ""} << false;
        QTest::newRow("layout window's close box")
            << QStringList{"menu Right h", "close Kijkraam 2005"} << QStringList{"Kijkraam 2005", ""}
            << true; // the ticker's processes end too
        Q_UNUSED(main)
    }
    void programEndsWithItsLastWindow()
    {
        QFETCH(QStringList, steps);
        QFETCH(QStringList, windowsAfter);
        QFETCH(bool, ticker);
        QCOMPARE(steps.size(), windowsAfter.size());

        QTemporaryDir dir;
        start(dir, ticker);
        if (QTest::currentTestFailed())
            return;
        // The ticker's page runs in processes of the program's own (the
        // counter page is asked for without them).
        if (ticker)
            QVERIFY(waitUntil(
                [&] {
                    watchChildren();
                    return !m_children.isEmpty();
                },
                20000));

        if (QByteArray(QTest::currentDataTag()).startsWith("main window's close box")) {
            // Right after the start the keyboard is with the first player: a
            // Space there does not press the first "Vergroot" button.
            QVERIFY(activate(QStringLiteral("Kijkraam 2005")));
            keys({QStringLiteral("space")});
            QTest::qWait(1500);
            QCOMPARE(titles(), QStringList{QStringLiteral("Kijkraam 2005")});
        }

        for (int i = 0; i < steps.size(); ++i) {
            watchChildren();
            act(steps[i]);
            if (QTest::currentTestFailed())
                return;
            QStringList expected = windowsAfter[i].split(QLatin1Char('|'), Qt::SkipEmptyParts);
            expected.sort();
            QVERIFY2(waitUntil([&] { return titles() == expected; }, 15000),
                     qPrintable(QStringLiteral("after \"%1\": %2, expected %3")
                                    .arg(steps[i], titles().join(QLatin1Char('|')), expected.join(QLatin1Char('|')))));
            if (!expected.isEmpty())
                QCOMPARE(m_program.state(), QProcess::Running);
            // Every window hands the window manager the program's icon:
            // each colour of resources/kijkraam.svg is among its pixels
            // (openbox puts a grey icon of its own on a window without one).
            for (const auto &w : windows()) {
                const QString icon = tool(QStringLiteral("xprop"),
                                          {QStringLiteral("-id"), w.first, QStringLiteral("-notype"),
                                           QStringLiteral("-f"), QStringLiteral("_NET_WM_ICON"), QStringLiteral("32x"),
                                           QStringLiteral("=$0+"), QStringLiteral("_NET_WM_ICON")});
                for (const QString &colour : std::as_const(m_iconColours))
                    QVERIFY2(icon.contains(QStringLiteral("0xff") + colour),
                             qPrintable(QStringLiteral("%1: no #%2 in its icon").arg(w.second, colour)));
            }
        }

        // The last window went: the program ends by itself, successfully,
        // and nothing it started stays behind.
        QVERIFY2(m_program.waitForFinished(20000), "the program kept running without a window");
        QCOMPARE(m_program.exitStatus(), QProcess::NormalExit);
        QVERIFY2(m_program.exitCode() == 0, m_program.readAll().right(2000).constData());
        QStringList left;
        QVERIFY(waitUntil(
                    [&] {
                        left.clear();
                        for (qint64 pid : std::as_const(m_children))
                            if (running(pid))
                                left << QStringLiteral("%1 %2").arg(pid).arg(commandOf(pid));
                        return left.isEmpty();
                    },
                    10000)
                || (qWarning() << left, false));
    }

    // Under a window manager each window with a place of its own opens with
    // its client area there and its designed outer size (what the frame
    // adds is the window manager's), and stays so: no late correction.
    void windowsOpenWhereDesigned_data()
    {
        QTest::addColumn<QString>("step"); // what opens it (none: the main window)
        QTest::addColumn<QString>("title");
        QTest::addColumn<QPoint>("corner");
        QTest::addColumn<QSize>("client"); // client area; a height of 0: the outer height is designed
        QTest::addColumn<int>("outerHeight");
        QTest::newRow("Form1") << QString() << "Kijkraam 2005" << QPoint(213, 179) << QSize(561, 0) << 541;
        QTest::newRow("Stream1") << "vergroot1"
                                 << "Stream1" << QPoint(305, 257) << QSize(392, 319) << 0;
        QTest::newRow("Stream2") << "vergroot2"
                                 << "Stream2" << QPoint(305, 296) << QSize(392, 320) << 0;
        QTest::newRow("Horizontaal") << "menu Right h"
                                     << "Kijkraam 2005" << QPoint(16, 179) << QSize(738, 169) << 0;
        QTest::newRow("verticaal") << "menu Right v"
                                   << "Kijkraam 2005" << QPoint(436, 49) << QSize(185, 673) << 0;
    }
    void windowsOpenWhereDesigned()
    {
        QFETCH(QString, step);
        QFETCH(QString, title);
        QFETCH(QPoint, corner);
        QFETCH(QSize, client);
        QFETCH(int, outerHeight);
        QTemporaryDir dir;
        start(dir, false);
        const QString main = step.isEmpty() ? QString() : idOf(QStringLiteral("Kijkraam 2005"));
        if (!step.isEmpty())
            act(step);
        QString id;
        QVERIFY(waitUntil(
            [&] {
                id = idOf(title);
                return !id.isEmpty() && id != main;
            },
            15000));
        const QRect first = geometryOf(id, true);
        QTest::qWait(1500);
        const QRect own = geometryOf(id), frame = geometryOf(id, true);
        const int top = clientTop(own);
        QCOMPARE(QPoint(own.x(), top), corner);
        QCOMPARE(first, frame); // as it first appeared
        QCOMPARE(own.width(), client.width());
        if (outerHeight)
            QCOMPARE(frame.height(), outerHeight);
        else
            QCOMPARE(own.bottom() + 1 - top, client.height());
    }
};

QTEST_GUILESS_MAIN(TestDesktop)
#include "tst_desktop.moc"
