// The stream windows on players without a decoder: design, what the load
// reads, size steps and their bounds, full screen, topmost, lifecycle.
#include "FakeBackend.h"
#include "TestEnv.h"

#include "platform/Forms.h"
#include "platform/TextField.h"
#include "player/WindowsMediaPlayer.h"
#include "settings/Addresses.h"
#include "stream/SnapshotButton.h"
#include "stream/StreamWindow.h"

#include <QMenuBar>
#include <QScreen>
#include <QWindow>

namespace {
// The six values a size step changes, in twips.
QList<double> sizesOf(StreamWindow *w)
{
    return {w->outerWidthTw(), w->outerHeightTw(), w->WindowsMediaPlayer1->Width(),
            w->WindowsMediaPlayer1->Height(), w->Image1->Left(), w->Image1->Top()};
}
QList<double> plus(QList<double> values, double delta)
{
    for (double &v : values)
        v += delta;
    return values;
}
StreamWindow *open(int slot)
{
    auto *w = qobject_cast<StreamWindow *>(Forms::show(QStringLiteral("Stream%1").arg(slot)));
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
        const QString url[] = {"auto", "", "rtsp://127.0.0.1:9/drie", Addresses::builtInAddress(4)};
        const QSize clientPx[] = {{392, 319}, {392, 320}, {392, 320}, {393, 320}};
        for (int slot = 1; slot <= 4; ++slot) {
            StreamWindow *w = open(slot);
            QVERIFY(w);
            QCOMPARE(w->windowTitle(), QStringLiteral("Stream%1").arg(slot));
            QCOMPARE(w->client()->size(), clientPx[slot - 1]);
            QCOMPARE(w->client()->palette().color(QPalette::Window), QColor(0, 0, 0));
            QCOMPARE(w->minimumSize(), w->maximumSize());
            QVERIFY(!(w->windowFlags() & Qt::WindowMaximizeButtonHint));
            QVERIFY(w->windowFlags() & Qt::WindowMinimizeButtonHint);
            // The load: autosave switch and own address, the player started on it.
            QCOMPARE(w->Save->Text(), QStringLiteral("Nee"));
            QCOMPARE(w->Adres->Text(), adres[slot - 1]);
            WindowsMediaPlayer *p = w->WindowsMediaPlayer1;
            QCOMPARE(p->URL(), url[slot - 1]);
            if (slot == 1 || slot == 3)
                QCOMPARE(FakeBackend::of(p)->current, url[slot - 1]); // no playlist: straight to the decoder
            QVERIFY(!w->Adres->isVisible() && !w->Save->isVisible());

            QCOMPARE(p->geometry(), QRect(0, 0, 393, 321));
            QVERIFY(p->stretchToFit() && FakeBackend::of(p)->stretch_);
            QVERIFY(p->property("enableContextMenu").toBool());
            // The snapshot button: a red disc on the player's lower-right
            // corner, transparent around it, the widget found there on screen.
            QCOMPARE(w->Image1->geometry(), QRect(368, 293, 20, 21));
            QCOMPARE(QApplication::widgetAt(w->Image1->mapToGlobal(QPoint(10, 10))), w->Image1);
            const QImage seen = w->grab().toImage();
            QCOMPARE(seen.pixelColor(w->Image1->mapTo(w, QPoint(10, 10))), QColor(255, 0, 0));
            QVERIFY(seen.pixelColor(w->Image1->mapTo(w, QPoint(0, 0))) != QColor(255, 0, 0));

            // Menus in screen order; "&Sluiten" stands in the menu bar itself.
            QCOMPARE(w->menuBar()->actions(), (QList<QAction *>{w->mnuSluiten, w->mnuFile->menuAction()}));
            QCOMPARE(w->mnuSluiten->text(), QStringLiteral("&Sluiten"));
            QCOMPARE(w->mnuFile->title(), QStringLiteral("&Beeld"));
            QStringList items;
            for (QAction *a : w->mnuFile->actions())
                items << (a->isSeparator() ? QStringLiteral("-") : a->text());
            QCOMPARE(items, (QStringList{"&Verklein", "&Vergroot", "&Full Screen", "-", "&Always on Top"}));
            QCOMPARE(w->mnuFullScreen->shortcut(), QKeySequence(Qt::Key_F11));
            QVERIFY(!w->mnuOnTop->isChecked());
        }
        // Slots 1 and 2 put their client area at a fixed place; 3 and 4 do not.
        QTRY_COMPARE(Forms::find("Stream1")->client()->mapToGlobal(QPoint(0, 0)), QPoint(305, 257));
        QTRY_COMPARE(Forms::find("Stream2")->client()->mapToGlobal(QPoint(0, 0)), QPoint(305, 296));
        QVERIFY(!Forms::find("Stream3")->hasDesignPosition() && !Forms::find("Stream4")->hasDesignPosition());
        QCOMPARE(env.readIni().count("Adres"), 3); // reading wrote nothing
    }

    void sizeSteps_fiveUpThenBackExactlyAndBounds()
    {
        TestEnv env;
        StreamWindow *w = open(1);
        QVERIFY(w);
        const QList<double> design = sizesOf(w);
        QCOMPARE(design.mid(2), (QList<double>{5895, 4815, 5520, 4395}));
        const QPoint topLeft = w->pos();
        for (int i = 0; i < 5; ++i)
            w->mnuVergroot->trigger();
        QCOMPARE(sizesOf(w), plus(design, 2500));
        // On screen: client and player grew by 2500 twips, the corner stayed,
        // the button went with the player's lower-right corner.
        QCOMPARE(w->client()->size(), QSize(559, 486));
        QCOMPARE(w->WindowsMediaPlayer1->geometry(), QRect(0, 0, 560, 488));
        QCOMPARE(w->Image1->geometry(), QRect(535, 460, 20, 21));
        QCOMPARE(w->pos(), topLeft);
        for (int i = 0; i < 5; ++i)
            w->mnuVerklein->trigger();
        QCOMPARE(sizesOf(w), design);
        QCOMPARE(w->Image1->geometry(), QRect(368, 293, 20, 21));

        // Down: six steps leave a player of 2895 x 1815 twips; the seventh
        // would go under the minimum and is refused whole.
        for (int i = 0; i < 7; ++i)
            w->mnuVerklein->trigger();
        QCOMPARE(sizesOf(w), plus(design, -3000));
        QCOMPARE(w->menuBar()->height(), w->menuBar()->sizeHint().height()); // still one line

        // Up: steps until the next would pass the screen's available area.
        const QRect avail = w->screen()->availableGeometry();
        QList<double> last = sizesOf(w);
        int steps = 0;
        for (; steps < 200; ++steps) {
            w->mnuVergroot->trigger();
            if (sizesOf(w) == last)
                break;
            QCOMPARE(sizesOf(w), plus(last, 500));
            last = sizesOf(w);
        }
        QVERIFY(steps > 10 && steps < 200);
        QVERIFY(w->frameGeometry().height() <= avail.height() && w->frameGeometry().width() <= avail.width());
        QVERIFY(qRound((last[1] + 500) / 15) > avail.height() || qRound((last[0] + 500) / 15) > avail.width());
        w->mnuVerklein->trigger();
        QCOMPARE(sizesOf(w), plus(last, -500));
    }

    void fullScreenAndTopmost()
    {
        TestEnv env;
        env.writeIni("[Stream3]\r\nAdres=rtsp://127.0.0.1:9/drie\r\n");
        StreamWindow *w = open(3);
        WindowsMediaPlayer *p = w->WindowsMediaPlayer1;
        FakeBackend *backend = FakeBackend::of(p);
        w->mnuFullScreen->trigger(); // still connecting
        QVERIFY(!p->fullScreen());
        backend->reach(PlayerBackend::Phase::Buffering, 30);
        w->mnuFullScreen->trigger();
        QVERIFY(!p->fullScreen());
        backend->reachPlaying();
        w->mnuFullScreen->trigger();
        QVERIFY(p->fullScreen() && p->isWindow());
        QTest::keyClick(p, Qt::Key_Escape);
        QVERIFY(!p->fullScreen());
        QCOMPARE(p->geometry(), QRect(0, 0, 393, 321));
        // Back in the window, the button is still above the video.
        QCOMPARE(QApplication::widgetAt(w->Image1->mapToGlobal(QPoint(10, 10))), w->Image1);

        const QRect before = w->geometry();
        w->mnuOnTop->trigger();
        QVERIFY(w->mnuOnTop->isChecked());
        QVERIFY(w->windowHandle()->flags() & Qt::WindowStaysOnTopHint);
        w->mnuOnTop->trigger();
        QVERIFY(!w->mnuOnTop->isChecked());
        QVERIFY(!(w->windowHandle()->flags() & Qt::WindowStaysOnTopHint));
        QCOMPARE(w->geometry(), before);
    }

    void lifecycle_openAgainOnlyShows_reopenStartsFresh()
    {
        TestEnv env;
        env.writeIni("[Kijkraam]\r\nAutosave_Snapshot=Nee\r\n[Stream2]\r\nAdres=rtsp://127.0.0.1:9/eerst\r\n");
        StreamWindow *w = open(2);
        FakeBackend *backend = FakeBackend::of(w->WindowsMediaPlayer1);
        backend->reachPlaying();
        w->mnuVergroot->trigger();
        w->mnuOnTop->trigger();
        const QList<double> grown = sizesOf(w);
        const QStringList calls = backend->calls;

        // Opened again while open: the same window, nothing read or reloaded.
        env.writeIni("[Kijkraam]\r\nAutosave_Snapshot=Ja\r\n[Stream2]\r\nAdres=rtsp://127.0.0.1:9/later\r\n");
        QCOMPARE(Forms::show(QStringLiteral("Stream2")), w);
        QCOMPARE(backend->calls, calls);
        QCOMPARE(w->WindowsMediaPlayer1->playState(), 3);
        QCOMPARE(sizesOf(w), grown);
        QVERIFY(w->mnuOnTop->isChecked());
        QCOMPARE(w->Save->Text(), QStringLiteral("Nee"));

        // "&Sluiten" destroys it and its player, and nothing else.
        open(3);
        w->mnuSluiten->trigger();
        TestEnv::flushDeletes();
        QCOMPARE(Forms::loadedNames(), QStringList{QStringLiteral("Stream3")});
        QCOMPARE(FakeBackend::alive().size(), 1);
        QCOMPARE(env.quitRequests, 0);

        // Opened after the close: design size, settings read anew, not topmost.
        w = open(2);
        QCOMPARE(w->WindowsMediaPlayer1->URL(), QStringLiteral("rtsp://127.0.0.1:9/later"));
        QCOMPARE(w->Save->Text(), QStringLiteral("Ja"));
        QCOMPARE(w->clientHeightTw(), 4800.0);
        QCOMPARE(w->WindowsMediaPlayer1->Width(), 5895.0);
        QVERIFY(!w->mnuOnTop->isChecked() && !(w->windowFlags() & Qt::WindowStaysOnTopHint));
        w->close(); // the close box does the same
        TestEnv::flushDeletes();
        QVERIFY(!Forms::find(QStringLiteral("Stream2")));
    }
};

KIJKRAAM_GUI_TEST_MAIN(TestStreamWindow)
#include "tst_streamwindow.moc"
