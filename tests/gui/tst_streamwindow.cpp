// The stream windows on players without a decoder: design, what the load
// reads, size steps and their bounds, full screen, topmost, lifecycle.
#include "FakeBackend.h"
#include "TestEnv.h"

#include "platform/Form.h"
#include "platform/Forms.h"
#include "platform/TextField.h"
#include "player/WindowsMediaPlayer.h"
#include "stream/SnapshotButton.h"

#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QWindow>

namespace {
WindowsMediaPlayer *playerOf(const QObject *w) { return named<WindowsMediaPlayer>(w, "WindowsMediaPlayer1"); }
SnapshotButton *buttonOf(const QObject *w) { return named<SnapshotButton>(w, "Image1"); }
QAction *item(const QObject *w, const char *name) { return named<QAction>(w, QLatin1String(name)); }
QString field(const QObject *w, const char *name) { return named<TextField>(w, QLatin1String(name))->Text(); }

// The six values a size step changes, in twips.
QList<double> sizesOf(Form *w)
{
    return {w->outerWidthTw(),     w->outerHeightTw(),  playerOf(w)->Width(),
            playerOf(w)->Height(), buttonOf(w)->Left(), buttonOf(w)->Top()};
}
QList<double> plus(QList<double> values, double delta)
{
    for (double &v : values)
        v += delta;
    return values;
}
Form *open(int slot)
{
    Form *w = Forms::show(WindowKeys::stream(slot));
    if (w && !QTest::qWaitForWindowExposed(w))
        qWarning("stream window not exposed");
    return w;
}
} // namespace

class TestStreamWindow : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { FakeBackend::install(); }
    void cleanupTestCase() { FakeBackend::uninstall(); }

    void designAndLoad_ofEverySlot()
    {
        TestEnv env;
        env.writeIni("[Kijkraam]\r\nAutosave_Snapshot=Nee\r\n[Stream1]\r\nAdres=auto\r\n[Stream2]\r\nAdres=\r\n"
                     "[Stream3]\r\nAdres=rtsp://127.0.0.1:9/drie\r\n");
        const QString adres[] = {"auto", "", "rtsp://127.0.0.1:9/drie", "Auto"};
        const QString url[] = {"auto", "", "rtsp://127.0.0.1:9/drie",
                               QStringLiteral(KIJKRAAM_SERVER "/kwa/KR5/KR4.asx")};
        const QSize clientPx[] = {{392, 319}, {392, 320}, {392, 320}, {393, 320}};
        for (int slot = 1; slot <= 4; ++slot) {
            Form *w = open(slot);
            QVERIFY(w);
            QCOMPARE(w->windowTitle(), QStringLiteral("Stream%1").arg(slot));
            QCOMPARE(w->client()->size(), clientPx[slot - 1]);
            QCOMPARE(w->client()->palette().color(QPalette::Window), QColor(0, 0, 0));
            QCOMPARE(w->minimumSize(), w->maximumSize());
            QVERIFY(!(w->windowFlags() & Qt::WindowMaximizeButtonHint));
            QVERIFY(w->windowFlags() & Qt::WindowMinimizeButtonHint);
            // The load: autosave switch and own address, the player started on it.
            QCOMPARE(field(w, "Save"), QStringLiteral("Nee"));
            QCOMPARE(field(w, "Adres"), adres[slot - 1]);
            WindowsMediaPlayer *p = playerOf(w);
            QCOMPARE(p->URL(), url[slot - 1]);
            if (slot == 1 || slot == 3)
                QCOMPARE(FakeBackend::of(p)->current, url[slot - 1]); // no playlist: straight to the decoder
            QVERIFY(!named(w, "Adres")->isVisible() && !named(w, "Save")->isVisible());
            // The keyboard starts with the player.
            QApplication::setActiveWindow(w);
            QTRY_VERIFY(w->isActiveWindow());
            QVERIFY(QApplication::focusWidget() == p || p->isAncestorOf(QApplication::focusWidget()));

            QCOMPARE(p->geometry(), QRect(0, 0, 393, 321));
            QVERIFY(p->stretchToFit() && FakeBackend::of(p)->stretch_);
            QVERIFY(p->property("enableContextMenu").toBool());
            // The snapshot button: a red disc on the player's lower-right
            // corner, transparent around it, the widget found there on screen.
            SnapshotButton *button = buttonOf(w);
            QCOMPARE(button->geometry(), QRect(368, 293, 20, 21));
            QCOMPARE(QApplication::widgetAt(button->mapToGlobal(QPoint(10, 10))), button);
            const QImage seen = w->grab().toImage();
            QCOMPARE(seen.pixelColor(button->mapTo(w, QPoint(10, 10))), QColor(255, 0, 0));
            QVERIFY(seen.pixelColor(button->mapTo(w, QPoint(0, 0))) != QColor(255, 0, 0));

            // Menus in screen order; "&Sluiten" stands in the menu bar itself.
            auto *view = named<QMenu>(w, "mnuFile");
            QCOMPARE(w->menuBar()->actions(), (QList<QAction *>{item(w, "mnuSluiten"), view->menuAction()}));
            QCOMPARE(item(w, "mnuSluiten")->text(), QStringLiteral("&Sluiten"));
            QCOMPARE(view->title(), QStringLiteral("&Beeld"));
            QStringList items;
            for (QAction *a : view->actions())
                items << (a->isSeparator() ? QStringLiteral("-") : a->text() + QLatin1Char(' ') + a->objectName());
            QCOMPARE(items, (QStringList{"&Verklein mnuVerklein", "&Vergroot mnuVergroot", "&Full Screen mnuFullScreen",
                                         "-", "&Always on Top mnuOnTop"}));
            QCOMPARE(item(w, "mnuFullScreen")->shortcut(), QKeySequence(Qt::Key_F11));
            QVERIFY(!item(w, "mnuOnTop")->isChecked());
        }
        // Slots 1 and 2 put their client area at a fixed place; 3 and 4 do not.
        QTRY_COMPARE(Forms::find(WindowKey::Stream1)->client()->mapToGlobal(QPoint(0, 0)), QPoint(305, 257));
        QTRY_COMPARE(Forms::find(WindowKey::Stream2)->client()->mapToGlobal(QPoint(0, 0)), QPoint(305, 296));
        QVERIFY(!Forms::find(WindowKey::Stream3)->hasDesignPosition()
                && !Forms::find(WindowKey::Stream4)->hasDesignPosition());
        QCOMPARE(env.readIni().count("Adres"), 3); // reading wrote nothing
    }

    void sizeSteps_fiveUpThenBackExactlyAndBounds()
    {
        TestEnv env;
        Form *w = open(1);
        QVERIFY(w);
        QAction *vergroot = item(w, "mnuVergroot"), *verklein = item(w, "mnuVerklein");
        const QList<double> design = sizesOf(w);
        QCOMPARE(design.mid(2), (QList<double>{5895, 4815, 5520, 4395}));
        const QPoint topLeft = w->pos();
        for (int i = 0; i < 5; ++i)
            vergroot->trigger();
        QCOMPARE(sizesOf(w), plus(design, 2500));
        // On screen: client and player grew by 2500 twips, the corner stayed,
        // the button went with the player's lower-right corner.
        QCOMPARE(w->client()->size(), QSize(559, 486));
        QCOMPARE(playerOf(w)->geometry(), QRect(0, 0, 560, 488));
        QCOMPARE(buttonOf(w)->geometry(), QRect(535, 460, 20, 21));
        QCOMPARE(w->pos(), topLeft);
        for (int i = 0; i < 5; ++i)
            verklein->trigger();
        QCOMPARE(sizesOf(w), design);
        QCOMPARE(buttonOf(w)->geometry(), QRect(368, 293, 20, 21));

        // Down: six steps leave a player of 2895 x 1815 twips; the seventh
        // would go under the minimum and is refused whole.
        for (int i = 0; i < 7; ++i)
            verklein->trigger();
        QCOMPARE(sizesOf(w), plus(design, -3000));
        QCOMPARE(w->menuBar()->height(), w->menuBar()->sizeHint().height()); // still one line
    }

    // Stream1 and Stream2 open at fixed places: enlarged, they stop where
    // the window, snapshot button included, still lies on the screen.
    void sizeSteps_stopAtTheScreenEdgeFromWhereTheWindowStands_data()
    {
        QTest::addColumn<int>("slot");
        QTest::newRow("Stream1") << 1;
        QTest::newRow("Stream2") << 2;
    }
    void sizeSteps_stopAtTheScreenEdgeFromWhereTheWindowStands()
    {
        QFETCH(int, slot);
        TestEnv env;
        Form *w = open(slot);
        QVERIFY(w);
        const QRect avail = w->screen()->availableGeometry();
        QList<double> last = sizesOf(w);
        int steps = 0;
        for (; steps < 200; ++steps) {
            item(w, "mnuVergroot")->trigger();
            if (sizesOf(w) == last)
                break;
            QCOMPARE(sizesOf(w), plus(last, 500));
            last = sizesOf(w);
        }
        QVERIFY(steps >= 1 && steps < 200);
        QTest::qWait(20);
        const QRect frame = w->frameGeometry();
        QVERIFY2(
            avail.contains(frame),
            qPrintable(
                QStringLiteral("%1,%2 %3x%4").arg(frame.x()).arg(frame.y()).arg(frame.width()).arg(frame.height())));
        QVERIFY(avail.contains(QRect(buttonOf(w)->mapToGlobal(QPoint(0, 0)), buttonOf(w)->size())));
        // One more step would have passed the right or the bottom edge.
        QVERIFY(frame.right() + 500 / 15 > avail.right() || frame.bottom() + 500 / 15 > avail.bottom());
        item(w, "mnuVerklein")->trigger();
        QCOMPARE(sizesOf(w), plus(last, -500));
    }

    void fullScreenAndTopmost()
    {
        TestEnv env;
        env.writeIni("[Stream3]\r\nAdres=rtsp://127.0.0.1:9/drie\r\n");
        Form *w = open(3);
        WindowsMediaPlayer *p = playerOf(w);
        QAction *fullScreen = item(w, "mnuFullScreen"), *onTop = item(w, "mnuOnTop");
        FakeBackend *backend = FakeBackend::of(p);
        fullScreen->trigger(); // still connecting
        QVERIFY(!p->fullScreen());
        backend->reach(PlayState::Buffering, 30);
        fullScreen->trigger();
        QVERIFY(!p->fullScreen());
        backend->reachPlaying();
        fullScreen->trigger();
        QVERIFY(p->fullScreen() && p->isWindow());
        QTest::keyClick(p, Qt::Key_Escape);
        QVERIFY(!p->fullScreen());
        QCOMPARE(p->geometry(), QRect(0, 0, 393, 321));
        // Back in the window, the button is still above the video.
        QCOMPARE(QApplication::widgetAt(buttonOf(w)->mapToGlobal(QPoint(10, 10))), buttonOf(w));

        const QRect before = w->geometry();
        onTop->trigger();
        QVERIFY(onTop->isChecked());
        QVERIFY(w->windowHandle()->flags() & Qt::WindowStaysOnTopHint);
        onTop->trigger();
        QVERIFY(!onTop->isChecked());
        QVERIFY(!(w->windowHandle()->flags() & Qt::WindowStaysOnTopHint));
        QCOMPARE(w->geometry(), before);
    }

    void lifecycle_openAgainOnlyShows_reopenStartsFresh()
    {
        TestEnv env;
        env.writeIni("[Kijkraam]\r\nAutosave_Snapshot=Nee\r\n[Stream2]\r\nAdres=rtsp://127.0.0.1:9/eerst\r\n");
        Form *w = open(2);
        FakeBackend *backend = FakeBackend::of(playerOf(w));
        backend->reachPlaying();
        item(w, "mnuVergroot")->trigger();
        item(w, "mnuOnTop")->trigger();
        const QList<double> grown = sizesOf(w);
        const QStringList calls = backend->calls;

        // Opened again while open: the same window, nothing read or reloaded.
        env.writeIni("[Kijkraam]\r\nAutosave_Snapshot=Ja\r\n[Stream2]\r\nAdres=rtsp://127.0.0.1:9/later\r\n");
        QCOMPARE(Forms::show(WindowKey::Stream2), w);
        QCOMPARE(backend->calls, calls);
        QCOMPARE(playerOf(w)->playState(), int(PlayState::Playing));
        QCOMPARE(sizesOf(w), grown);
        QVERIFY(item(w, "mnuOnTop")->isChecked());
        QCOMPARE(field(w, "Save"), QStringLiteral("Nee"));

        // "&Sluiten" destroys it and its player, and nothing else.
        open(3);
        item(w, "mnuSluiten")->trigger();
        TestEnv::flushDeletes();
        QCOMPARE(Forms::loadedNames(), QStringList{QStringLiteral("Stream3")});
        QCOMPARE(FakeBackend::alive().size(), 1);
        QCOMPARE(env.quitRequests, 0);

        // Opened after the close: design size, settings read anew, not topmost.
        w = open(2);
        QCOMPARE(playerOf(w)->URL(), QStringLiteral("rtsp://127.0.0.1:9/later"));
        QCOMPARE(field(w, "Save"), QStringLiteral("Ja"));
        QCOMPARE(w->clientHeightTw(), 4800.0);
        QCOMPARE(playerOf(w)->Width(), 5895.0);
        QVERIFY(!item(w, "mnuOnTop")->isChecked() && !(w->windowFlags() & Qt::WindowStaysOnTopHint));
        w->close(); // the close box does the same
        TestEnv::flushDeletes();
        QVERIFY(!Forms::find(WindowKey::Stream2));
    }
};

KIJKRAAM_GUI_TEST_MAIN(TestStreamWindow)
#include "tst_streamwindow.moc"
